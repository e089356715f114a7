#pragma once
// CreateObject by ProgID, as the component creates its recordsets, streams
// and connectors ("adodb.Recordset", "adodb.stream", "trelix_base.Connector")
// and as hosts create the component's classes ("trelix_eb.Categories").
//
// ProgIDs compare case-insensitively. The registry is process-wide and
// thread-safe; modules register their classes at start-up, and tests may
// replace a registration (for example the connector by a fake).

#include <functional>
#include <string_view>

#include "common/object.h"

namespace trelix {

using ObjectFactory = std::function<ObjectRef()>;

// Registers (or replaces) the factory of a ProgID. Returns the previous
// factory, empty when there was none, so that a test can restore it.
ObjectFactory RegisterProgId(std::string_view prog_id, ObjectFactory factory);

// A new object of the class registered under `prog_id`. Raises ComError 429
// "ActiveX component can't create object" for an unknown ProgID.
ObjectRef CreateObject(std::string_view prog_id);

// CreateObject, then the object as T (429 when it is not a T).
template <class T>
std::shared_ptr<T> CreateObjectAs(std::string_view prog_id);

}  // namespace trelix

#include "common/com_error.h"

namespace trelix {
template <class T>
std::shared_ptr<T> CreateObjectAs(std::string_view prog_id) {
  auto typed = std::dynamic_pointer_cast<T>(CreateObject(prog_id));
  if (!typed) RaiseVbError(kErrCannotCreateObject);
  return typed;
}
}  // namespace trelix

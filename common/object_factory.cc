#include "common/object_factory.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "common/com_error.h"
#include "common/recordset.h"
#include "common/stream.h"

namespace trelix {
namespace {

// ProgIDs are ASCII identifiers, so ASCII case folding is the right key here.
std::string ProgIdKey(std::string_view prog_id) {
  std::string key(prog_id);
  for (char& c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return key;
}

struct Registry {
  std::mutex mutex;
  std::map<std::string, ObjectFactory> factories;

  Registry() {
    factories["adodb.recordset"] = [] { return std::make_shared<Recordset>(); };
    factories["adodb.stream"] = [] { return std::make_shared<Stream>(); };
  }
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

ObjectFactory RegisterProgId(std::string_view prog_id, ObjectFactory factory) {
  Registry& registry = TheRegistry();
  std::lock_guard lock(registry.mutex);
  ObjectFactory& slot = registry.factories[ProgIdKey(prog_id)];
  ObjectFactory previous = std::move(slot);
  slot = std::move(factory);
  return previous;
}

ObjectRef CreateObject(std::string_view prog_id) {
  ObjectFactory factory;
  {
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    auto it = registry.factories.find(ProgIdKey(prog_id));
    if (it != registry.factories.end()) factory = it->second;
  }
  if (!factory) RaiseVbError(kErrCannotCreateObject);
  ObjectRef object = factory();
  if (!object) RaiseVbError(kErrCannotCreateObject);
  return object;
}

}  // namespace trelix

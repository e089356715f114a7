#include "common/object.h"

#include "common/com_error.h"
#include "common/variant.h"

namespace trelix {

Variant Object::Invoke(std::string_view, InvokeKind, std::vector<Variant>&) { RaiseVbError(kErrNoSuchMember); }

}  // namespace trelix

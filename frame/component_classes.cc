#include "frame/component_classes.h"

namespace trelix {
namespace {

// Class names and ProgIDs are ASCII identifiers.
bool AsciiEqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

const ComponentClass* FindComponentClass(std::string_view class_name) {
  for (const ComponentClass& component_class : kComponentClasses) {
    if (AsciiEqualNoCase(component_class.name, class_name)) return &component_class;
  }
  return nullptr;
}

const ComponentClass* FindClassByProgId(std::string_view prog_id) {
  if (prog_id.empty()) return nullptr;
  for (const ComponentClass& component_class : kComponentClasses) {
    if (AsciiEqualNoCase(component_class.prog_id, prog_id)) return &component_class;
  }
  return nullptr;
}

bool RegisterCreatableClass(std::string_view prog_id, ObjectFactory factory) {
  const ComponentClass* component_class = FindClassByProgId(prog_id);
  if (component_class == nullptr || !component_class->creatable() || !factory) return false;
  RegisterProgId(component_class->prog_id, std::move(factory));
  return true;
}

}  // namespace trelix

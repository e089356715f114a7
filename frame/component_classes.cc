#include "frame/component_classes.h"

#include "common/ascii.h"

namespace trelix {

const ComponentClass* FindComponentClass(std::string_view class_name) {
  for (const ComponentClass& component_class : kComponentClasses) {
    if (EqualsIgnoringAsciiCase(component_class.name, class_name)) return &component_class;
  }
  return nullptr;
}

const ComponentClass* FindClassByProgId(std::string_view prog_id) {
  if (prog_id.empty()) return nullptr;
  for (const ComponentClass& component_class : kComponentClasses) {
    if (EqualsIgnoringAsciiCase(component_class.prog_id, prog_id)) return &component_class;
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

#include "frame/object_context.h"

namespace trelix {
namespace {
thread_local ObjectContext* current_context = nullptr;
}  // namespace

ObjectContext* GetObjectContext() { return current_context; }

ScopedObjectContext::ScopedObjectContext(ObjectContext& context) : previous_(current_context) {
  current_context = &context;
}

ScopedObjectContext::~ScopedObjectContext() { current_context = previous_; }

}  // namespace trelix

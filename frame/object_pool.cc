#include "frame/object_pool.h"

#include <mutex>
#include <utility>
#include <vector>

#include "common/com_error.h"
#include "frame/object_context.h"

namespace trelix {

struct ObjectPool::Shared : std::enable_shared_from_this<Shared> {
  ObjectFactory factory;
  size_t max_idle;

  mutable std::mutex mutex;
  std::vector<ObjectRef> idle;  // guarded by mutex
  size_t created = 0;           // guarded by mutex
  bool closed = false;          // guarded by mutex

  ObjectRef Take();
  void Release(ObjectRef object) noexcept;
};

ObjectRef ObjectPool::Shared::Take() {
  ObjectRef object;
  {
    std::lock_guard lock(mutex);
    if (!idle.empty()) {
      object = std::move(idle.back());
      idle.pop_back();
    }
  }
  if (!object) {
    object = factory();
    if (!object) RaiseVbError(kErrCannotCreateObject);
    std::lock_guard lock(mutex);
    ++created;
  }
  if (auto* control = dynamic_cast<ObjectControl*>(object.get())) control->Activate();
  // The caller's reference shares the object but has its own count: when
  // the last copy of it goes, the object comes back through Release.
  Object* raw = object.get();
  return ObjectRef(raw, [self = shared_from_this(), object = std::move(object)](Object*) mutable {
    self->Release(std::move(object));
  });
}

void ObjectPool::Shared::Release(ObjectRef object) noexcept {
  auto* control = dynamic_cast<ObjectControl*>(object.get());
  if (control == nullptr) return;
  bool keep = false;
  try {
    control->Deactivate();
    keep = control->CanBePooled();
  } catch (...) {
    keep = false;  // an object that fails its hooks is not trusted again
  }
  // A reference taken from inside the object (shared_from_this) may still
  // be out; such an object cannot be handed to someone else.
  if (!keep || object.use_count() != 1) return;
  std::lock_guard lock(mutex);
  if (!closed && idle.size() < max_idle) idle.push_back(std::move(object));
}

ObjectPool::ObjectPool(ObjectFactory factory, size_t max_idle) : shared_(std::make_shared<Shared>()) {
  shared_->factory = std::move(factory);
  shared_->max_idle = max_idle;
}

ObjectPool::~ObjectPool() {
  std::vector<ObjectRef> idle;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->closed = true;
    idle.swap(shared_->idle);
  }
}

ObjectRef ObjectPool::Take() { return shared_->Take(); }

ObjectFactory ObjectPool::AsFactory() const {
  return [shared = shared_] { return shared->Take(); };
}

size_t ObjectPool::idle_count() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->idle.size();
}

size_t ObjectPool::created_count() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->created;
}

}  // namespace trelix

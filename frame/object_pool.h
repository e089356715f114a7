#pragma once
// A pool of objects of one poolable class, kept as the application server
// keeps them: Take hands out an idle object or a new one and activates it;
// when the last reference to a taken object goes away the object is
// deactivated and, if it says it can be pooled, the pool has room and
// nothing else still holds it, kept for the next Take. Otherwise it is
// destroyed.
//
// Thread-safe: any thread may take and release. Objects that do not
// implement ObjectControl are handed out and destroyed, never kept.

#include <cstddef>
#include <memory>

#include "common/object_factory.h"

namespace trelix {

class ObjectPool {
 public:
  // `factory` makes new objects; at most `max_idle` released objects are
  // kept.
  ObjectPool(ObjectFactory factory, size_t max_idle);
  // Destroys the idle objects; objects still taken are destroyed when
  // released.
  ~ObjectPool();
  ObjectPool(const ObjectPool&) = delete;
  ObjectPool& operator=(const ObjectPool&) = delete;

  // An activated object. Raises what the factory or Activate raises (429
  // when the factory makes nothing); an object whose Activate fails is
  // discarded.
  ObjectRef Take();

  // A factory that takes from this pool, for registering a pooled class
  // under its ProgID. It may outlive the pool (it then makes plain objects
  // that are activated and never kept).
  ObjectFactory AsFactory() const;

  size_t idle_count() const;
  // Objects the factory made so far.
  size_t created_count() const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
};

}  // namespace trelix

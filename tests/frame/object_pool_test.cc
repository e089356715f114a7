// The object pool: activation hooks, when an object is kept, the bound, and
// many threads taking and releasing.

#include "frame/object_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "common/com_error.h"
#include "frame/object_context.h"
#include "support/raised.h"

namespace trelix {
namespace {

struct Counters {
  std::atomic<int> activations{0}, deactivations{0}, destroyed{0};
};

class Poolable : public Object, public ObjectControl {
 public:
  explicit Poolable(Counters& counters, bool poolable = true) : counters_(counters), poolable_(poolable) {}
  ~Poolable() override { ++counters_.destroyed; }
  std::string TypeName() const override { return "Poolable"; }

  void Activate() override {
    if (fail_activate) throw std::runtime_error("no context");
    active = true;
    ++counters_.activations;
  }
  void Deactivate() override {
    active = false;
    ++counters_.deactivations;
    if (fail_deactivate) throw std::runtime_error("cannot release");
  }
  bool CanBePooled() override { return poolable_; }

  bool active = false, fail_activate = false, fail_deactivate = false;
  int state = 0;
  std::atomic<bool> in_use{false};

 private:
  Counters& counters_;
  bool poolable_;
};

class Plain : public Object {
 public:
  std::string TypeName() const override { return "Plain"; }
};

TEST(ObjectPoolTest, ReusesAnActivatedObject) {
  Counters counters;
  ObjectPool pool([&] { return std::make_shared<Poolable>(counters); }, 4);
  Object* first_address;
  {
    auto first = std::dynamic_pointer_cast<Poolable>(pool.Take());
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->active);
    first->state = 42;
    first_address = first.get();
    EXPECT_EQ(pool.idle_count(), 0u);
  }
  EXPECT_EQ(counters.deactivations, 1);
  EXPECT_EQ(pool.idle_count(), 1u);
  auto second = std::dynamic_pointer_cast<Poolable>(pool.Take());
  EXPECT_EQ(second.get(), first_address);
  EXPECT_TRUE(second->active);
  EXPECT_EQ(second->state, 42);  // what Activate does not reset stays
  EXPECT_EQ(counters.activations, 2);
  EXPECT_EQ(pool.created_count(), 1u);
}

TEST(ObjectPoolTest, KeepsOnlyWhatMayBePooled) {
  Counters counters;
  bool poolable = false;
  ObjectPool pool([&] { return std::make_shared<Poolable>(counters, poolable); }, 4);
  pool.Take().reset();
  EXPECT_EQ(pool.idle_count(), 0u);
  EXPECT_EQ(counters.destroyed, 1);

  poolable = true;
  {
    auto object = std::dynamic_pointer_cast<Poolable>(pool.Take());
    object->fail_deactivate = true;
  }
  EXPECT_EQ(pool.idle_count(), 0u);  // a failing Deactivate is not trusted again
  EXPECT_EQ(counters.destroyed, 2);

  // A reference the object handed out itself keeps it from the pool.
  std::shared_ptr<Object> inner;
  {
    ObjectRef object = pool.Take();
    inner = std::shared_ptr<Object>(object->weak_from_this());
  }
  EXPECT_EQ(pool.idle_count(), 0u);
  inner.reset();
  EXPECT_EQ(counters.destroyed, 3);

  ObjectPool plain_pool([] { return std::make_shared<Plain>(); }, 4);
  plain_pool.Take().reset();
  EXPECT_EQ(plain_pool.idle_count(), 0u);
}

TEST(ObjectPoolTest, FailedCreationAndActivation) {
  ObjectPool empty([] { return ObjectRef(); }, 1);
  EXPECT_EQ(testing::Raised([&] { empty.Take(); }).number(), kErrCannotCreateObject);

  Counters counters;
  ObjectPool pool([&] { return std::make_shared<Poolable>(counters); }, 1);
  {
    auto object = std::dynamic_pointer_cast<Poolable>(pool.Take());
    object->fail_activate = true;
  }
  ASSERT_EQ(pool.idle_count(), 1u);
  EXPECT_THROW(pool.Take(), std::runtime_error);
  EXPECT_EQ(pool.idle_count(), 0u);
  EXPECT_EQ(counters.destroyed, 1);
}

TEST(ObjectPoolTest, BoundedIdleObjects) {
  Counters counters;
  ObjectPool pool([&] { return std::make_shared<Poolable>(counters); }, 2);
  std::vector<ObjectRef> taken;
  for (int i = 0; i < 5; ++i) taken.push_back(pool.Take());
  taken.clear();
  EXPECT_EQ(pool.idle_count(), 2u);
  EXPECT_EQ(counters.destroyed, 3);
}

TEST(ObjectPoolTest, FactoryOutlivesThePool) {
  Counters counters;
  ObjectFactory factory;
  ObjectRef held;
  {
    ObjectPool pool([&] { return std::make_shared<Poolable>(counters); }, 2);
    factory = pool.AsFactory();
    held = factory();
    factory().reset();
    EXPECT_EQ(pool.idle_count(), 1u);
  }
  EXPECT_EQ(counters.destroyed, 1);  // the idle one went with the pool
  held.reset();
  EXPECT_EQ(counters.destroyed, 2);  // released after the pool: not kept
  ObjectRef late = factory();
  EXPECT_TRUE(std::dynamic_pointer_cast<Poolable>(late)->active);
}

TEST(ObjectPoolTest, ManyThreads) {
  Counters counters;
  constexpr size_t kMaxIdle = 4;
  constexpr int kThreads = 8;
  constexpr int kRounds = 2000;
  size_t created = 0;
  {
    ObjectPool pool([&] { return std::make_shared<Poolable>(counters); }, kMaxIdle);
    std::atomic<int> shared_use{0}, inactive_seen{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
          auto object = std::dynamic_pointer_cast<Poolable>(pool.Take());
          if (object->in_use.exchange(true)) ++shared_use;  // handed to two callers at once
          if (!object->active) ++inactive_seen;
          object->in_use = false;
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(shared_use, 0);
    EXPECT_EQ(inactive_seen, 0);
    EXPECT_LE(pool.idle_count(), kMaxIdle);
    EXPECT_EQ(counters.activations, kThreads * kRounds);
    EXPECT_EQ(counters.deactivations, kThreads * kRounds);
    created = pool.created_count();
  }
  EXPECT_EQ(counters.destroyed, static_cast<int>(created));  // nothing leaks
}

}  // namespace
}  // namespace trelix

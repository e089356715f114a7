#pragma once
// The application-server stand-ins: the object context a host installs for
// the length of one call (thread-local), on which methods cast their
// completion vote, and the ObjectControl hooks of poolable classes.

#include <cstdint>

namespace trelix {

class ObjectContext {
 public:
  enum class Vote : uint8_t { kNone, kComplete, kAbort };

  void SetComplete() { vote_ = Vote::kComplete; ++complete_count_; }
  void SetAbort() { vote_ = Vote::kAbort; ++abort_count_; }

  // The last vote cast in this context.
  Vote vote() const { return vote_; }
  int complete_count() const { return complete_count_; }
  int abort_count() const { return abort_count_; }

 private:
  Vote vote_ = Vote::kNone;
  int complete_count_ = 0;
  int abort_count_ = 0;
};

// The object context of the current call on this thread, or nullptr when no
// host installed one (the component then skips its votes).
ObjectContext* GetObjectContext();

// Installs `context` as this thread's object context for the scope's life,
// restoring the previous one at the end (scopes nest).
class ScopedObjectContext {
 public:
  explicit ScopedObjectContext(ObjectContext& context);
  ~ScopedObjectContext();
  ScopedObjectContext(const ScopedObjectContext&) = delete;
  ScopedObjectContext& operator=(const ScopedObjectContext&) = delete;

 private:
  ObjectContext* previous_;
};

// Casts SetComplete on the current object context when there is one.
inline void VoteComplete() {
  if (ObjectContext* context = GetObjectContext()) context->SetComplete();
}
// Casts SetAbort on the current object context when there is one.
inline void VoteAbort() {
  if (ObjectContext* context = GetObjectContext()) context->SetAbort();
}

// COM+ ObjectControl, implemented by the three creatable classes.
class ObjectControl {
 public:
  virtual ~ObjectControl() = default;
  virtual void Activate() = 0;
  virtual void Deactivate() = 0;
  virtual bool CanBePooled() = 0;
};

}  // namespace trelix

#pragma once
// CallScope: one page operation (Compare, GetSpecs, ...) running on the
// calling thread. Lower layers may keep what they acquire for the length of
// the operation and hand it back when the outermost scope ends: the
// connector keeps one database session per database, so that the
// operation's statements read one state of the data and the engine takes its
// locks once instead of once per statement.
//
// Scopes nest; only the outermost one ends anything. A thread without an
// open scope behaves as before: every statement leases and returns its own
// session.

#include <functional>

namespace trelix {

class CallScope {
 public:
  CallScope() noexcept;
  ~CallScope();
  CallScope(const CallScope&) = delete;
  CallScope& operator=(const CallScope&) = delete;

  // True while a scope is open on this thread.
  static bool Active() noexcept;

  // Runs `release` when the outermost scope of this thread ends (the last
  // registered first); at once when no scope is open. `release` must not
  // throw.
  static void AtEnd(std::function<void()> release);
};

}  // namespace trelix

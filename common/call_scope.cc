#include "common/call_scope.h"

#include <utility>
#include <vector>

namespace trelix {
namespace {

struct ThreadCalls {
  int depth = 0;
  std::vector<std::function<void()>> at_end;
};

thread_local ThreadCalls calls;

}  // namespace

CallScope::CallScope() noexcept { ++calls.depth; }

CallScope::~CallScope() {
  if (--calls.depth > 0) return;
  std::vector<std::function<void()>> pending;
  pending.swap(calls.at_end);
  for (auto it = pending.rbegin(); it != pending.rend(); ++it) (*it)();
}

bool CallScope::Active() noexcept { return calls.depth > 0; }

void CallScope::AtEnd(std::function<void()> release) {
  if (calls.depth == 0) {
    release();
    return;
  }
  calls.at_end.push_back(std::move(release));
}

}  // namespace trelix

#include "thread/RequestScope.h"

#include <cstddef>

namespace {

// A request talks to a handful of peers at most; one more is not noted and
// may then time out once more.
constexpr size_t kMaxPeers = 4;

struct Scope {
  unsigned depth = 0;
  size_t count = 0;
  const void* timedOut[kMaxPeers] = {};
};

thread_local Scope t_scope;

}  // namespace

RequestScope::RequestScope() {
  if (t_scope.depth++ == 0)
    t_scope.count = 0;
}

RequestScope::~RequestScope() {
  --t_scope.depth;
}

bool RequestScope::timedOut(const void* peer) {
  if (t_scope.depth == 0)
    return false;
  for (size_t i = 0; i < t_scope.count; ++i) {
    if (t_scope.timedOut[i] == peer)
      return true;
  }
  return false;
}

void RequestScope::noteTimeout(const void* peer) {
  if (t_scope.depth == 0 || timedOut(peer) || t_scope.count == kMaxPeers)
    return;
  t_scope.timedOut[t_scope.count++] = peer;
}

// The local socket a stand-in serves on: a stale one of an earlier run is
// removed first.
#pragma once

#include <string>

namespace simsocket {

// A socket of `type` (SOCK_DGRAM, SOCK_STREAM, SOCK_SEQPACKET) bound to
// `path`, listening with `backlog` unless it is a datagram socket; -1 with
// errno set (ENAMETOOLONG for a path that does not fit).
int serveUnix(const std::string& path, int type, int backlog = 8);

}  // namespace simsocket

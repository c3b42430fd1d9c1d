// One request served on the calling thread: an ICSC message, a console
// command line. Clients of slow peers note here that a peer has already
// timed out during the request, so that a stalled peer costs a request one
// timeout, not one per call it makes. Scopes nest; the outermost one counts.
#pragma once

class RequestScope {
 public:
  RequestScope();
  ~RequestScope();
  RequestScope(const RequestScope&) = delete;
  RequestScope& operator=(const RequestScope&) = delete;

  // Outside every scope a call is a request of its own: nothing is noted
  // and nothing has timed out.
  static bool timedOut(const void* peer);
  static void noteTimeout(const void* peer);
};

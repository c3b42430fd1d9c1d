// Console group "trace": shows and changes the trace level of the running
// process.
#pragma once

#include "debug/Odebug.h"

namespace Odebug {

class TraceDebug : public Cdebugable {
 public:
  TraceDebug();

 private:
  class DbgLevel : public CdebugCommand {
   public:
    explicit DbgLevel(Cdebugable* group);
    void command(unsigned argc, char* const* argv, std::ostringstream& os, void* context) override;
    void help(std::ostringstream& os) override;
  };
  DbgLevel m_level;
};

}  // namespace Odebug

// Console group "velm": read and write single velmora parameters by name,
// commit, reset and reboot the engine, bypassing the ICSC objects. A base of
// the card object registry, whose engine access object the commands use.
#pragma once

#include <sstream>

#include "debug/Odebug.h"

class CardObjects;

class VelmDebug : public Odebug::Cdebugable {
 public:
  // `registry` is only stored: the registry is still being built.
  explicit VelmDebug(CardObjects* registry);
  ~VelmDebug() override;

  class DbgVelmUtilInfo : public Odebug::CdebugCommand {
   public:
    DbgVelmUtilInfo(Odebug::Cdebugable* group, void* context);
    void command(unsigned argc, char* const* argv, std::ostringstream& os, void* context) override;
    void help(std::ostringstream& os) override;
  };
  class DbgVelmUtilGet : public Odebug::CdebugCommand {
   public:
    DbgVelmUtilGet(Odebug::Cdebugable* group, void* context);
    void command(unsigned argc, char* const* argv, std::ostringstream& os, void* context) override;
    void help(std::ostringstream& os) override;
  };
  class DbgVelmUtilSet : public Odebug::CdebugCommand {
   public:
    DbgVelmUtilSet(Odebug::Cdebugable* group, void* context);
    void command(unsigned argc, char* const* argv, std::ostringstream& os, void* context) override;
    void help(std::ostringstream& os) override;
  };
  class DbgVelmUtilCommit : public Odebug::CdebugCommand {
   public:
    DbgVelmUtilCommit(Odebug::Cdebugable* group, void* context);
    void command(unsigned argc, char* const* argv, std::ostringstream& os, void* context) override;
    void help(std::ostringstream& os) override;
  };
  class DbgVelmUtilReset : public Odebug::CdebugCommand {
   public:
    DbgVelmUtilReset(Odebug::Cdebugable* group, void* context);
    void command(unsigned argc, char* const* argv, std::ostringstream& os, void* context) override;
    void help(std::ostringstream& os) override;
  };
  class DbgVelmUtilReboot : public Odebug::CdebugCommand {
   public:
    DbgVelmUtilReboot(Odebug::Cdebugable* group, void* context);
    void command(unsigned argc, char* const* argv, std::ostringstream& os, void* context) override;
    void help(std::ostringstream& os) override;
  };

 private:
  DbgVelmUtilInfo m_dbgInfo;
  DbgVelmUtilGet m_dbgGet;
  DbgVelmUtilSet m_dbgSet;
  DbgVelmUtilCommit m_dbgCommit;
  DbgVelmUtilReset m_dbgReset;
  DbgVelmUtilReboot m_dbgReboot;
};

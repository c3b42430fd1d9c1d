#include "VelmDebug.h"

#include <string>

#include "CardObjects.h"
#include "trace/LogLimit.h"
#include "trace/TraceObject.h"
#include "velm/Velm_util.h"

namespace {

constexpr int kNoIndex = -1;

Velm_util* velmOf(void* context, std::ostringstream& os) {
  if (context == nullptr) {
    os << "ERROR: No velmora object found\n";
    return nullptr;
  }
  return &static_cast<CardObjects*>(context)->velm();
}

int indexArg(unsigned argc, char* const* argv, unsigned pos) {
  return pos < argc ? Odebug::numberArg(argv[pos]) : kNoIndex;
}

// "name", "name.i1" or "name.i1.i2"; a negative index is not shown.
void writeAddress(std::ostringstream& os, const char* name, int index1, int index2) {
  os << name;
  if (index1 >= 0) {
    os << "." << index1;
    if (index2 >= 0)
      os << "." << index2;
  }
}

void writeResult(std::ostringstream& os, int rc) {
  if (rc == 0)
    os << "SUCCESS\n";
  else
    os << "FAILED [" << rc << "]\n";
}

// The commands without arguments: their title, then the engine's answer.
void runAction(void* context, std::ostringstream& os, const char* title,
               int (Velm_util::*action)()) {
  Velm_util* velm = velmOf(context, os);
  if (velm == nullptr)
    return;
  os << title << "\n";
  writeResult(os, (velm->*action)());
}

void writeUsage(std::ostringstream& os, const char* cmd, const char* const (&scalars)[3],
                const char* const (&tables)[3]) {
  os << "Syntax :\n"
     << "Scalars\n";
  for (const char* u : scalars)
    os << "  " << cmd << u << "\n";
  os << "Tables\n";
  for (const char* u : tables)
    os << "  " << cmd << u << "\n";
  os << "\n";
}

}  // namespace

VelmDebug::VelmDebug(CardObjects* registry)
    : Odebug::Cdebugable("velm"),
      m_dbgInfo(this, registry),
      m_dbgGet(this, registry),
      m_dbgSet(this, registry),
      m_dbgCommit(this, registry),
      m_dbgReset(this, registry),
      m_dbgReboot(this, registry) {}

VelmDebug::~VelmDebug() = default;

VelmDebug::DbgVelmUtilInfo::DbgVelmUtilInfo(Odebug::Cdebugable* group, void* context)
    : Odebug::CdebugCommand(group, "info", context) {}

void VelmDebug::DbgVelmUtilInfo::command(unsigned, char* const*, std::ostringstream& os,
                                         void* context) {
  Velm_util* velm = velmOf(context, os);
  if (velm == nullptr)
    return;
  std::string value;
  if (velm->get("ata_firmware_revision", value, kNoIndex, kNoIndex) == 0)
    os << "Firmware version: " << value << std::endl;
  else
    os << "Firmware version: ???\n";
}

void VelmDebug::DbgVelmUtilInfo::help(std::ostringstream& os) {
  os << "Command info\n"
     << "------------\n"
     << "Print general info\n";
}

VelmDebug::DbgVelmUtilGet::DbgVelmUtilGet(Odebug::Cdebugable* group, void* context)
    : Odebug::CdebugCommand(group, "get", 1, 3, context) {}

void VelmDebug::DbgVelmUtilGet::command(unsigned argc, char* const* argv, std::ostringstream& os,
                                        void* context) {
  Velm_util* velm = velmOf(context, os);
  if (velm == nullptr || argc < 1)
    return;
  const char* name = argv[0];
  int index1 = indexArg(argc, argv, 1);
  int index2 = indexArg(argc, argv, 2);
  std::string value;
  int rc = velm->get(name, value, index1, index2);
  if (rc == Velm_util::NO_SUCH_PARAMETER) {
    os << "PARAMETER NOT EXISTING [" << rc << "]\n";
  } else if (rc != 0) {
    os << "FAILED [" << rc << "]\n";
  } else {
    writeAddress(os, name, index1, index2);
    os << " == " << value << "\n";
  }
  LOG_INFO_LIMITED("output=%s", os.str().c_str());
  LOG_INFO_LIMITED("command ended");
}

void VelmDebug::DbgVelmUtilGet::help(std::ostringstream& os) {
  os << "Command get\n"
     << "-----------\n"
     << "Get velmora parameter\n"
     << "\n";
  writeUsage(os, "get", {" <name>", " <name> <provider>", " <name> <channel>"},
             {" <name> <index>", " <name> <provider> <index>", " <name> <channel> <index>"});
}

VelmDebug::DbgVelmUtilSet::DbgVelmUtilSet(Odebug::Cdebugable* group, void* context)
    : Odebug::CdebugCommand(group, "set", 2, 4, context) {}

void VelmDebug::DbgVelmUtilSet::command(unsigned argc, char* const* argv, std::ostringstream& os,
                                        void* context) {
  Velm_util* velm = velmOf(context, os);
  if (velm == nullptr || argc < 2)
    return;
  const char* name = argv[0];
  const char* value = argv[1];
  int index1 = indexArg(argc, argv, 2);
  int index2 = indexArg(argc, argv, 3);
  writeAddress(os, name, index1, index2);
  os << " = " << value << "\n";
  writeResult(os, velm->set(name, value, index1, index2));
}

void VelmDebug::DbgVelmUtilSet::help(std::ostringstream& os) {
  os << "Command set\n"
     << "-----------\n"
     << "Set velmora parameter\n"
     << "\n";
  writeUsage(os, "set",
             {" <name> <value>", " <name> <value> <provider>", " <name> <value> <channel>"},
             {" <name> <value> <index>", " <name> <value> <provider> <index>",
              " <name> <value> <channel> <index>"});
}

VelmDebug::DbgVelmUtilCommit::DbgVelmUtilCommit(Odebug::Cdebugable* group, void* context)
    : Odebug::CdebugCommand(group, "commit", context) {}

void VelmDebug::DbgVelmUtilCommit::command(unsigned, char* const*, std::ostringstream& os,
                                           void* context) {
  runAction(context, os, "Commit", &Velm_util::commit);
}

void VelmDebug::DbgVelmUtilCommit::help(std::ostringstream& os) {
  os << "Command commit\n"
     << "--------------\n"
     << "Commit velmora configuration\n";
}

VelmDebug::DbgVelmUtilReset::DbgVelmUtilReset(Odebug::Cdebugable* group, void* context)
    : Odebug::CdebugCommand(group, "reset", context) {}

void VelmDebug::DbgVelmUtilReset::command(unsigned, char* const*, std::ostringstream& os,
                                          void* context) {
  runAction(context, os, "Reset", &Velm_util::reset);
}

void VelmDebug::DbgVelmUtilReset::help(std::ostringstream& os) {
  os << "Command reset\n"
     << "-------------\n"
     << "Reset velmora\n";
}

VelmDebug::DbgVelmUtilReboot::DbgVelmUtilReboot(Odebug::Cdebugable* group, void* context)
    : Odebug::CdebugCommand(group, "reboot", context) {}

void VelmDebug::DbgVelmUtilReboot::command(unsigned, char* const*, std::ostringstream& os,
                                           void* context) {
  runAction(context, os, "Reboot", &Velm_util::reboot);
}

void VelmDebug::DbgVelmUtilReboot::help(std::ostringstream& os) {
  os << "Command reboot\n"
     << "--------------\n"
     << "Reboot velmora\n";
}

#include "velm/Velm_util.h"

#include "trace/TraceObject.h"
#include "velm/VelmClient.h"

using velmwire::Op;

namespace {

const char* shown(const char* name, const char* value) {
  return velmwire::isCredentialName(name) ? "*****" : value;
}

}  // namespace

Velm_util::Velm_util() : m_client(std::make_unique<VelmClient>()) {}

Velm_util::~Velm_util() = default;

int Velm_util::get(const char* name, std::string& value, int index1, int index2) {
  if (name == nullptr || *name == '\0') {
    LOG_ERROR("velmora get without a parameter name: rejected");
    return velmwire::RC_INVALID;
  }
  int rc = m_client->call(Op::GET, name, nullptr, index1, index2, &value);
  LOG_DEBUG3("velmora get %s %d %d -> %d", name, index1, index2, rc);
  return rc;
}

int Velm_util::set(const char* name, const char* value, int index1, int index2) {
  if (name == nullptr || *name == '\0' || value == nullptr) {
    LOG_ERROR("velmora set without a parameter name or value: rejected");
    return velmwire::RC_INVALID;
  }
  int rc = m_client->call(Op::SET, name, value, index1, index2, nullptr);
  LOG_DEBUG3("velmora set %s %d %d = %s -> %d", name, index1, index2, shown(name, value), rc);
  return rc;
}

int Velm_util::commit() {
  int rc = m_client->call(Op::COMMIT, "", nullptr, -1, -1, nullptr);
  LOG_DEBUG1("velmora commit -> %d", rc);
  return rc;
}

int Velm_util::reset() {
  int rc = m_client->call(Op::RESET, "", nullptr, -1, -1, nullptr);
  LOG_DEBUG1("velmora reset -> %d", rc);
  return rc;
}

int Velm_util::reboot() {
  int rc = m_client->call(Op::REBOOT, "", nullptr, -1, -1, nullptr);
  LOG_DEBUG1("velmora reboot -> %d", rc);
  return rc;
}

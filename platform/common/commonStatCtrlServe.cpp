// The chassis' reads and writes of the common objects: one server over the
// descriptor arrays. A record's type, read-only flag, length and value
// checks come from its descriptor; the few records that act on something
// (reboot, time, clock reference, log transfer) are named in one table.
#include <boost/any.hpp>
#include <cctype>

#include "board/boardUtils.h"
#include "common/CGetLogEngine.h"
#include "common/FtpTarget.h"
#include "common/commonStatCtrl.h"
#include "icsc/ICardObjects.h"
#include "icsc/IcscOid.h"
#include "icsc/IcscWire.h"
#include "trace/LogLimit.h"

using namespace commonrec;
using namespace icscwire;

enum class commonStatCtrl::Hook {
  NONE,
  REBOOT,
  UTC_TIME,
  BP_CLK_REF,
  FTP_SERVER,
  FTP_PORT,
  FTP_TEXT,  // user and password: no control characters
  FTP_PASSWORD,
  GETLOG_DIRECTORY,
};

namespace {

struct HookRow {
  unsigned object;
  unsigned record;
  int hook;
};

constexpr char kPasswordMask[] = "********";
constexpr size_t kMaxRemoteDirectory = 200;

boost::any anyOf(const CommonPropertyDescriptor& rec, const ICSCTlv& v) {
  switch (rec.type) {
    case CPT_U64:
      return static_cast<uint64_t>(v.num);
    case CPT_U32:
      return static_cast<uint32_t>(v.num);
    case CPT_U8:
      return static_cast<uint8_t>(v.num);
    case CPT_I32:
      return static_cast<int32_t>(v.num);
    case CPT_BOOL:
      return v.num != 0;
    default:
      return v.str;
  }
}

bool printable(const std::string& s) {
  for (char c : s) {
    if (std::iscntrl(static_cast<unsigned char>(c)))
      return false;
  }
  return true;
}

// A directory on the FTP server, relative to the login's home; "" or "/"
// is the home itself.
bool remoteDirectory(const std::string& s) {
  if (s.size() > kMaxRemoteDirectory || s.find("..") != std::string::npos)
    return false;
  for (char c : s) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '/' && c != '_' && c != '-' &&
        c != '.')
      return false;
  }
  return true;
}

}  // namespace

commonStatCtrl::Hook commonStatCtrl::hookOf(unsigned object, unsigned record) {
  static const HookRow kHooks[] = {
      {CO_CONTROL, CTRL_REBOOT, static_cast<int>(Hook::REBOOT)},
      {CO_CONTROL, CTRL_UTC_TIME, static_cast<int>(Hook::UTC_TIME)},
      {CO_CONTROL, CTRL_BP_CLK_REF, static_cast<int>(Hook::BP_CLK_REF)},
      {CO_LOG_TRANSFER, LOG_SERVER, static_cast<int>(Hook::FTP_SERVER)},
      {CO_LOG_TRANSFER, LOG_PORT, static_cast<int>(Hook::FTP_PORT)},
      {CO_LOG_TRANSFER, LOG_USER, static_cast<int>(Hook::FTP_TEXT)},
      {CO_LOG_TRANSFER, LOG_PASSWORD, static_cast<int>(Hook::FTP_PASSWORD)},
      {CO_LOG_TRANSFER, LOG_DIRECTORY, static_cast<int>(Hook::GETLOG_DIRECTORY)},
  };
  for (const HookRow& h : kHooks) {
    if (h.object == object && h.record == record)
      return static_cast<Hook>(h.hook);
  }
  return Hook::NONE;
}

commonStatCtrl::Cell commonStatCtrl::cellValue(unsigned object, unsigned instance,
                                               const CommonPropertyDescriptor& rec) const {
  Cell v;
  const Cell* c = const_cast<commonStatCtrl*>(this)->cell(object, instance, rec.propertyId);
  if (c != nullptr)
    v = *c;
  switch (hookOf(object, rec.propertyId)) {
    case Hook::FTP_PASSWORD:
      v.str = v.str.empty() ? "" : kPasswordMask;
      break;
    case Hook::UTC_TIME:
      if (m_utcSet) {
        auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
            std::chrono::steady_clock::now() - m_utcWrittenAt);
        v.num = static_cast<int64_t>(static_cast<uint64_t>(v.num) +
                                     static_cast<uint64_t>(elapsed.count()));
      }
      break;
    default:
      break;
  }
  return v;
}

void commonStatCtrl::readCell(unsigned object, unsigned instance,
                              const CommonPropertyDescriptor& rec, ICSCTlv& resp) {
  Cell v;
  if (hookOf(object, rec.propertyId) == Hook::BP_CLK_REF && m_card != nullptr) {
    v.num = m_card->getBpClkReference();
  } else {
    std::lock_guard<std::mutex> lock(m_mutex);
    v = cellValue(object, instance, rec);
  }
  IcscType t = wireType(rec);
  if (t == IcscType::STRING)
    resp.setString(v.str);
  else
    resp.setNumber(t, v.num);
}

uint8_t commonStatCtrl::act(Hook hook, const ICSCTlv& req) {
  switch (hook) {
    case Hook::REBOOT:
      if (req.num == 0)
        return OK;
      LOG_WARNING("the chassis asks for a reboot of the card");
      if (!boardUtils().requestReboot()) {
        LOG_ERROR("reboot: the board driver did not take the request");
        return NOT_SERVED;
      }
      return OK;
    case Hook::BP_CLK_REF:
      if (m_card == nullptr || !m_card->setBpClkReference(static_cast<uint32_t>(req.num)))
        return NOT_SERVED;
      return OK;
    case Hook::FTP_SERVER:
      return req.str.empty() || ftp::validHost(req.str) ? OK : BAD_VALUE;
    case Hook::FTP_PORT:
      return req.num <= 65535 ? OK : BAD_VALUE;
    case Hook::FTP_TEXT:
    case Hook::FTP_PASSWORD:
      return printable(req.str) ? OK : BAD_VALUE;
    case Hook::GETLOG_DIRECTORY:
      return remoteDirectory(req.str) ? OK : BAD_VALUE;
    case Hook::UTC_TIME:
    case Hook::NONE:
      break;
  }
  return OK;
}

uint8_t commonStatCtrl::writeCell(unsigned object, unsigned instance,
                                  const CommonPropertyDescriptor& rec, const ICSCTlv& req) {
  const CommonDescriptorArray& a = *m_objects[object].array;
  if (a.noHardware || rec.readOnly != 0)
    return READ_ONLY;
  if (req.type != wireType(rec))
    return WRONG_TYPE;
  size_t len = req.type == IcscType::STRING ? req.str.size() : icscFixedSize(req.type);
  if (rec.lengthCheck != nullptr && rec.lengthCheck(static_cast<uint32_t>(len)) != 0)
    return BAD_VALUE_LENGTH;
  if (rec.valueCheck != nullptr && rec.valueCheck(anyOf(rec, req)) != 0)
    return BAD_VALUE;
  Hook hook = hookOf(object, rec.propertyId);
  uint8_t status = act(hook, req);
  if (status != OK)
    return status;
  if (hook == Hook::REBOOT || hook == Hook::BP_CLK_REF)
    return OK;  // acted on, nothing to keep
  Cell previous;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    Cell* c = cell(object, instance, rec.propertyId);
    previous = *c;
    if (req.type == IcscType::STRING)
      c->str = req.str;
    else
      c->num = req.num;
    if (hook == Hook::UTC_TIME) {
      m_utcWrittenAt = std::chrono::steady_clock::now();
      m_utcSet = true;
    }
  }
  // Writing the directory starts the collection; one that cannot start
  // leaves the record as it was.
  if (hook == Hook::GETLOG_DIRECTORY &&
      !startGetLog(CGetLogEngine::kDefaultOutputDirectory, true)) {
    std::lock_guard<std::mutex> lock(m_mutex);
    *cell(object, instance, rec.propertyId) = previous;
    return NOT_SERVED;
  }
  return OK;
}

void commonStatCtrl::serve(uint8_t op, const ICSCTlv& req, ICSCTlv& resp) {
  resp.oid = req.oid;
  resp.status = OK;
  resp.clearValue();
  unsigned n = icscoid::commonNumber(req.oid);
  unsigned r = icscoid::commonRecord(req.oid);
  unsigned i = icscoid::commonInstance(req.oid);
  if (!icscoid::isCommon(req.oid) || n >= m_objects.size() ||
      m_objects[n].array->instances == CI_EVENT_TABLE) {
    resp.status = NO_SUCH_OBJECT;
    return;
  }
  const CommonDescriptorArray& a = *m_objects[n].array;
  if (r >= a.count) {
    resp.status = NO_SUCH_COLUMN;
    return;
  }
  if (i >= m_objects[n].instances.size()) {
    resp.status = ROW_OUT_OF_RANGE;
    return;
  }
  const CommonPropertyDescriptor& rec = a.records[r];
  if (op == SET) {
    resp.status = writeCell(n, i, rec, req);
    if (resp.status != OK) {
      // What the upload could use, so that the chassis' operator can fix it.
      const char* hint =
          resp.status == BAD_VALUE && hookOf(n, rec.propertyId) == Hook::FTP_SERVER
              ? " (a host name, an IPv4 address or an IPv6 address in brackets; the port goes "
                "into FTP Port)"
              : "";
      LOG_WARNING_LIMITED("write of %s[%u] \"%s\" refused: %s%s", a.name, i,
                          trimmedLabel(rec).c_str(), statusText(resp.status), hint);
      return;
    }
  } else if (op == GET && req.type != IcscType::NONE) {
    resp.status = MALFORMED;
    return;
  }
  readCell(n, i, rec, resp);
}

bool commonStatCtrl::next(uint32_t oid, ICSCTlv& resp) {
  unsigned n = 0, i = 0, r = 0;
  if (icscoid::isCommon(oid)) {
    n = icscoid::commonNumber(oid);
    i = icscoid::commonInstance(oid);
    r = icscoid::commonRecord(oid) + 1;
  }
  for (; n < m_objects.size(); ++n, i = 0, r = 0) {
    const Object& o = m_objects[n];
    if (o.array->instances == CI_EVENT_TABLE)
      continue;
    if (r >= o.array->count) {
      r = 0;
      ++i;
    }
    if (i >= o.instances.size())
      continue;
    resp.oid = icscoid::common(n, r, i);
    resp.status = OK;
    resp.clearValue();
    readCell(n, i, o.array->records[r], resp);
    return true;
  }
  return false;
}

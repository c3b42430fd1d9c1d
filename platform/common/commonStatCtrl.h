// Holder of the common card status that the chassis controller reads over
// ICSC: temperature and voltage sensors, hardware and operational errors,
// power and the voltage-monitor status. The card registers the sensors and
// errors once and updates their values; the protocol engine and the
// console read them. Safe to read from the console thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

class ICardObjects;
class CGetLogEngine;

struct VoltageMonitorStatus {
  bool present = false;
  bool hwError = false;
  std::string version;
  uint8_t updateFailed = 0;
};

class commonStatCtrl {
 public:
  // Progress of the chassis' log collection ("GETLOG state").
  enum GetLogState : uint32_t {
    GETLOG_IDLE = 0,
    GETLOG_BUSY = 1,
    GETLOG_DONE = 2,
    GETLOG_FAILED = 3
  };
  struct TempSensor {
    bool registered = false;
    std::string name;
    int32_t value = 0;
    int32_t status = 0;
  };
  struct VoltageSensor {
    bool registered = false;
    std::string name;
    uint32_t nominalMv = 0;
    int32_t valueMv = 0;
    bool valid = false;
  };
  struct ErrorEntry {
    bool registered = false;
    unsigned code = 0;
    std::string name;
    bool active = false;
  };
  struct Snapshot {
    std::vector<TempSensor> temps;
    std::vector<VoltageSensor> voltages;
    std::vector<ErrorEntry> hwErrors;
    std::vector<ErrorEntry> operErrors;
    int32_t power = 0;
    VoltageMonitorStatus voltageMonitor;
  };

  // `card` and `logEngine` are only stored: the registry is built after this
  // object, so nothing may be called on it here. The log engine (heap
  // allocated by the card, may be null) is owned from here on and deleted
  // with this object.
  commonStatCtrl(const std::string& name, int cardType, ICardObjects* card, unsigned nTempSensors,
                 unsigned nVoltageSensors, unsigned nHwErrors, unsigned nOperErrors,
                 CGetLogEngine* logEngine);
  virtual ~commonStatCtrl();
  commonStatCtrl(const commonStatCtrl&) = delete;
  commonStatCtrl& operator=(const commonStatCtrl&) = delete;

  bool addTemperatureSensor(unsigned index, const std::string& name);
  bool addVoltageSensor(unsigned index, const std::string& name, unsigned nominalMv);
  bool addHwError(unsigned index, unsigned code, const std::string& name);
  bool addOperationalError(unsigned index, unsigned code, const std::string& name);

  // property 0: temperature, 1: sensor status.
  bool setTemp(unsigned property, unsigned index, int32_t value);
  // property 0: voltage in mV, 1: validity (1 valid, 0 invalid).
  bool setVoltage(unsigned property, unsigned index, int32_t value);
  bool setPower(int32_t value);
  bool setHwErrorActive(unsigned index, bool active);
  bool setOperationalErrorActive(unsigned index, bool active);
  bool setVoltageMonitorStatus(const VoltageMonitorStatus& status);

  Snapshot snapshot() const;
  void dump(std::ostream& os) const;

  const std::string& name() const { return m_name; }
  int cardType() const { return m_cardType; }
  ICardObjects* cardObjects() const { return m_card; }
  CGetLogEngine* logEngine() const { return m_logEngine; }

  // Log collection on request of the chassis: runs the log engine on a
  // thread of its own so that neither the main loop nor the console waits
  // for it. The archive goes into `directory` (absolute path). False when
  // there is no engine, one is already running or the directory is refused.
  bool startGetLog(const std::string& directory);
  GetLogState getLogState() const;
  // Path of the archive of the last finished collection, empty before.
  std::string getLogArchive() const;
  static const char* getLogStateName(GetLogState state);

 private:
  static bool addError(std::vector<ErrorEntry>& table, unsigned index, unsigned code,
                       const std::string& name);
  static bool setError(std::vector<ErrorEntry>& table, unsigned index, bool active);

  const std::string m_name;
  const int m_cardType;
  ICardObjects* const m_card;
  CGetLogEngine* const m_logEngine;
  mutable std::mutex m_mutex;
  Snapshot m_values;

  class GetLogDebug;
  void initGetLog();
  mutable std::mutex m_getLogMutex;
  GetLogState m_getLogState = GETLOG_IDLE;
  std::string m_getLogArchive;
  std::thread m_getLogThread;
  GetLogDebug* m_getLogDebug = nullptr;  // owned; defined with the log collection
};

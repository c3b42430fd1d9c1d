// Access to the telephony engine's (velmora) configuration parameters.
//
// Parameters are addressed by name and two indexes (-1 = not used); values
// travel as text. Calls are safe from several threads at once: each request
// and its reply are exchanged as one unit.
#pragma once

#include <memory>
#include <string>

class VelmClient;

class Velm_util {
 public:
  enum Result : int {
    OK = 0,
    NO_SUCH_PARAMETER = -2,
  };

  Velm_util();
  virtual ~Velm_util();
  Velm_util(const Velm_util&) = delete;
  Velm_util& operator=(const Velm_util&) = delete;

  // 0: value filled; -2: no such parameter; any other value: failure.
  virtual int get(const char* name, std::string& value, int index1, int index2);
  // 0: stored; any other value: failure.
  virtual int set(const char* name, const char* value, int index1, int index2);

  int commit();  // 0 or a negative error number
  int reset();
  int reboot();

 private:
  // Connects on first use, so fakes deriving from this class never do.
  std::unique_ptr<VelmClient> m_client;
};

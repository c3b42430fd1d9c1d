// The card process and the stand-ins of its peers as child processes in the
// test's namespaces, and a UDP client of the front end.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestSupport.h"
#include "icsc/ICSCTlv.h"
#include "icsc/IcscWire.h"

namespace testsupport {

constexpr unsigned short kIcscPort = 5000;
// TimersScalar: velmora-mapped, so a served read proves the whole chain.
constexpr uint32_t kTimersObject = 43;
// Status of an ICSC call that got no answer in time.
constexpr uint8_t kNoAnswer = 0xFF;

// One client socket towards the front end on 127.0.0.1.
class IcscClient {
 public:
  explicit IcscClient(unsigned short port = kIcscPort);
  ~IcscClient();
  IcscClient(const IcscClient&) = delete;
  IcscClient& operator=(const IcscClient&) = delete;

  void sendRaw(const std::vector<uint8_t>& bytes);
  void send(uint8_t op, uint32_t id, const ICSCTlv& cell);
  // The next decodable answer within `timeout`.
  bool receive(icscwire::Header& h, std::vector<ICSCTlv>& cells,
               Clock::duration timeout = std::chrono::seconds(10));
  // One request under a fresh id; answers to earlier ones are skipped. The
  // answer's cell (status from the header when it has no single cell), or a
  // cell with status kNoAnswer; `took` receives the time to the answer.
  ICSCTlv call(uint8_t op, const ICSCTlv& cell, Clock::duration timeout = std::chrono::seconds(10),
               Clock::duration* took = nullptr);

 private:
  int m_fd;
  uint32_t m_id;
};

// The card state's name read over ICSC as the chassis reads it ("ACTIVE",
// ...); empty without an answer within `timeout`. `took` receives the time
// to the answer.
std::string cardState(Clock::duration timeout = std::chrono::seconds(2),
                      Clock::duration* took = nullptr);

// The velmora stand-in on `socket`; without `config` it uses its default,
// without `log` it keeps no request log.
class VelmoraProcess {
 public:
  VelmoraProcess(std::string socket, std::string config = "", std::string log = "");
  VelmoraProcess(const VelmoraProcess&) = delete;
  VelmoraProcess& operator=(const VelmoraProcess&) = delete;

  // Starts it and waits until the socket accepts connections.
  bool start(std::chrono::milliseconds deadline = std::chrono::seconds(20));
  void stop() { m_proc.stop(); }
  // Dies without a chance to clean up, as in a crash; true once it is gone.
  bool kill();
  void signal(int sig) { m_proc.signal(sig); }

 private:
  std::string m_socket, m_config, m_log;
  ChildProcess m_proc;
};

// "main" with the peers a test asks for. Members go in reverse order: the
// front end first, the engine last.
class CardWithPeers {
 public:
  enum Peers : unsigned {
    NONE = 0,
    ENGINE = 1,     // velmora on /tmp/velmora.sock
    FRONT_END = 2,  // udpfe on kIcscPort
    DRIVERS = 4,    // sim_pca9552 and sim_i2cdrv
  };
  explicit CardWithPeers(unsigned peers = ENGINE | FRONT_END) : m_peers(peers) {}

  // Starts the peers, then main; with engine and front end it waits until
  // a read of a velmora-mapped property is served end to end.
  ::testing::AssertionResult start(Clock::duration limit = std::chrono::seconds(20));
  void startDrivers();

  // Set before start().
  std::string panel = "none";        // sim_pca9552 --panel
  std::vector<std::string> pcaArgs;  // more sim_pca9552 options
  std::vector<std::string> i2cArgs{"--period-ms", "500"};
  int boardSlot = 0;                   // the board stand-in on this slot when > 0
  std::vector<std::string> boardArgs;  // more board options
  std::string env;                     // NAME=value words for every process
  std::string mainLog;                 // main's output; a file of its own when empty

  VelmoraProcess velmora{"/tmp/velmora.sock"};
  ChildProcess board, pca, i2c, main, udpfe;

 private:
  unsigned m_peers;
};

}  // namespace testsupport

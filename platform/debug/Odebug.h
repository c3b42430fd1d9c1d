// The card's debug console: named command groups (Cdebugable), their
// commands (CdebugCommand) and the TCP server (CdebugServer) that reads
// command lines from clients and runs them.
//
// A group registers under its name when constructed and unregisters when
// destroyed; a command registers with its group the same way. A command runs
// while the registry is held shared, so a group or command being destroyed
// waits until commands running on console threads have finished.
//
// Console line protocol: see docs/console.md.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace Odebug {

class CdebugCommand;

// Outcome of one command line; the console prints its name in the end line.
enum class Result {
  OK,
  UNKNOWN_GROUP,
  UNKNOWN_COMMAND,
  BAD_ARGUMENT_COUNT,
  TOO_MANY_WORDS,
  BAD_CHARACTERS,
  LINE_TOO_LONG,
  BUSY,
};
const char* resultName(Result r);

constexpr unsigned kMaxWords = 32;
constexpr size_t kMaxLineLength = 1024;

class Cdebugable {
 public:
  explicit Cdebugable(std::string name);
  virtual ~Cdebugable();
  Cdebugable(const Cdebugable&) = delete;
  Cdebugable& operator=(const Cdebugable&) = delete;

  // Runs the command named by the tokens: argv[0] is the command name, or
  // this group's name followed by the command name. The output is copied
  // into `out` (NUL-terminated, cut to size - 1); `out` may be null.
  // Returns 0 when the command ran, -1 otherwise.
  virtual int dbgFind(unsigned argc, char* const* argv, char* out, unsigned size);
  // The same for a whole command line (words separated by blanks).
  virtual int dbgFind(std::string line, char* out, unsigned size);
  // Help of every command, or of the one named by argv[0].
  virtual void dbgHelp(unsigned argc, char* const* argv, std::ostringstream& os);

  const std::string& dbgName() const { return m_dbgName; }

  // Runs the command named by argv[0] with the other tokens as arguments.
  Result dbgRun(unsigned argc, char* const* argv, std::ostringstream& os);

 private:
  friend class CdebugCommand;
  friend Result runCommandLine(const std::string&, std::ostringstream&);
  Result runLocked(unsigned argc, char* const* argv, std::ostringstream& os);
  void helpLocked(unsigned argc, char* const* argv, std::ostringstream& os);
  CdebugCommand* findLocked(const char* name) const;

  std::string m_dbgName;
  std::vector<CdebugCommand*> m_commands;
};

class CdebugCommand {
 public:
  // Without argument-count check.
  CdebugCommand(Cdebugable* group, std::string name, void* context);
  // The platform refuses to run the command with fewer than minArgs or more
  // than maxArgs arguments.
  CdebugCommand(Cdebugable* group, std::string name, unsigned char minArgs, unsigned char maxArgs,
                void* context);
  virtual ~CdebugCommand();
  CdebugCommand(const CdebugCommand&) = delete;
  CdebugCommand& operator=(const CdebugCommand&) = delete;

  // argv[0] is the first argument after the command name.
  virtual void command(unsigned argc, char* const* argv, std::ostringstream& os, void* context) = 0;
  virtual void header(unsigned argc, char* const* argv, std::ostringstream& os);
  virtual void footer(unsigned argc, char* const* argv, std::ostringstream& os);
  virtual void help(std::ostringstream& os);

  const std::string& name() const { return m_name; }
  bool checksArguments() const { return m_checkArgs; }
  unsigned minArgs() const { return m_minArgs; }
  unsigned maxArgs() const { return m_maxArgs; }

 private:
  friend class Cdebugable;
  Cdebugable* m_group;
  std::string m_name;
  bool m_checkArgs;
  unsigned char m_minArgs;
  unsigned char m_maxArgs;
  void* m_context;
};

// Runs one console line: "help", "help <group>", "<group>" (its help) or
// "<group> <command> [args...]". Writes the output to `os`.
Result runCommandLine(const std::string& line, std::ostringstream& os);
// Names of the registered groups, sorted.
std::vector<std::string> groupNames();

// A number argument as the card's 32-bit C library reads it with strtol and
// base 0: decimal, 0x hexadecimal or leading-0 octal; a value beyond the
// 32-bit long is capped at its limit, not wrapped; text that is not a number
// reads as 0.
int32_t numberArg(const char* text);

// One client's side of the line protocol, without the socket: bytes in,
// reply text out. Lines longer than kMaxLineLength are refused whole.
class ConsoleSession {
 public:
  static const char* banner();
  // Appends the replies to `out`; returns false once the client asked to
  // end the session (the rest of `data` is ignored).
  bool feed(const char* data, size_t len, std::string& out);
  // True while the start of a line waits for its end.
  bool midLine() const { return !m_line.empty() || m_tooLong; }
  // Lines completed so far.
  unsigned long linesDone() const { return m_linesDone; }

 private:
  void finishLine(std::string& out);
  std::string m_line;
  bool m_tooLong = false;
  unsigned long m_linesDone = 0;
};

class TraceDebug;

// The console has no authentication and shows credentials (the object dump,
// "velm get"): it belongs on the backplane only (docs/console.md).
class CdebugServer {
 public:
  static constexpr unsigned kMaxClients = 8;

  struct Options {
    // Dotted IPv4 address to listen on; empty: every address.
    std::string address;
    // A client that completed no line for this long is closed.
    unsigned idleTimeoutMs = 10 * 60 * 1000;
    // A client whose line has not ended this long after its first byte is
    // closed: a byte at a time cannot hold a slot.
    unsigned lineTimeoutMs = 30 * 1000;
    // With every slot taken, the client idle longest gives its slot to a
    // new one once it has been idle this long.
    unsigned evictIdleMs = 30 * 1000;
    // A reply must be taken by the client within this time, or the client
    // is closed: one that never reads cannot hold its thread.
    unsigned sendTimeoutMs = 5000;
  };
  // The defaults, changed by FXS_CONSOLE_ADDRESS, FXS_CONSOLE_IDLE_TIMEOUT
  // and FXS_CONSOLE_LINE_TIMEOUT (seconds) in the environment.
  static Options optionsFromEnvironment();

  // The card's console port.
  static constexpr unsigned short kConsolePort = 10000;
  // Port 0 picks a free port (tests); port() then tells which.
  explicit CdebugServer(unsigned short port);
  CdebugServer(unsigned short port, Options options);
  ~CdebugServer();
  CdebugServer(const CdebugServer&) = delete;
  CdebugServer& operator=(const CdebugServer&) = delete;

  bool start();
  void stop();
  unsigned short port() const { return m_port; }

 private:
  enum ClientState : int { CLIENT_IDLE, CLIENT_BUSY, CLIENT_EVICTED };
  struct Client {
    int fd;
    std::thread thread;
    std::atomic<bool> done{false};
    std::atomic<int> state{CLIENT_IDLE};
    std::atomic<int64_t> lastActiveMs{0};
  };
  void acceptLoop();
  void serve(Client* c);
  void reapLocked(bool all);
  // Frees a slot by closing the client idle longest, when one has been idle
  // long enough.
  bool evictLocked();
  bool sendReply(int fd, const std::string& text);

  unsigned short m_port;
  Options m_options;
  int m_listenFd = -1;
  int m_wakeFd[2] = {-1, -1};
  std::atomic<bool> m_stopping{false};
  std::thread m_acceptThread;
  std::mutex m_mutex;
  std::vector<std::unique_ptr<Client>> m_clients;
  std::unique_ptr<TraceDebug> m_traceGroup;
};

}  // namespace Odebug

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <shared_mutex>

#include "debug/Odebug.h"
#include "trace/TraceObject.h"

namespace Odebug {

namespace {

struct Registry {
  std::shared_mutex mutex;
  std::vector<Cdebugable*> groups;
};

Registry& registry() {
  // Never destroyed: groups with static lifetime may unregister during exit.
  static Registry* r = new Registry;
  return *r;
}

Cdebugable* findGroupLocked(const std::string& name) {
  for (Cdebugable* g : registry().groups) {
    if (g->dbgName() == name)
      return g;
  }
  return nullptr;
}

struct ResultText {
  Result result;
  const char* name;
};
constexpr ResultText kResultNames[] = {
    {Result::OK, "ok"},
    {Result::UNKNOWN_GROUP, "unknown-group"},
    {Result::UNKNOWN_COMMAND, "unknown-command"},
    {Result::BAD_ARGUMENT_COUNT, "bad-argument-count"},
    {Result::TOO_MANY_WORDS, "too-many-words"},
    {Result::BAD_CHARACTERS, "bad-characters"},
    {Result::LINE_TOO_LONG, "line-too-long"},
    {Result::BUSY, "busy"},
};

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

bool isWordChar(char c) {
  return c > ' ' && c < 0x7f;
}

// Splits a line into words; anything but printable ASCII and blanks is
// refused so that binary garbage never reaches a command.
Result splitWords(const std::string& line, std::vector<std::string>& words) {
  words.clear();
  size_t i = 0;
  while (i < line.size()) {
    if (isBlank(line[i])) {
      ++i;
      continue;
    }
    size_t start = i;
    while (i < line.size() && isWordChar(line[i]))
      ++i;
    if (i == start || (i < line.size() && !isBlank(line[i])))
      return Result::BAD_CHARACTERS;
    if (words.size() == kMaxWords)
      return Result::TOO_MANY_WORDS;
    words.emplace_back(line, start, i - start);
  }
  return Result::OK;
}

std::vector<char*> argvOf(std::vector<std::string>& words) {
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  for (std::string& w : words)
    argv.push_back(&w[0]);
  argv.push_back(nullptr);
  return argv;
}

void copyOut(const std::string& text, char* out, unsigned size) {
  if (out == nullptr || size == 0)
    return;
  size_t n = std::min<size_t>(text.size(), size - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

}  // namespace

const char* resultName(Result r) {
  for (const ResultText& t : kResultNames) {
    if (t.result == r)
      return t.name;
  }
  return "error";
}

Cdebugable::Cdebugable(std::string name) : m_dbgName(std::move(name)) {
  std::unique_lock<std::shared_mutex> lock(registry().mutex);
  if (findGroupLocked(m_dbgName) != nullptr)
    LOG_WARNING("debug group %s registered twice; the first one keeps the name", m_dbgName.c_str());
  registry().groups.push_back(this);
}

Cdebugable::~Cdebugable() {
  std::unique_lock<std::shared_mutex> lock(registry().mutex);
  auto& g = registry().groups;
  g.erase(std::remove(g.begin(), g.end(), this), g.end());
}

CdebugCommand* Cdebugable::findLocked(const char* name) const {
  for (CdebugCommand* c : m_commands) {
    if (c->m_name == name)
      return c;
  }
  return nullptr;
}

void Cdebugable::helpLocked(unsigned argc, char* const* argv, std::ostringstream& os) {
  if (argc > 0) {
    if (CdebugCommand* c = findLocked(argv[0])) {
      c->help(os);
      return;
    }
    os << "unknown command '" << argv[0] << "' in group " << m_dbgName << "\n";
  }
  os << "commands of group " << m_dbgName << ":\n";
  for (CdebugCommand* c : m_commands)
    c->help(os);
}

Result Cdebugable::runLocked(unsigned argc, char* const* argv, std::ostringstream& os) {
  if (argc == 0) {
    helpLocked(0, nullptr, os);
    return Result::OK;
  }
  CdebugCommand* c = findLocked(argv[0]);
  if (c == nullptr) {
    if (std::strcmp(argv[0], "help") == 0) {
      helpLocked(argc - 1, argv + 1, os);
      return Result::OK;
    }
    os << "unknown command '" << argv[0] << "' in group " << m_dbgName << "\n";
    helpLocked(0, nullptr, os);
    return Result::UNKNOWN_COMMAND;
  }
  unsigned nargs = argc - 1;
  if (c->m_checkArgs && (nargs < c->m_minArgs || nargs > c->m_maxArgs)) {
    os << m_dbgName << " " << c->m_name << ": takes " << unsigned(c->m_minArgs);
    if (c->m_maxArgs != c->m_minArgs)
      os << " to " << unsigned(c->m_maxArgs);
    os << " argument(s), got " << nargs << "\n";
    c->help(os);
    return Result::BAD_ARGUMENT_COUNT;
  }
  c->header(nargs, argv + 1, os);
  c->command(nargs, argv + 1, os, c->m_context);
  c->footer(nargs, argv + 1, os);
  return Result::OK;
}

Result Cdebugable::dbgRun(unsigned argc, char* const* argv, std::ostringstream& os) {
  std::shared_lock<std::shared_mutex> lock(registry().mutex);
  if (argc > 0 && argv[0] != nullptr && m_dbgName == argv[0] && findLocked(argv[0]) == nullptr) {
    --argc;
    ++argv;
  }
  return runLocked(argc, argv, os);
}

int Cdebugable::dbgFind(unsigned argc, char* const* argv, char* out, unsigned size) {
  std::ostringstream os;
  Result r = dbgRun(argc, argv, os);
  copyOut(os.str(), out, size);
  return r == Result::OK ? 0 : -1;
}

// By value: the signature is the console groups' fixed virtual interface.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
int Cdebugable::dbgFind(std::string line, char* out, unsigned size) {
  std::vector<std::string> words;
  std::ostringstream os;
  Result r = splitWords(line, words);
  if (r == Result::OK) {
    std::vector<char*> argv = argvOf(words);
    r = dbgRun(static_cast<unsigned>(words.size()), argv.data(), os);
  } else {
    os << "command line refused: " << resultName(r) << "\n";
  }
  copyOut(os.str(), out, size);
  return r == Result::OK ? 0 : -1;
}

void Cdebugable::dbgHelp(unsigned argc, char* const* argv, std::ostringstream& os) {
  std::shared_lock<std::shared_mutex> lock(registry().mutex);
  helpLocked(argc, argv, os);
}

CdebugCommand::CdebugCommand(Cdebugable* group, std::string name, void* context)
    : CdebugCommand(group, std::move(name), 0, 0, context) {
  m_checkArgs = false;
}

CdebugCommand::CdebugCommand(Cdebugable* group, std::string name, unsigned char minArgs,
                             unsigned char maxArgs, void* context)
    : m_group(group),
      m_name(std::move(name)),
      m_checkArgs(true),
      m_minArgs(minArgs),
      m_maxArgs(maxArgs),
      m_context(context) {
  if (m_group == nullptr)
    return;
  std::unique_lock<std::shared_mutex> lock(registry().mutex);
  m_group->m_commands.push_back(this);
}

CdebugCommand::~CdebugCommand() {
  if (m_group == nullptr)
    return;
  std::unique_lock<std::shared_mutex> lock(registry().mutex);
  auto& c = m_group->m_commands;
  c.erase(std::remove(c.begin(), c.end(), this), c.end());
}

void CdebugCommand::header(unsigned, char* const*, std::ostringstream&) {}

void CdebugCommand::footer(unsigned, char* const*, std::ostringstream&) {}

void CdebugCommand::help(std::ostringstream& os) {
  os << m_name << ":\n";
}

Result runCommandLine(const std::string& line, std::ostringstream& os) {
  std::vector<std::string> words;
  Result r = splitWords(line, words);
  if (r != Result::OK) {
    os << "command line refused: " << resultName(r) << "\n";
    return r;
  }
  if (words.empty())
    return Result::OK;
  std::vector<char*> argv = argvOf(words);
  std::shared_lock<std::shared_mutex> lock(registry().mutex);
  if (words[0] == "help" && findGroupLocked("help") == nullptr) {
    if (words.size() > 1) {
      if (Cdebugable* g = findGroupLocked(words[1])) {
        g->helpLocked(static_cast<unsigned>(words.size() - 2), argv.data() + 2, os);
        return Result::OK;
      }
      os << "unknown group '" << words[1] << "'\n";
    }
    std::vector<Cdebugable*> groups = registry().groups;
    std::sort(groups.begin(), groups.end(),
              [](const Cdebugable* a, const Cdebugable* b) { return a->dbgName() < b->dbgName(); });
    os << "groups:";
    for (const Cdebugable* g : groups)
      os << " " << g->dbgName();
    os << "\n";
    for (const Cdebugable* g : groups) {
      os << "  " << g->dbgName() << ":";
      for (const CdebugCommand* c : g->m_commands)
        os << " " << c->name();
      os << "\n";
    }
    os << "'help <group>' or '<group>' lists a group's commands; '<group> <command> "
          "[arguments]' runs one; 'quit' ends the session\n";
    return words.size() > 1 ? Result::UNKNOWN_GROUP : Result::OK;
  }
  Cdebugable* g = findGroupLocked(words[0]);
  if (g == nullptr) {
    os << "unknown group '" << words[0] << "'; 'help' lists the groups\n";
    return Result::UNKNOWN_GROUP;
  }
  return g->runLocked(static_cast<unsigned>(words.size() - 1), argv.data() + 1, os);
}

int32_t numberArg(const char* text) {
  if (text == nullptr)
    return 0;
  long long v = std::strtoll(text, nullptr, 0);
  return static_cast<int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

std::vector<std::string> groupNames() {
  std::shared_lock<std::shared_mutex> lock(registry().mutex);
  std::vector<std::string> names;
  for (Cdebugable* g : registry().groups)
    names.push_back(g->dbgName());
  std::sort(names.begin(), names.end());
  return names;
}

const char* ConsoleSession::banner() {
  return "# 8fxs debug console: 'help' lists the command groups, 'quit' ends the session\n";
}

void ConsoleSession::finishLine(std::string& out) {
  Result r;
  std::ostringstream os;
  if (m_tooLong) {
    os << "command line longer than " << kMaxLineLength << " characters refused\n";
    r = Result::LINE_TOO_LONG;
  } else {
    if (!m_line.empty() && m_line.back() == '\r')
      m_line.pop_back();
    r = runCommandLine(m_line, os);
  }
  out += os.str();
  std::string text = os.str();
  if (!text.empty() && text.back() != '\n')
    out += '\n';
  out += "#END ";
  out += resultName(r);
  out += '\n';
  m_line.clear();
  m_tooLong = false;
  ++m_linesDone;
}

bool ConsoleSession::feed(const char* data, size_t len, std::string& out) {
  for (size_t i = 0; i < len; ++i) {
    char c = data[i];
    if (c != '\n') {
      if (m_line.size() < kMaxLineLength + 1)
        m_line += c;
      else
        m_tooLong = true;
      continue;
    }
    std::string trimmed = m_line;
    while (!trimmed.empty() && (trimmed.back() == '\r' || isBlank(trimmed.back())))
      trimmed.pop_back();
    size_t lead = 0;
    while (lead < trimmed.size() && isBlank(trimmed[lead]))
      ++lead;
    trimmed.erase(0, lead);
    if (!m_tooLong && (trimmed == "quit" || trimmed == "exit"))
      return false;
    if (m_line.size() > kMaxLineLength)
      m_tooLong = true;
    finishLine(out);
  }
  return true;
}

}  // namespace Odebug

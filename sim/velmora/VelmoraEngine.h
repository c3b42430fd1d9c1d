// The velmora stand-in's state machine: current values over the catalogue's
// defaults, the committed configuration file, and the request log. Pure
// request in, reply out; the socket loop lives in main.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "Catalogue.h"
#include "velm/VelmWire.h"

namespace velmora {

using LogSink = std::function<void(const std::string& line)>;

// One line of the configuration file per set value:
//   name index1 index2 value   (value escaped: \\ \n \r \xHH)
std::string escapeValue(std::string_view v);
bool unescapeValue(std::string_view text, std::string& out);

class Engine {
 public:
  Engine(std::string configPath, LogSink log);

  // Loads the committed configuration (a missing file is an empty one).
  void start();

  // Handles one request; the reply's value points into the engine and stays
  // valid until the next call.
  velmwire::Reply handle(const velmwire::Request& req);

  // Parameter dump lines (credentials masked), filtered by a substring.
  std::vector<std::string> dumpLines(std::string_view filter) const;

 private:
  using Key = std::tuple<const ParamDef*, int32_t, int32_t>;
  using Values = std::map<Key, std::string>;

  int32_t get(const velmwire::Request& req);
  int32_t set(const velmwire::Request& req);
  int32_t commit();
  int32_t reset();
  int32_t reboot();
  int32_t dump(const velmwire::Request& req);
  bool load(Values& out, size_t& skipped) const;
  void log(const std::string& line) const;

  std::string m_configPath;
  LogSink m_log;
  Values m_values;  // every value set since start, reset or reboot
  std::string m_reply;
};

}  // namespace velmora

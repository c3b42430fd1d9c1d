#include "common/FtpTarget.h"

#include <arpa/inet.h>

#include <cctype>

namespace ftp {

namespace {

constexpr size_t kMaxHostName = 253;
constexpr size_t kMaxLabel = 63;

bool hostNameLabel(const std::string& label) {
  if (label.empty() || label.size() > kMaxLabel || label.front() == '-' || label.back() == '-')
    return false;
  for (char c : label) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-')
      return false;
  }
  return true;
}

}  // namespace

bool validHost(const std::string& host) {
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
    in6_addr v6{};
    return inet_pton(AF_INET6, host.substr(1, host.size() - 2).c_str(), &v6) == 1;
  }
  if (host.empty() || host.size() > kMaxHostName)
    return false;
  bool numeric = true;
  size_t start = 0;
  while (start <= host.size()) {
    size_t dot = host.find('.', start);
    std::string label = host.substr(start, dot == std::string::npos ? dot : dot - start);
    if (!hostNameLabel(label))
      return false;
    numeric = numeric && label.find_first_not_of("0123456789") == std::string::npos;
    if (dot == std::string::npos)
      break;
    start = dot + 1;
  }
  // All digits: it is meant as an IPv4 address and must be one.
  in_addr v4{};
  return !numeric || inet_pton(AF_INET, host.c_str(), &v4) == 1;
}

std::string url(const Target& target, const std::string& remoteName) {
  std::string dir = target.directory;
  while (!dir.empty() && dir.front() == '/')
    dir.erase(0, 1);
  while (!dir.empty() && dir.back() == '/')
    dir.pop_back();
  std::string u = "ftp://" + target.host + ":" + std::to_string(target.port) + "/";
  if (!dir.empty())
    u += dir + "/";
  return u + remoteName;
}

}  // namespace ftp

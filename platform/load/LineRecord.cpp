#include "load/LineRecord.h"

namespace linerec {

bool split(const std::string& text, std::vector<std::vector<std::string>>& lines) {
  lines.clear();
  if (text.empty() || text.back() != '\n')
    return false;
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    if (c == '\n' || c == ' ') {
      if (word.empty())
        return false;  // empty line, or a blank at the start, end or twice
      words.push_back(word);
      word.clear();
      if (c == '\n') {
        lines.push_back(words);
        words.clear();
      }
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      return false;
    } else {
      word += c;
    }
  }
  return true;
}

std::string join(const std::vector<std::string>& words, size_t first) {
  std::string out;
  for (size_t i = first; i < words.size(); ++i)
    out += (i > first ? " " : "") + words[i];
  return out;
}

bool number(const std::string& word, unsigned base, uint64_t max, uint64_t& value) {
  if (word.empty() || word.size() > 20)
    return false;
  uint64_t v = 0;
  for (char c : word) {
    unsigned d = static_cast<unsigned>(c - '0');
    if (c < '0' || d >= base)
      return false;
    if (d > max || v > (max - d) / base)
      return false;
    v = v * base + d;
  }
  value = v;
  return true;
}

}  // namespace linerec

// The small text records of the loads (manifest, slot state): lines ended
// by '\n', words separated by one blank, printable characters only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace linerec {

// False for an empty text, a missing final '\n', an empty line, a leading,
// trailing or doubled blank, or a control character.
bool split(const std::string& text, std::vector<std::vector<std::string>>& lines);
// The words of a line (from `first`) joined by single blanks.
std::string join(const std::vector<std::string>& words, size_t first = 0);
// Digits of `base` only (8 or 10), no sign or prefix, at most `max`.
bool number(const std::string& word, unsigned base, uint64_t max, uint64_t& value);

}  // namespace linerec

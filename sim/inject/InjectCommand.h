// Builds one driver or telephony-engine message for "/queueToMain" from a
// bench command line (./dev inject KIND [SUB] ARGS), by a table of kinds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Returns false and fills `error` when the words do not form a message.
bool buildInjectMessage(const std::vector<std::string>& words, std::vector<uint8_t>& msg,
                        std::string& error);
// Every kind with its arguments and what it sends, one line each.
std::string injectUsage();

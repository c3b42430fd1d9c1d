// The card state and its active hardware alarms, read over ICSC from the
// card's UDP front end the way the chassis reads them.
#pragma once

#include <string>
#include <vector>

struct CardStatus {
  std::string state = "?";          // "?" when the card did not answer
  std::vector<std::string> alarms;  // names of the active hardware errors
};

// One request (state name, name and active flag of every hardware error),
// answered within `timeoutMs` or not at all.
CardStatus queryCardStatus(const std::string& host, int port, int timeoutMs);

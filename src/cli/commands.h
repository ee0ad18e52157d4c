#pragma once
// The commands of the unitarc tool, on an open data module.
#include <string>
#include <vector>

#include "shell/untKQDM_BSJDW.h"

namespace unitarc::cli {

// Exit statuses.
inline constexpr int kDone = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;

// `package (--all | CODE...)`: generates the packages of the chosen entities.
int packageCommand(TKQDM_BSJDW& dm, const std::vector<std::string>& args);

// Prints a message of the system; a CR LF inside it becomes a line break.
void printMessage(const std::string& message);

}  // namespace unitarc::cli

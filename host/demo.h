#pragma once
// The demo workspace: two projects with resources of every kind.
#include <string>

namespace hostwork {

// Opens a workspace in dir (which must not hold a workspace yet) and fills it: project
// types, the projects "P2026001" (with an audited entity) and "P2026002" (without), and in
// each a resource tree with files under File/<ResCreateAppID>/, and sample entity data
// packages in packages/. Leaves no project current.
// Throws std::runtime_error on failure.
void initDemo(const std::string& dir);

}  // namespace hostwork

#pragma once
// Every entity's audit materials carry a folder for the current project.
#include <string>

#include "shell/untKQDM_BSJDW.h"

namespace unitarc::package {

// 1 created (or the last insert's result); -100 the project has no name; -200 the folder
// existed and was refreshed; -888 the last disk folder could not be made; an insert's code.
int bindEntityToProject(TKQDM_BSJDW& dm, const std::string& code, const std::string& serial);
// Renames every entity's folder of the current project after the project's name and
// refreshes its copy of the project's basic information.
void refreshCurrentProject(TKQDM_BSJDW& dm);

}  // namespace unitarc::package

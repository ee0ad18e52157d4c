#pragma once
// Importing entity data packages and deleting entities: the routines and the logic of the
// import and delete actions, returning the messages the window shows.
#include <string>
#include <vector>

#include "shell/untKQDM_BSJDW.h"

namespace unitarc::package {

// The package root that ExtractFile returned after unpacking into the unpack folder; "" on failure.
std::string unpackPackage(const std::string& archive);
// package root + "/所有文件/基本信息/基本信息.xml" when that file exists; "" otherwise.
std::string baseInfoPath(const std::string& packageRoot);
// -1 the project names no audited entity; 1 the code is the project's own entity; 0 another one.
int projectEntityCheck(const std::string& code);
bool entityExists(TKQDM_BSJDW& dm, const std::string& code);
// Extracts into the entity package root; "" on failure.
std::string extractPackage(TKQDM_BSJDW& dm, const std::string& archive, const std::string& code);
// Removes the entity package root and every row of the entity; failures end it silently.
void deleteEntity(TKQDM_BSJDW& dm, const std::string& code);
// After a failed binding: removes the audit-material rows that the binding left behind: the
// current project's folders that carry a FileID (imported rows carry none) with everything
// below them, and the disk folders the binding made for them.
void bindingCleanup(TKQDM_BSJDW& dm, const std::string& code, const std::string& serial);

struct ImportOutcome {
    std::vector<std::string> messages;   // in the order they were added
    int imported = 0;                    // packages imported
    int refused = 0;                     // packages refused or failed
    int bindingFailures = 0;             // imported, but the project's folder could not be made
};

// The per-package steps of the import action for every chosen file, in order. Each package
// lands whole or not at all.
ImportOutcome importPackages(TKQDM_BSJDW& dm, const std::vector<std::string>& archives);

// The text the import action shows after its reload: the joined messages (CR LF), or
// "导入被审计单位资料树成功！" when none was collected.
std::string importSummary(const ImportOutcome& outcome);

// Deletes the entity and returns "删除被审计单位[" + name + "]的数据包成功！".
std::string deleteEntityAction(TKQDM_BSJDW& dm, const std::string& code, const std::string& name);

}  // namespace unitarc::package

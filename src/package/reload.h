#pragma once
// The management tree: the project, its entities with their basic information and four
// category trees, rebuilt whole.
#include <string>
#include <vector>

#include "shell/untKQDM_BSJDW.h"
#include "store/tree.h"

namespace unitarc::package {

struct ReloadResult {
    std::vector<std::string> failures;   // each "创建节点[" name "]失败！", in order
};

// Rebuilds `tree` (cleared first). The verb goes into the busy-window texts ("导入",
// "删除", "保存"); owner is handed to BeginProcess. Errors reach the caller after the
// busy window is closed.
ReloadResult reloadTree(TKQDM_BSJDW& dm, store::Tree& tree, const std::string& verb, void* owner = nullptr);
// The same, gathering the failures into `result` as they come, so that the caller still has
// them when an error ends the reload halfway.
void reloadTree(TKQDM_BSJDW& dm, store::Tree& tree, const std::string& verb, ReloadResult& result,
                void* owner = nullptr);

// One line per node in pre-order: two spaces per level, the text, a tab, the kind, a tab,
// the key, a tab, the image index (kind and key empty for a node without record).
std::vector<std::string> treeLines(const store::Tree& tree);

}  // namespace unitarc::package

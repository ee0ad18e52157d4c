#pragma once
// Package generation for chosen entities: write, compress, mark, register.
#include <string>
#include <vector>

#include "shell/untKQDM_BSJDW.h"

namespace unitarc::package {

struct EntityChoice {
    std::string code;
    std::string name;       // the caption shown for it
    bool principal = false; // the project's own audited entity (image 1); else extended (image 2)
};

// "[" + name + "]" or "（延伸单位）[" + name + "]".
std::string entityLabel(const EntityChoice& entity);

// Every entity in DeptIndex order, with principal set when its code equals the project's
// AuditedCorpID exactly; and the project's name for the list's root.
struct EntityList {
    std::string projectName;
    std::vector<EntityChoice> entities;
};
EntityList listEntities(TKQDM_BSJDW& dm);

// host program's folder + "~KQ~temp/BSJDWPck/".
std::string stagingFolder();
// What creating the dialog does: refresh the current project everywhere, recreate the staging folder.
void prepareGeneration(TKQDM_BSJDW& dm);

// Shown when a run has no entity to package, and at the end of a run that collected no line.
inline constexpr const char* kNoEntityChosen = "请选择被审计单位！";
inline constexpr const char* kGenerationDone = "生成被审计单位数据包完成！";

struct GenerationOutcome {
    std::vector<std::string> lines;   // one per entity: success lines, then at most one failure
    bool failed = false;
    std::vector<std::string> archives;  // the archive of each packaged entity, in order
    std::vector<std::string> warnings;  // failed Word exports of working papers, to be shown
};
// The run over the chosen entities, in order; a failing entity stops it. owner goes to BeginProcess.
// An entity fails when its package root cannot be written or CompressFile returns no archive;
// its marks stay where they were. Errors of the database propagate, after EndProcess.
GenerationOutcome generatePackages(TKQDM_BSJDW& dm, const std::vector<EntityChoice>& entities,
                                   void* owner = nullptr);
// Hands an archive to the host's "XMGL"/"ReferenceDataPackage_Show"; whatever the host does is swallowed.
void registerPackage(const std::string& label, const std::string& archive);
// The text shown at the end: the joined lines (CR LF), or "生成被审计单位数据包完成！".
std::string generationSummary(const GenerationOutcome& outcome);

}  // namespace unitarc::package

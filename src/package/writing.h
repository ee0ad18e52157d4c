#pragma once
// Writing the package root of one entity in the staging folder, and the marks that make the
// next package of the entity incremental.
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/fs.h"
#include "platform/xml.h"
#include "shell/untKQDM_BSJDW.h"
#include "store/records.h"

namespace unitarc::package {

// Results of writePackage.
inline constexpr int kPackageWritten = 1;
inline constexpr int kNoStagingFolder = -100;
inline constexpr int kDeleteFailed = -1;     // a folder of the package root could not be removed
inline constexpr int kCreateFailed = -2;     // a folder of the package root could not be made
inline constexpr int kFileNotWritten = -3;   // a material, the basic information or the description
                                             // could not be written into the package root
inline constexpr int kBadEntityCode = -4;    // the code is not one plain path component

// Work folders under the host program's folder.
std::string wordExportFolder();              // "~KQ~temp/rjdgTemp/"

// The warning of a failed Word export (lines separated by CR).
extern const std::string kWordExportWarning;

// Writes the package root stagingFolder + code + "/" with the fixed folders, the basic
// information when KQTag and NodeID differ, the categories in the order financial data,
// financial materials, business materials, audit materials, and "数据包描述.xml" last.
// Warnings of failed Word exports go to *warnings. Errors of the database propagate.
int writePackage(TKQDM_BSJDW& dm, const std::string& code, const std::string& stagingFolder,
                 xml::Document& description, std::vector<std::string>* warnings = nullptr);

// After the archive is made: NodeID = KQTag of the entity, and every file row made in this
// project gets CreateTime = the file time of its material. All or nothing.
void markPackaged(TKQDM_BSJDW& dm, const std::string& code);

// Removes the folder when it exists, then creates it (with missing parents):
// 1 created; -1 removing the old folder failed; -2 creating failed.
int recreateFolder(const std::string& path);

// File time as the packages compare it: the last-write time in 2-second steps, now when unreadable.
inline double fileTime(const std::string& path) { return fs::fileTime(path); }

// One column of the entity's AuditedDeptInfo row as text; "" on any failure.
inline std::string entityField(TKQDM_BSJDW& dm, const std::string& code, std::string_view column) {
    return store::entityField(dm, code, column);
}

// Asks the host's "DGGL"/"exportDataToWord" to write the working paper into target. The host
// function's result; 0 when the host offers none; -1 when it failed, with kWordExportWarning
// in *warning.
int exportWorkingPaperToWord(const std::string& resTypeName, const std::string& resId, const std::string& target,
                             std::string* warning = nullptr);
// A free name in the Word export folder (created when missing): the local time as
// "yyyymmddhhMMss" + ".doc", with "_1", "_2" ... before ".doc" when that name is taken.
std::string newWordExportPath();

// --- the steps, exposed for the generation and for tests

// One material row as the writer reads it.
struct MaterialRecord {
    std::string dirId, pDirId, name, nodeId, fileId, type, fileName;
    long long fileTag = 0;
    long long kqTag = 0;
    double createTime = 0;
    // financial / business materials
    std::string materialName;
    double materialDate = 0;
    // audit materials
    std::string title, docType, docNo, issuer, copyTo, subject, summary, organCode;
    double written = 0, filed = 0;
};

// Every row of one category of one entity, read once, in the table's row order: the
// ancestors, children and companions are found here instead of by a query per row.
class CategoryRows {
public:
    // kind 3 to 6. Errors of the database propagate.
    void load(TKQDM_BSJDW& dm, int kind, const std::string& code);

    int kind() const { return m_kind; }
    const std::vector<MaterialRecord>& rows() const { return m_rows; }
    const MaterialRecord* find(const std::string& dirId) const;
    // The category's root row: the first row whose PDirID is empty; null when none.
    const MaterialRecord* root() const;
    // Rows whose PDirID is dirId, in row order.
    std::vector<const MaterialRecord*> children(const std::string& dirId) const;
    // The names of the row's ancestors from the outermost inwards, each followed by "/":
    // the climb stops at a PDirID of "", "0" or "-1", at a missing row, or at a loop.
    // nullopt when a name is not one plain path component.
    std::optional<std::string> ancestorPath(const std::string& dirId) const;

    // Rows under parentDirId whose Name equals name in any case of Latin letters, in row order.
    std::vector<const MaterialRecord*> siblingsNamed(const std::string& parentDirId, const std::string& name) const;

private:
    int m_kind = 0;
    std::vector<MaterialRecord> m_rows;
    std::unordered_map<std::string, std::size_t> m_byDirId;
    std::unordered_map<std::string, std::vector<std::size_t>> m_byParent;
    std::unordered_map<std::string, std::vector<std::size_t>> m_byParentAndName;
};

struct Companion {
    std::string dirId, fileName;
    double createTime = 0;
};
// The other row of a financial-data item: same PDirID, same Name (Latin letters in any case),
// another DirID. Empty when none.
Companion companionRow(const CategoryRows& rows, const std::string& parentDirId, const std::string& dirId,
                       const std::string& name);

struct SourcePath {
    std::string path;       // "" when there is no file
    bool exported = false;  // a working paper exported to Word for the package
};
// Where a material's file is: a stored file below the entity package root, a project resource,
// or, for a "DGGL_" resource, a fresh Word export (only when exportToWord is set; otherwise the
// resource's own file, as the mark step reads it).
SourcePath sourcePath(const TKQDM_BSJDW& dm, const CategoryRows& rows, const std::string& code,
                      const std::string& fileName, const std::string& dirId, bool exportToWord,
                      std::vector<std::string>* warnings = nullptr);

// packageRoot + "所有文件/" + the ancestors' names + fileName.
std::string destinationPath(const CategoryRows& rows, const std::string& packageRoot, const std::string& dirId,
                            const std::string& fileName);

// The state of writing one entity's package.
struct WriteContext {
    TKQDM_BSJDW* dm = nullptr;
    std::string code;
    std::string packageRoot;   // ends in "/"
    std::string serial;        // the current project's serial (项目编号)
    std::vector<std::string>* warnings = nullptr;
};

// Writer numbers: 1 audit materials, 2 financial data, 3 financial materials, 4 business materials.
int writerKind(int writerNumber);
// Adds the category's element under parent and writes its children into targetFolder.
// kPackageWritten or a failure code.
int writeCategory(WriteContext& context, xml::Node parent, int writerNumber, const std::string& targetFolder);
// Writes the selected children of parentDirId under parent, into folder (ends in "/").
int writeChildren(WriteContext& context, const CategoryRows& rows, xml::Node parent, const std::string& parentDirId,
                  const std::string& folder);

}  // namespace unitarc::package

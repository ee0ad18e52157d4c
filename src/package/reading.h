#pragma once
// Reading the description of an extracted package into the entity database.
#include <string>

#include "package/format.h"
#include "shell/untKQDM_BSJDW.h"
#include "store/records.h"

namespace unitarc::xml {
class Node;
}

namespace unitarc::package {

// Result codes of the description import. The import action tests only the sign.
namespace reading {
inline constexpr int kBaseInfoStored = 10;
inline constexpr int kInserted = 1;
inline constexpr int kNoDescription = -100;
inline constexpr int kNoDocumentElement = -101;
inline constexpr int kNoAllFilesFolder = -110;
// A folder name or file text that is not one plain path component: nothing is written.
inline constexpr int kUnsafeName = -120;
inline constexpr int kNoEntityCode = -200;
inline constexpr int kNoCategories = -1000;
inline constexpr int kNoCategoryName = -900;
inline constexpr int kEmptyEntityCode = -901;
inline constexpr int kNoFinanceDataId = -902;
inline constexpr int kNoFinanceResId = -903;
inline constexpr int kNoTransResId = -904;
inline constexpr int kNoAuditResId = -905;
inline constexpr int kUnknownCategory = -906;
inline constexpr int kEntityRowFailed = -910;
// An error no step of the reading expects (the database went away): the package fails.
inline constexpr int kUnexpected = -1;
}  // namespace reading

// Codes of the material levels, per kind 3..6.
int emptyLevelCode(int kind);    // -800, -600, -400, -200
int readFailureCode(int kind);   // -700, -500, -300, -100
int insertFailureCode(int kind); // -920, -930, -940, -950

// Reads packageRoot + "/数据包描述.xml" into rows of the entity named by the package's basic
// information. Never throws.
int importDescription(TKQDM_BSJDW& dm, const std::string& packageRoot);

// True when every material element below the four categories has a `name` that is one plain
// path component, and every file element (filetag 1) a text that is one: what the reader and
// the binding turn into paths.
bool descriptionNamesAreSafe(const xml::Node& documentElement);

// A row as the reading writes it: the audit organ's code comes from the package.
struct ReadingRow : store::MaterialRow {
    std::string organId;  // 审计机关代码
};

// The insert statement of the reading for one row of kind 3..6 (no CreateTime), exposed for
// tests of its fragments. The DirIndex is given.
std::string readingInsertSql(int kind, const ReadingRow& row, long long dirIndex);

}  // namespace unitarc::package

#pragma once
// Record store operations: the runners, the host look-ups, the path and key look-ups in the
// material tables, and the insert and update of one material row per category.
#include <string>
#include <string_view>

#include "platform/db.h"
#include "shell/untKQDM_BSJDW.h"

namespace unitarc::store {

// 1 when the query was closed, given the SQL and opened; -1 on error.
int runQuery(db::Query& query, std::string_view sql);
// 1 when the statement ran on the entity database; -1 on error.
int executeStatement(TKQDM_BSJDW& dm, std::string_view sql);
// Largest value of the column, 0 for an empty table. Errors reach the caller (db::Error).
long long maxIndex(TKQDM_BSJDW& dm, std::string_view table, std::string_view column);

// Host look-ups through the lent connections; the fallback on any error.
std::string prjInfoField(const std::string& serial, std::string_view column);      // "" fallback
std::string resField(const std::string& resId, std::string_view column);           // "" fallback
std::string typeCaption(const std::string& typeName, std::string_view column = "TypeCaption");  // "系统资料" fallback

// Path relative to the entity data folder: code + "/所有文件/" + ancestors' names + (own
// FileName or Name + "/" with withSelf). "" on error.
std::string materialPath(TKQDM_BSJDW& dm, int kind, const std::string& code, const std::string& dirId,
                         bool withSelf);
// Full path of a material's file: a stored file below the entity data folder, or the host
// project's file of a resource reference ("|" + ResID); "" when there is none.
std::string storedFilePath(TKQDM_BSJDW& dm, const std::string& code, const std::string& fileName,
                           const std::string& dirId, int kind);
// The host project's file of resource resId: project folder + "File/" + ResCreateAppID + "/" +
// ResFileName; "" when the project folder is missing, ResFileFlag is not "1", or a name is not
// one plain component.
std::string resourceFilePath(const std::string& resId);
// DirID of the other row of a financial-data pair; "" when none or on error.
std::string companionKey(TKQDM_BSJDW& dm, const std::string& parentDirId, const std::string& dirId,
                         const std::string& name);
// The same row with the file name and CreateTime the package writer compares; all empty or 0
// when there is none or on error.
struct CompanionRow {
    std::string dirId, fileName;
    double createTime = 0;
};
CompanionRow companionRow(TKQDM_BSJDW& dm, const std::string& parentDirId, const std::string& dirId,
                          const std::string& name);
// True and the row's DirID when the parent already holds a row of that Name for the entity.
// Errors reach the caller.
bool nameCheck(TKQDM_BSJDW& dm, int kind, const std::string& parentDirId, const std::string& code,
               const std::string& name, std::string* foundDirId = nullptr);

// One column of the entity's AuditedDeptInfo row as text; "" on any failure.
std::string entityField(TKQDM_BSJDW& dm, const std::string& code, std::string_view column);

// The material file path of the previews: like materialPath, but the row always contributes
// its FileName (empty for a folder). "" on error.
std::string materialFilePath(TKQDM_BSJDW& dm, int kind, const std::string& code, const std::string& dirId);
// One column of a material row as text; "" on any failure or for a kind outside 3 to 6.
std::string materialField(TKQDM_BSJDW& dm, int kind, const std::string& code, const std::string& dirId,
                          std::string_view field);

// One material row as the writers take it. Category columns unused by a table are ignored.
struct MaterialRow {
    std::string code;        // AuditedDeptCode
    std::string dirId, pDirId;
    int fileTag = 0;
    std::string name, nodeId, type;
    std::string fileName;
    int imageIndex = 0;
    int canVisible = 1;
    double createTime = 0;
    // financial / business materials: 财务资料名称 + 财务资料日期, 业务资料名称 + 业务资料日期
    std::string materialName;
    double materialDate = 0;
    // audit materials
    std::string prjSerial;   // 项目编号
    std::string title;       // 标题
    std::string docType;     // 类型
    std::string docNo;       // 文号
    std::string issuer;      // 发文单位
    std::string copyTo;      // 抄送单位
    double written = 0;      // 成文时间
    double filed = 0;        // 归档时间
    std::string subject;     // 主题词
    std::string summary;     // 摘要
};

// 1, or the table's failure code (-998, -997, -996, -999). Only the execution is guarded:
// an error while gathering values (Max index) reaches the caller.
int insertMaterialRow(TKQDM_BSJDW& dm, int kind, const MaterialRow& row);
// Sets the columns of the row with row.dirId. keepAuditIds keeps FileID and 审计机关代码 of
// an audit material.
int updateMaterialRow(TKQDM_BSJDW& dm, int kind, const MaterialRow& row, bool keepAuditIds = false);

// The SQL texts, exposed for tests of their exact fragments.
std::string insertMaterialSql(TKQDM_BSJDW& dm, int kind, const MaterialRow& row);
std::string updateMaterialSql(int kind, const MaterialRow& row, bool keepAuditIds);

}  // namespace unitarc::store

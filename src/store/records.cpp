#include "store/records.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

#include "platform/fs.h"
#include "platform/text.h"
#include "shell/hostapi.h"
#include "store/ids.h"
#include "store/schema.h"

namespace unitarc::store {

namespace {

constexpr const char* kSystemMaterial = "系统资料";

const char* tableOf(int kind) {
    const schema::Category* c = schema::category(kind);
    return c ? c->table.data() : nullptr;
}

int failureCode(int kind) {
    const schema::Category* c = schema::category(kind);
    return c ? c->failureCode : -1;
}

// "Select * from <table> where AuditedDeptCode=" + quoted code; "" for an unknown kind.
std::string entityRowsSql(const char* select, int kind, const std::string& code) {
    const char* table = tableOf(kind);
    if (!table) return {};
    return std::string(select) + " * from " + table + " where AuditedDeptCode=" + text::quoted(code);
}

// A look-up on a lent host connection. The query is declared after the connection so that
// it lets go of it first; the connection itself is only let go, never closed.
std::string hostLookup(std::unique_ptr<db::Connection> connection, const std::string& sql,
                       std::string_view column, const std::string& fallback) {
    try {
        if (!connection) return fallback;
        db::Query query(connection.get());
        query.open(sql);
        if (query.eof()) return {};
        return query.text(column);
    } catch (...) {
        return fallback;
    }
}

std::string organId() { return prjInfoField(host::host().curPrjSerial(), "PrjExecuteOrganID"); }

// Builds "name=value" assignments of an update, the names padded to 21 GBK bytes.
class Assignments {
public:
    void add(std::string_view column, std::string value) {
        if (!m_text.empty()) m_text += ',';
        m_text += text::padGbk(column, 21);
        m_text += '=';
        m_text += value;
    }
    const std::string& str() const { return m_text; }

private:
    std::string m_text;
};

std::string integer(long long v) { return std::to_string(v); }

std::string joinValues(const std::vector<std::string>& values) {
    std::string out;
    for (const auto& v : values) {
        if (!out.empty()) out += ',';
        out += v;
    }
    return out;
}

}  // namespace

int runQuery(db::Query& query, std::string_view sql) {
    try {
        query.close();
        query.sql = std::string(sql);
        query.open();
        return 1;
    } catch (...) {
        return -1;
    }
}

int executeStatement(TKQDM_BSJDW& dm, std::string_view sql) {
    try {
        dm.conUNITARC.execute(sql);
        return 1;
    } catch (...) {
        return -1;
    }
}

long long maxIndex(TKQDM_BSJDW& dm, std::string_view table, std::string_view column) {
    db::Query query(&dm.conUNITARC);
    query.open("Select Max(" + std::string(column) + ") as MaxIndex From " + std::string(table));
    if (query.eof()) return 0;
    return query.integer("MaxIndex");
}

std::string prjInfoField(const std::string& serial, std::string_view column) {
    return hostLookup(hostBaseConnection(),
                      "Select " + std::string(column) + " From KQ_PrjInfo Where PrjID = " + text::quoted(serial),
                      column, {});
}

std::string resField(const std::string& resId, std::string_view column) {
    // ResID goes into the statement unquoted: anything but digits would be SQL of its own.
    if (resId.empty() || !std::all_of(resId.begin(), resId.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return {};
    return hostLookup(hostProjectConnection(),
                      "Select " + std::string(column) + " From KQ_ResTrv Where ResID = " + resId, column, {});
}

std::string typeCaption(const std::string& typeName, std::string_view column) {
    return hostLookup(hostBaseConnection(),
                      "Select " + std::string(column) + " From KQ_TypeInfo Where TypeName = " + text::quoted(typeName),
                      column, kSystemMaterial);
}

namespace {

// The climb of the material path. `self` decides what the row itself contributes once found.
enum class SelfPart { None, ByFileTag, FileName };

std::string climbPath(TKQDM_BSJDW& dm, int kind, const std::string& code, const std::string& dirId,
                      SelfPart self) {
    try {
        db::Query query(&dm.conUNITARC);
        const std::string sql = entityRowsSql("Select", kind, code);
        if (sql.empty() || runQuery(query, sql) != 1) return {};

        std::string path;
        if (query.locate("DirID", dirId)) {
            std::string parent = query.text("PDirID");
            if (self == SelfPart::FileName)
                path = query.text("FileName");
            else if (self == SelfPart::ByFileTag)
                path = query.integer("FileTag") != 0 ? query.text("FileName") : query.text("Name") + "/";
            // A loop in the parent keys would climb for ever: no path can be longer than the rows.
            std::size_t steps = 0;
            const std::size_t limit = query.recordCount();
            while (!schema::isTopParent(parent) && query.locate("DirID", parent)) {
                if (++steps > limit) return {};
                path = query.text("Name") + "/" + path;
                parent = query.text("PDirID");
            }
        }
        return code + "/所有文件/" + path;
    } catch (...) {
        return {};
    }
}

}  // namespace

std::string materialPath(TKQDM_BSJDW& dm, int kind, const std::string& code, const std::string& dirId,
                         bool withSelf) {
    return climbPath(dm, kind, code, dirId, withSelf ? SelfPart::ByFileTag : SelfPart::None);
}

std::string materialFilePath(TKQDM_BSJDW& dm, int kind, const std::string& code, const std::string& dirId) {
    return climbPath(dm, kind, code, dirId, SelfPart::FileName);
}

std::string storedFilePath(TKQDM_BSJDW& dm, const std::string& code, const std::string& fileName,
                           const std::string& dirId, int kind) {
    try {
        if (fileName.find('|') == std::string::npos) {
            const std::string relative = materialPath(dm, kind, code, dirId, false);
            if (relative.empty()) return {};  // a failed path must not name a file in the data folder
            return dm.folder() + relative + fileName;
        }
        return resourceFilePath(fileName.substr(1));
    } catch (...) {
        return {};
    }
}

std::string resourceFilePath(const std::string& resId) {
    try {
        const std::string folder = host::host().prjFolder(host::host().curPrjSerial());
        if (folder.empty() || !fs::isDirectory(folder)) return {};
        if (resField(resId, "ResFileFlag") != "1") return {};
        const std::string app = resField(resId, "ResCreateAppID");
        const std::string name = resField(resId, "ResFileName");
        // The row names one folder and one file below File: nothing else may become the path.
        if (!fs::isPlainComponent(app) || !fs::isPlainComponent(name)) return {};
        return addBackslash(folder) + "File/" + app + "/" + name;
    } catch (...) {
        return {};
    }
}

std::string companionKey(TKQDM_BSJDW& dm, const std::string& parentDirId, const std::string& dirId,
                         const std::string& name) {
    return companionRow(dm, parentDirId, dirId, name).dirId;
}

CompanionRow companionRow(TKQDM_BSJDW& dm, const std::string& parentDirId, const std::string& dirId,
                          const std::string& name) {
    try {
        db::Query query(&dm.conUNITARC);
        query.open("Select * From FinanceDataInfo Where (PDirID = " + text::quoted(parentDirId) +
                   ") and (Name = " + text::quoted(name) + ") and (DirID <> " + text::quoted(dirId) + ")");
        if (query.eof()) return {};
        return {query.text("DirID"), query.text("FileName"), query.number("CreateTime")};
    } catch (...) {
        return {};
    }
}

bool nameCheck(TKQDM_BSJDW& dm, int kind, const std::string& parentDirId, const std::string& code,
               const std::string& name, std::string* foundDirId) {
    const std::string head = entityRowsSql("select", kind, code);
    if (head.empty()) throw db::Error("no material table for kind " + std::to_string(kind));
    db::Query query(&dm.conUNITARC);
    query.open(head + " and " + "PDirID=" + text::quoted(parentDirId) + " and " + "Name=" + text::quoted(name));
    if (query.eof()) return false;
    if (foundDirId) *foundDirId = query.text("DirID");
    return true;
}

std::string entityField(TKQDM_BSJDW& dm, const std::string& code, std::string_view column) {
    try {
        db::Query query(&dm.conUNITARC);
        query.open("Select " + std::string(column) + " From AuditedDeptInfo Where AuditedDeptCode = " +
                   text::quoted(code));
        if (query.eof()) return {};
        return query.text(column);
    } catch (...) {
        return {};
    }
}

std::string materialField(TKQDM_BSJDW& dm, int kind, const std::string& code, const std::string& dirId,
                          std::string_view field) {
    const char* table = tableOf(kind);
    if (!table) return {};
    try {
        db::Query query(&dm.conUNITARC);
        query.open("Select " + std::string(field) + " from " + table + " " + "where (AuditedDeptCode=" +
                   text::quoted(code) + ") and (DirID=" + text::quoted(dirId) + ")");
        if (query.eof()) return {};
        return query.text(field);
    } catch (...) {
        return {};
    }
}

std::string insertMaterialSql(TKQDM_BSJDW& dm, int kind, const MaterialRow& row) {
    const char* table = tableOf(kind);
    if (!table) return {};
    const std::string q = text::quoted(row.code);
    const std::string dirIndex = integer(maxIndex(dm, table, "DirIndex") + 1);
    const std::string fileId = text::quoted(newFileId(row.code));
    std::string head;
    std::vector<std::string> v;
    switch (kind) {
        case 3:
            head = "Insert Into FinanceDataInfo (AuditedDeptCode, DirID, PDirID, DirIndex,FileTag, KQTag, Name, "
                   "NodeID, FileID,FileName, ImageIndex, Type, CanVisible, CreateTime) Values (";
            v = {q, text::quoted(row.dirId), text::quoted(row.pDirId), dirIndex, integer(row.fileTag), "1",
                 text::quoted(row.name), text::quoted(row.nodeId), fileId, text::quoted(row.fileName),
                 integer(row.imageIndex), text::quoted(row.type), integer(row.canVisible),
                 text::sqlNumber(row.createTime)};
            break;
        case 4:
            head = "Insert Into FinanceResourceInfo (AuditedDeptCode, DirID, PDirID, DirIndex,KQTag, FileTag, Name, "
                   "NodeID, Type, FileID,被审计单位识别码, 财务资料名称, 财务资料日期,FileName, ImageIndex, "
                   "CanVisible, CreateTime) Values (";
            v = {q, text::quoted(row.dirId), text::quoted(row.pDirId), dirIndex, "1", integer(row.fileTag),
                 text::quoted(row.name), text::quoted(row.nodeId), text::quoted(schema::code::CWZL), fileId, q,
                 text::quoted(row.materialName), text::sqlNumber(row.materialDate), text::quoted(row.fileName),
                 integer(row.imageIndex), "1", text::sqlNumber(row.createTime)};
            break;
        case 5:
            head = "Insert Into TransResourceInfo (AuditedDeptCode, DirID, PDirID, DirIndex,KQTag, FileTag, Name, "
                   "NodeID, Type, FileID,业务资料名称, 被审计单位识别码, 业务资料日期,FileName, ImageIndex, "
                   "CanVisible, CreateTime) Values (";
            v = {q, text::quoted(row.dirId), text::quoted(row.pDirId), dirIndex, "1", integer(row.fileTag),
                 text::quoted(row.name), text::quoted(row.nodeId), text::quoted(schema::code::YWZL), fileId,
                 text::quoted(row.materialName), q, text::sqlNumber(row.materialDate), text::quoted(row.fileName),
                 integer(row.imageIndex), "1", text::sqlNumber(row.createTime)};
            break;
        case 6:
            head = "Insert Into AuditResourceInfo (AuditedDeptCode, DirID, PDirID, DirIndex,KQTag, FileTag, Name, "
                   "NodeID, 被审计单位识别码, Type,项目编号, 标题, 类型, 文号, 发文单位, 抄送单位,成文时间, "
                   "归档时间, 主题词, 摘要, FileID,审计机关代码, FileName, ImageIndex, CanVisible, CreateTime) "
                   "Values (";
            v = {q, text::quoted(row.dirId), text::quoted(row.pDirId), dirIndex, "1", integer(row.fileTag),
                 text::quoted(row.name), text::quoted(row.nodeId), q, text::quoted(row.type),
                 text::quoted(row.prjSerial), text::quoted(row.title), text::quoted(row.docType),
                 text::quoted(row.docNo), text::quoted(row.issuer), text::quoted(row.copyTo),
                 text::sqlNumber(row.written), text::sqlNumber(row.filed), text::quoted(row.subject),
                 text::quoted(row.summary), fileId, text::quoted(organId()), text::quoted(row.fileName),
                 integer(row.imageIndex), integer(row.canVisible), text::sqlNumber(row.createTime)};
            break;
    }
    return head + joinValues(v) + ")";
}

std::string updateMaterialSql(int kind, const MaterialRow& row, bool keepAuditIds) {
    const char* table = tableOf(kind);
    if (!table) return {};
    const std::string q = text::quoted(row.code);
    Assignments a;
    switch (kind) {
        case 3:
            a.add("AuditedDeptCode", q);
            a.add("FileTag", integer(row.fileTag));
            a.add("KQTag", "1");
            a.add("Name", text::quoted(row.name));
            a.add("NodeID", text::quoted(row.nodeId));
            a.add("FileID", text::quoted(newFileId(row.code)));
            a.add("FileName", text::quoted(row.fileName));
            a.add("ImageIndex", integer(row.imageIndex));
            a.add("Type", text::quoted(schema::code::CWSJ));
            a.add("CanVisible", integer(row.canVisible));
            a.add("CreateTime", text::sqlNumber(row.createTime));
            break;
        case 4:
        case 5:
            a.add("AuditedDeptCode", q);
            a.add("KQTag", "1");
            a.add("FileTag", integer(row.fileTag));
            a.add("Name", text::quoted(row.name));
            a.add("NodeID", text::quoted(row.nodeId));
            a.add("Type", text::quoted(kind == 4 ? schema::code::CWZL : schema::code::YWZL));
            a.add("FileID", text::quoted(newFileId(row.code)));
            if (kind == 4) {
                a.add("被审计单位识别码", q);
                a.add("财务资料名称", text::quoted(row.materialName));
                a.add("财务资料日期", text::sqlNumber(row.materialDate));
            } else {
                a.add("业务资料名称", text::quoted(row.materialName));
                a.add("被审计单位识别码", q);
                a.add("业务资料日期", text::sqlNumber(row.materialDate));
            }
            a.add("FileName", text::quoted(row.fileName));
            a.add("ImageIndex", integer(row.imageIndex));
            a.add("CanVisible", integer(row.canVisible));
            a.add("CreateTime", text::sqlNumber(row.createTime));
            break;
        case 6:
            a.add("AuditedDeptCode", q);
            a.add("KQTag", "1");
            a.add("FileTag", integer(row.fileTag));
            a.add("Name", text::quoted(row.name));
            a.add("NodeID", text::quoted(row.nodeId));
            a.add("被审计单位识别码", q);
            a.add("Type", text::quoted(schema::code::SJZL));
            a.add("项目编号", text::quoted(row.prjSerial));
            a.add("标题", text::quoted(row.title));
            a.add("类型", text::quoted(row.docType));
            a.add("文号", text::quoted(row.docNo));
            a.add("发文单位", text::quoted(row.issuer));
            a.add("抄送单位", text::quoted(row.copyTo));
            a.add("成文时间", text::sqlNumber(row.written));
            a.add("归档时间", text::sqlNumber(row.filed));
            a.add("主题词", text::quoted(row.subject));
            a.add("摘要", text::quoted(row.summary));
            if (!keepAuditIds) {
                a.add("FileID", text::quoted(newFileId(row.code)));
                a.add("审计机关代码", text::quoted(organId()));
            }
            a.add("FileName", text::quoted(row.fileName));
            a.add("ImageIndex", integer(row.imageIndex));
            a.add("CanVisible", integer(row.canVisible));
            a.add("CreateTime", text::sqlNumber(row.createTime));
            break;
    }
    return "update " + std::string(table) + " set " + a.str() + " " + "where DirID          =" +
           text::quoted(row.dirId);
}

int insertMaterialRow(TKQDM_BSJDW& dm, int kind, const MaterialRow& row) {
    const std::string sql = insertMaterialSql(dm, kind, row);
    if (sql.empty()) return failureCode(kind);
    return executeStatement(dm, sql) == 1 ? 1 : failureCode(kind);
}

int updateMaterialRow(TKQDM_BSJDW& dm, int kind, const MaterialRow& row, bool keepAuditIds) {
    const std::string sql = updateMaterialSql(kind, row, keepAuditIds);
    if (sql.empty()) return failureCode(kind);
    return executeStatement(dm, sql) == 1 ? 1 : failureCode(kind);
}

}  // namespace unitarc::store

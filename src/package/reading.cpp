#include "package/reading.h"

#include <charconv>
#include <optional>
#include <string_view>

#include "platform/db.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "platform/xml.h"

namespace unitarc::package {

namespace {


constexpr std::string_view kInsertHead[] = {
    "Insert Into FinanceDataInfo (AuditedDeptCode, DirID, PDirID, DirIndex,FileTag, KQTag, Name, NodeID, "
    "FileID,FileName, ImageIndex, Type, CanVisible) Values (",
    "Insert Into FinanceResourceInfo (AuditedDeptCode, DirID, PDirID, DirIndex,KQTag, FileTag, Name, NodeID, "
    "Type, FileID,被审计单位识别码, 财务资料名称, 财务资料日期,FileName, ImageIndex, CanVisible) Values (",
    "Insert Into TransResourceInfo (AuditedDeptCode, DirID, PDirID, DirIndex,KQTag, FileTag, Name, NodeID, "
    "Type, FileID,业务资料名称, 被审计单位识别码, 业务资料日期,FileName, ImageIndex, CanVisible) Values (",
    "Insert Into AuditResourceInfo (AuditedDeptCode, DirID, PDirID, DirIndex,KQTag, FileTag, Name, NodeID, "
    "被审计单位识别码, Type,项目编号, 标题, 类型, 文号, 发文单位, 抄送单位,成文时间, 归档时间, 主题词, 摘要, "
    "FileID,审计机关代码, FileName, ImageIndex, CanVisible) Values (",
};

constexpr std::string_view kTable[] = {"FinanceDataInfo", "FinanceResourceInfo", "TransResourceInfo",
                                       "AuditResourceInfo"};
constexpr std::string_view kTypeCode[] = {"CWSJ", "CWZL", "YWZL", "SJZL"};

// Values joined by ",", as the reading writes them.
class Values {
public:
    Values& text(std::string_view s) { return raw(text::quoted(s)); }
    Values& integer(long long v) { return raw(std::to_string(v)); }
    Values& date(double v) { return raw(text::sqlNumber(v)); }
    std::string close() const { return m_text + ")"; }

private:
    Values& raw(const std::string& s) {
        if (!m_first) m_text += ",";
        m_text += s;
        m_first = false;
        return *this;
    }
    std::string m_text;
    bool m_first = true;
};

// A strict integer, as StrToInt reads one: optional sign and decimal digits, nothing else.
std::optional<int> toInteger(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    int value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

double dateOf(const xml::Node& e, std::string_view attribute) {
    const auto value = e.attribute(attribute);
    if (!value) return 0;
    return text::parseShortDate(*value).value_or(0);
}

bool isFileElement(const xml::Node& e) {
    const auto tag = e.attribute(kAttrFileTag);
    return tag && toInteger(*tag) == 1;
}

bool subtreeNamesAreSafe(const xml::Node& element) {
    for (const xml::Node& child : element.childElements()) {
        if (const auto name = child.attribute(kAttrName); name && !fs::isPlainComponent(*name)) return false;
        if (isFileElement(child) && !fs::isPlainComponent(child.text())) return false;
        // Element children of a file element are read as rows below it too.
        if (!subtreeNamesAreSafe(child)) return false;
    }
    return true;
}

// What a level failed to read: the level stops there.
struct ReadFailure {};

class Reader {
public:
    Reader(TKQDM_BSJDW& dm, std::string code, std::string baseInfoFile)
        : m_dm(dm), m_code(std::move(code)), m_baseInfoFile(std::move(baseInfoFile)), m_now(text::now()) {}

    int importCategories(const xml::Node& allFiles);

private:
    int storeEntityRow(const xml::Node& allFiles);
    int insertCategoryRow(int kind, const std::string& id);
    int importLevel(int kind, const xml::Node& parent, const std::string& parentId, int visible);
    int importAuditFirstLevel(const xml::Node& category, const std::string& categoryId, int result);
    ReadingRow readElement(int kind, const xml::Node& e, const std::string& parentId, int visible) const;
    int insertRow(int kind, const ReadingRow& row);

    TKQDM_BSJDW& m_dm;
    std::string m_code;
    std::string m_baseInfoFile;
    double m_now;
};

int Reader::importCategories(const xml::Node& allFiles) {
    int result = reading::kNoCategories;
    for (const xml::Node& category : allFiles.childNodes()) {
        const std::string name = text::upperLatin(category.attributeOr(kAttrName));
        if (name.empty()) return reading::kNoCategoryName;

        if (name == kCategoryBaseInfo) {
            if (m_code.empty()) return reading::kEmptyEntityCode;
            result = storeEntityRow(allFiles);
            continue;
        }
        const int kind = categoryKind(name);
        if (kind == 0) {
            result = reading::kUnknownCategory;
            continue;
        }
        const auto id = category.attribute(kAttrNodeId);
        if (!id) return -900 - (kind - 1);  // -902 .. -905
        insertCategoryRow(kind, *id);
        if (kind == 6) {
            result = importAuditFirstLevel(category, *id, result);
        } else if (category.hasChildNodes()) {
            result = importLevel(kind, category, *id, 1);
        }
    }
    return result;
}

int Reader::storeEntityRow(const xml::Node& allFiles) {
    try {
        const std::string entityName = text::upperLatin(allFiles.attributeOr(kAttrEntityName));
        std::string baseInfo;
        if (fs::isFile(m_baseInfoFile)) {
            xml::Document document;
            if (!document.loadFile(m_baseInfoFile)) return reading::kEntityRowFailed;
            document.setEncoding("gb2312");
            baseInfo = document.xmlText();
        }
        db::Query query(&m_dm.conUNITARC);
        query.open("Select * From AuditedDeptInfo Where AuditedDeptCode = " + text::quoted(m_code));
        if (query.isEmpty())
            query.append();
        else
            query.edit();
        query.setValue("AuditedDeptCode", m_code);
        query.setValue("AuditedDeptName", entityName);
        query.setValue("DeptIndex", store::maxIndex(m_dm, "AuditedDeptInfo", "DeptIndex") + 1);
        query.setValue("KQTag", 0LL);
        query.setValue("NodeID", std::string());
        query.setValue("Type", std::string("JBXX"));
        query.setValue("Name", std::string(kCategoryBaseInfo));
        query.setValue("BaseInfo", baseInfo);
        query.setValue("ImageIndex", 0LL);
        query.post();
        return reading::kBaseInfoStored;
    } catch (...) {
        return reading::kEntityRowFailed;
    }
}

int Reader::insertCategoryRow(int kind, const std::string& id) {
    ReadingRow row;
    row.code = m_code;
    row.dirId = id;
    row.nodeId = id;
    row.name = std::string(categoryName(kind));
    row.type = std::string(kTypeCode[kind - 3]);
    row.canVisible = 1;
    if (kind == 4 || kind == 5) {
        row.materialName = row.name;
        row.materialDate = m_now;
    }
    return insertRow(kind, row);
}

ReadingRow Reader::readElement(int kind, const xml::Node& e, const std::string& parentId,
                                       int visible) const {
    auto required = [&e](std::string_view attribute) {
        auto value = e.attribute(attribute);
        if (!value) throw ReadFailure{};
        return *value;
    };
    ReadingRow row;
    row.code = m_code;
    row.pDirId = parentId;
    row.dirId = required(kAttrNodeId);
    const auto fileTag = toInteger(required(kAttrFileTag));
    if (!fileTag) throw ReadFailure{};
    row.fileTag = *fileTag;
    row.name = required(kAttrName);
    row.nodeId = row.dirId;
    row.imageIndex = row.fileTag;
    row.canVisible = 1;
    switch (kind) {
    case 3:
        row.type = e.attributeOr(kAttrType, "CWSJ");
        row.canVisible = text::upperLatin(row.type) == "CWSJ" ? 1 : 0;
        break;
    case 4:
        row.type = "CWZL";
        row.materialName = required(kAttrFinanceName);
        row.materialDate = dateOf(e, kAttrFinanceDate);
        break;
    case 5:
        row.type = "YWZL";
        row.materialName = required(kAttrTransName);
        row.materialDate = dateOf(e, kAttrTransDate);
        break;
    default:
        row.type = "SJZL";
        row.prjSerial = e.attributeOr(kAttrPrjSerial);
        row.title = e.attributeOr(kAttrTitle);
        row.docType = e.attributeOr(kAttrDocType);
        row.docNo = e.attributeOr(kAttrDocNo);
        row.issuer = e.attributeOr(kAttrIssuer);
        row.copyTo = e.attributeOr(kAttrCopyTo);
        row.written = dateOf(e, kAttrWritten);
        row.filed = dateOf(e, kAttrFiled);
        row.subject = e.attributeOr(kAttrSubject);
        row.summary = e.attributeOr(kAttrSummary);
        row.organId = e.attributeOr(kAttrOrganId);
        row.canVisible = visible;
        break;
    }
    if (row.fileTag == 1) row.fileName = e.text();
    return row;
}

int Reader::importLevel(int kind, const xml::Node& parent, const std::string& parentId, int visible) {
    const xml::Node first = parent.firstChild();
    if (!first || !first.hasAttributes()) return emptyLevelCode(kind);

    int result = emptyLevelCode(kind);
    for (const xml::Node& e : parent.childNodes()) {
        try {
            const ReadingRow row = readElement(kind, e, parentId, visible);
            // Children first: a folder's DirIndex ends up above everything below it.
            if (e.hasChildNodes()) importLevel(kind, e, row.dirId, visible);
            result = insertRow(kind, row);
        } catch (...) {
            return readFailureCode(kind);
        }
    }
    return result;
}

int Reader::importAuditFirstLevel(const xml::Node& category, const std::string& categoryId, int result) {
    for (const xml::Node& e : category.childNodes()) {
        // An element lacking nodeid, filetag or name is skipped here; the rest of the level still counts.
        ReadingRow row;
        try {
            row = readElement(6, e, categoryId, 1);
        } catch (...) {
            continue;
        }
        row.canVisible = row.name == kProjectTemplate ? 0 : 1;
        if (e.hasChildNodes()) importLevel(6, e, row.dirId, row.canVisible);
        result = insertRow(6, row);
    }
    return result;
}

int Reader::insertRow(int kind, const ReadingRow& row) {
    const long long dirIndex = store::maxIndex(m_dm, kTable[kind - 3], "DirIndex") + 1;
    const std::string sql = readingInsertSql(kind, row, dirIndex);
    try {
        m_dm.conUNITARC.execute(sql);
        return reading::kInserted;
    } catch (...) {
        return insertFailureCode(kind);
    }
}

}  // namespace

int emptyLevelCode(int kind) { return -800 + 200 * (kind - 3); }
int readFailureCode(int kind) { return -700 + 200 * (kind - 3); }
int insertFailureCode(int kind) { return -920 - 10 * (kind - 3); }

std::string readingInsertSql(int kind, const ReadingRow& row, long long dirIndex) {
    Values v;
    v.text(row.code).text(row.dirId).text(row.pDirId).integer(dirIndex);
    switch (kind) {
    case 3:
        v.integer(row.fileTag).integer(0).text(row.name).text(row.nodeId).text("").text(row.fileName)
            .integer(row.imageIndex).text(row.type).integer(row.canVisible);
        break;
    case 4:
        v.integer(0).integer(row.fileTag).text(row.name).text(row.nodeId).text("CWZL").text("").text(row.code)
            .text(row.materialName).date(row.materialDate).text(row.fileName).integer(row.imageIndex)
            .integer(row.canVisible);
        break;
    case 5:
        v.integer(0).integer(row.fileTag).text(row.name).text(row.nodeId).text("YWZL").text("")
            .text(row.materialName).text(row.code).date(row.materialDate).text(row.fileName)
            .integer(row.imageIndex).integer(row.canVisible);
        break;
    case 6:
        v.integer(0).integer(row.fileTag).text(row.name).text(row.nodeId).text(row.code).text("SJZL")
            .text(row.prjSerial).text(row.title).text(row.docType).text(row.docNo).text(row.issuer)
            .text(row.copyTo).date(row.written).date(row.filed).text(row.subject).text(row.summary).text("")
            .text(row.organId).text(row.fileName).integer(row.imageIndex).integer(row.canVisible);
        break;
    default:
        return {};
    }
    return std::string(kInsertHead[kind - 3]) + v.close();
}

bool descriptionNamesAreSafe(const xml::Node& documentElement) {
    for (const xml::Node& allFiles : documentElement.childElements())
        for (const xml::Node& category : allFiles.childElements())
            if (categoryKind(text::upperLatin(category.attributeOr(kAttrName))) != 0 &&
                !subtreeNamesAreSafe(category))
                return false;
    return true;
}

int importDescription(TKQDM_BSJDW& dm, const std::string& packageRoot) {
    try {
        const std::string description = descriptionPath(packageRoot);
        if (!fs::isFile(description)) return reading::kNoDescription;

        const std::string baseInfoFile = baseInfoFilePath(packageRoot);
        const std::string code = readEntityCode(baseInfoFile);
        if (code == "-1") return reading::kNoEntityCode;
        if (!code.empty() && !fs::isPlainComponent(code)) return reading::kNoEntityCode;

        xml::Document document;
        if (!document.loadFile(description)) return reading::kNoDocumentElement;
        const xml::Node root = document.documentElement();
        if (!root || !root.isElement() || !root.hasChildNodes()) return reading::kNoDocumentElement;
        if (!descriptionNamesAreSafe(root)) return reading::kUnsafeName;

        Reader reader(dm, code, baseInfoFile);
        int result = reading::kNoAllFilesFolder;
        for (const xml::Node& child : root.childNodes()) {
            if (!child.isElement() || text::upperLatin(child.name()) != kFolderElement) continue;
            result = reader.importCategories(child);
            if (result < 0) break;
        }
        return result;
    } catch (...) {
        return reading::kUnexpected;
    }
}

}  // namespace unitarc::package

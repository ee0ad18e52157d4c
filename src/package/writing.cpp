#include "package/writing.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <algorithm>
#include <unordered_set>
#include <stdexcept>
#include <system_error>

#include "package/format.h"
#include "platform/db.h"
#include "platform/text.h"
#include "shell/hostapi.h"
#include "store/ids.h"
#include "store/schema.h"

namespace unitarc::package {

namespace {

struct Category {
    int writerNumber;
    int kind;
    std::string_view table;
    std::string_view folder;   // also the name of the category's root row
};

// Writer numbers 1 to 4.
constexpr Category kCategories[] = {
    {1, 6, schema::table::AuditResourceInfo, kCategoryAuditRes},
    {2, 3, schema::table::FinanceDataInfo, kCategoryFinanceData},
    {3, 4, schema::table::FinanceResourceInfo, kCategoryFinanceRes},
    {4, 5, schema::table::TransResourceInfo, kCategoryTransRes},
};

const Category* categoryOfKind(int kind) {
    for (const auto& c : kCategories)
        if (c.kind == kind) return &c;
    return nullptr;
}

const Category& categoryOfWriter(int writerNumber) {
    for (const auto& c : kCategories)
        if (c.writerNumber == writerNumber) return c;
    throw std::invalid_argument("no writer number " + std::to_string(writerNumber));
}

// CreateTime may have gone through SQL text with 15 digits, which keeps a day number to a few
// microseconds: equal within a millisecond is equal. A wider margin would take a CreateTime of
// "now", set just after the file was written, for the file's time and leave the file out.
bool sameTime(double a, double b) { return std::fabs(a - b) < 0.001 / 86400.0; }

// A date column as a day number; text that is no date reads as the zero date.
double dateOf(const db::Value& v) {
    if (const auto* s = std::get_if<std::string>(&v)) return text::parseShortDate(*s).value_or(0.0);
    return db::valueDouble(v);
}

std::string dateText(double day) { return text::formatDate(day); }

bool allDigits(const std::string& s) {
    if (s.empty() || s.size() > 18) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// The folder a material folder row makes inside the package root. A name repeated among
// siblings shares the folder instead of wiping what the first one put there.
bool makeFolder(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return fs::isDirectory(path);
}

// The basic information in the code page, CR LF after every line. A character GBK lacks
// goes in as a character reference, which the XML reader turns back into the character.
std::string baseInfoBytes(const std::string& info) {
    std::string out;
    auto appendLine = [&out](const std::string& line) {
        if (auto gbk = text::toGbk(line)) {
            out += *gbk;
        } else {
            for (std::size_t i = 0; i < line.size();) {
                const auto lead = static_cast<unsigned char>(line[i]);
                const std::size_t len = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
                const std::string ch = line.substr(i, len);
                if (auto g = text::toGbk(ch)) {
                    out += *g;
                } else {
                    unsigned long cp = len == 1 ? lead : lead & (0xFFu >> (len + 1));
                    for (std::size_t k = 1; k < ch.size(); ++k)
                        cp = (cp << 6) | (static_cast<unsigned char>(ch[k]) & 0x3Fu);
                    char ref[16];
                    std::snprintf(ref, sizeof ref, "&#x%lX;", cp);
                    out += ref;
                }
                i += len;
            }
        }
        out += "\r\n";
    };
    std::size_t start = 0;
    while (start < info.size()) {
        const std::size_t end = info.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            appendLine(info.substr(start));
            break;
        }
        appendLine(info.substr(start, end - start));
        start = end + ((info[end] == '\r' && end + 1 < info.size() && info[end + 1] == '\n') ? 2 : 1);
    }
    return out;
}

// The table compares names without regard to the case of Latin letters.
std::string siblingKey(const std::string& parentDirId, const std::string& name) {
    std::string key = parentDirId;
    key += '\0';
    key += text::upperLatin(name);
    return key;
}


}  // namespace

const std::string kWordExportWarning =
    " 生成文档失败！ 出错原因可能如下：\r"
    " 当前可能有 “Fieldora - 文档工具” 或 “Fieldora阅读器”开启，\r"
    " 请确认关闭 “Fieldora - 文档工具” 和 “Fieldora阅读器”重试。";

std::string wordExportFolder() { return fs::addSeparator(host::host().appFolder()) + "~KQ~temp/rjdgTemp/"; }

// --- rows

void CategoryRows::load(TKQDM_BSJDW& dm, int kind, const std::string& code) {
    const Category* category = categoryOfKind(kind);
    if (!category) throw std::invalid_argument("no material category of kind " + std::to_string(kind));
    m_kind = kind;
    m_rows.clear();
    m_byDirId.clear();
    m_byParent.clear();

    db::Query query(&dm.conUNITARC);
    query.open("Select * From " + std::string(category->table) + " Where AuditedDeptCode = " + text::quoted(code));
    auto column = [&](std::string_view name) { return query.fieldIndex(name); };
    namespace col = schema::col;
    const bool finance = kind == schema::FinanceResource;
    const int cDirId = column(col::DirID), cPDirId = column(col::PDirID), cName = column(col::Name),
              cNodeId = column(col::NodeID), cFileId = column(col::FileID), cType = column(col::Type),
              cFileName = column(col::FileName), cFileTag = column(col::FileTag), cKqTag = column(col::KQTag),
              cCreate = column(col::CreateTime),
              cMatName = column(finance ? col::FinanceResourceName : col::TransResourceName),
              cMatDate = column(finance ? col::FinanceResourceDate : col::TransResourceDate),
              cTitle = column(col::Title), cDocType = column(col::DocType), cDocNo = column(col::DocNumber),
              cIssuer = column(col::IssuingUnit), cCopyTo = column(col::CopiedUnits),
              cSubject = column(col::SubjectWords), cSummary = column(col::Abstract),
              cOrgan = column(col::AuditOrganCode), cWritten = column(col::WrittenTime),
              cFiled = column(col::FiledTime);

    const std::size_t count = query.recordCount();
    m_rows.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        auto value = [&](int c) -> db::Value {
            return c < 0 ? db::Value{} : query.valueAt(i, static_cast<std::size_t>(c));
        };
        auto textOf = [&](int c) { return db::valueText(value(c)); };
        MaterialRecord r;
        r.dirId = textOf(cDirId);
        r.pDirId = textOf(cPDirId);
        r.name = textOf(cName);
        r.nodeId = textOf(cNodeId);
        r.fileId = textOf(cFileId);
        r.type = textOf(cType);
        r.fileName = textOf(cFileName);
        r.fileTag = db::valueInt(value(cFileTag));
        r.kqTag = db::valueInt(value(cKqTag));
        r.createTime = db::valueDouble(value(cCreate));
        if (kind == schema::FinanceResource || kind == schema::TransResource) {
            r.materialName = textOf(cMatName);
            r.materialDate = dateOf(value(cMatDate));
        }
        if (kind == schema::AuditResource) {
            r.title = textOf(cTitle);
            r.docType = textOf(cDocType);
            r.docNo = textOf(cDocNo);
            r.issuer = textOf(cIssuer);
            r.copyTo = textOf(cCopyTo);
            r.subject = textOf(cSubject);
            r.summary = textOf(cSummary);
            r.organCode = textOf(cOrgan);
            r.written = dateOf(value(cWritten));
            r.filed = dateOf(value(cFiled));
        }
        m_byDirId.try_emplace(r.dirId, m_rows.size());
        m_byParent[r.pDirId].push_back(m_rows.size());
        m_byParentAndName[siblingKey(r.pDirId, r.name)].push_back(m_rows.size());
        m_rows.push_back(std::move(r));
    }
}

const MaterialRecord* CategoryRows::find(const std::string& dirId) const {
    const auto it = m_byDirId.find(dirId);
    return it == m_byDirId.end() ? nullptr : &m_rows[it->second];
}

const MaterialRecord* CategoryRows::root() const {
    const auto it = m_byParent.find(std::string());
    return it == m_byParent.end() ? nullptr : &m_rows[it->second.front()];
}

std::vector<const MaterialRecord*> CategoryRows::children(const std::string& dirId) const {
    std::vector<const MaterialRecord*> out;
    if (const auto it = m_byParent.find(dirId); it != m_byParent.end())
        for (std::size_t i : it->second) out.push_back(&m_rows[i]);
    return out;
}

std::vector<const MaterialRecord*> CategoryRows::siblingsNamed(const std::string& parentDirId,
                                                               const std::string& name) const {
    std::vector<const MaterialRecord*> out;
    if (const auto it = m_byParentAndName.find(siblingKey(parentDirId, name)); it != m_byParentAndName.end())
        for (std::size_t i : it->second) out.push_back(&m_rows[i]);
    return out;
}

std::optional<std::string> CategoryRows::ancestorPath(const std::string& dirId) const {
    const MaterialRecord* row = find(dirId);
    if (!row) return std::string();
    // Trees are shallow: the rows on the way are few, and a row met again means a loop.
    std::vector<const MaterialRecord*> chain{row};
    for (const std::string* parent = &row->pDirId; !schema::isTopParent(*parent);) {
        const MaterialRecord* up = find(*parent);
        if (!up || std::find(chain.begin(), chain.end(), up) != chain.end()) break;
        chain.push_back(up);
        parent = &up->pDirId;
    }
    std::string path;
    for (auto it = chain.rbegin(); it + 1 != chain.rend(); ++it) {
        if (!fs::isPlainComponent((*it)->name)) return std::nullopt;
        path += (*it)->name;
        path += '/';
    }
    return path;
}

Companion companionRow(const CategoryRows& rows, const std::string& parentDirId, const std::string& dirId,
                       const std::string& name) {
    for (const MaterialRecord* r : rows.siblingsNamed(parentDirId, name))
        if (r->dirId != dirId) return {r->dirId, r->fileName, r->createTime};
    return {};
}

// --- paths

SourcePath sourcePath(const TKQDM_BSJDW& dm, const CategoryRows& rows, const std::string& code,
                      const std::string& fileName, const std::string& dirId, bool exportToWord,
                      std::vector<std::string>* warnings) {
    SourcePath out;
    if (fileName.find('|') == std::string::npos) {
        if (!fs::isPlainComponent(fileName) || !fs::isPlainComponent(code)) return out;
        const auto ancestors = rows.ancestorPath(dirId);
        if (!ancestors) return out;
        out.path = fs::addSeparator(dm.folder()) + code + "/" + std::string(kAllFiles) + "/" + *ancestors + fileName;
        return out;
    }
    // A name that ends in a separator has no file-name part, and so no resource id.
    const std::string name = fs::fileName(fileName);
    const std::string resId = name.empty() ? std::string() : name.substr(1);
    if (!allDigits(resId)) return out;  // the id goes into SQL unquoted
    const std::string type = text::upperLatin(store::resField(resId, schema::col::ResTypeName));
    if (type.find("DGGL_") == std::string::npos || !exportToWord) {
        out.path = store::resourceFilePath(resId);
        return out;
    }
    out.exported = true;
    out.path = newWordExportPath();
    std::string warning;
    if (exportWorkingPaperToWord(type, resId, out.path, &warning) == -1 && warnings) warnings->push_back(warning);
    return out;
}

std::string destinationPath(const CategoryRows& rows, const std::string& packageRoot, const std::string& dirId,
                            const std::string& fileName) {
    const auto ancestors = rows.ancestorPath(dirId);
    if (!ancestors) return {};
    return fs::addSeparator(packageRoot) + std::string(kAllFiles) + "/" + *ancestors + fileName;
}

int exportWorkingPaperToWord(const std::string& resTypeName, const std::string& resId, const std::string& target,
                             std::string* warning) {
    try {
        void* entry = host::host().appInterface("DGGL", "exportDataToWord", 1);
        if (!entry) return 0;
        const auto exportDataToWord = reinterpret_cast<host::ExportDataToWordFn>(entry);
        const std::string param = store::resField(resId, schema::col::ResParam);
        return exportDataToWord(resTypeName.c_str(), param.c_str(), target.c_str());
    } catch (...) {
        if (warning) *warning = kWordExportWarning;
        return -1;
    }
}

std::string newWordExportPath() {
    const std::string folder = wordExportFolder();
    makeFolder(folder);
    const std::string stamp = text::formatStamp(text::now());
    std::string path = folder + stamp + ".doc";
    // Two exports within one second get a counter rather than a wait for the clock.
    for (int n = 1; fs::exists(path); ++n) path = folder + stamp + "_" + std::to_string(n) + ".doc";
    return path;
}

// --- folders

int recreateFolder(const std::string& path) {
    if (fs::isDirectory(path) && fs::removeTree(path) == -1) return -1;
    return makeFolder(path) ? 1 : -2;
}

// --- writing

int writerKind(int writerNumber) { return categoryOfWriter(writerNumber).kind; }

namespace {

struct Writer {
    WriteContext& context;
    const CategoryRows& rows;
    const Category& category;
    std::unordered_set<std::string> visited;   // a row is written once, whatever loops the table holds

    void folderElement(xml::Node e, const MaterialRecord& r) {
        e.setAttribute(kAttrFileTag, std::to_string(r.fileTag));
        e.setAttribute(kAttrKqTag, "1");
        e.setAttribute(kAttrName, r.name);
        e.setAttribute(kAttrNodeId, store::newNodeId());
        switch (category.writerNumber) {
        case 1:
            e.setAttribute(kAttrEntityId, context.code);
            e.setAttribute(kAttrType, schema::code::SJZL);
            e.setAttribute(kAttrPrjSerial, context.serial);
            e.setAttribute(kAttrTitle, r.title);
            e.setAttribute(kAttrDocType, r.docType);
            e.setAttribute(kAttrDocNo, r.docNo);
            e.setAttribute(kAttrIssuer, r.issuer);
            e.setAttribute(kAttrCopyTo, r.copyTo);
            e.setAttribute(kAttrWritten, dateText(r.written));
            e.setAttribute(kAttrFiled, dateText(r.filed));
            e.setAttribute(kAttrSubject, r.subject);
            e.setAttribute(kAttrSummary, r.summary);
            e.setAttribute(kAttrFileId, r.fileId);
            e.setAttribute(kAttrOrganId, r.organCode);
            break;
        case 2:
            e.setAttribute(kAttrType, schema::code::CWSJ);
            break;
        case 3:
            e.setAttribute(kAttrType, schema::code::CWZL);
            e.setAttribute(kAttrFinanceName, "");
            e.setAttribute(kAttrFinanceDate, "");
            e.setAttribute(kAttrFileId, "");
            break;
        case 4:
            e.setAttribute(kAttrType, schema::code::YWZL);
            e.setAttribute(kAttrTransName, "");
            e.setAttribute(kAttrTransDate, "");
            e.setAttribute(kAttrFileId, "");
            break;
        }
    }

    bool selected(const MaterialRecord& r) const {
        if (category.writerNumber == 1) return r.kqTag == 1;
        return r.kqTag == 1 || r.fileTag == 0;
    }

    // Unchanged since the last package, or no file to take: the row is left out.
    bool unchanged(const std::string& source, double createTime) const {
        return sameTime(fileTime(source), createTime);
    }

    static bool copyInto(const std::string& folder, const std::string& name, const std::string& source) {
        return fs::isPlainComponent(name) && fs::copyOver(folder + name, source);
    }

    // The element of a file row, or a null node when the row is skipped; a failure code in *result.
    xml::Node fileRow(xml::Node parent, const MaterialRecord& r, const std::string& folder, int* result) {
        *result = kPackageWritten;
        const std::string t = std::to_string(r.fileTag);
        if (category.writerNumber == 2) return financialData(parent, r, folder, result);

        const SourcePath source =
            sourcePath(*context.dm, rows, context.code, r.fileName, r.dirId, true, context.warnings);
        if (source.path.empty() || !fs::isFile(source.path)) return {};
        // A working paper is exported afresh for every package and always goes in, even when the
        // export shares its 2-second step with the paper's own file.
        if (!source.exported && unchanged(source.path, r.createTime)) return {};
        const std::string name = text::upperLatin(r.name + fs::extension(source.path));

        xml::Node e = parent.addElement(kFileElement);
        e.setAttribute(kAttrFileTag, t);
        e.setAttribute(kAttrKqTag, "1");
        e.setAttribute(kAttrName, r.name);
        if (category.writerNumber == 1) {
            e.setAttribute(kAttrType, text::upperLatin(r.type) == schema::code::XMXX ? schema::code::XMXX : schema::code::SJZL);
            e.setAttribute(kAttrFileId, source.exported ? r.fileId : store::newFileId(context.code));
            e.setAttribute(kAttrDocNo, r.docNo);
            e.setAttribute(kAttrSubject, r.subject);
            e.setAttribute(kAttrCopyTo, r.copyTo);
            e.setAttribute(kAttrWritten, dateText(r.written));
            e.setAttribute(kAttrEntityId, context.code);
            e.setAttribute(kAttrDocType, r.docType);
            e.setAttribute(kAttrPrjSerial, context.serial);
            e.setAttribute(kAttrOrganId, r.organCode);
            e.setAttribute(kAttrSummary, r.summary);
            e.setAttribute(kAttrFiled, dateText(r.filed));
            e.setAttribute(kAttrTitle, r.title);
            e.setAttribute(kAttrIssuer, r.issuer);
            // The material keeps its node id across packages; a row without one gets a fresh one.
            e.setAttribute(kAttrNodeId, r.nodeId.empty() ? store::newNodeId() : r.nodeId);
        } else if (category.writerNumber == 3) {
            e.setAttribute(kAttrType, schema::code::CWZL);
            e.setAttribute(kAttrFileId, store::newFileId(context.code));
            e.setAttribute(kAttrEntityId, context.code);
            e.setAttribute(kAttrFinanceName, r.materialName);
            e.setAttribute(kAttrFinanceDate, dateText(r.materialDate));
            e.setAttribute(kAttrNodeId, store::newNodeId());
        } else {
            e.setAttribute(kAttrType, schema::code::YWZL);
            e.setAttribute(kAttrFileId, store::newFileId(context.code));
            e.setAttribute(kAttrTransName, r.materialName);
            e.setAttribute(kAttrEntityId, context.code);
            e.setAttribute(kAttrTransDate, dateText(r.materialDate));
            e.setAttribute(kAttrNodeId, store::newNodeId());
        }
        e.setText(name);
        if (!copyInto(folder, name, source.path)) *result = kFileNotWritten;
        return e;
    }

    // A data file (".XML") travels with its report (".XLS"): two elements, two files.
    xml::Node financialData(xml::Node parent, const MaterialRecord& r, const std::string& folder, int* result) {
        if (text::upperLatin(fs::extension(r.fileName)) != ".XML") return {};
        const SourcePath source =
            sourcePath(*context.dm, rows, context.code, r.fileName, r.dirId, true, context.warnings);
        if (source.path.empty() || !fs::isFile(source.path)) return {};

        const Companion companion = companionRow(rows, r.pDirId, r.dirId, r.name);
        std::string report;
        if (!companion.dirId.empty())
            report = sourcePath(*context.dm, rows, context.code, companion.fileName, companion.dirId, true,
                                context.warnings)
                         .path;
        if (unchanged(source.path, r.createTime) && unchanged(report, companion.createTime)) return {};

        const std::string dataName = text::upperLatin(fs::fileName(r.fileName));
        const std::string reportName = dataName.substr(0, dataName.find(".XML")) + ".XLS";
        auto element = [&](const std::string& name) {
            xml::Node e = parent.addElement(kFileElement);
            e.setAttribute(kAttrFileTag, std::to_string(r.fileTag));
            e.setAttribute(kAttrKqTag, "1");
            e.setAttribute(kAttrName, r.name);
            e.setAttribute(kAttrType, schema::code::CWSJ);
            e.setAttribute(kAttrFileId, store::newFileId(context.code));
            e.setAttribute(kAttrNodeId, store::newNodeId());
            e.setText(name);
            return e;
        };
        xml::Node data = element(dataName);
        element(reportName);
        if (!copyInto(folder, dataName, source.path)) *result = kFileNotWritten;
        // Without a report file there is nothing to copy; the element still goes in.
        else if (!report.empty() && fs::isFile(report) && !copyInto(folder, reportName, report))
            *result = kFileNotWritten;
        return data;
    }

    int children(xml::Node parent, const std::string& parentDirId, const std::string& folder) {
        for (const MaterialRecord* r : rows.children(parentDirId)) {
            if (!selected(*r) || !visited.insert(r->dirId).second) continue;
            xml::Node element;
            std::string inner = folder;
            if (r->fileTag == 0) {
                element = parent.addElement(kFolderElement);
                folderElement(element, *r);
                if (!fs::isPlainComponent(r->name)) return kCreateFailed;
                inner = folder + r->name + "/";
                if (!makeFolder(inner)) return kCreateFailed;
            } else {
                int result = kPackageWritten;
                element = fileRow(parent, *r, folder, &result);
                if (result < 0) return result;
                if (!element) continue;
            }
            const int result = children(element, r->dirId, inner);
            if (result < 0) return result;
        }
        return kPackageWritten;
    }
};

}  // namespace

int writeChildren(WriteContext& context, const CategoryRows& rows, xml::Node parent, const std::string& parentDirId,
                  const std::string& folder) {
    const Category* category = categoryOfKind(rows.kind());
    if (!category) throw std::invalid_argument("the rows hold no material category");
    Writer writer{context, rows, *category, {}};
    return writer.children(parent, parentDirId, fs::addSeparator(folder));
}

int writeCategory(WriteContext& context, xml::Node parent, int writerNumber, const std::string& targetFolder) {
    const Category& category = categoryOfWriter(writerNumber);
    CategoryRows rows;
    rows.load(*context.dm, category.kind, context.code);
    const MaterialRecord* root = rows.root();

    xml::Node c = parent.addElement(kFolderElement);
    c.setAttribute(kAttrFileTag, "0");
    c.setAttribute(kAttrKqTag, "1");
    // Readers know a category by its name: a missing root row still gets the proper one.
    c.setAttribute(kAttrName, root ? root->name : std::string(category.folder));
    c.setAttribute(kAttrNodeId, store::newNodeId());
    if (writerNumber == 3) {
        c.setAttribute(kAttrType, schema::code::CWZL);
        c.setAttribute(kAttrFinanceName, "");
        c.setAttribute(kAttrFinanceDate, "");
        c.setAttribute(kAttrFileId, "");
    } else if (writerNumber == 4) {
        c.setAttribute(kAttrType, schema::code::YWZL);
        c.setAttribute(kAttrTransName, "");
        c.setAttribute(kAttrTransDate, "");
        c.setAttribute(kAttrFileId, "");
    }
    if (!root) return kPackageWritten;
    Writer writer{context, rows, category, {root->dirId}};
    return writer.children(c, root->dirId, fs::addSeparator(targetFolder));
}

int writePackage(TKQDM_BSJDW& dm, const std::string& code, const std::string& stagingFolder,
                 xml::Document& description, std::vector<std::string>* warnings) {
    if (stagingFolder.empty() || !fs::isDirectory(stagingFolder)) return kNoStagingFolder;
    if (!isUsableEntityCode(code)) return kBadEntityCode;
    const std::string root = fs::addSeparator(stagingFolder) + code + "/";
    int result = recreateFolder(root);
    if (result < 0) return result;

    if (!description.loadText(descriptionStart(store::newNodeId())))
        throw std::runtime_error("the description could not be started: " + description.error());

    xml::Node all = description.documentElement().addElement(kFolderElement);
    all.setAttribute(kAttrFileTag, "0");
    all.setAttribute(kAttrKqTag, "0");
    all.setAttribute(kAttrName, kAllFiles);
    all.setAttribute(kAttrEntityCode, code);
    all.setAttribute(kAttrEntityName, entityField(dm, code, schema::col::AuditedDeptName));
    all.setAttribute(kAttrNodeId, store::newNodeId());
    const std::string allFolder = root + std::string(kAllFiles) + "/";
    if ((result = recreateFolder(allFolder)) < 0) return result;

    xml::Node base = all.addElement(kFolderElement);
    base.setAttribute(kAttrFileTag, "0");
    base.setAttribute(kAttrKqTag, "0");
    base.setAttribute(kAttrName, kBaseInfoFolder);
    base.setAttribute(kAttrType, schema::code::JBXX);
    const std::string baseFolder = allFolder + std::string(kBaseInfoFolder) + "/";
    if ((result = recreateFolder(baseFolder)) < 0) return result;

    if (entityField(dm, code, schema::col::KQTag) != entityField(dm, code, schema::col::NodeID)) {
        xml::Node file = base.addElement(kFileElement);
        file.setAttribute(kAttrFileTag, "1");
        file.setAttribute(kAttrKqTag, "1");
        file.setAttribute(kAttrName, kBaseInfoFolder);
        file.setAttribute(kAttrType, schema::code::JBXX);
        file.setAttribute(kAttrFileId, store::newFileId(code));
        file.setAttribute(kAttrNodeId, store::newNodeId());
        file.setText(kBaseInfoFile);
        if (!fs::writeFile(baseFolder + std::string(kBaseInfoFile), baseInfoBytes(entityField(dm, code, schema::col::BaseInfo))))
            return kFileNotWritten;
    }

    for (int writerNumber : {1, 2, 3, 4})
        if ((result = recreateFolder(allFolder + std::string(categoryOfWriter(writerNumber).folder) + "/")) < 0)
            return result;

    WriteContext context{&dm, code, root, host::host().curPrjSerial(), warnings};
    for (int writerNumber : {2, 3, 4, 1}) {
        const std::string folder = allFolder + std::string(categoryOfWriter(writerNumber).folder) + "/";
        if ((result = writeCategory(context, all, writerNumber, folder)) < 0) return result;
    }

    // Written last: a package root with a description is a whole one.
    description.setEncoding("UTF-8");
    if (!description.save(descriptionPath(root))) return kFileNotWritten;
    return kPackageWritten;
}

// --- marks

void markPackaged(TKQDM_BSJDW& dm, const std::string& code) {
    namespace col = schema::col;
    db::Transaction transaction(dm.conUNITARC);
    dm.conUNITARC.execute("Update AuditedDeptInfo Set NodeID = KQTag Where AuditedDeptCode =" + text::quoted(code));
    // Writer numbers run through the tables in the order the marks are moved.
    for (int writerNumber : {1, 2, 3, 4}) {
        const Category& category = categoryOfWriter(writerNumber);
        const std::string table(category.table);
        CategoryRows rows;
        rows.load(dm, category.kind, code);

        db::Query query(&dm.conUNITARC);
        query.open("Select rowid As RowKey, DirID, FileName, CreateTime From " + table +
                   " Where (FileTag = 1) and (KQTag =1 ) and (AuditedDeptCode = " + text::quoted(code) + ")");
        const auto cRow = static_cast<std::size_t>(query.fieldIndex("RowKey"));
        const auto cDirId = static_cast<std::size_t>(query.fieldIndex(col::DirID));
        const auto cFileName = static_cast<std::size_t>(query.fieldIndex(col::FileName));
        const auto cCreate = static_cast<std::size_t>(query.fieldIndex(col::CreateTime));
        // One text of statements for the table: thousands of rows are marked at the speed of
        // one execution, inside the transaction that makes the marks move together.
        std::string updates;
        for (std::size_t i = 0, n = query.recordCount(); i < n; ++i) {
            const std::string dirId = db::valueText(query.valueAt(i, cDirId));
            const std::string fileName = db::valueText(query.valueAt(i, cFileName));
            const double time = fileTime(sourcePath(dm, rows, code, fileName, dirId, false).path);
            if (sameTime(time, db::valueDouble(query.valueAt(i, cCreate)))) continue;  // nothing to move
            updates += "Update " + table + " Set CreateTime = " + text::sqlNumber(time) +
                       " Where rowid = " + db::valueText(query.valueAt(i, cRow)) + ";";
        }
        if (!updates.empty()) dm.conUNITARC.execute(updates);
    }
    transaction.commit();
}

}  // namespace unitarc::package

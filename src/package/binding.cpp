#include "package/binding.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "package/format.h"
#include "platform/db.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "platform/xml.h"
#include "shell/hostapi.h"
#include "store/ids.h"
#include "store/records.h"

namespace unitarc::package {

namespace {

namespace stdfs = std::filesystem;

constexpr int kAuditKind = 6;

struct Entry {
    std::string name, parentId, id;
};

void addSubtree(const xml::Node& t, const std::string& parentId, const std::string& folderName,
                std::vector<Entry>& entries) {
    std::string name = t.attributeOr(kAttrName);
    if (name == kProjectTemplate) name = folderName;
    const std::string id = store::newNodeId(8);
    entries.push_back({name, parentId, id});
    for (const xml::Node& u : t.childElements()) {
        if (u.attributeOr(kAttrFileTag) == "1") continue;  // only folders are copied
        if (u.hasChildNodes())
            addSubtree(u, id, folderName, entries);
        else
            entries.push_back({u.attributeOr(kAttrName), id, store::newNodeId(8)});
    }
}

std::vector<Entry> structureEntries(const std::string& description, const std::string& folderName) {
    std::vector<Entry> entries;
    xml::Document document;
    if (!document.loadFile(description)) return entries;
    const xml::Node root = document.documentElement();
    if (!root || !root.isElement()) return entries;
    for (const xml::Node& x : root.childElements()) {
        if (!x.hasChildNodes()) continue;
        for (const xml::Node& y : x.childElements()) {
            if (text::upperLatin(y.attributeOr(kAttrName)) != kCategoryAuditRes || !y.hasChildNodes()) continue;
            for (const xml::Node& z : y.childElements())
                if (text::upperLatin(z.attributeOr(kAttrName)) == kProjectTemplate)
                    addSubtree(z, y.attributeOr(kAttrNodeId), folderName, entries);
        }
    }
    return entries;
}

std::string projectFolderName(const std::string& prjName, const std::string& serial) {
    return prjName + "（项目编号：" + serial + "）";
}

std::string projectFolderSql(const std::string& code, const std::string& serial) {
    return "Select * From AuditResourceInfo Where (Name like " + text::quoted("%（项目编号：" + serial + "）") +
           ") and (AuditedDeptCode = " + text::quoted(code) + ") and (filetag = 0)";
}

store::MaterialRow auditRow(const std::string& code, const std::string& serial, double now) {
    store::MaterialRow row;
    row.code = code;
    row.prjSerial = serial;
    row.canVisible = 1;
    row.written = now;
    row.filed = now;
    return row;
}

// CreateDir: an existing folder or a missing parent is a failure, and a name that is not one
// plain component is never created.
bool createFolder(const std::string& parent, const std::string& name) {
    if (!fs::isPlainComponent(name) || !fs::isDirectory(parent)) return false;
    std::error_code ec;
    return stdfs::create_directory(stdfs::path(parent) / name, ec) && !ec;
}

int createStructure(TKQDM_BSJDW& dm, const std::string& code, const std::string& serial,
                    const std::string& folderName) {
    const auto entries =
        structureEntries(descriptionPath(fs::addSeparator(dm.folder()) + code), folderName);
    int result = 1;
    for (const Entry& entry : entries) {
        const double now = text::now();
        store::MaterialRow folder = auditRow(code, serial, now);
        folder.dirId = entry.id;
        folder.nodeId = entry.id;
        folder.pDirId = entry.parentId;
        folder.fileTag = 0;
        folder.type = "SJZL";
        folder.docType = "SJZL";
        folder.name = entry.name;
        folder.title = entry.name;
        folder.imageIndex = 0;
        folder.createTime = now;
        const int inserted = store::insertMaterialRow(dm, kAuditKind, folder);
        if (inserted != 1) return inserted;

        const std::string parent = dm.folder() + store::materialPath(dm, kAuditKind, code, entry.id, false);
        if (!createFolder(parent, entry.name)) {
            result = -888;
            continue;
        }
        result = 1;
        std::string info;
        if (entry.name == kProjectInfo && host::host().getPrjInfo(info) == 1 && !info.empty()) {
            const std::string target = fs::addSeparator(parent + entry.name) + std::string(kProjectInfoFile);
            fs::copyOver(target, info);
            store::MaterialRow file = auditRow(code, serial, now);
            file.dirId = store::newNodeId(8);
            file.nodeId = file.dirId;
            file.pDirId = entry.id;
            file.fileTag = 1;
            file.type = "XMXX";
            file.docType = "XMXX";
            file.name = std::string(kProjectInfo);
            file.title = file.name;
            file.fileName = std::string(kProjectInfoFile);
            file.imageIndex = 1;
            file.createTime = fs::fileTime(target);
            result = store::insertMaterialRow(dm, kAuditKind, file);
        }
    }
    return result;
}

int refreshExisting(TKQDM_BSJDW& dm, db::Query& found, const std::string& code, const std::string& serial) {
    const std::string dirId = found.text("DirID");
    found.setValue("KQTag", 1LL);
    found.setValue("项目编号", serial);
    found.post();

    const std::string current = host::host().curPrjSerial();
    dm.conUNITARC.execute("Update AuditResourceInfo Set KQTag = 1, 项目编号 = " + text::quoted(current) + " " +
                          "Where (AuditedDeptCode = " + text::quoted(code) + ") " +
                          "and (FileTag = 0) and (PDirID = " + text::quoted(dirId) + ")");

    db::Query info(&dm.conUNITARC);
    info.open("Select * From AuditResourceInfo Where (PDirID = " + text::quoted(dirId) + ") and (name = " +
              text::quoted(kProjectInfo) + ")");
    if (!info.isEmpty()) {
        const std::string infoId = info.text("DirID");
        info.setValue("Type", std::string("XMXX"));
        info.post();
        dm.conUNITARC.execute("Update AuditResourceInfo Set Type = " + text::quoted("XMXX") + ", " +
                              "项目编号 = " + text::quoted(current) + " " + "Where (AuditedDeptCode = " +
                              text::quoted(code) + ") " + "and (FileTag = 1) and (PDirID = " + text::quoted(infoId) + ")");
    }
    return -200;
}

}  // namespace

int bindEntityToProject(TKQDM_BSJDW& dm, const std::string& code, const std::string& serial) {
    try {
        const std::string prjName = store::prjInfoField(serial, "PrjName");
        if (prjName.empty()) return -100;
        const std::string folderName = projectFolderName(prjName, serial);

        db::Query found(&dm.conUNITARC);
        found.open(projectFolderSql(code, serial));
        if (found.isEmpty()) return createStructure(dm, code, serial, folderName);
        return refreshExisting(dm, found, code, serial);
    } catch (...) {
        return -999;
    }
}

void refreshCurrentProject(TKQDM_BSJDW& dm) {
    const std::string serial = host::host().curPrjSerial();
    const std::string prjName = store::prjInfoField(serial, "PrjName");
    const std::string folderName = projectFolderName(prjName, serial);
    // A name the host could not give, or one that is no folder name, renames nothing.
    if (prjName.empty() || !fs::isPlainComponent(folderName)) return;

    db::Query entities(&dm.conUNITARC);
    entities.open("Select * From AuditedDeptInfo");
    for (; !entities.eof(); entities.next()) {
        const std::string code = entities.text("AuditedDeptCode");
        db::Query found(&dm.conUNITARC);
        found.open(projectFolderSql(code, serial));
        if (found.isEmpty()) continue;

        const std::string dirId = found.text("DirID");
        const std::string oldName = found.text("Name");
        const std::string parent = dm.folder() + store::materialPath(dm, kAuditKind, code, dirId, false);
        if (oldName != folderName && fs::isPlainComponent(oldName) && !fs::exists(parent + folderName)) {
            std::error_code ec;
            stdfs::rename(parent + oldName, parent + folderName, ec);
        }
        found.setValue("Name", folderName);
        found.post();

        const std::string target = parent + folderName + "/" + std::string(kProjectInfo) + "/" +
                                   std::string(kProjectInfoFile);
        try {
            std::string info;
            host::host().getPrjInfo(info);
            if (!info.empty()) fs::copyOver(target, info);
        } catch (...) {
        }
    }
}

}  // namespace unitarc::package

#include "package/import.h"

#include <filesystem>
#include <system_error>

#include "package/binding.h"
#include "package/format.h"
#include "package/reading.h"
#include "package/writing.h"
#include "platform/db.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "shell/hostapi.h"
#include "store/records.h"

namespace unitarc::package {

namespace {

namespace stdfs = std::filesystem;

constexpr const char* kUnpackFolder = "BSJDWUnZip/";

std::string fileNameOf(const std::string& archive) { return stdfs::path(archive).filename().string(); }

// The entity package root: entity data folder + code, without a trailing separator.
std::string entityRoot(const TKQDM_BSJDW& dm, const std::string& code) {
    return fs::addSeparator(dm.folder()) + code;
}

std::string extractInto(const std::string& archive, const std::string& destination) {
    try {
        return host::host().extractFile(archive, destination);
    } catch (...) {
        return {};
    }
}

// The unpacked package root becomes the entity package root by a rename: the same files as
// extracting the archive a second time, without writing them again. "" when the two lie on
// different file systems or the rename fails otherwise; the caller then extracts.
std::string moveUnpacked(const std::string& unpacked, const std::string& root) {
    std::error_code ec;
    const stdfs::path from = stdfs::path(unpacked).lexically_normal();
    const stdfs::path source = from.has_filename() ? from : from.parent_path();
    if (!fs::isDirectory(source.string()) || fs::exists(root)) return {};
    stdfs::create_directories(stdfs::path(root).parent_path(), ec);
    stdfs::rename(source, root, ec);
    if (ec) return {};
    stdfs::create_directories(source, ec);  // the unpack folder stays in place, empty
    return root;
}

// One package's steps after the entity code is known, inside one transaction: reading and
// binding rows land together, or not at all.
void importOne(TKQDM_BSJDW& dm, const std::string& archive, const std::string& unpacked, const std::string& fileName,
               const std::string& code, int check, const std::string& serial, ImportOutcome& outcome) {
    auto refuse = [&outcome](std::string message) {
        outcome.messages.push_back(std::move(message));
        ++outcome.refused;
    };

    if (entityExists(dm, code)) {
        refuse("被审计单位数据包[" + fileName + "]的资料已经存在！");
        return;
    }
    // A folder without rows is what an interrupted import leaves: it is no entity.
    fs::removeTree(entityRoot(dm, code));

    std::string root = moveUnpacked(unpacked, entityRoot(dm, code));
    if (root.empty()) root = extractPackage(dm, archive, code);
    if (root.empty()) {
        refuse("解压缩被审计单位数据包[" + fileName + "]失败！");
        deleteEntity(dm, code);
        return;
    }

    bool bindingFailed = false;
    try {
        db::Transaction transaction(dm.conUNITARC);
        if (importDescription(dm, root) < 0) {
            refuse("导入被审计单位数据包[" + fileName + "]中的数据失败！");
        } else {
            const int bound = bindEntityToProject(dm, code, serial);
            bindingFailed = (check == 0 && bound < 0) || (check == 1 && bound < 0 && bound != -200);
            if (bindingFailed) bindingCleanup(dm, code, serial);
            transaction.commit();
            if (bindingFailed) outcome.messages.push_back("被审计单位（延伸审计单位）资料中创建当前项目的审计资料结构失败！");
            outcome.messages.push_back("导入被审计单位（延伸审计单位）数据包[" + fileName + "]成功！");
            ++outcome.imported;
            if (bindingFailed) ++outcome.bindingFailures;
            return;
        }
    } catch (...) {
        refuse("导入被审计单位数据包[" + fileName + "]中的数据失败！");
    }
    // The transaction is rolled back: only the files are left to remove.
    deleteEntity(dm, code);
}

}  // namespace

std::string unpackPackage(const std::string& archive) {
    try {
        const std::string folder = host::host().tempPath() + kUnpackFolder;
        if (recreateFolder(folder) != 1) return {};
        return extractInto(archive, folder);
    } catch (...) {
        return {};
    }
}

std::string baseInfoPath(const std::string& packageRoot) {
    try {
        if (packageRoot.empty()) return {};
        const std::string path = baseInfoFilePath(packageRoot);
        return fs::isFile(path) ? path : std::string();
    } catch (...) {
        return {};
    }
}

int projectEntityCheck(const std::string& code) {
    try {
        const std::string serial = host::host().curPrjSerial();
        auto base = hostBaseConnection();
        if (!base) return -1;
        db::Query query(base.get());
        query.open("Select * From KQ_PrjInfo Where PrjID = " + text::quoted(serial));
        const std::string corp = query.isEmpty() ? std::string() : text::upperLatin(query.text("AuditedCorpID"));
        if (corp.empty()) return -1;
        return text::upperLatin(code) == corp ? 1 : 0;
    } catch (...) {
        return -1;
    }
}

bool entityExists(TKQDM_BSJDW& dm, const std::string& code) {
    db::Query query(&dm.conUNITARC);
    query.open("Select * From AuditedDeptInfo Where AuditedDeptCode = " + text::quoted(code));
    return !query.isEmpty();
}

std::string extractPackage(TKQDM_BSJDW& dm, const std::string& archive, const std::string& code) {
    try {
        if (!isUsableEntityCode(code)) return {};
        const std::string root = entityRoot(dm, code);
        std::error_code ec;
        if (!fs::isDirectory(root) && !stdfs::create_directories(root, ec)) return {};
        return extractInto(archive, root);
    } catch (...) {
        return {};
    }
}

void deleteEntity(TKQDM_BSJDW& dm, const std::string& code) {
    if (code.empty()) return;
    try {
        // Never the entity data folder itself, nor anything beside it.
        if (fs::isPlainComponent(code)) {
            const std::string root = entityRoot(dm, code);
            if (fs::exists(root) && fs::removeTree(root) != 0) return;
        }
        for (const char* table : {"AuditedDeptInfo", "AuditResourceInfo", "FinanceDataInfo", "FinanceResourceInfo",
                                  "TransResourceInfo"})
            dm.conUNITARC.execute(std::string("Delete From ") + table + " Where AuditedDeptCode = " + text::quoted(code));
    } catch (...) {
    }
}

void bindingCleanup(TKQDM_BSJDW& dm, const std::string& code, const std::string& serial) {
    try {
        // Imported rows carry no FileID; the binding's rows always get one. So the current
        // project's folders with a FileID, and everything below them, are the binding's.
        db::Query folders(&dm.conUNITARC);
        folders.open("Select * From AuditResourceInfo Where (Name like " + text::quoted("%（项目编号：" + serial + "）") +
                     ") and (AuditedDeptCode = " + text::quoted(code) + ") and (filetag = 0) and (FileID <> '')");
        std::vector<std::string> pending;
        for (; !folders.eof(); folders.next()) {
            pending.push_back(folders.text("DirID"));
            // A folder of the same place that the package brought keeps its files.
            db::Query imported(&dm.conUNITARC);
            imported.open("Select DirID From AuditResourceInfo Where (AuditedDeptCode = " + text::quoted(code) +
                          ") and (FileID = '') and (Name = " + text::quoted(folders.text("Name")) + ") and (PDirID = " +
                          text::quoted(folders.text("PDirID")) + ")");
            const std::string path = store::materialPath(dm, 6, code, pending.back(), true);
            if (imported.isEmpty() && !path.empty() && fs::isPlainComponent(folders.text("Name")))
                fs::removeTree(dm.folder() + path);
        }
        while (!pending.empty()) {
            const std::string dirId = pending.back();
            pending.pop_back();
            db::Query children(&dm.conUNITARC);
            children.open("Select DirID From AuditResourceInfo Where (AuditedDeptCode = " + text::quoted(code) +
                          ") and (PDirID = " + text::quoted(dirId) + ") and (FileID <> '')");
            for (; !children.eof(); children.next()) pending.push_back(children.text("DirID"));
            dm.conUNITARC.execute("Delete From AuditResourceInfo Where (AuditedDeptCode = " + text::quoted(code) +
                                  ") and (DirID = " + text::quoted(dirId) + ")");
        }
    } catch (...) {
    }
}

ImportOutcome importPackages(TKQDM_BSJDW& dm, const std::vector<std::string>& archives) {
    ImportOutcome outcome;
    const std::string serial = host::host().curPrjSerial();
    for (const std::string& archive : archives) {
        const std::string fileName = fileNameOf(archive);
        auto refuse = [&outcome](std::string message) {
            outcome.messages.push_back(std::move(message));
            ++outcome.refused;
        };

        const std::string unpacked = unpackPackage(archive);
        if (unpacked.empty()) {
            refuse("解压缩被审计单位数据包[" + fileName + "]失败！");
            continue;
        }
        const std::string baseInfo = baseInfoPath(unpacked);
        if (baseInfo.empty()) {
            refuse("获得被审计单位数据包[" + fileName + "]中的[基本信息.xml]失败！");
            continue;
        }
        const std::string code = readEntityCode(baseInfo);
        if (!isUsableEntityCode(code)) {
            refuse("获得被审计单位数据包[" + fileName + "]中的被审计单位编码失败！");
            continue;
        }
        const int check = projectEntityCheck(code);
        if (check == -1) {
            refuse("没有引入被审计单位数据包[" + fileName + "]，\r\n" +
                   "原因：当前项目信息中没有填写[被审计单位编码]，请您填写后再重新引入！");
            continue;
        }
        try {
            importOne(dm, archive, unpacked, fileName, code, check, serial, outcome);
        } catch (...) {
            refuse("导入被审计单位数据包[" + fileName + "]中的数据失败！");
        }
    }
    return outcome;
}

std::string importSummary(const ImportOutcome& outcome) {
    if (outcome.messages.empty()) return "导入被审计单位资料树成功！";
    return text::joinLines(outcome.messages);
}

std::string deleteEntityAction(TKQDM_BSJDW& dm, const std::string& code, const std::string& name) {
    deleteEntity(dm, code);
    return "删除被审计单位[" + name + "]的数据包成功！";
}

}  // namespace unitarc::package

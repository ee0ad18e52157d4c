#include "package/generation.h"

#include "package/binding.h"
#include "package/writing.h"
#include "platform/db.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "platform/xml.h"
#include "shell/hostapi.h"
#include "store/records.h"

namespace unitarc::package {

namespace {

// A host whose zip library raises is a host whose archive was not made.
std::string compress(const std::string& packageRoot, const std::string& archive) {
    try {
        return host::host().compressFile(packageRoot, archive);
    } catch (...) {
        return {};
    }
}

}  // namespace

std::string entityLabel(const EntityChoice& entity) {
    return (entity.principal ? "[" : "（延伸单位）[") + entity.name + "]";
}

EntityList listEntities(TKQDM_BSJDW& dm) {
    EntityList list;
    db::Query query(&dm.conUNITARC);
    query.open("Select * From AuditedDeptInfo Order By DeptIndex");
    const std::string serial = host::host().curPrjSerial();
    list.projectName = store::prjInfoField(serial, "PrjName");
    const std::string corpId = store::prjInfoField(serial, "AuditedCorpID");
    for (; !query.eof(); query.next()) {
        EntityChoice entity;
        entity.code = query.text("AuditedDeptCode");
        entity.name = query.text("AuditedDeptName");
        entity.principal = entity.code == corpId;
        list.entities.push_back(std::move(entity));
    }
    return list;
}

std::string stagingFolder() { return fs::addSeparator(host::host().appFolder()) + "~KQ~temp/BSJDWPck/"; }

void prepareGeneration(TKQDM_BSJDW& dm) {
    refreshCurrentProject(dm);
    recreateFolder(stagingFolder());  // a missing folder shows as each entity's failure
}

void registerPackage(const std::string& label, const std::string& archive) {
    try {
        void* entry = host::host().appInterface("XMGL", "ReferenceDataPackage_Show", 1);
        if (!entry) return;
        const auto show = reinterpret_cast<host::ReferenceDataPackageShowFn>(entry);
        show(("被审计单位数据包：" + label).c_str(), archive.c_str(), "XMGL_PACKAGE_BSDW", 13);
    } catch (...) {
        // What the host does with the package is the host's business.
    }
}

GenerationOutcome generatePackages(TKQDM_BSJDW& dm, const std::vector<EntityChoice>& entities, void* owner) {
    GenerationOutcome outcome;
    host::BusyWindow busy(owner, "被审计单位数据包", "开始生成被审计单位数据包，请稍候．．．");
    const std::string staging = stagingFolder();
    xml::Document description;

    for (const EntityChoice& entity : entities) {
        const std::string label = entityLabel(entity);
        busy.say("正在生成被审计单位" + label + "的数据包，请稍候．．．");

        const int written = writePackage(dm, entity.code, staging, description, &outcome.warnings);
        // The archive is made before the marks move: a package that did not come into being
        // must not make the next one leave its files out.
        std::string archive;
        if (written >= 0) archive = compress(staging + entity.code + "/", staging + entity.code + ".zip");
        if (written < 0 || archive.empty()) {
            busy.hide();
            outcome.lines.push_back("生成被审计单位" + label + "的数据包失败！");
            outcome.failed = true;
            break;
        }
        markPackaged(dm, entity.code);
        busy.hide();
        outcome.lines.push_back("生成被审计单位" + label + "的数据包成功！");
        outcome.archives.push_back(archive);
        registerPackage(label, archive);
    }
    return outcome;
}

std::string generationSummary(const GenerationOutcome& outcome) {
    const std::string joined = text::joinLines(outcome.lines);
    return joined.empty() ? std::string(kGenerationDone) : joined;
}

}  // namespace unitarc::package

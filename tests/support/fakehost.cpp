#include "tests/support/fakehost.h"

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "host/bundler/bundler.h"
#include "tests/paths.h"

namespace unitarc::test {

namespace stdfs = std::filesystem;

namespace {

std::string sqlText(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

void exec(sqlite3* db, const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message ? message : "unknown error";
        sqlite3_free(message);
        throw std::runtime_error("fake host SQL failed: " + text + " in: " + sql);
    }
}

sqlite3* openFile(const std::string& path, bool create) {
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 5000);
    return db;
}

void writeText(const std::string& path, const std::string& text) {
    stdfs::create_directories(stdfs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

FakeHost* installedFake() { return dynamic_cast<FakeHost*>(&host::host()); }

int fakeExportDataToWord(const char* resTypeName, const char* resParam, const char* path) {
    FakeHost* fake = installedFake();
    if (!fake) return 0;
    fake->record("exportDataToWord", {resTypeName, resParam, path});
    if (fake->appEntriesThrow()) throw std::runtime_error("exportDataToWord failed");
    writeText(path, std::string("{\\rtf1 ") + resTypeName + " " + resParam + "}");
    return fake->exportResult();
}

void fakeReferenceDataPackageShow(const char* title, const char* archive, const char* kind, int n) {
    FakeHost* fake = installedFake();
    if (!fake) return;
    fake->record("ReferenceDataPackage_Show", {title, archive, kind, std::to_string(n)});
    if (fake->appEntriesThrow()) throw std::runtime_error("ReferenceDataPackage_Show failed");
}

}  // namespace

void FakeHost::SqliteCloser::operator()(sqlite3* db) const { sqlite3_close(db); }

FakeHost::FakeHost() {
    m_tempPath = workspace() + "temp/";
    m_appFolder = workspace() + "app/";
    stdfs::create_directories(m_tempPath);
    stdfs::create_directories(workspace() + "projects");

    const stdfs::path templateCopy = templateFile();
    stdfs::create_directories(templateCopy.parent_path());
    std::error_code ec;
    stdfs::copy_file(UNITARC_TEMPLATE, templateCopy, ec);
    if (ec) throw std::runtime_error(std::string("the template database is not built: ") + UNITARC_TEMPLATE);

    m_base.reset(openFile(baseDbPath(), true));
    if (!m_base) throw std::runtime_error("cannot create " + baseDbPath());
    exec(m_base.get(),
         "Create Table KQ_PrjInfo (PrjID TEXT PRIMARY KEY, PrjName TEXT, AuditedCorpID TEXT, "
         "PrjExecuteOrganID TEXT);"
         "Create Table KQ_TypeInfo (TypeName TEXT, TypeCaption TEXT, IsDisplay TEXT);");

    addProject(kSerial, kProjectName, kAuditedCorpId, kOrganId);
    m_serial = kSerial;
}

FakeHost::~FakeHost() {
    if (&host::host() == this) host::install(nullptr);
}

std::string FakeHost::addProject(const std::string& serial, const std::string& name,
                                 const std::string& auditedCorpId, const std::string& organId) {
    exec(m_base.get(), "Insert Into KQ_PrjInfo (PrjID, PrjName, AuditedCorpID, PrjExecuteOrganID) Values (" +
                           sqlText(serial) + ", " + sqlText(name) + ", " + sqlText(auditedCorpId) + ", " +
                           sqlText(organId) + ")");
    const std::string folder = workspace() + "projects/" + serial + "/";
    stdfs::create_directories(folder + "File");
    Handle project(openFile(folder + "project.db", true));
    if (!project) throw std::runtime_error("cannot create the project database of " + serial);
    exec(project.get(),
         "Create Table KQ_ResTrv (ResID INTEGER PRIMARY KEY, ResParentID INTEGER, ResIndex INTEGER, "
         "ResCaption TEXT, ResImgIndex INTEGER, ResTypeName TEXT, ResNodeType INTEGER, ResKeyWord TEXT, "
         "ResFileFlag TEXT, ResCreateAppID TEXT, ResFileName TEXT, ResParam TEXT)");
    return folder;
}

std::string FakeHost::projectFolder(const std::string& serial) const {
    return workspace() + "projects/" + serialOr(serial) + "/";
}

std::string FakeHost::entityFolder(const std::string& serial) const { return projectFolder(serial) + "File/BSJDW/"; }

long long FakeHost::addResource(Resource r, const std::string& serial) {
    sqlite3* db = projectHandle(serialOr(serial));
    if (!db) throw std::runtime_error("no project database for " + serialOr(serial));
    const std::string id = r.resId ? std::to_string(r.resId) : "Null";
    exec(db, "Insert Into KQ_ResTrv (ResID, ResParentID, ResIndex, ResCaption, ResImgIndex, ResTypeName, "
             "ResNodeType, ResKeyWord, ResFileFlag, ResCreateAppID, ResFileName, ResParam) Values (" +
                 id + ", " + std::to_string(r.parentId) + ", " + std::to_string(r.index) + ", " +
                 sqlText(r.caption) + ", " + std::to_string(r.imgIndex) + ", " + sqlText(r.typeName) + ", " +
                 std::to_string(r.nodeType) + ", " + sqlText(r.keyWord) + ", " + sqlText(r.fileFlag) + ", " +
                 sqlText(r.createAppId) + ", " + sqlText(r.fileName) + ", " + sqlText(r.param) + ")");
    if (r.content) writeText(projectFolder(serial) + "File/" + r.createAppId + "/" + r.fileName, *r.content);
    return sqlite3_last_insert_rowid(db);
}

void FakeHost::addType(const std::string& typeName, const std::string& caption, const std::string& isDisplay) {
    exec(m_base.get(), "Insert Into KQ_TypeInfo (TypeName, TypeCaption, IsDisplay) Values (" + sqlText(typeName) +
                           ", " + sqlText(caption) + ", " + sqlText(isDisplay) + ")");
}

void FakeHost::execBase(const std::string& sql) { exec(m_base.get(), sql); }

void FakeHost::execProject(const std::string& sql, const std::string& serial) {
    sqlite3* db = projectHandle(serialOr(serial));
    if (!db) throw std::runtime_error("no project database for " + serialOr(serial));
    exec(db, sql);
}

std::string FakeHost::templateFile() const { return m_appFolder + "System/API/BSJDW/UNITARC.mdb"; }

void FakeHost::removeTemplate() { stdfs::remove(templateFile()); }

std::vector<FakeHost::Call> FakeHost::callsOf(const std::string& what) const {
    std::vector<Call> found;
    for (const auto& call : calls)
        if (call.what == what) found.push_back(call);
    return found;
}

void FakeHost::clearCalls() {
    calls.clear();
    registered.clear();
    busyTexts.clear();
}

void FakeHost::record(std::string what, std::vector<std::string> args) {
    calls.push_back({std::move(what), std::move(args)});
}

std::unique_ptr<TKQDM_BSJDW> FakeHost::openDataModule() {
    if (&host::host() != this) throw std::logic_error("openDataModule needs the fake host installed");
    auto module = std::make_unique<TKQDM_BSJDW>();
    const int result = module->Open(m_serial);
    if (result != 1) throw std::runtime_error("the data module did not open: " + std::to_string(result));
    return module;
}

sqlite3* FakeHost::projectHandle(const std::string& serial) {
    auto found = m_projects.find(serial);
    if (found != m_projects.end()) return found->second.get();
    Handle db(openFile(workspace() + "projects/" + serial + "/project.db", false));
    if (!db) return nullptr;
    return m_projects.emplace(serial, std::move(db)).first->second.get();
}

// --- host::Host

std::string FakeHost::curPrjSerial() {
    record("KQGetCurPrjSerial", {});
    return m_serial;
}

std::string FakeHost::prjFolder(const std::string& serial) {
    record("KQGetPrjFolder", {serial});
    auto found = m_folderOverride.find(serial);
    return found != m_folderOverride.end() ? found->second : projectFolder(serial);
}

std::string FakeHost::curUUID() {
    record("KQGetCurUUID", {});
    return m_uuid;
}

void* FakeHost::imageList(int flag) {
    record("KQGetKQImageList", {std::to_string(flag)});
    return m_imageList;
}

std::string FakeHost::tempPath() {
    record("GetKQTempPathY", {});
    return m_tempPath;
}

int FakeHost::userDoResRight(int resId, const std::string& uuid) {
    record("GetUserDoResRight", {std::to_string(resId), uuid});
    auto found = m_rights.find(resId);
    return found != m_rights.end() ? found->second : 0;
}

void FakeHost::registerDataN(const host::RegisterDataArgs& a) {
    record("RegisterDataN", {a.kind, a.name, a.uuid, a.title, a.group, a.site, a.empty, a.path, a.module,
                             std::to_string(a.a), std::to_string(a.b), std::to_string(a.c)});
    registered.push_back(a);
}

void FakeHost::viewFileEx(const std::string& path, int flag, const std::string& caption, bool readOnly) {
    record("ViewFileEx", {path, std::to_string(flag), caption, readOnly ? "1" : "0"});
}

std::string FakeHost::extractFile(const std::string& archive, const std::string& destination) {
    record("ExtractFile", {archive, destination});
    if (m_extractOutcome == Outcome::Throw) throw std::runtime_error("ExtractFile failed");
    if (m_extractOutcome == Outcome::Empty) return {};
    return hostwork::extractArchive(archive, destination);
}

std::string FakeHost::compressFile(const std::string& sourceFolder, const std::string& archive) {
    record("CompressFile", {sourceFolder, archive});
    if (m_compressOutcome == Outcome::Throw) throw std::runtime_error("CompressFile failed");
    if (m_compressOutcome == Outcome::Empty) return {};
    return hostwork::compressFolder(sourceFolder, archive);
}

int FakeHost::getPrjInfo(std::string& path) {
    record("GetPrjInfo", {});
    path = m_tempPath + "prjinfo/项目基本信息.xml";
    writeText(path, std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<项目基本信息>"
                                "<PrjID name=\"项目编号\">") +
                        m_serial + "</PrjID></项目基本信息>\n");
    return m_prjInfoResult;
}

void FakeHost::beginProcess(void*, const std::string& title, const std::string& text) {
    record("BeginProcess", {title, text});
    busyTexts.push_back(title);
    busyTexts.push_back(text);
    ++busyOpen;
}

void FakeHost::changeTransInfo(const std::string& text) {
    record("ChangeTransInfo", {text});
    busyTexts.push_back(text);
}

void FakeHost::hideProcess() { record("HideProcess", {}); }

void FakeHost::endProcess() {
    record("EndProcess", {});
    --busyOpen;
}

void* FakeHost::appInterface(const std::string& module, const std::string& function, int flag) {
    record("KQGetAppInterface", {module, function, std::to_string(flag)});
    if (!m_appEntries) return nullptr;
    if (module == "DGGL" && function == "exportDataToWord")
        return reinterpret_cast<void*>(static_cast<host::ExportDataToWordFn>(&fakeExportDataToWord));
    if (module == "XMGL" && function == "ReferenceDataPackage_Show")
        return reinterpret_cast<void*>(static_cast<host::ReferenceDataPackageShowFn>(&fakeReferenceDataPackageShow));
    return nullptr;
}

sqlite3* FakeHost::baseConnection() {
    record("GetBaseDBConnection", {});
    return m_connections ? m_base.get() : nullptr;
}

sqlite3* FakeHost::curPrjConnection() {
    record("GetCurPrjDBConnection", {});
    return m_connections ? projectHandle(m_serial) : nullptr;
}

std::string FakeHost::appFolder() {
    record("KQGetAppExeName", {});
    return m_appFolder;
}

}  // namespace unitarc::test

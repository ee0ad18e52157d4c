#pragma once
// A host for the core tests, without Qt: a temporary workspace in the reference host's
// format and every host operation answered in memory, each call recorded.
//
//   class ImportTest : public unitarc::test::FakeHostTest {};   // fake + installed
//   TEST_F(ImportTest, ...) {
//       fake.addResource({.caption = "日记", .typeName = "DGGL_SJRJ", .fileName = "a.doc",
//                         .content = "text"});
//       auto dm = fake.openDataModule();          // TKQDM_BSJDW open on the current project
//       ...
//       EXPECT_EQ(fake.callsOf("RegisterDataN").size(), 1u);
//   }
//
// Layout of the workspace (all folders end in "/"):
//   <ws>/base.db                    KQ_PrjInfo, KQ_TypeInfo
//   <ws>/projects/<serial>/         project folder: project.db (KQ_ResTrv), File/
//   <ws>/temp/                      tempPath()
//   <ws>/app/                       appFolder(), with System/API/BSJDW/UNITARC.mdb (the built template)
// The constructor adds the project kSerial, named kProjectName, and makes it current.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/hostapi.h"
#include "shell/untKQDM_BSJDW.h"
#include "tests/support/tempdir.h"

namespace unitarc::test {

// A project resource of the host: one KQ_ResTrv row, with its file when content is set.
struct Resource {
    long long resId = 0;          // 0: the next free id
    long long parentId = 0;
    long long index = 0;
    std::string caption{};
    long long imgIndex = 0;
    std::string typeName{};
    long long nodeType = 20;      // 20 and above are materials
    std::string keyWord{};
    std::string fileFlag = "1";
    std::string createAppId = "DGGL";
    std::string fileName{};
    std::string param{};
    std::optional<std::string> content{};  // written to <project>/File/<createAppId>/<fileName>
};

// What a failing host operation does.
enum class Outcome { Normal, Empty, Throw };

class FakeHost : public host::Host {
public:
    static constexpr const char* kSerial = "P2026001";
    static constexpr const char* kProjectName = "2026年度测试项目";
    static constexpr const char* kAuditedCorpId = "CORP001";
    static constexpr const char* kOrganId = "ORGAN001";
    static constexpr const char* kUUID = "FAKE-UUID-0001";

    FakeHost();
    ~FakeHost() override;
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    // --- the workspace
    const std::string& workspace() const { return m_dir.path(); }
    std::string baseDbPath() const { return workspace() + "base.db"; }
    // A KQ_PrjInfo row and the project folder with File/ and project.db; returns the folder.
    std::string addProject(const std::string& serial, const std::string& name = {},
                           const std::string& auditedCorpId = {}, const std::string& organId = {});
    // The folder the workspace gives the project (the current one by default), ending in "/".
    std::string projectFolder(const std::string& serial = {}) const;
    // projectFolder() + "File/BSJDW/": where the data module puts the entity database.
    std::string entityFolder(const std::string& serial = {}) const;
    // Adds a resource to the project (the current one by default); returns its ResID.
    long long addResource(Resource resource, const std::string& serial = {});
    void addType(const std::string& typeName, const std::string& caption, const std::string& isDisplay);
    // Runs SQL on base.db or on a project's project.db.
    void execBase(const std::string& sql);
    void execProject(const std::string& sql, const std::string& serial = {});
    // The template copy in the app folder, and a way to take it away.
    std::string templateFile() const;
    void removeTemplate();

    // --- what the host answers
    void setSerial(std::string serial) { m_serial = std::move(serial); }
    // Overrides KQGetPrjFolder's answer for one serial (for a missing folder, no trailing "/" ...).
    void setPrjFolder(const std::string& serial, std::string folder) { m_folderOverride[serial] = std::move(folder); }
    void setTempPath(std::string path) { m_tempPath = std::move(path); }
    void setAppFolder(std::string folder) { m_appFolder = std::move(folder); }
    void setUUID(std::string uuid) { m_uuid = std::move(uuid); }
    void setImageList(void* list) { m_imageList = list; }
    void setUserRight(int resId, int right) { m_rights[resId] = right; }
    void setPrjInfoResult(int result) { m_prjInfoResult = result; }
    void setExtractOutcome(Outcome o) { m_extractOutcome = o; }
    void setCompressOutcome(Outcome o) { m_compressOutcome = o; }
    // appInterface: the two known entries (or none), which may throw; exportDataToWord's result.
    void setAppEntriesAvailable(bool available) { m_appEntries = available; }
    void setAppEntriesThrow(bool doThrow) { m_appEntriesThrow = doThrow; }
    void setExportResult(int result) { m_exportResult = result; }
    void setConnectionsAvailable(bool available) { m_connections = available; }

    // --- what the plug-in did
    struct Call {
        std::string what;               // the host operation's name, e.g. "RegisterDataN"
        std::vector<std::string> args;  // its arguments as text, in order
    };
    std::vector<Call> calls;                          // every call, in order
    std::vector<host::RegisterDataArgs> registered;   // RegisterDataN, whole
    std::vector<std::string> busyTexts;               // BeginProcess title and text, ChangeTransInfo text, in order
    int busyOpen = 0;                                 // BeginProcess minus EndProcess
    std::vector<Call> callsOf(const std::string& what) const;
    void clearCalls();

    // A data module opened on the current project; throws when the open does not give 1.
    // Needs the fake installed (FakeHostTest or HostInstaller).
    std::unique_ptr<TKQDM_BSJDW> openDataModule();

    // --- host::Host
    std::string curPrjSerial() override;
    std::string prjFolder(const std::string& serial) override;
    std::string curUUID() override;
    void* imageList(int flag) override;
    std::string tempPath() override;
    int userDoResRight(int resId, const std::string& uuid) override;
    void registerDataN(const host::RegisterDataArgs& args) override;
    void viewFileEx(const std::string& path, int flag, const std::string& caption, bool readOnly) override;
    std::string extractFile(const std::string& archive, const std::string& destination) override;
    std::string compressFile(const std::string& sourceFolder, const std::string& archive) override;
    int getPrjInfo(std::string& path) override;
    void beginProcess(void* owner, const std::string& title, const std::string& text) override;
    void changeTransInfo(const std::string& text) override;
    void hideProcess() override;
    void endProcess() override;
    void* appInterface(const std::string& module, const std::string& function, int flag) override;
    sqlite3* baseConnection() override;
    sqlite3* curPrjConnection() override;
    std::string appFolder() override;

    // Used by the appInterface entries.
    void record(std::string what, std::vector<std::string> args);
    int exportResult() const { return m_exportResult; }
    bool appEntriesThrow() const { return m_appEntriesThrow; }

private:
    struct SqliteCloser {
        void operator()(sqlite3* db) const;
    };
    using Handle = std::unique_ptr<sqlite3, SqliteCloser>;

    std::string serialOr(const std::string& serial) const { return serial.empty() ? m_serial : serial; }
    sqlite3* projectHandle(const std::string& serial);

    TempDir m_dir;
    Handle m_base;
    std::map<std::string, Handle> m_projects;
    std::string m_serial;
    std::map<std::string, std::string> m_folderOverride;
    std::string m_tempPath;
    std::string m_appFolder;
    std::string m_uuid = kUUID;
    void* m_imageList = nullptr;
    std::map<int, int> m_rights;
    int m_prjInfoResult = 1;
    Outcome m_extractOutcome = Outcome::Normal;
    Outcome m_compressOutcome = Outcome::Normal;
    bool m_appEntries = true;
    bool m_appEntriesThrow = false;
    int m_exportResult = 1;
    bool m_connections = true;
};

// Installs a host for its lifetime; the named imports come back afterwards.
class HostInstaller {
public:
    explicit HostInstaller(host::Host& h) { host::install(&h); }
    ~HostInstaller() { host::install(nullptr); }
    HostInstaller(const HostInstaller&) = delete;
    HostInstaller& operator=(const HostInstaller&) = delete;
};

// A fixture with a fresh fake host, installed.
class FakeHostTest : public ::testing::Test {
protected:
    FakeHost fake;
    HostInstaller installed{fake};
};

}  // namespace unitarc::test

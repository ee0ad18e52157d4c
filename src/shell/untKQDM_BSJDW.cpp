#include "shell/untKQDM_BSJDW.h"

#include <unistd.h>

#include <cstdio>

#include "platform/fs.h"
#include "platform/text.h"
#include "shell/hostapi.h"

namespace unitarc {

namespace {

constexpr const char* kEntityFolder = "File/BSJDW/";
constexpr const char* kDatabaseName = "UNITARC.mdb";

std::unique_ptr<TKQDM_BSJDW>& dataModuleSlot() {
    static std::unique_ptr<TKQDM_BSJDW> module;
    return module;
}

// The template is copied beside the target and renamed into place, so that a copy that
// fails halfway never leaves a damaged database that would be opened from then on.
void copyTemplate(const std::string& target, const std::string& source) {
    const std::string partial = target + ".part" + std::to_string(getpid());
    if (fs::copyOver(partial, source) && std::rename(partial.c_str(), target.c_str()) == 0) return;
    std::remove(partial.c_str());
}

}  // namespace

int TKQDM_BSJDW::Open(const std::string& projectSerial) {
    m_folder = host::host().prjFolder(projectSerial);
    if (!fs::isDirectory(m_folder)) return -100;

    m_folder = addBackslash(m_folder) + kEntityFolder;
    if (!fs::isDirectory(m_folder)) fs::createFolder(m_folder);  // only this level; failure shows at open

    const std::string database = m_folder + kDatabaseName;
    if (!fs::exists(database)) copyTemplate(database, templatePath());

    try {
        conUNITARC.close();
        conUNITARC.connectionString = db::connectionText(database, "");
        conUNITARC.open();
        return 1;
    } catch (...) {
        return -101;
    }
}

int TKQDM_BSJDW::Close() {
    try {
        conUNITARC.close();
        return 1;
    } catch (...) {
        return -102;
    }
}

TKQDM_BSJDW* findDataModule() { return dataModuleSlot().get(); }

TKQDM_BSJDW& ensureDataModule() {
    auto& slot = dataModuleSlot();
    if (!slot) slot = std::make_unique<TKQDM_BSJDW>();
    return *slot;
}

void destroyDataModule() { dataModuleSlot().reset(); }

bool noProjectOpen(const std::string& serial) { return serial.empty() || text::upperLatin(serial) == "PROJECTTEST"; }

std::string addBackslash(const std::string& path) {
    if (!path.empty() && path.back() == '/') return path;
    return path + "/";
}

std::string templatePath() { return host::host().appFolder() + "System/API/BSJDW/" + kDatabaseName; }

namespace {

std::unique_ptr<db::Connection> borrowed(sqlite3* handle) {
    if (!handle) return nullptr;
    try {
        return db::Connection::borrow(handle);
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

std::unique_ptr<db::Connection> hostBaseConnection() {
    try {
        return borrowed(host::host().baseConnection());
    } catch (...) {
        return nullptr;
    }
}

std::unique_ptr<db::Connection> hostProjectConnection() {
    try {
        return borrowed(host::host().curPrjConnection());
    } catch (...) {
        return nullptr;
    }
}

}  // namespace unitarc

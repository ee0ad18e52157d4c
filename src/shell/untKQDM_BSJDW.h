#pragma once
// The data module: the connection to the project's entity database and the folder it lies in.
#include <memory>
#include <string>

#include "platform/db.h"

namespace unitarc {

class TKQDM_BSJDW {
public:
    // 1 opened; -100 the project folder does not exist; -101 the database did not open.
    int Open(const std::string& projectSerial);
    // 1 closed; -102 closing raised an error.
    int Close();

    // The entity data folder after a successful open (project folder + "File/BSJDW/");
    // the host's project folder when the folder was missing.
    const std::string& folder() const { return m_folder; }
    void setFolder(std::string folder) { m_folder = std::move(folder); }

    db::Connection conUNITARC;

private:
    std::string m_folder;
};

// The library's one data module, found by its component name "KQDM_BSJDW": null until the
// first call past the project check creates it.
TKQDM_BSJDW* findDataModule();
// Creates the data module when there is none and returns it.
TKQDM_BSJDW& ensureDataModule();
// Frees it (library unload, tests).
void destroyDataModule();

// "/" appended when the last byte is not "/".
std::string addBackslash(const std::string& path);

// An empty serial, or "PROJECTTEST" in any letter case, means that no project is open.
bool noProjectOpen(const std::string& serial);

// The template that ships with the host: host program folder + "System/API/BSJDW/UNITARC.mdb".
std::string templatePath();

// Borrowed host connections (connsrc), wrapped without owning them; null when unavailable.
std::unique_ptr<db::Connection> hostBaseConnection();
std::unique_ptr<db::Connection> hostProjectConnection();

}  // namespace unitarc

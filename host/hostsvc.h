#pragma once
// Control of the reference host's services (libhostsvc.so): the workspace, the current
// project and what the plug-in handed over. Used by the hostwork program, the unitarc
// command-line tool and the tests. The plug-in itself sees only the C functions of
// src/shell/host_abi.h.
#include <functional>
#include <string>
#include <vector>

struct sqlite3;

#define HOSTSVC_EXPORT __attribute__((visibility("default")))

namespace hostwork {

// Opens (and creates what is missing of) a workspace: the folder, base.db with KQ_PrjInfo
// and KQ_TypeInfo, projects/ and temp/. A base.db made by hand with only the documented
// columns is completed. Closes the connections of a workspace open before. Throws
// std::runtime_error when the folder or database cannot be made.
HOSTSVC_EXPORT void openWorkspace(const std::string& dir);
// The open workspace, ending in "/"; the default workspace when none was opened.
HOSTSVC_EXPORT std::string workspace();
// HOSTWORK_WORKSPACE, else $XDG_DATA_HOME/hostwork, else ~/.local/share/hostwork.
HOSTSVC_EXPORT std::string defaultWorkspace();

// "" means that no project is open. Changing it closes the project connection.
HOSTSVC_EXPORT void setCurrentProject(const std::string& serial);
HOSTSVC_EXPORT std::string currentProject();

// Adds the project's row and its folder (File/ and project.db with KQ_ResTrv); returns the
// project folder ending in "/". Throws std::invalid_argument for a serial that is not one
// plain path component or already exists, std::runtime_error when writing fails.
HOSTSVC_EXPORT std::string createProject(const std::string& serial, const std::string& name,
                                         const std::string& auditedCorpId, const std::string& organId);
// Throws std::runtime_error when the project does not exist or the write fails.
HOSTSVC_EXPORT void updateProject(const std::string& serial, const std::string& name,
                                  const std::string& auditedCorpId, const std::string& organId);
struct ProjectInfo {
    std::string serial, name, auditedCorpId, organId;
};
HOSTSVC_EXPORT std::vector<std::string> projects();  // serials, in PrjID order
HOSTSVC_EXPORT ProjectInfo projectInfo(const std::string& serial);  // empty fields when unknown

// Tests: pretend that the host program lives elsewhere ("" = the real executable).
HOSTSVC_EXPORT void setAppExeName(const std::string& path);

// What the plug-in handed over: RegisterDataN, ReferenceDataPackage_Show, exportDataToWord
// and ViewFileEx calls, in order, each with its arguments as texts.
struct Received {
    std::string what;
    std::vector<std::string> args;
};
HOSTSVC_EXPORT std::vector<Received> received();
HOSTSVC_EXPORT void clearReceived();
// One listener, called after every new record on the calling thread; an empty function
// removes it.
HOSTSVC_EXPORT void onReceived(std::function<void()> cb);

// Closes the cached base and project connections; they reopen on the next request.
HOSTSVC_EXPORT void closeConnections();

// Creates the project database with KQ_ResTrv (all documented columns plus the host's
// ResReadOnly) when missing. Throws std::runtime_error on failure.
HOSTSVC_EXPORT void ensureProjectDatabase(const std::string& projectDbPath);

// Indexes of the host's image list (KQGetKQImageList), as the demo's ResImgIndex uses them.
enum ImageIndex : int {
    ImgFolder = 0, ImgFolderOpen, ImgProject, ImgDiary, ImgDailyDiary, ImgWorkingPaper, ImgProjectFile,
    ImgSpreadsheet, ImgText, ImgWebPage, ImgPicture, ImgDatabase, ImgWordDocument, ImgPackage,
    ImgCount
};

}  // namespace hostwork

extern "C" {
// For libconnsrc.so: the cached connections, borrowed; nullptr when unavailable.
HOSTSVC_EXPORT sqlite3* hostsvc_baseConnection(void);
HOSTSVC_EXPORT sqlite3* hostsvc_projectConnection(void);
}

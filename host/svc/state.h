#pragma once
// The services' shared state: one workspace, one current project, two cached connections.
#include "hostsvc.h"
#include "svc/sql.h"

#include <mutex>
#include <string>

namespace hostwork::detail {

struct State {
    std::recursive_mutex mutex;
    std::string workspace;  // "" until openWorkspace
    std::string project;
    std::string appExe;
    sql::Db base;
    sql::Db projectDb;
    std::string projectDbSerial;  // the project the cached connection belongs to
    std::vector<Received> received;
    std::function<void()> listener;
};

State& state();

std::string workspaceFolder();                        // ends in "/"
sqlite3* baseDb();                                    // cached; nullptr when unavailable
sqlite3* projectDb();                                 // of the current project; nullptr when none
std::string projectFolder(const std::string& serial);  // ends in "/"; "" for a serial unfit for a path
std::string tempFolder();                             // created when missing; ends in "/"
std::string uuid();
std::string appExeName();
void record(std::string what, std::vector<std::string> args);

// snprintf convention: the full length is returned, what fits is copied and terminated.
std::size_t putText(const std::string& text, char* out, std::size_t cap);
inline std::string str(const char* s) { return s ? std::string(s) : std::string(); }

bool isPlainComponent(const std::string& name);

}  // namespace hostwork::detail

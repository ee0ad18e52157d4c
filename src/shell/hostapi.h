#pragma once
// The one way the plug-in reaches its host. The host's operations are resolved by name
// when the library loads (the reference host exports them from its services library);
// the connection library is loaded by file name for every request and released at once.
// Tests install a fake host through install().
#include <string>

struct sqlite3;

namespace unitarc::host {

// "DGGL" / "exportDataToWord": resource type name, resource parameter, target document.
using ExportDataToWordFn = int (*)(const char* resTypeName, const char* resParam, const char* path);
// "XMGL" / "ReferenceDataPackage_Show": title, archive text, package kind, 13.
using ReferenceDataPackageShowFn = void (*)(const char* title, const char* archive, const char* kind, int n);

struct RegisterDataArgs {
    std::string kind, name, uuid, title, group, site, empty, path, module;
    int a = -1, b = 20, c = 1;
};

class Host {
public:
    virtual ~Host() = default;

    // casefile
    virtual std::string curPrjSerial() = 0;                          // KQGetCurPrjSerial
    virtual std::string prjFolder(const std::string& serial) = 0;    // KQGetPrjFolder
    // shellsvc
    virtual std::string curUUID() = 0;                               // KQGetCurUUID
    virtual void* imageList(int flag) = 0;                           // KQGetKQImageList: a host-owned QList<QIcon>*
    // loomlib
    virtual std::string tempPath() = 0;                              // GetKQTempPathY, ends in "/"
    virtual int userDoResRight(int resId, const std::string& uuid) = 0;
    virtual void registerDataN(const RegisterDataArgs& args) = 0;
    // peeker
    virtual void viewFileEx(const std::string& path, int flag, const std::string& caption, bool readOnly) = 0;
    // bundler
    virtual std::string extractFile(const std::string& archive, const std::string& destination) = 0;
    virtual std::string compressFile(const std::string& sourceFolder, const std::string& archive) = 0;
    // casecore: 1 and the path of the project's basic information file when available
    virtual int getPrjInfo(std::string& path) = 0;
    // busyline
    virtual void beginProcess(void* owner, const std::string& title, const std::string& text) = 0;
    virtual void changeTransInfo(const std::string& text) = 0;
    virtual void hideProcess() = 0;
    virtual void endProcess() = 0;
    // Hostwork
    virtual void* appInterface(const std::string& module, const std::string& function, int flag) = 0;
    // connsrc: borrowed connections, never closed by the plug-in; null when unavailable
    virtual sqlite3* baseConnection() = 0;
    virtual sqlite3* curPrjConnection() = 0;
    // The host program's folder (holds the template and the work folders), ending in "/".
    virtual std::string appFolder() = 0;
};

// The installed host: the named imports of the process unless a test installed its own.
Host& host();
// Installs a host (not owned); nullptr puts the named imports back.
void install(Host* h);

// The host's busy window for the length of a scope: EndProcess runs however the work ends.
class BusyWindow {
public:
    BusyWindow(void* owner, const std::string& title, const std::string& text) {
        host().beginProcess(owner, title, text);
    }
    ~BusyWindow() {
        try {
            host().endProcess();
        } catch (...) {
        }
    }
    BusyWindow(const BusyWindow&) = delete;
    BusyWindow& operator=(const BusyWindow&) = delete;

    void say(const std::string& text) { host().changeTransInfo(text); }
    void hide() { host().hideProcess(); }
};

}  // namespace unitarc::host

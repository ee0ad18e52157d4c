#include "shell/hostapi.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "shell/host_abi.h"

namespace unitarc::host {

namespace {

// Reads a text result written with the snprintf convention, growing the buffer when the
// host reports a longer text than fitted.
template <class Call>
std::string readText(Call&& call) {
    std::vector<char> buffer(512);
    for (int attempt = 0; attempt < 4; ++attempt) {
        buffer[0] = '\0';
        const size_t length = call(buffer.data(), buffer.size());
        if (length < buffer.size()) return std::string(buffer.data(), length);
        buffer.assign(length + 1, '\0');
    }
    return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

// For operations that do work (extracting, compressing): asking twice would do it twice,
// so one call with room enough for any path.
template <class Call>
std::string readOnce(size_t room, Call&& call) {
    std::vector<char> buffer(room + 4096, '\0');
    const size_t length = call(buffer.data(), buffer.size());
    return std::string(buffer.data(), std::min(length, strnlen(buffer.data(), buffer.size())));
}

std::string folderOfPath(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

template <class Fn>
Fn resolve(const char* name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_DEFAULT, name));
}

// Loads the connection library by file name, calls one entry and releases the library at
// once; the connection belongs to the host and outlives the handle.
sqlite3* connectionFrom(const std::string& appFolder, const char* entry) {
    void* library = nullptr;
    if (!appFolder.empty()) library = dlopen((appFolder + "libconnsrc.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) library = dlopen("libconnsrc.so", RTLD_NOW | RTLD_LOCAL);
    if (!library) return nullptr;
    sqlite3* connection = nullptr;
    try {
        using EntryFn = sqlite3* (*)();
        if (auto fn = reinterpret_cast<EntryFn>(dlsym(library, entry))) connection = fn();
    } catch (...) {
        connection = nullptr;
    }
    dlclose(library);
    return connection;
}

// The host as the process exports it: every operation resolved by name once, when the
// library loads. A missing operation answers empty, 0 or null.
class ImportedHost final : public Host {
public:
    ImportedHost()
        : m_curPrjSerial(resolve<decltype(&KQGetCurPrjSerial)>("KQGetCurPrjSerial")),
          m_prjFolder(resolve<decltype(&KQGetPrjFolder)>("KQGetPrjFolder")),
          m_curUUID(resolve<decltype(&KQGetCurUUID)>("KQGetCurUUID")),
          m_imageList(resolve<decltype(&KQGetKQImageList)>("KQGetKQImageList")),
          m_tempPath(resolve<decltype(&GetKQTempPathY)>("GetKQTempPathY")),
          m_userDoResRight(resolve<decltype(&GetUserDoResRight)>("GetUserDoResRight")),
          m_registerDataN(resolve<decltype(&RegisterDataN)>("RegisterDataN")),
          m_viewFileEx(resolve<decltype(&ViewFileEx)>("ViewFileEx")),
          m_extractFile(resolve<decltype(&ExtractFile)>("ExtractFile")),
          m_compressFile(resolve<decltype(&CompressFile)>("CompressFile")),
          m_getPrjInfo(resolve<decltype(&GetPrjInfo)>("GetPrjInfo")),
          m_beginProcess(resolve<decltype(&BeginProcess)>("BeginProcess")),
          m_changeTransInfo(resolve<decltype(&ChangeTransInfo)>("ChangeTransInfo")),
          m_hideProcess(resolve<decltype(&HideProcess)>("HideProcess")),
          m_endProcess(resolve<decltype(&EndProcess)>("EndProcess")),
          m_appInterface(resolve<decltype(&KQGetAppInterface)>("KQGetAppInterface")),
          m_appExeName(resolve<decltype(&KQGetAppExeName)>("KQGetAppExeName")) {}

    std::string curPrjSerial() override {
        if (!m_curPrjSerial) return {};
        return readText([&](char* out, size_t cap) { return m_curPrjSerial(out, cap); });
    }
    std::string prjFolder(const std::string& serial) override {
        if (!m_prjFolder) return {};
        return readText([&](char* out, size_t cap) { return m_prjFolder(serial.c_str(), out, cap); });
    }
    std::string curUUID() override {
        if (!m_curUUID) return {};
        return readText([&](char* out, size_t cap) { return m_curUUID(out, cap); });
    }
    void* imageList(int flag) override { return m_imageList ? m_imageList(flag) : nullptr; }
    std::string tempPath() override {
        if (!m_tempPath) return {};
        return readText([&](char* out, size_t cap) { return m_tempPath(out, cap); });
    }
    int userDoResRight(int resId, const std::string& uuid) override {
        return m_userDoResRight ? m_userDoResRight(resId, uuid.c_str()) : 0;
    }
    void registerDataN(const RegisterDataArgs& a) override {
        if (!m_registerDataN) return;
        m_registerDataN(a.kind.c_str(), a.name.c_str(), a.uuid.c_str(), a.title.c_str(), a.group.c_str(),
                        a.site.c_str(), a.empty.c_str(), a.path.c_str(), a.module.c_str(), a.a, a.b, a.c);
    }
    void viewFileEx(const std::string& path, int flag, const std::string& caption, bool readOnly) override {
        if (m_viewFileEx) m_viewFileEx(path.c_str(), flag, caption.c_str(), readOnly ? 1 : 0);
    }
    std::string extractFile(const std::string& archive, const std::string& destination) override {
        if (!m_extractFile) return {};
        return readOnce(archive.size() + destination.size(), [&](char* out, size_t cap) {
            return m_extractFile(archive.c_str(), destination.c_str(), out, cap);
        });
    }
    std::string compressFile(const std::string& sourceFolder, const std::string& archive) override {
        if (!m_compressFile) return {};
        return readOnce(sourceFolder.size() + archive.size(), [&](char* out, size_t cap) {
            return m_compressFile(sourceFolder.c_str(), archive.c_str(), out, cap);
        });
    }
    int getPrjInfo(std::string& path) override {
        path.clear();
        if (!m_getPrjInfo) return 0;
        std::vector<char> buffer(4096, '\0');
        int result = 0;
        // The path has no length result: grow while it fills the buffer.
        for (int attempt = 0; attempt < 4; ++attempt) {
            result = m_getPrjInfo(buffer.data(), buffer.size());
            const size_t length = strnlen(buffer.data(), buffer.size());
            if (length + 1 < buffer.size()) {
                path.assign(buffer.data(), length);
                return result;
            }
            buffer.assign(buffer.size() * 4, '\0');
        }
        path.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
        return result;
    }
    void beginProcess(void* owner, const std::string& title, const std::string& text) override {
        if (m_beginProcess) m_beginProcess(owner, title.c_str(), text.c_str());
    }
    void changeTransInfo(const std::string& text) override {
        if (m_changeTransInfo) m_changeTransInfo(text.c_str());
    }
    void hideProcess() override {
        if (m_hideProcess) m_hideProcess();
    }
    void endProcess() override {
        if (m_endProcess) m_endProcess();
    }
    void* appInterface(const std::string& module, const std::string& function, int flag) override {
        return m_appInterface ? m_appInterface(module.c_str(), function.c_str(), flag) : nullptr;
    }
    sqlite3* baseConnection() override { return connectionFrom(appFolder(), "GetBaseDBConnection"); }
    sqlite3* curPrjConnection() override { return connectionFrom(appFolder(), "GetCurPrjDBConnection"); }
    std::string appFolder() override {
        std::string exe;
        if (m_appExeName) exe = readText([&](char* out, size_t cap) { return m_appExeName(out, cap); });
        if (exe.empty()) {
            std::vector<char> buffer(4096, '\0');
            const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
            if (n > 0) exe.assign(buffer.data(), static_cast<size_t>(n));
        }
        return folderOfPath(exe);
    }

private:
    decltype(&KQGetCurPrjSerial) m_curPrjSerial;
    decltype(&KQGetPrjFolder) m_prjFolder;
    decltype(&KQGetCurUUID) m_curUUID;
    decltype(&KQGetKQImageList) m_imageList;
    decltype(&GetKQTempPathY) m_tempPath;
    decltype(&GetUserDoResRight) m_userDoResRight;
    decltype(&RegisterDataN) m_registerDataN;
    decltype(&ViewFileEx) m_viewFileEx;
    decltype(&ExtractFile) m_extractFile;
    decltype(&CompressFile) m_compressFile;
    decltype(&GetPrjInfo) m_getPrjInfo;
    decltype(&BeginProcess) m_beginProcess;
    decltype(&ChangeTransInfo) m_changeTransInfo;
    decltype(&HideProcess) m_hideProcess;
    decltype(&EndProcess) m_endProcess;
    decltype(&KQGetAppInterface) m_appInterface;
    decltype(&KQGetAppExeName) m_appExeName;
};

ImportedHost& imports() {
    static ImportedHost instance;
    return instance;
}

Host* g_installed = nullptr;

// Resolved as the library loads, as named imports are.
[[maybe_unused]] const bool g_resolvedAtLoad = (imports(), true);

}  // namespace

Host& host() { return g_installed ? *g_installed : imports(); }

void install(Host* h) { g_installed = h; }

}  // namespace unitarc::host

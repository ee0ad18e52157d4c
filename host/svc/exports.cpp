// The named imports the plug-in resolves in the process: casefile, shellsvc, loomlib,
// peeker, bundler and casecore. The busy window, the image list and the application
// interfaces have files of their own.
#include "host/bundler/bundler.h"
#include "svc/state.h"

#pragma GCC visibility push(default)
#include "shell/host_abi.h"
#pragma GCC visibility pop

#include <QGuiApplication>
#include <QProcess>
#include <QString>

#include <cstdlib>
#include <exception>

using namespace hostwork::detail;

namespace {

// Opening a file in the desktop's program only makes sense with a real display.
bool desktopAvailable() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && (std::string(platform) == "offscreen" || std::string(platform) == "minimal")) return false;
    if (qGuiApp && (QGuiApplication::platformName() == "offscreen" || QGuiApplication::platformName() == "minimal"))
        return false;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}

}  // namespace

extern "C" {

size_t KQGetCurPrjSerial(char* out, size_t cap) { return putText(hostwork::currentProject(), out, cap); }

size_t KQGetPrjFolder(const char* serial, char* out, size_t cap) {
    return putText(projectFolder(str(serial)), out, cap);
}

size_t KQGetCurUUID(char* out, size_t cap) { return putText(uuid(), out, cap); }

size_t GetKQTempPathY(char* out, size_t cap) { return putText(tempFolder(), out, cap); }

int GetUserDoResRight(int resId, const char* /*uuid*/) {
    sqlite3* db = projectDb();
    if (!db) return 0;
    try {
        if (!hostwork::sql::hasColumn(db, "KQ_ResTrv", "ResReadOnly")) return 0;
        hostwork::sql::Statement st(db, "SELECT ResReadOnly FROM KQ_ResTrv WHERE ResID = ?1");
        st.bind(1, static_cast<long long>(resId));
        if (st.step() && st.integer(0) == 1) return -91;
    } catch (const std::exception&) {
        return 0;
    }
    return 0;
}

void RegisterDataN(const char* kind, const char* name, const char* uuid, const char* title, const char* group,
                   const char* site, const char* empty, const char* path, const char* module, int a, int b, int c) {
    record("RegisterDataN", {str(kind), str(name), str(uuid), str(title), str(group), str(site), str(empty),
                             str(path), str(module), std::to_string(a), std::to_string(b), std::to_string(c)});
}

void ViewFileEx(const char* path, int flag, const char* caption, int readOnly) {
    const std::string file = str(path);
    if (!file.empty() && desktopAvailable())
        QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromStdString(file)});
    record("ViewFileEx", {file, std::to_string(flag), str(caption), std::to_string(readOnly)});
}

size_t ExtractFile(const char* archive, const char* destination, char* out, size_t cap) {
    std::string result;
    try {
        result = hostwork::extractArchive(str(archive), str(destination));
    } catch (const std::exception&) {
        result.clear();
    }
    return putText(result, out, cap);
}

size_t CompressFile(const char* sourceFolder, const char* archive, char* out, size_t cap) {
    std::string result;
    try {
        result = hostwork::compressFolder(str(sourceFolder), str(archive));
    } catch (const std::exception&) {
        result.clear();
    }
    return putText(result, out, cap);
}

size_t KQGetAppExeName(char* out, size_t cap) { return putText(appExeName(), out, cap); }

}  // extern "C"

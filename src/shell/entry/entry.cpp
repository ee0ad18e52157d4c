// The plug-in's one entry, RunAppEvn, and what the library does as it loads and unloads.
#include <QApplication>
#include <QMdiSubWindow>
#include <QPointer>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "shell/hostapi.h"
#include "shell/untKQDM_BSJDW.h"
#include "ui/prompt.h"
#include "ui/untKQFrm_BSJDWExport.h"
#include "ui/untKQFrm_BSJDWManage.h"

#if defined(_WIN32) && !defined(_WIN64)
#define UNITARC_STDCALL __stdcall
#else
#define UNITARC_STDCALL
#endif
#define UNITARC_EXPORT __attribute__((visibility("default")))

namespace unitarc {

namespace {

constexpr std::int32_t kShowManager = 704;
constexpr std::int32_t kRunPackageDialog = 705;
constexpr std::int32_t kShutDown = -999;

constexpr std::int32_t kDone = 0;
constexpr std::int32_t kFailed = -1;
constexpr std::int32_t kNoProject = -2;

constexpr const char* kEntryCaption = "Fieldora";
constexpr const char* kNoProjectText = "没有打开项目！";
constexpr const char* kOpenFailedText = "连接被审计单位数据库失败！";

// The environment record of the latest call.
struct Environment {
    std::int32_t fields[7] = {};
    std::int32_t code() const { return fields[4]; }
};
Environment g_environment;

// The hint-window class, application and screen objects in use: the host's once a call
// has adopted them; the library's own are saved at load and put back at unload.
struct UiObjects {
    std::int32_t hintWindowClass = 0;
    std::int32_t application = 0;
    std::int32_t screen = 0;
};
UiObjects g_uiObjects;
UiObjects g_ownUiObjects;

// The library's reference to its management window.
QPointer<ui::TKQFrm_BSJDWManage> g_manager;

bool haveWidgets() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

void showEntryMessage(const char* text) {
    ui::prompt().information(QString::fromUtf8(text), QString::fromUtf8(kEntryCaption));
}

ui::TKQFrm_BSJDWManage* findManager() { return haveWidgets() ? ui::TKQFrm_BSJDWManage::find() : nullptr; }

void showManager() {
    // Creating a widget without a widget application would abort the host.
    if (!haveWidgets()) throw std::runtime_error("the host has no widget application");
    ui::TKQFrm_BSJDWManage* window = findManager();
    if (!window) window = new ui::TKQFrm_BSJDWManage();  // freed when it closes
    g_manager = window;
    window->showInHost();
}

// Frees the dialog when its modal run ends, however it ends, unless its owner already did.
struct FreeWhenDone {
    QPointer<QDialog> dialog;
    ~FreeWhenDone() { delete dialog.data(); }
};

void runPackageDialog() {
    if (!haveWidgets()) throw std::runtime_error("the host has no widget application");
    QWidget* owner = findManager();
    if (!owner) owner = QApplication::activeWindow();
    FreeWhenDone done{new ui::TKQFrm_BSJDWExport(owner)};
    done.dialog->exec();
}

std::int32_t run(const Environment& environment) {
    g_environment = environment;
    g_uiObjects = {environment.fields[0], environment.fields[1], environment.fields[2]};

    if (noProjectOpen(host::host().curPrjSerial())) {
        showEntryMessage(kNoProjectText);
        return kNoProject;
    }

    TKQDM_BSJDW& dataModule = ensureDataModule();

    if (environment.code() == kShutDown) {
        try {
            if (ui::TKQFrm_BSJDWManage* window = findManager()) window->closeInHost();
        } catch (...) {
            // Shutting down goes on: the connection is closed below in any case.
        }
        dataModule.Close();
        return kDone;
    }

    const int opened = dataModule.Open(host::host().curPrjSerial());
    if (opened != 1) {
        showEntryMessage(kOpenFailedText);
        return opened;
    }

    try {
        if (environment.code() == kShowManager)
            showManager();
        else if (environment.code() == kRunPackageDialog)
            runPackageDialog();
    } catch (...) {
        return kFailed;
    }
    return kDone;
}

__attribute__((constructor)) void libraryLoaded() {
    host::host();  // the named imports are resolved now
    g_ownUiObjects = g_uiObjects;
}

__attribute__((destructor)) void libraryUnloaded() {
    // Windows whose code goes away with the library must not outlive it.
    if (haveWidgets() && g_manager) {
        if (auto* frame = qobject_cast<QMdiSubWindow*>(g_manager->parentWidget()))
            delete frame;
        else
            delete g_manager.data();
    }
    g_uiObjects = g_ownUiObjects;
}

}  // namespace

}  // namespace unitarc

extern "C" UNITARC_EXPORT std::int32_t UNITARC_STDCALL RunAppEvn(std::int32_t field1, std::int32_t field2,
                                                                 std::int32_t field3, std::int32_t field4,
                                                                 std::int32_t field5, std::int32_t field6,
                                                                 std::int32_t field7) {
    try {
        return unitarc::run({{field1, field2, field3, field4, field5, field6, field7}});
    } catch (...) {
        return unitarc::kFailed;
    }
}

// Tests that load the library answer its message boxes through this (a unitarc::ui::Prompt*).
extern "C" UNITARC_EXPORT void UnitarcInstallPrompt(void* prompt) {
    unitarc::ui::installPrompt(static_cast<unitarc::ui::Prompt*>(prompt));
}

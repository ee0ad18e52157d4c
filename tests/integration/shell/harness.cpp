#include "harness.h"

#include <dlfcn.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>

#include <filesystem>
#include <memory>

#include "host/hostsvc.h"
#include "tests/paths.h"

namespace unitarc::test {

namespace stdfs = std::filesystem;

Plugin::Plugin() {
    m_handle = dlopen(UNITARC_HOST_DIR "/libUNITARC.so", RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) return;
    m_run = reinterpret_cast<RunAppEvnFn>(dlsym(m_handle, "RunAppEvn"));
    m_installPrompt = reinterpret_cast<void (*)(void*)>(dlsym(m_handle, "UnitarcInstallPrompt"));
}

Plugin::~Plugin() {
    if (m_handle) dlclose(m_handle);
}

QList<QWidget*> managerWindows() {
    QList<QWidget*> found;
    for (QWidget* w : QApplication::allWidgets())
        if (w->objectName() == QLatin1String("KQFrm_BSJDWManage")) found << w;
    return found;
}

void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool fileIsOpen(const std::string& path) {
    std::error_code ec;
    const stdfs::path target = stdfs::weakly_canonical(path, ec);
    for (const auto& fd : stdfs::directory_iterator("/proc/self/fd", ec)) {
        std::error_code linkError;
        if (stdfs::read_symlink(fd.path(), linkError) == target) return true;
    }
    return false;
}

namespace {
std::unique_ptr<Plugin> g_shared;
}

Plugin& HostedPluginTest::sharedPlugin() {
    if (!g_shared) g_shared = std::make_unique<Plugin>();
    return *g_shared;
}

void releaseSharedPlugin() { g_shared.reset(); }

void HostWorkspaceTest::SetUp() {
    hostwork::openWorkspace(m_workspace.path());
    m_projectFolder = hostwork::createProject(kSerial, "测试项目", "CORP001", "ORGAN001");
    hostwork::setCurrentProject(kSerial);

    stdfs::create_directories(m_app.path() + "System/API/BSJDW");
    stdfs::copy_file(UNITARC_TEMPLATE, templateCopy());
    hostwork::setAppExeName(m_app.path() + "hostwork");
}

void HostWorkspaceTest::TearDown() {
    hostwork::setAppExeName("");
    hostwork::setCurrentProject("");
    hostwork::closeConnections();
}

void HostedPluginTest::SetUp() {
    plugin = &sharedPlugin();
    ASSERT_TRUE(plugin->loaded()) << "libUNITARC.so not loadable from " UNITARC_HOST_DIR;
    HostWorkspaceTest::SetUp();
    plugin->installPrompt(&m_prompt);
}

void HostedPluginTest::TearDown() {
    if (plugin->loaded()) {
        // Shut the plug-in down on an open project so that its window and connection go
        // before the workspace does.
        hostwork::setCurrentProject(kSerial);
        plugin->run(-999);
        settle();
        plugin->installPrompt(nullptr);
    }
    HostWorkspaceTest::TearDown();
}

QStringList HostedPluginTest::messages() const {
    QStringList all;
    for (const auto& shown : m_prompt.shown) all << shown.caption + "|" + shown.text;
    return all;
}

}  // namespace unitarc::test

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("Hostwork");
    QApplication::setApplicationDisplayName("Hostwork");
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    unitarc::test::releaseSharedPlugin();
    return result;
}

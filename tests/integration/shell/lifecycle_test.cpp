#include <dlfcn.h>

#include <QMainWindow>
#include <QMdiArea>

#include "harness.h"
#include "tests/paths.h"

namespace unitarc::test {
namespace {

bool pluginLoaded() {
    void* handle = dlopen(UNITARC_HOST_DIR "/libUNITARC.so", RTLD_NOW | RTLD_NOLOAD);
    if (!handle) return false;
    dlclose(handle);
    return true;
}

class LibraryLifecycleTest : public HostWorkspaceTest {};

// The window's code goes with the library: unloading it must not leave the window behind.
TEST_F(LibraryLifecycleTest, unloadingFreesTheOpenManagerWindow) {
    QMainWindow host;
    auto* mdi = new QMdiArea;
    host.setCentralWidget(mdi);
    host.show();
    ui::ScriptedPrompt prompt;
    {
        Plugin plugin;
        ASSERT_TRUE(plugin.loaded());
        plugin.installPrompt(&prompt);
        ASSERT_EQ(plugin.run(704), 0);
        ASSERT_EQ(managerWindows().size(), 1);
        plugin.installPrompt(nullptr);
    }
    settle();

    EXPECT_FALSE(pluginLoaded());
    EXPECT_TRUE(managerWindows().isEmpty());
    EXPECT_TRUE(mdi->subWindowList().isEmpty());
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(LibraryLifecycleTest, reloadedLibraryWorksAgain) {
    ui::ScriptedPrompt prompt;
    for (int load = 0; load < 2; ++load) {
        Plugin plugin;
        ASSERT_TRUE(plugin.loaded());
        plugin.installPrompt(&prompt);
        EXPECT_EQ(plugin.run(0), 0);
        EXPECT_EQ(plugin.run(-999), 0);
        plugin.installPrompt(nullptr);
    }
    EXPECT_FALSE(pluginLoaded());
}

}  // namespace
}  // namespace unitarc::test

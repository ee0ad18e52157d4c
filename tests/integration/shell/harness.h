#pragma once
// Loads the built plug-in the way the host does and gives each test a fresh host
// workspace with one open project, the template in a pretend host program folder and
// the plug-in's message boxes answered by a ScriptedPrompt.
#include <gtest/gtest.h>

#include <QString>
#include <QWidget>

#include <cstdint>
#include <string>

#include "tests/support/tempdir.h"
#include "ui/prompt_scripted.h"

namespace unitarc::test {

using RunAppEvnFn = std::int32_t (*)(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                     std::int32_t, std::int32_t);

// libUNITARC.so from the build's host program folder, loaded by file name.
class Plugin {
public:
    Plugin();
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    bool loaded() const { return m_handle && m_run && m_installPrompt; }
    // Calls RunAppEvn as the host does: fields 1-3 small non-zero handles, 5 the code.
    std::int32_t run(std::int32_t code) const { return m_run(11, 12, 13, 0, code, 0, 0); }
    std::int32_t runFields(std::int32_t f1, std::int32_t f2, std::int32_t f3, std::int32_t f4, std::int32_t code,
                           std::int32_t f6, std::int32_t f7) const {
        return m_run(f1, f2, f3, f4, code, f6, f7);
    }
    void installPrompt(ui::Prompt* prompt) const { m_installPrompt(prompt); }

private:
    void* m_handle = nullptr;
    RunAppEvnFn m_run = nullptr;
    void (*m_installPrompt)(void*) = nullptr;
};

// The plug-in's management windows that exist now (freed ones are gone).
QList<QWidget*> managerWindows();
// Processes pending events, deferred deletions included.
void settle();
// True while this process holds the file open (the entity database's connection).
bool fileIsOpen(const std::string& path);

// A fresh host workspace with the project kSerial open and the template in a pretend host
// program folder.
class HostWorkspaceTest : public ::testing::Test {
protected:
    static constexpr const char* kSerial = "P1";

    void SetUp() override;
    void TearDown() override;

    std::string projectFolder() const { return m_projectFolder; }
    std::string database() const { return m_projectFolder + "File/BSJDW/UNITARC.mdb"; }
    std::string appFolder() const { return m_app.path(); }
    std::string templateCopy() const { return m_app.path() + "System/API/BSJDW/UNITARC.mdb"; }

    TempDir m_workspace;
    TempDir m_app;
    std::string m_projectFolder;
};

// The same, with the plug-in loaded once for the whole test program and its boxes
// answered by m_prompt; every test ends with -999.
class HostedPluginTest : public HostWorkspaceTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Every box the plug-in showed, as "caption|text".
    QStringList messages() const;

    static Plugin& sharedPlugin();
    Plugin* plugin = nullptr;
    ui::ScriptedPrompt m_prompt;
};

// Unloads the shared plug-in at the end of the test program.
void releaseSharedPlugin();

}  // namespace unitarc::test

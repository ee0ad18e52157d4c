#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "shell/hostapi.h"
#include "tests/support/fakehost.h"

namespace unitarc::host {
namespace {

// This test program exports no host operations: the named imports all come back empty.
TEST(ImportedHost, missingImportsAnswerEmptyInsteadOfCrashing) {
    Host& h = host();

    EXPECT_EQ(h.curPrjSerial(), "");
    EXPECT_EQ(h.prjFolder("P1"), "");
    EXPECT_EQ(h.curUUID(), "");
    EXPECT_EQ(h.imageList(1), nullptr);
    EXPECT_EQ(h.tempPath(), "");
    EXPECT_EQ(h.userDoResRight(1, "u"), 0);
    EXPECT_EQ(h.extractFile("/a.zip", "/b/"), "");
    EXPECT_EQ(h.compressFile("/a/", "/b.zip"), "");
    std::string path = "stale";
    EXPECT_EQ(h.getPrjInfo(path), 0);
    EXPECT_EQ(path, "");
    EXPECT_EQ(h.appInterface("DGGL", "exportDataToWord", 1), nullptr);
    h.registerDataN({});
    h.viewFileEx("/x", 1, "c", true);
    h.beginProcess(nullptr, "t", "x");
    h.changeTransInfo("y");
    h.hideProcess();
    h.endProcess();
}

TEST(ImportedHost, appFolderIsTheRunningProgramsFolderWhenTheHostDoesNotSay) {
    char exe[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    std::string expected = exe;
    expected.erase(expected.rfind('/') + 1);

    EXPECT_EQ(host().appFolder(), expected);
}

TEST(HostInstaller, installsForItsLifetimeOnly) {
    Host& imported = host();
    {
        test::FakeHost fake;
        test::HostInstaller installed(fake);
        EXPECT_EQ(&host(), &fake);
        EXPECT_EQ(host().curPrjSerial(), test::FakeHost::kSerial);
    }
    EXPECT_EQ(&host(), &imported);
}

}  // namespace
}  // namespace unitarc::host

#include "platform/fs.h"

#include "platform/text.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <vector>

namespace unitarc::fs {
namespace {

namespace stdfs = std::filesystem;
using test::TempDir;

void makeFile(const std::string& path, std::string_view bytes = "x") { ASSERT_TRUE(writeFile(path, bytes)); }

void makeReadOnly(const std::string& path) {
    stdfs::permissions(path, stdfs::perms::owner_write | stdfs::perms::group_write | stdfs::perms::others_write,
                       stdfs::perm_options::remove);
}

// Sets or clears the immutable attribute: the one obstacle to removal that also holds for root.
bool setImmutable(const std::string& path, bool on) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

// A file that cannot be removed for as long as the guard lives.
class ImmutableFile {
public:
    explicit ImmutableFile(std::string path) : m_path(std::move(path)) { m_on = setImmutable(m_path, true); }
    ~ImmutableFile() {
        if (m_on) setImmutable(m_path, false);
    }
    ImmutableFile(const ImmutableFile&) = delete;
    ImmutableFile& operator=(const ImmutableFile&) = delete;
    bool active() const { return m_on; }

private:
    std::string m_path;
    bool m_on = false;
};

TEST(AddSeparator, AppendsOnlyWhenMissing) {
    EXPECT_EQ(addSeparator("/data/project"), "/data/project/");
    EXPECT_EQ(addSeparator("/data/project/"), "/data/project/");
    EXPECT_EQ(addSeparator("单位"), "单位/");
    EXPECT_EQ(addSeparator(""), "");  // never the root by accident
}

TEST(RemoveTree, MissingFolderGivesZero) {
    TempDir dir;
    EXPECT_EQ(removeTree(dir / "missing"), 0);
}

TEST(RemoveTree, AFileIsNotAFolderAndStays) {
    TempDir dir;
    makeFile(dir / "file");
    EXPECT_EQ(removeTree(dir / "file"), 0);
    EXPECT_TRUE(isFile(dir / "file"));
}

TEST(RemoveTree, RemovesNestedFoldersAndReadOnlyFiles) {
    TempDir dir;
    const std::string root = dir / "root";
    stdfs::create_directories(root + "/所有文件/基本信息/深");
    makeFile(root + "/数据包描述.xml");
    makeFile(root + "/所有文件/基本信息/基本信息.xml");
    makeFile(root + "/所有文件/.hidden");
    makeReadOnly(root + "/所有文件/基本信息/基本信息.xml");
    makeReadOnly(root + "/所有文件/基本信息/深");
    EXPECT_EQ(removeTree(root), 0);
    EXPECT_FALSE(exists(root));
}

TEST(RemoveTree, TrailingSeparatorIsAccepted) {
    TempDir dir;
    createFolder(dir / "root");
    makeFile(dir / "root/a");
    EXPECT_EQ(removeTree(dir / "root/"), 0);
    EXPECT_FALSE(exists(dir / "root"));
}

TEST(RemoveTree, LinksAreRemovedNeverFollowed) {
    TempDir dir;
    const std::string outside = dir / "outside";
    createFolder(outside);
    makeFile(outside + "/keep.txt", "precious");
    const std::string root = dir / "root";
    createFolder(root);
    stdfs::create_directory_symlink(outside, root + "/folderLink");
    stdfs::create_symlink(outside + "/keep.txt", root + "/fileLink");
    stdfs::create_symlink(dir / "nowhere", root + "/danglingLink");

    EXPECT_EQ(removeTree(root), 0);
    EXPECT_FALSE(exists(root));
    std::string bytes;
    ASSERT_TRUE(readFile(outside + "/keep.txt", bytes));
    EXPECT_EQ(bytes, "precious");
}

TEST(RemoveTree, ALinkGivenAsTheFolderIsRemovedAndItsTargetKept) {
    TempDir dir;
    createFolder(dir / "target");
    makeFile(dir / "target/keep.txt");
    stdfs::create_directory_symlink(dir / "target", dir / "link");
    EXPECT_EQ(removeTree(dir / "link"), 0);
    EXPECT_FALSE(stdfs::is_symlink(dir / "link"));
    EXPECT_TRUE(isFile(dir / "target/keep.txt"));
}

TEST(RemoveTree, EntryThatCannotBeRemovedStopsTheListingAndStillGivesZero) {
    TempDir dir;
    const std::string root = dir / "root";
    createFolder(root);
    createFolder(root + "/sub");
    makeFile(root + "/sub/locked");
    ImmutableFile lock(root + "/sub/locked");
    if (!lock.active()) GTEST_SKIP() << "the file system cannot make a file immutable here";

    EXPECT_EQ(removeTree(root), 0);
    EXPECT_TRUE(isDirectory(root));
    EXPECT_TRUE(isFile(root + "/sub/locked"));
}

TEST(RemoveTree, ListingStopsAtTheFirstFileThatStays) {
    TempDir dir;
    const std::string root = dir / "root";
    createFolder(root);
    for (const char* name : {"a", "b", "c", "d", "e"}) makeFile(root + "/" + name);
    std::vector<std::string> order;
    for (const auto& e : stdfs::directory_iterator(root)) order.push_back(e.path().filename().string());
    ImmutableFile lock(root + "/c");
    if (!lock.active()) GTEST_SKIP() << "the file system cannot make a file immutable here";

    EXPECT_EQ(removeTree(root), 0);
    // The folder's own listing order: what came before "c" went, "c" and what followed stayed.
    bool reached = false;
    for (const auto& name : order) {
        reached = reached || name == "c";
        EXPECT_EQ(exists(root + "/" + name), reached) << name;
    }
}

TEST(CopyOver, ReplacesAReadOnlyTarget) {
    TempDir dir;
    makeFile(dir / "source", "new");
    makeFile(dir / "target", "old");
    makeReadOnly(dir / "target");
    EXPECT_TRUE(copyOver(dir / "target", dir / "source"));
    std::string bytes;
    ASSERT_TRUE(readFile(dir / "target", bytes));
    EXPECT_EQ(bytes, "new");
}

TEST(CopyOver, CreatesAMissingTarget) {
    TempDir dir;
    makeFile(dir / "source", "data");
    EXPECT_TRUE(copyOver(dir / "target", dir / "source"));
    EXPECT_TRUE(isFile(dir / "target"));
}

TEST(CopyOver, MissingSourceIsReported) {
    TempDir dir;
    makeFile(dir / "target", "old");
    EXPECT_FALSE(copyOver(dir / "target", dir / "missing"));
    std::string bytes;
    ASSERT_TRUE(readFile(dir / "target", bytes));
    EXPECT_EQ(bytes, "old");
}

TEST(CopyOver, ALinkAsTargetIsReplacedNotWrittenThrough) {
    TempDir dir;
    makeFile(dir / "source", "new");
    makeFile(dir / "elsewhere", "untouched");
    stdfs::create_symlink(dir / "elsewhere", dir / "target");
    EXPECT_TRUE(copyOver(dir / "target", dir / "source"));
    std::string bytes;
    ASSERT_TRUE(readFile(dir / "elsewhere", bytes));
    EXPECT_EQ(bytes, "untouched");
    ASSERT_TRUE(readFile(dir / "target", bytes));
    EXPECT_EQ(bytes, "new");
}

TEST(FileTime, TruncatedToTwoSecondSteps) {
    TempDir dir;
    makeFile(dir / "f");
    const std::time_t odd = 1700000001;  // an odd second
    const timespec times[2] = {{odd, 0}, {odd, 900000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "f").c_str(), times, 0), 0);
    EXPECT_EQ(text::formatStamp(fileTime(dir / "f")), text::formatStamp(text::fromUnixTime(odd - 1)));
    EXPECT_DOUBLE_EQ(fileTime(dir / "f"), text::fromUnixTime(odd - 1));

    const timespec even[2] = {{odd + 1, 0}, {odd + 1, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "f").c_str(), even, 0), 0);
    EXPECT_DOUBLE_EQ(fileTime(dir / "f"), text::fromUnixTime(odd + 1));
}

TEST(FileTime, MissingFileGivesNow) {
    TempDir dir;
    EXPECT_NEAR(fileTime(dir / "missing"), text::now(), 5.0 / 86400);
}

struct ComponentCase {
    const char* name;
    const char* text;
    bool plain;
};

class PlainComponent : public testing::TestWithParam<ComponentCase> {};

TEST_P(PlainComponent, IsRecognised) { EXPECT_EQ(isPlainComponent(GetParam().text), GetParam().plain); }

INSTANTIATE_TEST_SUITE_P(
    Fs, PlainComponent,
    testing::Values(ComponentCase{"Chinese", "财务数据", true}, ComponentCase{"WithExtension", "REPORT.XLS", true},
                    ComponentCase{"LeadingDot", ".hidden", true}, ComponentCase{"ThreeDots", "...", true},
                    ComponentCase{"Spaces", "a b", true}, ComponentCase{"Empty", "", false},
                    ComponentCase{"Dot", ".", false}, ComponentCase{"DotDot", "..", false},
                    ComponentCase{"Slash", "a/b", false}, ComponentCase{"Backslash", "..\\evil", false},
                    ComponentCase{"Absolute", "/etc", false}, ComponentCase{"DriveBackslash", "C:\\x", false},
                    ComponentCase{"Newline", "a\nb", false}, ComponentCase{"Tab", "a\tb", false},
                    ComponentCase{"Delete", "a\x7F", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PlainComponent, EmbeddedNulIsRefused) { EXPECT_FALSE(isPlainComponent(std::string_view("a\0b", 3))); }

TEST(PathParts, NameExtensionAndFolder) {
    EXPECT_EQ(fileName("/a/b/报表.xls"), "报表.xls");
    EXPECT_EQ(fileName("plain"), "plain");
    EXPECT_EQ(fileName("/a/b/"), "");
    EXPECT_EQ(extension("/a.d/b/报表.XLS"), ".XLS");
    EXPECT_EQ(extension("/a.d/noext"), "");
    EXPECT_EQ(extension("archive.tar.gz"), ".gz");
    EXPECT_EQ(folderOf("/a/b/c.txt"), "/a/b/");
    EXPECT_EQ(folderOf("c.txt"), "");
}

TEST(Files, WriteThenReadKeepsEveryByte) {
    TempDir dir;
    const std::string bytes("\0\xFF\r\n中", 7);
    ASSERT_TRUE(writeFile(dir / "f", bytes));
    std::string back;
    ASSERT_TRUE(readFile(dir / "f", back));
    EXPECT_EQ(back, bytes);
}

TEST(Files, EmptyFileReadsAsEmpty) {
    TempDir dir;
    ASSERT_TRUE(writeFile(dir / "f", ""));
    std::string back = "stale";
    ASSERT_TRUE(readFile(dir / "f", back));
    EXPECT_EQ(back, "");
}

TEST(Files, FailuresAreReported) {
    TempDir dir;
    std::string bytes;
    EXPECT_FALSE(readFile(dir / "missing", bytes));
    EXPECT_FALSE(readFile(dir.path(), bytes));
    EXPECT_FALSE(writeFile(dir / "no/such/folder/f", "x"));
}

TEST(Folders, CreateOneLevelOnly) {
    TempDir dir;
    EXPECT_TRUE(createFolder(dir / "one"));
    EXPECT_TRUE(createFolder(dir / "one"));  // already there
    EXPECT_FALSE(createFolder(dir / "two/three"));
    makeFile(dir / "file");
    EXPECT_FALSE(createFolder(dir / "file"));
    EXPECT_TRUE(isDirectory(dir / "one"));
    EXPECT_FALSE(isFile(dir / "one"));
    EXPECT_TRUE(exists(dir / "file"));
}

}  // namespace
}  // namespace unitarc::fs

// ExtractFile and CompressFile of the reference host, through its exported C functions.
#include "hosttest.h"

#include "src/shell/host_abi.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <functional>

using namespace hosttest;

namespace {

std::string extract(const std::string& archive, const std::string& destination) {
    char buffer[4096];
    const size_t n = ExtractFile(archive.c_str(), destination.c_str(), buffer, sizeof buffer);
    EXPECT_LT(n, sizeof buffer);
    return buffer;
}

std::string compress(const std::string& folder, const std::string& archive) {
    char buffer[4096];
    CompressFile(folder.c_str(), archive.c_str(), buffer, sizeof buffer);
    return buffer;
}

// GBK bytes of 数据包描述.xml, 所有文件 and 基本信息.xml.
const std::string kGbkDescription = "\xca\xfd\xbe\xdd\xb0\xfc\xc3\xe8\xca\xf6.xml";
const std::string kGbkAllFiles = "\xcb\xf9\xd3\xd0\xce\xc4\xbc\xfe";
const std::string kGbkBasicInfo = "\xbb\xf9\xb1\xbe\xd0\xc5\xcf\xa2.xml";

class Bundler : public ::testing::Test {
protected:
    Scratch scratch;
    std::string archive = scratch / "a.zip";
    std::string dest = scratch / "dest";
};

TEST_F(Bundler, extractsCp936NamesAsUtf8) {
    ZipWriter zip(archive);
    zip.file(kGbkAllFiles + "/" + kGbkBasicInfo, "<x/>");
    zip.close();
    EXPECT_EQ(extract(archive, dest), dest);
    EXPECT_EQ(readFile(dest + "/所有文件/基本信息.xml"), "<x/>");
}

TEST_F(Bundler, extractsCp936NamesOutsideGb2312) {
    ZipWriter zip(archive);
    zip.file("\x86\xaa.txt", "gbk only");  // 啰
    zip.close();
    ASSERT_EQ(extract(archive, dest), dest);
    EXPECT_EQ(readFile(dest + "/啰.txt"), "gbk only");
}

TEST_F(Bundler, extractsStreamedArchivesWithDataDescriptors) {
    if (std::system("command -v zip >/dev/null") != 0) GTEST_SKIP() << "zip is not installed";
    writeFile(scratch / "CODE/数据包描述.xml", "<d/>");
    // Written to a pipe, zip cannot seek back: sizes follow each entry's data.
    ASSERT_EQ(std::system(("cd '" + scratch.root().string() + "' && zip -qr - CODE > a.zip").c_str()), 0);
    ASSERT_EQ(extract(archive, dest), dest);
    EXPECT_EQ(readFile(dest + "/数据包描述.xml"), "<d/>");
}

TEST_F(Bundler, extractsFlaggedUtf8Names) {
    ZipWriter zip(archive);
    zip.file("审计资料/底稿.txt", "flagged", true);
    zip.close();
    ASSERT_EQ(extract(archive, dest), dest);
    EXPECT_EQ(readFile(dest + "/审计资料/底稿.txt"), "flagged");
}

TEST_F(Bundler, extractsUnflaggedUtf8NamesAsUtf8) {
    ZipWriter zip(archive);
    zip.file("业务资料/合同.txt", "unflagged", true);
    zip.close();
    clearUtf8Flags(archive);
    ASSERT_FALSE(storedNames(archive)[0].utf8OrAscii);
    ASSERT_EQ(extract(archive, dest), dest);
    EXPECT_EQ(readFile(dest + "/业务资料/合同.txt"), "unflagged");
}

TEST_F(Bundler, treatsBackslashAsSeparator) {
    ZipWriter zip(archive);
    zip.file(kGbkAllFiles + "\\sub\\a.txt", "a");
    zip.close();
    ASSERT_EQ(extract(archive, dest), dest);
    EXPECT_EQ(readFile(dest + "/所有文件/sub/a.txt"), "a");
}

TEST_F(Bundler, extractsPackageFolderContentStraightIntoDestination) {
    ZipWriter zip(archive);
    zip.folder("CODE/");
    zip.file("CODE/" + kGbkDescription, "<d/>");
    zip.file("CODE/" + kGbkAllFiles + "/" + kGbkBasicInfo, "<b/>");
    zip.close();
    ASSERT_EQ(extract(archive, dest), dest);
    EXPECT_EQ(readFile(dest + "/数据包描述.xml"), "<d/>");
    EXPECT_EQ(readFile(dest + "/所有文件/基本信息.xml"), "<b/>");
    EXPECT_FALSE(stdfs::exists(dest + "/CODE"));
}

TEST_F(Bundler, keepsTopFolderWithoutDescription) {
    ZipWriter zip(archive);
    zip.file("CODE/other.xml", "o");
    zip.close();
    ASSERT_EQ(extract(archive, dest), dest);
    EXPECT_TRUE(stdfs::is_regular_file(dest + "/CODE/other.xml"));
}

TEST_F(Bundler, keepsTopFolderWhenOtherEntriesLieBesideIt) {
    ZipWriter zip(archive);
    zip.file("CODE/数据包描述.xml", "d", true);
    zip.file("readme.txt", "r");
    zip.close();
    ASSERT_EQ(extract(archive, dest), dest);
    EXPECT_TRUE(stdfs::is_regular_file(dest + "/CODE/数据包描述.xml"));
    EXPECT_TRUE(stdfs::is_regular_file(dest + "/readme.txt"));
}

TEST_F(Bundler, mergesIntoExistingDestinationKeepingOtherFiles) {
    writeFile(dest + "/keep.txt", "old");
    writeFile(dest + "/sub/replace.txt", "old");
    ZipWriter zip(archive);
    zip.file("sub/replace.txt", "new");
    zip.file("sub/added.txt", "added");
    zip.close();
    ASSERT_EQ(extract(archive, dest), dest);
    EXPECT_EQ(readFile(dest + "/keep.txt"), "old");
    EXPECT_EQ(readFile(dest + "/sub/replace.txt"), "new");
    EXPECT_EQ(readFile(dest + "/sub/added.txt"), "added");
}

TEST_F(Bundler, replacesLinkInDestinationInsteadOfFollowingIt) {
    const std::string outside = scratch / "outside";
    stdfs::create_directories(outside);
    stdfs::create_directories(dest);
    stdfs::create_directory_symlink(outside, dest + "/sub");
    ZipWriter zip(archive);
    zip.file("sub/x.txt", "x");
    zip.close();
    ASSERT_EQ(extract(archive, dest), dest);
    EXPECT_TRUE(stdfs::is_empty(outside));
    EXPECT_FALSE(stdfs::is_symlink(dest + "/sub"));
    EXPECT_EQ(readFile(dest + "/sub/x.txt"), "x");
}

TEST_F(Bundler, keepsEntryTimes) {
    ZipWriter zip(archive);
    zip.file("a.txt", "a");
    zip.close();
    ASSERT_EQ(extract(archive, dest), dest);
    const auto age = std::filesystem::file_time_type::clock::now() - stdfs::last_write_time(dest + "/a.txt");
    EXPECT_LT(std::chrono::abs(age), std::chrono::minutes(5));
}

// Hostile or broken archives: each holds a harmless file first, so a refusal must be whole.
struct HostileCase {
    const char* name;
    std::function<void(ZipWriter&, const Scratch&)> add;
};

class HostileArchive : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileArchive, isRefusedWholeAndWritesNothing) {
    Scratch scratch;
    const std::string archive = scratch / "hostile.zip";
    const std::string dest = scratch / "dest";
    writeFile(dest + "/marker.txt", "m");
    {
        ZipWriter zip(archive);
        zip.file("good.txt", "good");
        GetParam().add(zip, scratch);
        zip.close();
    }
    const auto before = snapshot(scratch.root());
    EXPECT_EQ(extract(archive, dest), "");
    EXPECT_EQ(snapshot(scratch.root()), before);
    EXPECT_EQ(readFile(dest + "/marker.txt"), "m");
    EXPECT_FALSE(stdfs::exists(scratch / "escaped.txt"));
}

const HostileCase kHostile[] = {
    {"parentFolder", [](ZipWriter& z, const Scratch&) { z.file("../escaped.txt", "x"); }},
    {"parentFolderInside", [](ZipWriter& z, const Scratch&) { z.file("a/../../escaped.txt", "x"); }},
    {"parentFolderWithBackslashes", [](ZipWriter& z, const Scratch&) { z.file("a\\..\\..\\escaped.txt", "x"); }},
    {"absolutePath", [](ZipWriter& z, const Scratch& s) { z.file(s / "escaped.txt", "x"); }},
    {"driveLetter", [](ZipWriter& z, const Scratch&) { z.file("C:\\escaped.txt", "x"); }},
    {"driveLetterRelative", [](ZipWriter& z, const Scratch&) { z.file("c:escaped.txt", "x"); }},
    {"controlCharacter", [](ZipWriter& z, const Scratch&) { z.file("a\x01.txt", "x"); }},
    {"symbolicLink", [](ZipWriter& z, const Scratch&) { z.special("link", "/etc/passwd", S_IFLNK | 0777); }},
    {"characterDevice", [](ZipWriter& z, const Scratch&) { z.special("dev", "", S_IFCHR | 0666); }},
    {"namedPipe", [](ZipWriter& z, const Scratch&) { z.special("fifo", "", S_IFIFO | 0666); }},
};

INSTANTIATE_TEST_SUITE_P(Bundler, HostileArchive, ::testing::ValuesIn(kHostile),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BrokenArchive, truncatedArchiveIsRefused) {
    Scratch scratch;
    const std::string archive = scratch / "t.zip";
    {
        ZipWriter zip(archive);
        for (int i = 0; i < 20; ++i) zip.file("f" + std::to_string(i) + ".txt", std::string(4000, 'a' + i % 26));
        zip.close();
    }
    stdfs::resize_file(archive, stdfs::file_size(archive) / 2);
    const auto before = snapshot(scratch.root());
    EXPECT_EQ(extract(archive, scratch / "dest"), "");
    EXPECT_EQ(snapshot(scratch.root()), before);
}

TEST(BrokenArchive, corruptDataIsRefusedAndLeavesNothing) {
    Scratch scratch;
    const std::string archive = scratch / "c.zip";
    const std::string payload(5000, 'Q');
    {
        ZipWriter zip(archive);
        zip.file("first.txt", "first");
        zip.file("second.txt", payload, false, true);
        zip.close();
    }
    std::string bytes = readFile(archive);
    const auto at = bytes.find(payload);
    ASSERT_NE(at, std::string::npos);
    bytes[at + 100] = 'R';  // the checksum no longer matches
    writeFile(archive, bytes);
    const std::string dest = scratch / "new/deeper/dest";  // its missing folders go again too
    const auto before = snapshot(scratch.root());
    EXPECT_EQ(extract(archive, dest), "");
    EXPECT_EQ(snapshot(scratch.root()), before);
}

TEST(BrokenArchive, missingArchiveIsRefused) {
    Scratch scratch;
    EXPECT_EQ(extract(scratch / "none.zip", scratch / "dest"), "");
}

TEST(Compress, roundTripKeepsNamesContentAndEmptyFolders) {
    Scratch scratch;
    const std::string source = scratch / "CODE";
    writeFile(source + "/数据包描述.xml", "<d/>");
    writeFile(source + "/所有文件/基本信息/基本信息.xml", "<b/>");
    writeFile(source + "/所有文件/审计资料/照片.png", std::string(3000, '\x89'));
    stdfs::create_directories(source + "/所有文件/业务资料/空目录");
    const std::string archive = scratch / "CODE.zip";

    EXPECT_EQ(compress(source + "/", archive), archive);

    for (const auto& n : storedNames(archive)) {
        EXPECT_TRUE(n.raw.starts_with("CODE/")) << n.raw;
        EXPECT_TRUE(n.utf8OrAscii) << n.raw;
    }
    const std::string dest = scratch / "dest";
    ASSERT_EQ(extract(archive, dest), dest);
    EXPECT_EQ(readFile(dest + "/数据包描述.xml"), "<d/>");
    EXPECT_EQ(readFile(dest + "/所有文件/基本信息/基本信息.xml"), "<b/>");
    EXPECT_EQ(readFile(dest + "/所有文件/审计资料/照片.png"), std::string(3000, '\x89'));
    EXPECT_TRUE(stdfs::is_directory(dest + "/所有文件/业务资料/空目录"));
}

TEST(Compress, folderWithoutTrailingSlashNamesTheTopFolderTheSame) {
    Scratch scratch;
    writeFile(scratch / "PKG/a.txt", "a");
    const std::string archive = scratch / "p.zip";
    ASSERT_EQ(compress(scratch / "PKG", archive), archive);
    const auto names = storedNames(archive);
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].raw, "PKG/");
    EXPECT_EQ(names[1].raw, "PKG/a.txt");
}

TEST(Compress, emptyFolderStillMakesAnArchive) {
    Scratch scratch;
    stdfs::create_directories(scratch / "EMPTY");
    const std::string archive = scratch / "e.zip";
    ASSERT_EQ(compress(scratch / "EMPTY/", archive), archive);
    ASSERT_TRUE(stdfs::is_regular_file(archive));
    const std::string dest = scratch / "dest";
    EXPECT_EQ(extract(archive, dest), dest);
    EXPECT_TRUE(stdfs::is_directory(dest + "/EMPTY"));
}

TEST(Compress, missingFolderFailsWithoutArchive) {
    Scratch scratch;
    const std::string archive = scratch / "m.zip";
    EXPECT_EQ(compress(scratch / "missing/", archive), "");
    EXPECT_FALSE(stdfs::exists(archive));
}

TEST(Compress, leavesLinksOut) {
    Scratch scratch;
    writeFile(scratch / "secret.txt", "s");
    writeFile(scratch / "SRC/a.txt", "a");
    stdfs::create_symlink(scratch / "secret.txt", scratch / "SRC/link.txt");
    const std::string archive = scratch / "l.zip";
    ASSERT_EQ(compress(scratch / "SRC/", archive), archive);
    for (const auto& n : storedNames(archive)) EXPECT_NE(n.raw, "SRC/link.txt");
}

TEST(TextResult, tooSmallBufferGetsTheFullLengthAndATerminatedPrefix) {
    Scratch scratch;
    writeFile(scratch / "S/a.txt", "a");
    const std::string archive = scratch / "s.zip";
    char small[4];
    const size_t n = CompressFile((scratch / "S/").c_str(), archive.c_str(), small, sizeof small);
    EXPECT_EQ(n, archive.size());
    EXPECT_EQ(std::string(small), archive.substr(0, 3));
}

}  // namespace

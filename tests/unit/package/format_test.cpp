// Reading the entity code out of a basic-information file, and the names of a package.
#include "package/format.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

namespace unitarc::test {
namespace {

struct CodeCase {
    const char* name;
    std::string bytes;  // the file; "" for no file at all
    std::string expected;
};

class EntityCodeTest : public ::testing::TestWithParam<CodeCase> {
protected:
    TempDir dir;
};

TEST_P(EntityCodeTest, readsTheLastBsjdwsbmItem) {
    const std::string path = dir / "基本信息.xml";
    if (!GetParam().bytes.empty()) {
        ASSERT_TRUE(fs::writeFile(path, GetParam().bytes));
    }
    EXPECT_EQ(package::readEntityCode(path), GetParam().expected);
}

const std::string kUtf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

INSTANTIATE_TEST_SUITE_P(
    Files, EntityCodeTest,
    ::testing::Values(
        CodeCase{"MissingFile", "", "-1"},
        CodeCase{"NotXml", "BSJDWSBM=E001", "-1"},
        CodeCase{"EmptyDocumentElement", kUtf8 + "<基本信息/>", "-1"},
        CodeCase{"NoCodeItem", kUtf8 + "<基本信息><DWMC name=\"名称\">单位</DWMC></基本信息>", "-1"},
        CodeCase{"CodeItem", kUtf8 + "<基本信息><BSJDWSBM name=\"识别码\">E001</BSJDWSBM></基本信息>", "E001"},
        CodeCase{"LowerCaseItemName", kUtf8 + "<基本信息><bsjdwsbm>E002</bsjdwsbm></基本信息>", "E002"},
        CodeCase{"LastItemWins", kUtf8 + "<基本信息><BSJDWSBM>A</BSJDWSBM><X/><BsjdwSbm>B</BsjdwSbm></基本信息>", "B"},
        CodeCase{"EmptyItem", kUtf8 + "<基本信息><BSJDWSBM/></基本信息>", ""},
        CodeCase{"IndentedDocument", kUtf8 + "\n<基本信息>\n  <BSJDWSBM>E003</BSJDWSBM>\n</基本信息>\n", "E003"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EntityCodeTest, gb2312FilesAreReadAsGbk) {
    TempDir dir;
    const std::string path = dir / "基本信息.xml";
    const auto bytes = text::toGbk("<?xml version=\"1.0\" encoding=\"gb2312\"?><基本信息><BSJDWSBM>镕基</BSJDWSBM></基本信息>");
    ASSERT_TRUE(bytes);
    ASSERT_TRUE(fs::writeFile(path, *bytes));
    EXPECT_EQ(package::readEntityCode(path), "镕基");
}

TEST(PackageNames, usableEntityCodesAreOnePlainComponent) {
    for (const char* bad : {"", "-1", ".", "..", "a/b", "a\\b", "/abs", "a\nb"}) EXPECT_FALSE(package::isUsableEntityCode(bad)) << bad;
    for (const char* good : {"E001", "被审计单位", "a.b", "-2"}) EXPECT_TRUE(package::isUsableEntityCode(good)) << good;
}

TEST(PackageNames, descriptionStartDeclaresGb2312) {
    EXPECT_EQ(package::descriptionStart("AbCd1234"),
              "<?xml version=\"1.0\" encoding=\"gb2312\" ?><文件描述 name=\"文件描述\" nodeid=\"AbCd1234\" />");
}

TEST(PackageNames, pathsOfThePackageRoot) {
    EXPECT_EQ(package::baseInfoFilePath("/r/E1"), "/r/E1/所有文件/基本信息/基本信息.xml");
    EXPECT_EQ(package::baseInfoFilePath("/r/E1/"), "/r/E1/所有文件/基本信息/基本信息.xml");
    EXPECT_EQ(package::descriptionPath("/r/E1"), "/r/E1/数据包描述.xml");
    EXPECT_EQ(package::categoryKind("审计资料"), 6);
    EXPECT_EQ(package::categoryKind("基本信息"), 0);
    EXPECT_EQ(package::categoryName(4), "财务资料");
}

}  // namespace
}  // namespace unitarc::test

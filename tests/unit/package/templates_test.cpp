// Financial-data report templates read from an imported entity's description, the data file
// path of a template and the name it is registered under.
#include "package/import.h"
#include "package/templates.h"
#include "tests/unit/package/package_fixture.h"

namespace unitarc::test {
namespace {

class TemplatesTest : public PackageTest {
protected:
    std::vector<std::string> names(const std::string& code = "E001") {
        std::vector<std::string> found;
        for (const auto& entry : package::readTemplates(*dm, code)) found.push_back(entry.name);
        return found;
    }
    void import(const PackageBuilder& p) {
        const auto outcome = package::importPackages(*dm, {zip(p)});
        ASSERT_EQ(outcome.imported, 1) << package::importSummary(outcome);
    }
};

TEST_F(TemplatesTest, templatesComeInDocumentOrderWithTheirPaths) {
    PackageBuilder p("E001", "单位");
    p.add(Category::FinanceData, financeTemplates({{"资产负债表", "a"}, {"利润表", "b"}}));
    import(p);

    const auto entries = package::readTemplates(*dm, "E001");

    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "资产负债表");
    EXPECT_EQ(entries[0].path, fake.entityFolder() + "E001/所有文件/财务数据/财务数据模板/资产负债表.XLS");
    EXPECT_EQ(entries[1].name, "利润表");
}

struct ListingCase {
    const char* name;
    std::function<void(PackageBuilder&)> build;
    std::vector<std::string> listed;
};

class TemplateListing : public TemplatesTest, public ::testing::WithParamInterface<ListingCase> {};

TEST_P(TemplateListing, listsOnlyReportTemplatesDirectlyInTheCategory) {
    PackageBuilder p("E001", "单位");
    GetParam().build(p);
    import(p);
    EXPECT_EQ(names(), GetParam().listed);
}

Material templatesWith(std::vector<Material> files) { return folder("财务数据模板", std::move(files)); }

INSTANTIATE_TEST_SUITE_P(
    Cases, TemplateListing,
    ::testing::Values(
        ListingCase{"noTemplateFolder", [](PackageBuilder&) {}, {}},
        ListingCase{"fileTagNotOne",
                    [](PackageBuilder& p) {
                        Material t = file("旧模板", "旧模板.XLS");
                        t.set("filetag", "0");
                        p.add(Category::FinanceData, templatesWith({t, file("新模板", "新模板.XLS")}));
                    },
                    {"新模板"}},
        ListingCase{"otherExtension",
                    [](PackageBuilder& p) {
                        p.add(Category::FinanceData,
                              templatesWith({file("说明", "说明.TXT"), file("新表", "新表.XLSX"), file("表", "表.XLS")}));
                    },
                    {"表"}},
        ListingCase{"lowerCaseExtension",
                    [](PackageBuilder& p) { p.add(Category::FinanceData, templatesWith({file("小写", "小写.xls")})); },
                    {"小写"}},
        ListingCase{"folderNestedDeeper",
                    [](PackageBuilder& p) {
                        p.add(Category::FinanceData, folder("年度", {financeTemplates({{"深处", "a"}})}));
                    },
                    {}},
        ListingCase{"folderInAnotherCategory",
                    [](PackageBuilder& p) { p.add(Category::FinanceRes, financeTemplates({{"别处", "a"}})); },
                    {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TemplatesTest, aMissingDescriptionRaises) { EXPECT_ANY_THROW(package::readTemplates(*dm, "NOSUCH")); }

struct PathCase {
    const char* name;
    const char* templatePath;
    const char* dataFile;
};

class DataFilePath : public ::testing::TestWithParam<PathCase> {};

TEST_P(DataFilePath, replacesTheExtensionWithXml) {
    EXPECT_EQ(package::dataFilePath(GetParam().templatePath), GetParam().dataFile);
}

INSTANTIATE_TEST_SUITE_P(Cases, DataFilePath,
                         ::testing::Values(PathCase{"upperCase", "/d/模板/利润表.XLS", "/d/模板/利润表.XML"},
                                           PathCase{"lowerCase", "/d/模板/利润表.xls", "/d/模板/利润表.XML"},
                                           PathCase{"twoDots", "/d/模板/表.2023.XLS", "/d/模板/表.2023.XML"},
                                           PathCase{"noExtension", "/d/模板/表", "/d/模板/表.XML"},
                                           PathCase{"dotInFolder", "/d/v1.0/表", "/d/v1.0/表.XML"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct NameCase {
    const char* name;
    const char* caption;
    const char* registered;
};

class RegistrationName : public ::testing::TestWithParam<NameCase> {};

TEST_P(RegistrationName, isTheUpperCasedCaptionCutBeforeXls) {
    EXPECT_EQ(package::registrationName(GetParam().caption), GetParam().registered);
}

INSTANTIATE_TEST_SUITE_P(Cases, RegistrationName,
                         ::testing::Values(NameCase{"withExtension", "利润表.XLS", "利润表"},
                                           NameCase{"lowerCase", "report.xls", "REPORT"},
                                           NameCase{"withoutExtension", "利润表", ""},
                                           NameCase{"cutAtTheFirst", "a.xls.xls", "A"},
                                           NameCase{"extensionInside", "a.XLSX", "A"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TemplatesTest, registeringHandsTheTwelveArgumentsToTheHost) {
    package::registerTemplate("单位", {"利润表.XLS", "/d/利润表.XLS"});
    ASSERT_EQ(fake.callsOf("RegisterDataN").size(), 1u);
    EXPECT_EQ(fake.callsOf("RegisterDataN")[0].args,
              (std::vector<std::string>{"EXCEL", "利润表", FakeHost::kUUID, "被审计单位：单位财务数据报表模板",
                                        "财务数据报表模板", "WWW", "", "/d/利润表.XLS", "XMGL", "-1", "20", "1"}));
}

}  // namespace
}  // namespace unitarc::test

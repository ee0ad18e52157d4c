// unitarc as a user runs it: a workspace made through the host's services, packages made by
// the package builder, and the printed messages, tree lines and exit statuses.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "hostsvc.h"
#include "platform/fs.h"
#include "tests/paths.h"
#include "tests/support/builder/demo_packages.h"
#include "tests/support/builder/package_builder.h"
#include "tests/support/tempdir.h"

namespace unitarc::test {
namespace {

namespace stdfs = std::filesystem;

struct ToolRun {
    int status = -1;
    std::string out, err;
};

std::string shellQuoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

const std::string kSerial = "P1";
const std::string kProjectName = "示例项目";

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        hostwork::openWorkspace(m_workspace.path());
        hostwork::createProject(kSerial, kProjectName, "CZJ001", "SJJ001");
        hostwork::createProject("P2", "无单位项目", "", "SJJ001");
        hostwork::closeConnections();
    }

    ToolRun unitarc(const std::vector<std::string>& args, bool withWorkspace = true) {
        std::string command = shellQuoted(std::string(UNITARC_HOST_DIR) + "/unitarc");
        if (withWorkspace) command += " --workspace " + shellQuoted(m_workspace.path());
        for (const std::string& a : args) command += " " + shellQuoted(a);
        const std::string out = m_files / "out", err = m_files / "err";
        command += " >" + shellQuoted(out) + " 2>" + shellQuoted(err);
        ToolRun run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        fs::readFile(out, run.out);
        fs::readFile(err, run.err);
        return run;
    }

    std::string package(const std::string& code, const std::string& name) {
        PackageBuilder p(code, name);
        p.add(Category::FinanceRes, folder("凭证", {file("一号凭证", "一号凭证.PDF")}));
        p.add(Category::AuditRes, projectTemplate({folder("实施阶段")}));
        return p.write(m_files / (code + ".zip"));
    }

    TempDir m_workspace, m_files;
};

TEST_F(CliTest, importPrintsOneMessagePerPackage) {
    const ToolRun run = unitarc({"--project", kSerial, "import", package("CZJ001", "某市财政局"), package("EXT001", "下属单位")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "导入被审计单位（延伸审计单位）数据包[CZJ001.zip]成功！\n"
                       "导入被审计单位（延伸审计单位）数据包[EXT001.zip]成功！\n");

    const ToolRun again = unitarc({"--project", kSerial, "import", m_files / "CZJ001.zip"});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.out, "被审计单位数据包[CZJ001.zip]的资料已经存在！\n");
}

TEST_F(CliTest, aTwoLineMessageIsPrintedOnTwoLines) {
    const ToolRun run = unitarc({"--project=P2", "import", package("EXT001", "下属单位")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "没有引入被审计单位数据包[EXT001.zip]，\n"
                       "原因：当前项目信息中没有填写[被审计单位编码]，请您填写后再重新引入！\n");
}

TEST_F(CliTest, treePrintsEveryNodeWithKindKeyAndImage) {
    ASSERT_EQ(unitarc({"--project", kSerial, "import", package("EXT001", "下属单位"), package("CZJ001", "某市财政局")}).status, 0);
    const ToolRun run = unitarc({"--project", kSerial, "tree"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = run.out.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(run.out.substr(start, end - start));
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], kProjectName + "\t0\t" + kSerial + "\t2");
    EXPECT_EQ(lines[1], "  下属单位\t1\tEXT001\t6");
    EXPECT_EQ(lines[2], "    基本信息\t2\tEXT00101\t4");
    EXPECT_NE(run.out.find("  某市财政局\t1\tCZJ001\t5\n"), std::string::npos);
    EXPECT_NE(run.out.find("\n      " + kProjectName + "（项目编号：" + kSerial + "）\t6\t"), std::string::npos);
    EXPECT_NE(run.out.find("\n        一号凭证\t4\t"), std::string::npos) << run.out;
}

TEST_F(CliTest, deleteRemovesAnEntityAndRefusesAnUnknownOne) {
    ASSERT_EQ(unitarc({"--project", kSerial, "import", package("EXT001", "下属单位")}).status, 0);
    const ToolRun run = unitarc({"--project", kSerial, "delete", "EXT001"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "删除被审计单位[下属单位]的数据包成功！\n");
    EXPECT_FALSE(stdfs::exists(m_workspace / ("projects/" + kSerial + "/File/BSJDW/EXT001")));

    const ToolRun unknown = unitarc({"--project", kSerial, "delete", "EXT001"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_NE(unknown.err.find("EXT001"), std::string::npos);
}

TEST_F(CliTest, packageWritesTheArchivesOfTheChosenEntities) {
    ASSERT_EQ(unitarc({"--project", kSerial, "import", package("EXT001", "下属单位")}).status, 0);
    const ToolRun run = unitarc({"--project", kSerial, "package", "--all"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_FALSE(run.out.empty());
    EXPECT_EQ(unitarc({"--project", kSerial, "package", "NOSUCH"}).status, 1);
}

TEST_F(CliTest, importsTheSamplePackagesOfTheDemo) {
    hostwork::openWorkspace(m_workspace.path());
    hostwork::createProject("P2026001", "2026年度某市财政局预算执行审计", "CZJ001", "SJJ001");
    hostwork::closeConnections();
    std::vector<std::string> args = {"--project", "P2026001", "import"};
    for (const std::string& file : writeDemoPackages(m_files / "packages", {})) args.push_back(file);

    const ToolRun run = unitarc(args);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "导入被审计单位（延伸审计单位）数据包[CZJ001.zip]成功！\n"
                       "导入被审计单位（延伸审计单位）数据包[EXT001.zip]成功！\n"
                       "导入被审计单位（延伸审计单位）数据包[EXT002.zip]成功！\n");
    const ToolRun tree = unitarc({"--project", "P2026001", "tree"});
    EXPECT_NE(tree.out.find("\n  某市财政局\t1\tCZJ001\t5\n"), std::string::npos) << tree.out;
    EXPECT_NE(tree.out.find("\n  某市财政局下属事业单位乙\t1\tEXT002\t6\n"), std::string::npos);
    EXPECT_NE(tree.out.find("\n      财务数据模板\t3\t"), std::string::npos);
    EXPECT_TRUE(tree.err.find("失败") == std::string::npos) << tree.err;
    const std::string entities = m_workspace / "projects/P2026001/File/BSJDW/";
    EXPECT_TRUE(stdfs::exists(entities + "CZJ001/所有文件/财务数据/财务数据模板/资产负债表.XLS"));
    EXPECT_TRUE(stdfs::exists(entities + "EXT002/所有文件/财务资料/银行对账单/十二月对账单.TXT"));
}

TEST_F(CliTest, templatesListsTheReportTemplatesOfAnEntityAndExportsOne) {
    PackageBuilder p("EXT001", "下属单位");
    p.add(Category::FinanceData, financeTemplates({{"资产负债表.xls", "a"}, {"利润表", "b"}}));
    ASSERT_EQ(unitarc({"--project", kSerial, "import", p.write(m_files / "EXT001.zip"), package("CZJ001", "某市财政局")}).status, 0);
    const std::string folder = m_workspace / ("projects/" + kSerial + "/File/BSJDW/EXT001/所有文件/财务数据/财务数据模板/");

    const ToolRun list = unitarc({"--project", kSerial, "templates", "EXT001"});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out, "资产负债表.xls\t" + folder + "资产负债表.XLS\n" + "利润表\t" + folder + "利润表.XLS\n");

    EXPECT_EQ(unitarc({"--project", kSerial, "templates", "EXT001", "--export", "利润表"}).status, 0);
    EXPECT_EQ(unitarc({"--project", kSerial, "templates", "EXT001", "--export", "现金流量表"}).err, "请选择财务数据报表模板\n");
    const ToolRun none = unitarc({"--project", kSerial, "templates", "CZJ001"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err, "被审计单位[某市财政局]没有财务数据模板！\n");
    EXPECT_EQ(unitarc({"--project", kSerial, "templates"}).status, 2);
}

TEST_F(CliTest, theDemoWorkspaceImportsItsOwnPackages) {
    const std::string demo = m_files / "demo";
    ASSERT_EQ(std::system((shellQuoted(std::string(UNITARC_HOST_DIR) + "/hostwork") + " --init-demo " +
                           shellQuoted(demo) + " >/dev/null 2>&1")
                              .c_str()),
              0);
    std::vector<std::string> args = {"--workspace", demo, "--project", "P2026001", "import"};
    for (const char* name : {"CZJ001.zip", "EXT001.zip", "EXT002.zip"}) args.push_back(demo + "/packages/" + name);
    const ToolRun run = unitarc(args, false);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 3) << run.out;

    const ToolRun tree = unitarc({"--workspace", demo, "--project", "P2026001", "tree"}, false);
    EXPECT_NE(tree.out.find("\n  某市财政局\t1\tCZJ001\t5\n"), std::string::npos) << tree.out;
    // The project without an audited entity refuses them.
    EXPECT_EQ(unitarc({"--workspace", demo, "--project", "P2026002", "import", demo + "/packages/EXT001.zip"}, false)
                  .status,
              1);
}

struct UsageCase {
    const char* name;
    std::vector<std::string> args;
    int status;
};

class CliUsageTest : public CliTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(CliUsageTest, exitsWithItsStatus) {
    const ToolRun run = unitarc(GetParam().args);
    EXPECT_EQ(run.status, GetParam().status) << run.out << run.err;
}

INSTANTIATE_TEST_SUITE_P(
    Usage, CliUsageTest,
    ::testing::Values(UsageCase{"NoCommand", {"--project", "P1"}, 2},
                      UsageCase{"UnknownCommand", {"--project", "P1", "export"}, 2},
                      UsageCase{"UnknownOption", {"--verbose", "tree"}, 2},
                      UsageCase{"ImportWithoutFiles", {"--project", "P1", "import"}, 2},
                      UsageCase{"DeleteWithoutCode", {"--project", "P1", "delete"}, 2},
                      UsageCase{"PackageWithoutChoice", {"--project", "P1", "package"}, 2},
                      UsageCase{"NoProject", {"tree"}, 1},
                      UsageCase{"UnknownProject", {"--project", "P9", "tree"}, 1},
                      UsageCase{"NoProjectTest", {"--project", "projecttest", "tree"}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliTest, refusalsOfTheProjectCheckAreWrittenToStandardError) {
    EXPECT_EQ(unitarc({"tree"}).err, "没有打开项目！\n");
    EXPECT_EQ(unitarc({"--project", "P9", "tree"}).err, "连接被审计单位数据库失败！\n");
}


// Rows of one entity in the project's entity database, read as another program would.
struct EntityRows {
    long long entity = 0, materials = 0;
};
EntityRows countRows(const std::string& database, const std::string& code) {
    EntityRows rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return rows;
    }
    auto count = [&](const std::string& table) {
        sqlite3_stmt* s = nullptr;
        long long n = 0;
        const std::string sql = "select count(*) from " + table + " where AuditedDeptCode = '" + code + "'";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
            n = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        return n;
    };
    rows.entity = count("AuditedDeptInfo");
    for (const char* table : {"FinanceDataInfo", "FinanceResourceInfo", "TransResourceInfo", "AuditResourceInfo"})
        rows.materials += count(table);
    sqlite3_close(db);
    return rows;
}

TEST_F(CliTest, aKilledImportLeavesNoHalfImportedEntity) {
    PackageBuilder p("EXT009", "大单位");
    for (int f = 0; f < 20; ++f) {
        std::vector<Material> files;
        for (int i = 0; i < 100; ++i) files.push_back(file("凭证" + std::to_string(i), "V" + std::to_string(i) + ".PDF"));
        p.add(Category::FinanceRes, folder("月份" + std::to_string(f), std::move(files)));
    }
    const std::string archive = p.write(m_files / "EXT009.zip");
    const std::string database = m_workspace / ("projects/" + kSerial + "/File/BSJDW/UNITARC.mdb");
    const std::string tool = std::string(UNITARC_HOST_DIR) + "/unitarc";

    // A whole import elsewhere tells how long one takes, so that the kills fall across it.
    hostwork::createProject("P3", "计时项目", "CZJ001", "SJJ001");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(unitarc({"--project", "P3", "import", archive}).status, 0);
    const auto whole = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);

    // Whenever the import dies, the entity is there whole or not at all.
    int interrupted = 0;
    for (int percent : {10, 30, 50, 70, 85, 95}) {
        const auto delay = whole * percent / 100;
        std::vector<std::string> args = {tool, "--workspace", m_workspace.path(), "--project", kSerial, "import", archive};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, tool.c_str(), &quiet, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&quiet);
        std::this_thread::sleep_for(delay);
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);

        const EntityRows rows = countRows(database, "EXT009");
        if (rows.entity == 0) {
            EXPECT_EQ(rows.materials, 0) << "killed at " << percent << "%";
            ++interrupted;
        } else {
            EXPECT_GT(rows.materials, 2000) << "killed at " << percent << "%";
            ASSERT_EQ(unitarc({"--project", kSerial, "delete", "EXT009"}).status, 0);
        }
    }

    // What a killed import left is no obstacle to the next one.
    const ToolRun run = unitarc({"--project", kSerial, "import", archive});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "导入被审计单位（延伸审计单位）数据包[EXT009.zip]成功！\n");
    EXPECT_EQ(countRows(database, "EXT009").entity, 1);
    RecordProperty("interrupted", interrupted);
}

}  // namespace
}  // namespace unitarc::test

#include "store/schema.h"

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "platform/db.h"
#include "tests/paths.h"
#include "tests/support/tempdir.h"

namespace unitarc::schema {

// Failures name the table, not its bytes.
void PrintTo(const Table& table, std::ostream* os) { *os << table.name; }

namespace {

namespace stdfs = std::filesystem;

// The built template itself, opened read-only with SQLite directly.
class TemplateFile {
public:
    TemplateFile() {
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(UNITARC_TEMPLATE, &raw, SQLITE_OPEN_READONLY, nullptr);
        m_db.reset(raw);
        if (rc != SQLITE_OK) throw std::runtime_error("cannot open the template " UNITARC_TEMPLATE);
    }
    sqlite3* get() const { return m_db.get(); }

    std::vector<std::vector<std::string>> rows(const std::string& sql) const {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(get(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(get()));
        std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
        std::vector<std::vector<std::string>> out;
        while (sqlite3_step(raw) == SQLITE_ROW) {
            auto& row = out.emplace_back();
            for (int i = 0; i < sqlite3_column_count(raw); ++i) {
                const auto* text = sqlite3_column_text(raw, i);
                row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
            }
        }
        return out;
    }

private:
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> m_db{nullptr, sqlite3_close};
};

std::string collationOf(sqlite3* db, const std::string& table, const std::string& column) {
    const char* type = nullptr;
    const char* collation = nullptr;
    int notNull = 0, primaryKey = 0, autoIncrement = 0;
    if (sqlite3_table_column_metadata(db, "main", table.c_str(), column.c_str(), &type, &collation, &notNull,
                                      &primaryKey, &autoIncrement) != SQLITE_OK)
        return "<missing>";
    return collation ? collation : "";
}

class TemplateTableTest : public ::testing::TestWithParam<Table> {};

TEST_P(TemplateTableTest, columnsAreExactlyTheNamedOnes) {
    const Table& table = GetParam();
    TemplateFile db;
    std::vector<std::tuple<std::string, std::string, std::string>> expected, actual;
    for (const Column& c : table.columns)
        expected.emplace_back(c.name, sqlType(c.type), isText(c.type) ? "NOCASE" : "BINARY");
    for (const auto& row : db.rows("PRAGMA table_info(" + std::string(table.name) + ")"))
        actual.emplace_back(row[1], row[2], collationOf(db.get(), std::string(table.name), row[1]));
    EXPECT_EQ(actual, expected);
}

INSTANTIATE_TEST_SUITE_P(Schema, TemplateTableTest, ::testing::ValuesIn(entityTables),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SchemaTemplate, holdsTheEntityTablesAndNoOthers) {
    TemplateFile db;
    std::set<std::string> expected, actual;
    for (const Table& t : entityTables) expected.emplace(t.name);
    for (const auto& row : db.rows("Select name From sqlite_master Where type = 'table'")) actual.insert(row[0]);
    EXPECT_EQ(actual, expected);
}

TEST(SchemaTemplate, hasTheNamedIndexes) {
    TemplateFile db;
    std::set<std::tuple<std::string, std::string, std::string, bool>> expected, actual;
    for (const Index& i : indexes) expected.emplace(i.name, i.table, i.column, i.unique);
    for (const Table& t : entityTables) {
        for (const auto& index : db.rows("PRAGMA index_list(" + std::string(t.name) + ")")) {
            const auto columns = db.rows("PRAGMA index_info(" + index[1] + ")");
            ASSERT_EQ(columns.size(), 1u) << index[1];
            actual.emplace(index[1], t.name, columns[0][2], index[2] == "1");
        }
    }
    EXPECT_EQ(actual, expected);
}

TEST(SchemaTemplate, isOneSelfContainedFileInRollbackJournalMode) {
    // Header bytes 18 and 19 are 1 for a rollback journal, 2 for write-ahead logging.
    std::ifstream in(UNITARC_TEMPLATE, std::ios::binary);
    char header[20] = {};
    ASSERT_TRUE(in.read(header, sizeof header));
    EXPECT_EQ(std::string(header, 16), std::string("SQLite format 3", 16));
    EXPECT_EQ(header[18], 1);
    EXPECT_EQ(header[19], 1);
    EXPECT_FALSE(stdfs::exists(std::string(UNITARC_TEMPLATE) + "-wal"));
    EXPECT_FALSE(stdfs::exists(std::string(UNITARC_TEMPLATE) + ".tmp"));
}

// ---- a copy of the template, as a project gets it ----

class EntityDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string path = m_dir / "UNITARC.mdb";
        stdfs::copy_file(UNITARC_TEMPLATE, path);
        m_connection.connectionString = db::connectionText(path, "");
        m_connection.open();
    }

    db::Query query(std::string_view sql) {
        db::Query q(&m_connection);
        q.open(sql);
        return q;
    }

    test::TempDir m_dir;
    db::Connection m_connection;
};

TEST_F(EntityDatabaseTest, maxOverAnEmptyTableReadsAsZero) {
    db::Query q = query("Select Max(DirIndex) as MaxIndex From FinanceDataInfo");
    ASSERT_FALSE(q.eof());
    EXPECT_EQ(q.integer("MaxIndex"), 0);
}

TEST_F(EntityDatabaseTest, textComparesWithoutRegardToLatinCase) {
    m_connection.execute("Insert Into AuditResourceInfo (AuditedDeptCode, DirID, Name, FileTag) "
                         "Values ('abc01', 'x1', '项目甲（项目编号：Sj-01）', 0)");
    EXPECT_EQ(query("Select * From AuditResourceInfo Where AuditedDeptCode = 'ABC01'").recordCount(), 1u);
    EXPECT_EQ(query("Select * From AuditResourceInfo Where (Name like '%（项目编号：SJ-01）') and "
                    "(AuditedDeptCode = 'Abc01') and (filetag = 0)")
                  .recordCount(),
              1u);
    EXPECT_EQ(query("Select * From AuditResourceInfo Where Name = '项目乙（项目编号：Sj-01）'").recordCount(), 0u);
}

TEST_F(EntityDatabaseTest, entityCodeIsUniqueWithoutRegardToCase) {
    m_connection.execute("Insert Into AuditedDeptInfo (AuditedDeptCode, AuditedDeptName) Values ('abc', 'A')");
    EXPECT_THROW(
        m_connection.execute("Insert Into AuditedDeptInfo (AuditedDeptCode, AuditedDeptName) Values ('ABC', 'B')"),
        db::Error);
}

TEST_F(EntityDatabaseTest, repeatedDirIdIsStoredForItsReaderToJudge) {
    m_connection.execute("Insert Into FinanceDataInfo (AuditedDeptCode, DirID) Values ('C', 'same')");
    EXPECT_NO_THROW(m_connection.execute("Insert Into FinanceDataInfo (AuditedDeptCode, DirID) Values ('C', 'same')"));
}

TEST_F(EntityDatabaseTest, entityRowIsEditedThroughItsQuery) {
    m_connection.execute("Insert Into AuditedDeptInfo (AuditedDeptCode, AuditedDeptName, KQTag) Values ('X', 'A', 3)");
    db::Query q = query("Select * From AuditedDeptInfo Where AuditedDeptCode = 'X'");
    q.edit();
    q.setValue(col::AuditedDeptName, std::string("B"));
    q.post();
    m_connection.execute("Update AuditedDeptInfo Set NodeID = KQTag Where AuditedDeptCode ='X'");
    db::Query check = query("Select * From AuditedDeptInfo Where AuditedDeptCode = 'x'");
    EXPECT_EQ(check.text(col::AuditedDeptName), "B");
    EXPECT_EQ(check.value(col::NodeID), db::Value{std::string("3")}) << "a text column keeps the mark as text";
}

// The statements the system writes, which must all run on the template's columns.
struct StatementCase {
    const char* name;
    const char* sql;
};

class SystemStatementTest : public EntityDatabaseTest, public ::testing::WithParamInterface<StatementCase> {};

TEST_P(SystemStatementTest, runsOnTheTemplate) { EXPECT_NO_THROW(m_connection.execute(GetParam().sql)); }

INSTANTIATE_TEST_SUITE_P(
    Schema, SystemStatementTest,
    ::testing::Values(
        StatementCase{"insertFinanceData",
                      "Insert Into FinanceDataInfo (AuditedDeptCode, DirID, PDirID, DirIndex,FileTag, KQTag, Name, "
                      "NodeID, FileID,FileName, ImageIndex, Type, CanVisible, CreateTime) Values ('C','D','',1,0,1,"
                      "'财务数据','D','F','',0,'CWSJ',1,0)"},
        StatementCase{"insertFinanceResource",
                      "Insert Into FinanceResourceInfo (AuditedDeptCode, DirID, PDirID, DirIndex,KQTag, FileTag, Name, "
                      "NodeID, Type, FileID,被审计单位识别码, 财务资料名称, 财务资料日期,FileName, ImageIndex, "
                      "CanVisible, CreateTime) Values ('C','D','',1,1,0,'n','D','CWZL','F','C','m',45000,'',0,1,0)"},
        StatementCase{"insertTransResource",
                      "Insert Into TransResourceInfo (AuditedDeptCode, DirID, PDirID, DirIndex,KQTag, FileTag, Name, "
                      "NodeID, Type, FileID,业务资料名称, 被审计单位识别码, 业务资料日期,FileName, ImageIndex, "
                      "CanVisible, CreateTime) Values ('C','D','',1,1,0,'n','D','YWZL','F','m','C',45000,'',0,1,0)"},
        StatementCase{"insertAuditResource",
                      "Insert Into AuditResourceInfo (AuditedDeptCode, DirID, PDirID, DirIndex,KQTag, FileTag, Name, "
                      "NodeID, 被审计单位识别码, Type,项目编号, 标题, 类型, 文号, 发文单位, 抄送单位,成文时间, 归档时间, "
                      "主题词, 摘要, FileID,审计机关代码, FileName, ImageIndex, CanVisible, CreateTime) Values ('C','D',"
                      "'',1,1,1,'n','D','C','SJZL','S','t','审计日记','1','u','v',1.5,0,'w','x','F','O','a.doc',8,1,"
                      "45000.5)"},
        StatementCase{"paddedUpdate",
                      "update AuditResourceInfo set AuditedDeptCode      ='C',项目编号             ='S',"
                      "成文时间             =1.5 where DirID          ='D'"},
        StatementCase{"projectFolderMarks",
                      "Update AuditResourceInfo Set KQTag = 1, 项目编号 = 'S' Where (AuditedDeptCode = 'C') and "
                      "(FileTag = 0) and (PDirID = 'D')"},
        StatementCase{"packagedMark", "Update AuditedDeptInfo Set NodeID = KQTag Where AuditedDeptCode ='C'"},
        StatementCase{"entityList",
                      "Select AuditedDeptCode as 被审计单位编码, AuditedDeptName as 被审计单位名称 from "
                      "AuditedDeptInfo order by DeptIndex"},
        StatementCase{"auditList",
                      "select DirID, Name as 资料分类,项目编号,标题,类型,文号,发文单位,抄送单位,成文时间,归档时间,"
                      "主题词,摘要,审计机关代码 from AuditResourceInfo where PDirID = 'D'"},
        StatementCase{"financeResourceList",
                      "select DirID, Name as 资料分类,财务资料名称,财务资料日期 from FinanceResourceInfo where PDirID = 'D'"},
        StatementCase{"transResourceList",
                      "select DirID, Name as 资料分类,业务资料名称,业务资料日期 from TransResourceInfo where PDirID = 'D'"},
        StatementCase{"changedFinanceData",
                      "Select * From FinanceDataInfo Where ((kqtag = 1) or (FileTag = 0)) and PDirID = 'D'"},
        StatementCase{"companion",
                      "Select * From FinanceDataInfo Where (PDirID = 'P') and (Name = 'n') and (DirID <> 'D')"},
        StatementCase{"deleteEntity", "Delete From AuditedDeptInfo Where AuditedDeptCode = 'C'"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- codes ----

TEST(SchemaCategories, areFoundByKindCodeAndTableOnlyForTheFourMaterialKinds) {
    for (const Category& c : categories) {
        EXPECT_EQ(category(c.kind), &c);
        EXPECT_EQ(categoryByCode(c.code), &c);
        EXPECT_EQ(categoryByTable(c.table), &c);
        EXPECT_NE(entityTable(c.table), nullptr);
    }
    for (int kind : {int(ProjectRoot), int(Entity), int(BaseInfo), 7, -1}) EXPECT_EQ(category(kind), nullptr) << kind;
    EXPECT_EQ(categoryByCode(code::JBXX), nullptr);
    EXPECT_EQ(categoryByCode(code::XMXX), nullptr);
    EXPECT_EQ(categoryByTable(table::AuditedDeptInfo), nullptr);
}

TEST(SchemaCategories, topOfTreeIsEmptyZeroOrMinusOne) {
    EXPECT_TRUE(isTopParent(""));
    EXPECT_TRUE(isTopParent("0"));
    EXPECT_TRUE(isTopParent("-1"));
    EXPECT_FALSE(isTopParent("00"));
    EXPECT_FALSE(isTopParent("Ab3dE9xZ"));
}

}  // namespace
}  // namespace unitarc::schema

#include "platform/db.h"

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "platform/text.h"
#include "tests/support/tempdir.h"

namespace unitarc::db {
namespace {

namespace stdfs = std::filesystem;

// A scratch database made with SQLite directly: the layer itself never creates files.
void createDatabase(const std::string& path, const char* sql) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr), SQLITE_OK);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> db(raw, sqlite3_close);
    char* message = nullptr;
    const std::string script = std::string("BEGIN;") + sql + ";COMMIT;";
    const int rc = sqlite3_exec(raw, script.c_str(), nullptr, nullptr, &message);
    const std::string text = message ? message : "";
    sqlite3_free(message);
    ASSERT_EQ(rc, SQLITE_OK) << text;
}

constexpr const char* kScratchSchema = R"(
    CREATE TABLE AuditedDeptInfo (AuditedDeptCode TEXT COLLATE NOCASE, AuditedDeptName TEXT COLLATE NOCASE,
                                  DeptIndex INTEGER, BaseInfo TEXT, CreateTime REAL);
    INSERT INTO AuditedDeptInfo VALUES ('X', 'Entity X', 1, NULL, 1.5);
    INSERT INTO AuditedDeptInfo VALUES ('Y', 'Entity Y', 2, '<a/>', NULL);
    CREATE TABLE KQ_TypeInfo (TypeName TEXT, TypeCaption TEXT, IsDisplay TEXT, BrightRight TEXT);
    INSERT INTO KQ_TypeInfo VALUES ('DGGL_SJRJ', '审计日记', '01', 'a');
    INSERT INTO KQ_TypeInfo VALUES ('DGGL_SJDG', '审计底稿', '10', 'b');
    INSERT INTO KQ_TypeInfo VALUES ('SJFX_DZSJ', '电子数据', '1', 'c');
    INSERT INTO KQ_TypeInfo VALUES ('NONE', NULL, NULL, 'd');
    CREATE VIEW DeptView AS SELECT * FROM AuditedDeptInfo;
)";

class DbTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = m_dir / "scratch.db";
        createDatabase(m_path, kScratchSchema);
        m_connection.connectionString = connectionText(m_path, "");
        m_connection.open();
    }

    Query query(std::string_view sql) {
        Query q(&m_connection);
        q.open(sql);
        return q;
    }

    std::string scalar(std::string_view sql) {
        Query q = query(sql);
        return q.eof() ? "<none>" : valueText(q.valueAt(q.recNo(), 0));
    }

    test::TempDir m_dir;
    std::string m_path;
    Connection m_connection;
};

// ---- connection text ----

struct ConnectionTextCase {
    const char* name;
    const char* path;
    const char* password;
    const char* expected;
};

class ConnectionTextTest : public ::testing::TestWithParam<ConnectionTextCase> {};

TEST_P(ConnectionTextTest, isBuiltInOrderAndParsesBack) {
    const auto& c = GetParam();
    EXPECT_EQ(connectionText(c.path, c.password), c.expected);
    const ConnectionSettings settings = parseConnectionText(c.expected);
    EXPECT_EQ(settings.provider, "Microsoft.Jet.OLEDB.4.0");
    EXPECT_EQ(settings.dataSource, c.path);
    EXPECT_EQ(settings.password, c.password);
    EXPECT_FALSE(settings.readOnly);
}

INSTANTIATE_TEST_SUITE_P(
    Db, ConnectionTextTest,
    ::testing::Values(
        ConnectionTextCase{"withoutPassword", "/p/File/BSJDW/UNITARC.mdb", "",
                           "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/p/File/BSJDW/UNITARC.mdb;"
                           "Persist Security Info=False;"},
        ConnectionTextCase{"withPasswordAndNoClosingSemicolon", "/p/a.mdb", "secret",
                           "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/p/a.mdb;Persist Security Info=False;"
                           "Jet OLEDB:Database Password=secret"},
        ConnectionTextCase{"chinesePath", "/项目/审计 资料/UNITARC.mdb", "",
                           "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/项目/审计 资料/UNITARC.mdb;"
                           "Persist Security Info=False;"},
        ConnectionTextCase{"semicolonAndEqualsInPath", "/p/a;b=c;d/x.mdb", "",
                           "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/p/a;b=c;d/x.mdb;"
                           "Persist Security Info=False;"},
        ConnectionTextCase{"semicolonInPassword", "/p/a.mdb", "pa;ss",
                           "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/p/a.mdb;Persist Security Info=False;"
                           "Jet OLEDB:Database Password=pa;ss"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DbConnectionText, readModeAsksForReadOnly) {
    EXPECT_TRUE(parseConnectionText(connectionText("/p/a.mdb", "") + "Mode=Read;").readOnly);
    EXPECT_FALSE(parseConnectionText(connectionText("/p/a.mdb", "") + "Mode=Share Deny None;").readOnly);
    EXPECT_FALSE(parseConnectionText(connectionText("/p/a.mdb", "") + "Mode=ReadWrite;").readOnly);
}

// ---- opening ----

TEST_F(DbTest, passwordMakesOpenFail) {
    Connection c;
    c.connectionString = connectionText(m_path, "secret");
    EXPECT_THROW(c.open(), Error);
    EXPECT_FALSE(c.isOpen());
}

TEST_F(DbTest, missingFileFailsTheOpenAndCreatesNothing) {
    const std::string missing = m_dir / "UNITARC.mdb";
    Connection c;
    c.connectionString = connectionText(missing, "");
    EXPECT_THROW(c.open(), Error);
    EXPECT_FALSE(c.isOpen());
    EXPECT_FALSE(stdfs::exists(missing));
    EXPECT_FALSE(stdfs::exists(missing + "-wal"));
}

TEST_F(DbTest, fileThatIsNoDatabaseFailsTheOpen) {
    const std::string path = m_dir / "junk.mdb";
    std::ofstream(path) << "Standard Jet DB, or anything else that is not SQLite, padded to a page......";
    Connection c;
    c.connectionString = connectionText(path, "");
    EXPECT_THROW(c.open(), Error);
    EXPECT_FALSE(c.isOpen());
}

TEST_F(DbTest, openTurnsOnWriteAheadLogging) {
    EXPECT_EQ(scalar("PRAGMA journal_mode"), "wal");
    EXPECT_EQ(scalar("PRAGMA synchronous"), "1");  // NORMAL
}

TEST_F(DbTest, readOnlyConnectionReadsButNeitherWritesNorChangesTheJournal) {
    const std::string path = m_dir / "other.db";
    createDatabase(path, "CREATE TABLE T (A TEXT); INSERT INTO T VALUES ('a');");
    Connection c;
    c.connectionString = connectionText(path, "") + "Mode=Read;";
    c.open();
    Query q(&c);
    q.open("Select A From T");
    EXPECT_EQ(q.text("A"), "a");
    EXPECT_THROW(c.execute("Insert Into T Values ('b')"), Error);
    q.open("PRAGMA journal_mode");
    EXPECT_EQ(q.text("journal_mode"), "delete");
}

TEST_F(DbTest, reopeningSwitchesToTheNewFile) {
    const std::string path = m_dir / "other.db";
    createDatabase(path, "CREATE TABLE OnlyHere (A TEXT);");
    m_connection.connectionString = connectionText(path, "");
    m_connection.open();
    EXPECT_NO_THROW(query("Select * From OnlyHere"));
    EXPECT_THROW(query("Select * From AuditedDeptInfo"), Error);
}

// ---- statements ----

TEST_F(DbTest, quoteInsideValueSurvivesInsert) {
    const std::string name = "O'Brien''s \"单位\"";
    m_connection.execute("Insert Into AuditedDeptInfo (AuditedDeptCode, AuditedDeptName) Values ('Q', " +
                         text::quoted(name) + ")");
    EXPECT_EQ(m_connection.changes(), 1);
    EXPECT_EQ(scalar("Select AuditedDeptName From AuditedDeptInfo Where AuditedDeptCode = 'Q'"), name);
}

TEST_F(DbTest, executeRunsEveryStatementOfTheText) {
    m_connection.execute("Delete From KQ_TypeInfo; Insert Into KQ_TypeInfo (TypeName) Values ('A');\n"
                         "Insert Into KQ_TypeInfo (TypeName) Values ('B');  ");
    EXPECT_EQ(scalar("Select Count(*) From KQ_TypeInfo"), "2");
}

TEST_F(DbTest, failureCarriesTheDatabaseMessage) {
    try {
        m_connection.execute("Delete From NoSuchTable");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("no such table: NoSuchTable"), std::string::npos) << e.what();
    }
}

TEST_F(DbTest, doubleQuotedStringIsNoLiteral) {
    EXPECT_THROW(query("Select * From AuditedDeptInfo Where AuditedDeptCode = \"X\""), Error);
    EXPECT_THROW(m_connection.execute("Update AuditedDeptInfo Set AuditedDeptName = \"Z\""), Error);
    EXPECT_EQ(scalar("Select AuditedDeptName From AuditedDeptInfo Where AuditedDeptCode = 'X'"), "Entity X");
}

TEST_F(DbTest, bracketedNamesWork) {
    EXPECT_EQ(scalar("Select [AuditedDeptName] From [AuditedDeptInfo] Where [AuditedDeptCode] = 'Y'"), "Entity Y");
}

TEST_F(DbTest, queryOfSeveralStatementsIsRefused) {
    Query q(&m_connection);
    EXPECT_THROW(q.open("Select * From AuditedDeptInfo; Delete From AuditedDeptInfo"), Error);
    EXPECT_EQ(scalar("Select Count(*) From AuditedDeptInfo"), "2");
}

TEST_F(DbTest, transactionRollsBackUnlessCommitted) {
    {
        Transaction t(m_connection);
        EXPECT_TRUE(m_connection.inTransaction());
        m_connection.execute("Delete From AuditedDeptInfo");
    }
    EXPECT_FALSE(m_connection.inTransaction());
    EXPECT_EQ(scalar("Select Count(*) From AuditedDeptInfo"), "2");
    {
        Transaction t(m_connection);
        m_connection.execute("Delete From AuditedDeptInfo Where AuditedDeptCode = 'X'");
        t.commit();
    }
    EXPECT_EQ(scalar("Select Count(*) From AuditedDeptInfo"), "1");
}

// ---- Jet's Right() ----

struct RewriteCase {
    const char* name;
    const char* sql;
    bool rewritten;
};

class RewriteJetTest : public ::testing::TestWithParam<RewriteCase> {};

TEST_P(RewriteJetTest, rewritesOnlyCallsOfRight) {
    const auto& c = GetParam();
    EXPECT_EQ(rewriteJet(c.sql) != c.sql, c.rewritten) << rewriteJet(c.sql);
}

INSTANTIATE_TEST_SUITE_P(
    Db, RewriteJetTest,
    ::testing::Values(RewriteCase{"call", "Select * From T Where Right(IsDisplay, 1)='1'", true},
                      RewriteCase{"lowerCase", "select right(a, 2) from t", true},
                      RewriteCase{"blankBeforeParenthesis", "select RIGHT (a, 2) from t", true},
                      RewriteCase{"rightJoin", "select * from a right join b on a.x = b.x", false},
                      RewriteCase{"partOfAName", "select BrightRight(a), Right_(a) from t", false},
                      RewriteCase{"afterChineseName", "select 名Right(a) from t", false},
                      RewriteCase{"insideLiteral", "select 'Right(a, 1)' from t", false},
                      RewriteCase{"insideQuotedName", "select \"Right\"(a) from t", false},
                      RewriteCase{"insideBrackets", "select [Right](a) from t", false},
                      RewriteCase{"insideComment", "select a -- Right(a, 1)\n from t", false},
                      RewriteCase{"literalWithDoubledQuote", "select 'it''s Right(' from t", false},
                      RewriteCase{"noCall", "select Right from t", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DbTest, rightSelectsByTheLastCharacter) {
    for (const char* sql : {"Select * From KQ_TypeInfo where Right(IsDisplay, 1) = '1'",
                            "select * from KQ_TypeInfo where right(IsDisplay,1)='1'"}) {
        Query q = query(sql);
        ASSERT_EQ(q.recordCount(), 2u) << sql;
        EXPECT_EQ(q.text("TypeName"), "DGGL_SJRJ");
        q.next();
        EXPECT_EQ(q.text("TypeName"), "SJFX_DZSJ");
    }
}

struct RightCase {
    const char* name;
    const char* expression;
    const char* expected;  // nullptr: SQL null
};

class RightFunctionTest : public DbTest, public ::testing::WithParamInterface<RightCase> {};

TEST_P(RightFunctionTest, behavesAsJets) {
    Query q = query(std::string("Select Right(") + GetParam().expression + ") As R");
    if (GetParam().expected)
        EXPECT_EQ(q.text("R"), GetParam().expected);
    else
        EXPECT_TRUE(q.isNull("R"));
}

INSTANTIATE_TEST_SUITE_P(Db, RightFunctionTest,
                         ::testing::Values(RightCase{"lastCharacters", "'abcdef', 3", "def"},
                                           RightCase{"countsCharactersNotBytes", "'审计底稿', 2", "底稿"},
                                           RightCase{"longerThanText", "'ab', 5", "ab"},
                                           RightCase{"zero", "'ab', 0", ""},
                                           RightCase{"number", "1234, 2", "34"},
                                           RightCase{"nullText", "NULL, 1", nullptr}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DbTest, columnWhoseNameContainsRightIsReadAsItIs) {
    EXPECT_EQ(scalar("Select Right(BrightRight, 1) From KQ_TypeInfo Where BrightRight = 'b'"), "b");
}

// ---- queries ----

TEST_F(DbTest, fieldsReadByNameWithoutRegardToCase) {
    Query q = query("Select * From AuditedDeptInfo Order By DeptIndex");
    EXPECT_EQ(q.text("auditeddeptcode"), "X");
    EXPECT_EQ(q.text("AUDITEDDEPTNAME"), "Entity X");
    EXPECT_EQ(q.fieldIndex("deptindex"), 2);
    EXPECT_EQ(q.fieldIndex("NoSuchField"), -1);
    EXPECT_THROW(q.value("NoSuchField"), Error);
}

TEST_F(DbTest, valuesComeBackAsStored) {
    Query q = query("Select * From AuditedDeptInfo Where AuditedDeptCode = 'X'");
    EXPECT_EQ(std::get<long long>(q.value("DeptIndex")), 1);
    EXPECT_EQ(std::get<double>(q.value("CreateTime")), 1.5);
    EXPECT_EQ(q.text("CreateTime"), "1.5");
    EXPECT_TRUE(q.isNull("BaseInfo"));
    EXPECT_EQ(q.text("BaseInfo"), "");
    EXPECT_EQ(q.integer("BaseInfo"), 0);
}

TEST_F(DbTest, aliasedChineseFieldsReadByTheirAlias) {
    Query q = query("Select AuditedDeptCode as 被审计单位编码, AuditedDeptName as 被审计单位名称 from AuditedDeptInfo "
                    "order by DeptIndex");
    EXPECT_EQ(q.fieldNames(), (std::vector<std::string>{"被审计单位编码", "被审计单位名称"}));
    EXPECT_EQ(q.text("被审计单位名称"), "Entity X");
}

TEST_F(DbTest, emptyResultIsAtEof) {
    Query q = query("Select * From AuditedDeptInfo Where AuditedDeptCode = 'none'");
    EXPECT_TRUE(q.eof());
    EXPECT_TRUE(q.isEmpty());
    EXPECT_THROW(q.value("AuditedDeptCode"), Error);
}

TEST_F(DbTest, cursorWalksEveryRowThenEof) {
    Query q = query("Select TypeName From KQ_TypeInfo Order By TypeName");
    std::vector<std::string> names;
    for (; !q.eof(); q.next()) names.push_back(q.text("TypeName"));
    EXPECT_EQ(names, (std::vector<std::string>{"DGGL_SJDG", "DGGL_SJRJ", "NONE", "SJFX_DZSJ"}));
    q.next();
    EXPECT_TRUE(q.eof());
    q.first();
    EXPECT_EQ(q.text("TypeName"), "DGGL_SJDG");
}

TEST_F(DbTest, maxOfEmptyTableReadsAsZero) {
    m_connection.execute("Delete From AuditedDeptInfo");
    Query q = query("Select Max(DeptIndex) as MaxIndex From AuditedDeptInfo");
    EXPECT_TRUE(q.isNull("MaxIndex"));
    EXPECT_EQ(q.integer("MaxIndex"), 0);
}

TEST_F(DbTest, locateFindsTheFirstExactMatchAndStaysPutOtherwise) {
    m_connection.execute("Insert Into KQ_TypeInfo (TypeName, IsDisplay) Values ('DGGL_SJRJ', 'second')");
    Query q = query("Select * From KQ_TypeInfo Order By rowid");
    q.moveTo(2);
    // Every look-up twice: the second goes through the index built for repeated look-ups.
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_TRUE(q.locate("typename", "DGGL_SJRJ"));
        EXPECT_EQ(q.recNo(), 0u);
        EXPECT_EQ(q.text("IsDisplay"), "01");
        EXPECT_FALSE(q.locate("TypeName", "dggl_sjrj")) << "exact, not NOCASE";
        EXPECT_EQ(q.recNo(), 0u);
        ASSERT_TRUE(q.locate("TypeName", "NONE"));
        EXPECT_EQ(q.recNo(), 3u);
        EXPECT_TRUE(q.locate("TypeCaption", "")) << "null reads as the empty text";
        EXPECT_EQ(q.recNo(), 3u);
    }
    EXPECT_THROW(q.locate("NoSuchField", "x"), Error);
}

TEST_F(DbTest, locateComparesNumbersAsText) {
    Query q = query("Select * From AuditedDeptInfo");
    EXPECT_TRUE(q.locate("DeptIndex", "2"));
    EXPECT_EQ(q.text("AuditedDeptCode"), "Y");
    EXPECT_TRUE(q.locate("CreateTime", "1.5"));
    EXPECT_EQ(q.text("AuditedDeptCode"), "X");
}

TEST_F(DbTest, cloneHasItsOwnCursorOverTheSameRows) {
    Query q = query("Select * From AuditedDeptInfo Order By DeptIndex");
    q.next();
    Query c = q.clone();
    EXPECT_EQ(c.recNo(), 0u);
    ASSERT_TRUE(c.locate("AuditedDeptCode", "X"));
    c.next();
    c.next();
    EXPECT_TRUE(c.eof());
    EXPECT_EQ(q.text("AuditedDeptCode"), "Y");
    // Rows posted through one cursor are seen by the other.
    q.edit();
    q.setValue("AuditedDeptName", std::string("renamed"));
    q.post();
    ASSERT_TRUE(c.locate("AuditedDeptCode", "Y"));
    EXPECT_EQ(c.text("AuditedDeptName"), "renamed");
}

// ---- editing ----

TEST_F(DbTest, editAndPostWritesTheRowBack) {
    Query q = query("Select * From AuditedDeptInfo Where AuditedDeptCode = 'X'");
    ASSERT_TRUE(q.isEditable());
    q.edit();
    q.setValue("auditeddeptname", std::string("It's new"));
    q.setValue("DeptIndex", std::string("7"));
    EXPECT_EQ(q.text("AuditedDeptName"), "It's new") << "the edit reads back before posting";
    q.post();
    // Read back as stored: the INTEGER column took the text as a number.
    EXPECT_EQ(std::get<long long>(q.value("DeptIndex")), 7);
    EXPECT_EQ(scalar("Select AuditedDeptName From AuditedDeptInfo Where AuditedDeptCode = 'X'"), "It's new");
    EXPECT_EQ(scalar("Select AuditedDeptName From AuditedDeptInfo Where AuditedDeptCode = 'Y'"), "Entity Y");
}

TEST_F(DbTest, appendAndPostInsertsARow) {
    Query q = query("Select * From AuditedDeptInfo Where AuditedDeptCode = 'Z'");
    ASSERT_TRUE(q.eof());
    q.append();
    EXPECT_FALSE(q.eof());
    q.setValue("AuditedDeptCode", std::string("Z"));
    q.setValue("AuditedDeptName", std::string("单位 Z"));
    q.setValue("DeptIndex", 3LL);
    q.setValue("CreateTime", 45000.25);
    EXPECT_TRUE(q.isNull("BaseInfo"));
    q.post();
    EXPECT_EQ(q.recordCount(), 1u);
    EXPECT_EQ(q.text("AuditedDeptName"), "单位 Z");
    Query check = query("Select * From AuditedDeptInfo Where AuditedDeptCode = 'z'");
    ASSERT_EQ(check.recordCount(), 1u);
    EXPECT_EQ(check.text("AuditedDeptName"), "单位 Z");
    EXPECT_EQ(check.integer("DeptIndex"), 3);
    EXPECT_EQ(check.text("CreateTime"), "45000.25");
}

TEST_F(DbTest, aliasedFieldsPostToTheirColumns) {
    Query q = query("Select AuditedDeptName as 名称, DeptIndex From AuditedDeptInfo Where AuditedDeptCode = 'Y'");
    q.setValue("名称", std::string("renamed"));
    q.post();
    EXPECT_EQ(scalar("Select AuditedDeptName From AuditedDeptInfo Where AuditedDeptCode = 'Y'"), "renamed");
}

TEST_F(DbTest, cancelForgetsTheEdit) {
    Query q = query("Select * From AuditedDeptInfo Where AuditedDeptCode = 'X'");
    q.edit();
    q.setValue("AuditedDeptName", std::string("lost"));
    q.cancel();
    EXPECT_EQ(q.text("AuditedDeptName"), "Entity X");
    q.post();
    EXPECT_EQ(scalar("Select AuditedDeptName From AuditedDeptInfo Where AuditedDeptCode = 'X'"), "Entity X");
}

TEST_F(DbTest, movingTheCursorPostsAPendingEdit) {
    Query q = query("Select * From AuditedDeptInfo Order By DeptIndex");
    q.setValue("AuditedDeptName", std::string("moved on"));
    q.next();
    EXPECT_EQ(scalar("Select AuditedDeptName From AuditedDeptInfo Where AuditedDeptCode = 'X'"), "moved on");
}

struct ReadOnlyCase {
    const char* name;
    const char* sql;
};

class ReadOnlyQueryTest : public DbTest, public ::testing::WithParamInterface<ReadOnlyCase> {};

TEST_P(ReadOnlyQueryTest, postIsRefusedAndWritesNothing) {
    Query q = query(GetParam().sql);
    ASSERT_FALSE(q.eof());
    EXPECT_FALSE(q.isEditable());
    q.edit();
    q.setValue(q.fieldNames().front(), std::string("changed"));
    EXPECT_THROW(q.post(), Error);
    q.cancel();
    EXPECT_EQ(scalar("Select Count(*) From AuditedDeptInfo Where AuditedDeptName = 'changed' Or "
                     "AuditedDeptCode = 'changed' Or DeptIndex = 'changed'"),
              "0");
}

INSTANTIATE_TEST_SUITE_P(
    Db, ReadOnlyQueryTest,
    ::testing::Values(
        ReadOnlyCase{"join", "Select a.AuditedDeptName, t.TypeName From AuditedDeptInfo a Join KQ_TypeInfo t On 1"},
        ReadOnlyCase{"joinOfOneTablesFields",
                     "Select a.AuditedDeptName From AuditedDeptInfo a, AuditedDeptInfo b Where a.rowid <> b.rowid"},
        ReadOnlyCase{"aggregate", "Select Max(DeptIndex) as MaxIndex From AuditedDeptInfo"},
        ReadOnlyCase{"grouped", "Select AuditedDeptName From AuditedDeptInfo Group By AuditedDeptName"},
        ReadOnlyCase{"distinct", "Select Distinct AuditedDeptName From AuditedDeptInfo"},
        ReadOnlyCase{"expression", "Select AuditedDeptName || '' as N From AuditedDeptInfo"},
        ReadOnlyCase{"view", "Select * From DeptView"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- borrowed connections ----

TEST_F(DbTest, borrowedConnectionIsLetGoButNotClosed) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(m_path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> host(raw, sqlite3_close);
    {
        auto lent = Connection::borrow(raw);
        ASSERT_TRUE(lent->isBorrowed());
        Query q(lent.get());
        q.open("Select TypeName From KQ_TypeInfo Where Right(IsDisplay, 1)='1'");
        EXPECT_EQ(q.recordCount(), 2u);
        lent->close();
        EXPECT_FALSE(lent->isOpen());
    }
    // Still the host's, and still usable after the wrapper is gone.
    EXPECT_EQ(sqlite3_exec(raw, "Select 1", nullptr, nullptr, nullptr), SQLITE_OK);
    // Borrowing again re-registers without trouble.
    auto again = Connection::borrow(raw);
    EXPECT_NO_THROW(again->execute("Select Right('ab', 1)"));
    EXPECT_EQ(sqlite3_close(host.release()), SQLITE_OK) << "the layer left no statement open";
}

// ---- value conversions ----

struct ConversionCase {
    const char* name;
    Value value;
    const char* text;
    long long integer;
    double number;
};

class ValueConversionTest : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(ValueConversionTest, convertsAsTheSystemReadsFields) {
    const auto& c = GetParam();
    EXPECT_EQ(valueText(c.value), c.text);
    EXPECT_EQ(valueInt(c.value), c.integer);
    EXPECT_DOUBLE_EQ(valueDouble(c.value), c.number);
}

INSTANTIATE_TEST_SUITE_P(
    Db, ValueConversionTest,
    ::testing::Values(ConversionCase{"null", Value{}, "", 0, 0},
                      ConversionCase{"integer", Value{-42LL}, "-42", -42, -42},
                      ConversionCase{"halfDay", Value{1.5}, "1.5", 2, 1.5},
                      ConversionCase{"fifteenDigits", Value{0.1 + 0.2}, "0.3", 0, 0.3},
                      ConversionCase{"largeDayNumber", Value{45000.25}, "45000.25", 45000, 45000.25},
                      ConversionCase{"numericText", Value{std::string(" 12 ")}, " 12 ", 12, 12},
                      ConversionCase{"decimalText", Value{std::string("3.75")}, "3.75", 4, 3.75},
                      ConversionCase{"leadingDigits", Value{std::string("12abc")}, "12abc", 12, 12},
                      ConversionCase{"wordText", Value{std::string("abc")}, "abc", 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace unitarc::db

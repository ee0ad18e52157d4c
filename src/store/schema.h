#pragma once
// The names of the entity database and of the host tables the system reads, each written
// once, with the codes and kind numbers the layers share.
#include <array>
#include <span>
#include <string_view>

namespace unitarc::schema {

namespace table {
// The entity database.
inline constexpr std::string_view AuditedDeptInfo = "AuditedDeptInfo";
inline constexpr std::string_view FinanceDataInfo = "FinanceDataInfo";
inline constexpr std::string_view FinanceResourceInfo = "FinanceResourceInfo";
inline constexpr std::string_view TransResourceInfo = "TransResourceInfo";
inline constexpr std::string_view AuditResourceInfo = "AuditResourceInfo";
// The host's databases, read only.
inline constexpr std::string_view KQ_PrjInfo = "KQ_PrjInfo";
inline constexpr std::string_view KQ_TypeInfo = "KQ_TypeInfo";
inline constexpr std::string_view KQ_ResTrv = "KQ_ResTrv";
}  // namespace table

namespace col {
// AuditedDeptInfo, and the columns the material tables share with it.
inline constexpr std::string_view AuditedDeptCode = "AuditedDeptCode";
inline constexpr std::string_view AuditedDeptName = "AuditedDeptName";
inline constexpr std::string_view DeptIndex = "DeptIndex";
inline constexpr std::string_view KQTag = "KQTag";
inline constexpr std::string_view NodeID = "NodeID";
inline constexpr std::string_view Type = "Type";
inline constexpr std::string_view Name = "Name";
inline constexpr std::string_view BaseInfo = "BaseInfo";
inline constexpr std::string_view ImageIndex = "ImageIndex";
// The material tables.
inline constexpr std::string_view DirID = "DirID";
inline constexpr std::string_view PDirID = "PDirID";
inline constexpr std::string_view DirIndex = "DirIndex";
inline constexpr std::string_view FileTag = "FileTag";
inline constexpr std::string_view FileID = "FileID";
inline constexpr std::string_view FileName = "FileName";
inline constexpr std::string_view CanVisible = "CanVisible";
inline constexpr std::string_view CreateTime = "CreateTime";
// Extra columns of the financial, business and audit materials.
inline constexpr std::string_view EntityIdentCode = "被审计单位识别码";
inline constexpr std::string_view FinanceResourceName = "财务资料名称";
inline constexpr std::string_view FinanceResourceDate = "财务资料日期";
inline constexpr std::string_view TransResourceName = "业务资料名称";
inline constexpr std::string_view TransResourceDate = "业务资料日期";
inline constexpr std::string_view ProjectSerial = "项目编号";
inline constexpr std::string_view Title = "标题";
inline constexpr std::string_view DocType = "类型";
inline constexpr std::string_view DocNumber = "文号";
inline constexpr std::string_view IssuingUnit = "发文单位";
inline constexpr std::string_view CopiedUnits = "抄送单位";
inline constexpr std::string_view WrittenTime = "成文时间";
inline constexpr std::string_view FiledTime = "归档时间";
inline constexpr std::string_view SubjectWords = "主题词";
inline constexpr std::string_view Abstract = "摘要";
inline constexpr std::string_view AuditOrganCode = "审计机关代码";
// KQ_PrjInfo; PrjFolder is the reference host's own column, not one the plug-in reads.
inline constexpr std::string_view PrjID = "PrjID";
inline constexpr std::string_view PrjName = "PrjName";
inline constexpr std::string_view AuditedCorpID = "AuditedCorpID";
inline constexpr std::string_view PrjExecuteOrganID = "PrjExecuteOrganID";
inline constexpr std::string_view PrjFolder = "PrjFolder";
// KQ_TypeInfo
inline constexpr std::string_view TypeName = "TypeName";
inline constexpr std::string_view TypeCaption = "TypeCaption";
inline constexpr std::string_view IsDisplay = "IsDisplay";
// KQ_ResTrv
inline constexpr std::string_view ResID = "ResID";
inline constexpr std::string_view ResParentID = "ResParentID";
inline constexpr std::string_view ResIndex = "ResIndex";
inline constexpr std::string_view ResCaption = "ResCaption";
inline constexpr std::string_view ResImgIndex = "ResImgIndex";
inline constexpr std::string_view ResTypeName = "ResTypeName";
inline constexpr std::string_view ResNodeType = "ResNodeType";
inline constexpr std::string_view ResKeyWord = "ResKeyWord";
inline constexpr std::string_view ResFileFlag = "ResFileFlag";
inline constexpr std::string_view ResCreateAppID = "ResCreateAppID";
inline constexpr std::string_view ResFileName = "ResFileName";
inline constexpr std::string_view ResParam = "ResParam";
}  // namespace col

// Category codes: the Type of rows and the elements of packages.
namespace code {
inline constexpr std::string_view JBXX = "JBXX";  // basic information
inline constexpr std::string_view CWSJ = "CWSJ";  // financial data
inline constexpr std::string_view CWZL = "CWZL";  // financial materials
inline constexpr std::string_view YWZL = "YWZL";  // business materials
inline constexpr std::string_view SJZL = "SJZL";  // audit materials
inline constexpr std::string_view XMXX = "XMXX";  // a project's basic-information file
}  // namespace code

// Kind numbers of the management tree's nodes and of the record operations.
enum Kind : int {
    ProjectRoot = 0,
    Entity = 1,
    BaseInfo = 2,
    FinanceData = 3,
    FinanceResource = 4,
    TransResource = 5,
    AuditResource = 6,
};

// The Name of every AuditedDeptInfo row.
inline constexpr std::string_view BaseInfoName = "基本信息";

// Display names of the entity list.
namespace alias {
inline constexpr std::string_view AuditedDeptCode = "被审计单位编码";
inline constexpr std::string_view AuditedDeptName = "被审计单位名称";
}  // namespace alias

// A FileName of this mark followed by a ResID names a resource of the host project.
inline constexpr char ResourceRefMark = '|';

// PDirID values that readers take as the top of a category's tree.
constexpr bool isTopParent(std::string_view pDirId) {
    return pDirId.empty() || pDirId == "0" || pDirId == "-1";
}

struct Category {
    Kind kind;
    std::string_view table;
    std::string_view code;
    std::string_view name;  // the Name of the category's root row
    int failureCode;        // what the row writers return on failure
};

inline constexpr std::array<Category, 4> categories{{
    {FinanceData, table::FinanceDataInfo, code::CWSJ, "财务数据", -998},
    {FinanceResource, table::FinanceResourceInfo, code::CWZL, "财务资料", -997},
    {TransResource, table::TransResourceInfo, code::YWZL, "业务资料", -996},
    {AuditResource, table::AuditResourceInfo, code::SJZL, "审计资料", -999},
}};

// nullptr for a kind, code or table that is no material category.
const Category* category(int kind);
const Category* categoryByCode(std::string_view code);
const Category* categoryByTable(std::string_view table);

// Column types as the system uses them. Date-times are day numbers; memo is long text.
enum class ColumnType { Text, Integer, DateTime, Memo };

struct Column {
    std::string_view name;
    ColumnType type;
};

struct Table {
    std::string_view name;
    std::span<const Column> columns;
};

// The declared type in SQLite: text compares without regard to Latin case, as Jet does.
constexpr std::string_view sqlType(ColumnType type) {
    switch (type) {
    case ColumnType::Integer: return "INTEGER";
    case ColumnType::DateTime: return "REAL";
    case ColumnType::Text:
    case ColumnType::Memo: break;
    }
    return "TEXT";
}
constexpr bool isText(ColumnType type) { return type == ColumnType::Text || type == ColumnType::Memo; }

namespace detail {
using enum ColumnType;

inline constexpr Column auditedDeptInfo[] = {
    {col::AuditedDeptCode, Text}, {col::AuditedDeptName, Text}, {col::DeptIndex, Integer},
    {col::KQTag, Integer},        {col::NodeID, Text},          {col::Type, Text},
    {col::Name, Text},            {col::BaseInfo, Memo},        {col::ImageIndex, Integer},
};

// The columns every material table has, in front of its own.
inline constexpr std::array<Column, 14> material{{
    {col::AuditedDeptCode, Text}, {col::DirID, Text},      {col::PDirID, Text},
    {col::DirIndex, Integer},     {col::KQTag, Integer},   {col::FileTag, Integer},
    {col::Name, Text},            {col::NodeID, Text},     {col::Type, Text},
    {col::FileID, Text},          {col::FileName, Text},   {col::ImageIndex, Integer},
    {col::CanVisible, Integer},   {col::CreateTime, DateTime},
}};

template <std::size_t N>
constexpr std::array<Column, 14 + N> withMaterial(const std::array<Column, N>& extra) {
    std::array<Column, 14 + N> all{};
    for (std::size_t i = 0; i < 14; ++i) all[i] = material[i];
    for (std::size_t i = 0; i < N; ++i) all[14 + i] = extra[i];
    return all;
}

inline constexpr auto financeDataInfo = material;
inline constexpr auto financeResourceInfo = withMaterial(std::array<Column, 3>{{
    {col::EntityIdentCode, Text},
    {col::FinanceResourceName, Text},
    {col::FinanceResourceDate, DateTime},
}});
inline constexpr auto transResourceInfo = withMaterial(std::array<Column, 3>{{
    {col::TransResourceName, Text},
    {col::EntityIdentCode, Text},
    {col::TransResourceDate, DateTime},
}});
inline constexpr auto auditResourceInfo = withMaterial(std::array<Column, 12>{{
    {col::EntityIdentCode, Text},
    {col::ProjectSerial, Text},
    {col::Title, Text},
    {col::DocType, Text},
    {col::DocNumber, Text},
    {col::IssuingUnit, Text},
    {col::CopiedUnits, Text},
    {col::WrittenTime, DateTime},
    {col::FiledTime, DateTime},
    {col::SubjectWords, Text},
    {col::Abstract, Text},
    {col::AuditOrganCode, Text},
}});

inline constexpr Column kqPrjInfo[] = {
    {col::PrjID, Text}, {col::PrjName, Text}, {col::AuditedCorpID, Text},
    {col::PrjExecuteOrganID, Text}, {col::PrjFolder, Text},
};
inline constexpr Column kqTypeInfo[] = {
    {col::TypeName, Text},
    {col::TypeCaption, Text},
    {col::IsDisplay, Text},
};
inline constexpr Column kqResTrv[] = {
    {col::ResID, Integer},       {col::ResParentID, Integer},   {col::ResIndex, Integer},
    {col::ResCaption, Text},     {col::ResImgIndex, Integer},   {col::ResTypeName, Text},
    {col::ResNodeType, Integer}, {col::ResKeyWord, Text},       {col::ResFileFlag, Text},
    {col::ResCreateAppID, Text}, {col::ResFileName, Text},      {col::ResParam, Text},
};
}  // namespace detail

// The columns the four material tables share, in the template's order.
inline constexpr std::span<const Column> materialColumns = detail::material;

// The five tables of the entity database, in the template's order.
inline constexpr std::array<Table, 5> entityTables{{
    {table::AuditedDeptInfo, detail::auditedDeptInfo},
    {table::FinanceDataInfo, detail::financeDataInfo},
    {table::FinanceResourceInfo, detail::financeResourceInfo},
    {table::TransResourceInfo, detail::transResourceInfo},
    {table::AuditResourceInfo, detail::auditResourceInfo},
}};

// The host tables with the columns the system uses (and the reference host's PrjFolder).
inline constexpr std::array<Table, 3> hostTables{{
    {table::KQ_PrjInfo, detail::kqPrjInfo},
    {table::KQ_TypeInfo, detail::kqTypeInfo},
    {table::KQ_ResTrv, detail::kqResTrv},
}};

// nullptr when no such table.
const Table* entityTable(std::string_view name);
const Table* hostTable(std::string_view name);

// The template's indexes. DirID is not unique: a package that repeats a node id is a
// reading concern, not a constraint failure in the middle of an import.
struct Index {
    std::string_view name;
    std::string_view table;
    std::string_view column;
    bool unique;
};

inline constexpr std::array<Index, 17> indexes{{
    {"IX_AuditedDeptInfo_AuditedDeptCode", table::AuditedDeptInfo, col::AuditedDeptCode, true},
    {"IX_FinanceDataInfo_AuditedDeptCode", table::FinanceDataInfo, col::AuditedDeptCode, false},
    {"IX_FinanceDataInfo_DirID", table::FinanceDataInfo, col::DirID, false},
    {"IX_FinanceDataInfo_PDirID", table::FinanceDataInfo, col::PDirID, false},
    {"IX_FinanceDataInfo_DirIndex", table::FinanceDataInfo, col::DirIndex, false},
    {"IX_FinanceResourceInfo_AuditedDeptCode", table::FinanceResourceInfo, col::AuditedDeptCode, false},
    {"IX_FinanceResourceInfo_DirID", table::FinanceResourceInfo, col::DirID, false},
    {"IX_FinanceResourceInfo_PDirID", table::FinanceResourceInfo, col::PDirID, false},
    {"IX_FinanceResourceInfo_DirIndex", table::FinanceResourceInfo, col::DirIndex, false},
    {"IX_TransResourceInfo_AuditedDeptCode", table::TransResourceInfo, col::AuditedDeptCode, false},
    {"IX_TransResourceInfo_DirID", table::TransResourceInfo, col::DirID, false},
    {"IX_TransResourceInfo_PDirID", table::TransResourceInfo, col::PDirID, false},
    {"IX_TransResourceInfo_DirIndex", table::TransResourceInfo, col::DirIndex, false},
    {"IX_AuditResourceInfo_AuditedDeptCode", table::AuditResourceInfo, col::AuditedDeptCode, false},
    {"IX_AuditResourceInfo_DirID", table::AuditResourceInfo, col::DirID, false},
    {"IX_AuditResourceInfo_PDirID", table::AuditResourceInfo, col::PDirID, false},
    {"IX_AuditResourceInfo_DirIndex", table::AuditResourceInfo, col::DirIndex, false},
}};

}  // namespace unitarc::schema

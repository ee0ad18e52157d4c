#pragma once
// The entity data package: names of its files, elements and attributes, and the helpers that
// both the reader and the writer of packages use.
#include <string>
#include <string_view>

namespace unitarc::package {

// Files and folders of a package root.
inline constexpr std::string_view kDescriptionFile = "数据包描述.xml";
inline constexpr std::string_view kAllFiles = "所有文件";
inline constexpr std::string_view kBaseInfoFolder = "基本信息";
inline constexpr std::string_view kBaseInfoFile = "基本信息.xml";

// Elements of the description.
inline constexpr std::string_view kDescriptionElement = "文件描述";
inline constexpr std::string_view kFolderElement = "文件夹";
inline constexpr std::string_view kFileElement = "文件";

// Attributes.
inline constexpr std::string_view kAttrName = "name";
inline constexpr std::string_view kAttrNodeId = "nodeid";
inline constexpr std::string_view kAttrFileTag = "filetag";
inline constexpr std::string_view kAttrKqTag = "kqtag";
inline constexpr std::string_view kAttrType = "type";
inline constexpr std::string_view kAttrFileId = "fileid";
inline constexpr std::string_view kAttrEntityCode = "bsjdwsbm";
inline constexpr std::string_view kAttrEntityName = "bsjdwsbmmc";
inline constexpr std::string_view kAttrEntityId = "被审计单位识别码";
inline constexpr std::string_view kAttrFinanceName = "财务资料名称";
inline constexpr std::string_view kAttrFinanceDate = "财务资料日期";
inline constexpr std::string_view kAttrTransName = "业务资料名称";
inline constexpr std::string_view kAttrTransDate = "业务资料日期";
inline constexpr std::string_view kAttrPrjSerial = "项目编号";
inline constexpr std::string_view kAttrTitle = "标题";
inline constexpr std::string_view kAttrDocType = "类型";
inline constexpr std::string_view kAttrDocNo = "文号";
inline constexpr std::string_view kAttrIssuer = "发文单位";
inline constexpr std::string_view kAttrCopyTo = "抄送单位";
inline constexpr std::string_view kAttrWritten = "成文时间";
inline constexpr std::string_view kAttrFiled = "归档时间";
inline constexpr std::string_view kAttrSubject = "主题词";
inline constexpr std::string_view kAttrSummary = "摘要";
inline constexpr std::string_view kAttrOrganId = "审计机关代码";

// Category names, as the category elements and the root rows carry them.
inline constexpr std::string_view kCategoryBaseInfo = "基本信息";
inline constexpr std::string_view kCategoryFinanceData = "财务数据";
inline constexpr std::string_view kCategoryFinanceRes = "财务资料";
inline constexpr std::string_view kCategoryTransRes = "业务资料";
inline constexpr std::string_view kCategoryAuditRes = "审计资料";

// Special folders.
inline constexpr std::string_view kFinanceTemplates = "财务数据模板";
inline constexpr std::string_view kProjectTemplate = "审计项目模板";
inline constexpr std::string_view kProjectInfo = "项目基本信息";
inline constexpr std::string_view kProjectInfoFile = "项目基本信息.xml";

// The basic-information item that holds the entity code (compared upper-cased).
inline constexpr std::string_view kEntityCodeItem = "BSJDWSBM";

// The name of material kind 3..6, as its folder below "所有文件" and its root row carry it; "" otherwise.
std::string_view categoryName(int kind);
// 3..6 for the four material category names, 0 otherwise.
int categoryKind(std::string_view name);

// The text a new description starts from: a gb2312 declaration and an empty document element.
std::string descriptionStart(const std::string& nodeId);

// root + "/" (unless it ends in one) + "所有文件/基本信息/基本信息.xml".
std::string baseInfoFilePath(const std::string& packageRoot);
// root + "/" (unless it ends in one) + "数据包描述.xml".
std::string descriptionPath(const std::string& packageRoot);

// The entity code held by a basic-information file; "-1" when it cannot be read (no file, not
// XML, no BSJDWSBM item). The last BSJDWSBM item wins.
std::string readEntityCode(const std::string& baseInfoFile);

// An entity code that may name the entity package root: "-1", empty codes and codes that are
// not one plain path component are not.
bool isUsableEntityCode(std::string_view code);

}  // namespace unitarc::package

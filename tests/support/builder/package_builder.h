#pragma once
// Entity data packages from a short description, for tests and the demo workspace.
//
//   PackageBuilder p("E001", "测试单位");
//   p.baseItem("DWDZ", "单位地址", "北京");
//   p.add(Category::FinanceRes, folder("2023年", {file("凭证", "凭证.PDF", "...")}));
//   p.add(Category::FinanceData, financialPair("资产负债表", {{"BBRQ", "报表日期", "2023-12-31"}}));
//   p.add(Category::AuditRes, projectTemplate({folder("底稿", {})}));
//   p.write(dir / "E001.zip");
//
// Hostile packages: rawEntry() with any name bytes, symlinkEntry(), truncate(), a verbatim
// description or basic-information text, attributes set to anything or dropped.
#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace unitarc::test {

enum class Category { BaseInfo = 2, FinanceData = 3, FinanceRes = 4, TransRes = 5, AuditRes = 6 };

// A folder or a file of a material tree, and also a category element.
struct Material {
    std::string name;
    bool folder = true;
    std::string fileName;   // a file element's text: the stored file's name
    std::string content;    // the stored file's bytes
    bool storeFile = true;  // false: the element without its file
    std::vector<Material> children;
    std::string nodeId;     // "" gets a fresh one when the package is built
    // Attributes: set() overrides the value the category would write (or appends a new one);
    // drop() leaves one out. nodeid, filetag and name are attributes like the others here.
    std::vector<std::pair<std::string, std::string>> overrides;
    std::vector<std::string> dropped;
    std::optional<std::string> elementName;  // "文件夹" / "文件" by default
    std::optional<std::string> text;         // verbatim text of the element

    Material& set(std::string attribute, std::string value);
    Material& drop(std::string attribute);
    Material& add(Material child) {
        children.push_back(std::move(child));
        return *this;
    }
};

Material folder(std::string name, std::vector<Material> children = {});
// A file element named `name` whose text (and stored file) is fileName.
Material file(std::string name, std::string fileName, std::string content = "content");

// A basic-information or financial-data item: element name (field code), caption, value.
struct Item {
    std::string code, caption, value;
};

// The two file elements of a financial-data item: the data file NAME.XML (items as elements)
// and the report NAME.XLS (reportBytes), both named `name`, type CWSJ.
std::vector<Material> financialPair(const std::string& name, const std::vector<Item>& items,
                                    std::string reportBytes = "report");
// "财务数据模板" with one .XLS template per name (text upper-cased name + ".XLS").
Material financeTemplates(const std::vector<std::pair<std::string, std::string>>& nameAndBytes);
// "审计项目模板": the given folders and a "项目基本信息" folder holding "项目基本信息.xml" (XMXX).
Material projectTemplate(std::vector<Material> folders = {}, bool withProjectInfo = true);

enum class Encoding { Utf8, Gb2312 };

struct PackageOptions {
    Encoding description = Encoding::Utf8;   // the description's declaration and bytes
    Encoding baseInfo = Encoding::Gb2312;    // the basic-information file's
    bool indent = false;                     // whitespace between elements
    bool topFolder = true;                   // entries under "<code>/"
    bool cp936Names = false;                 // entry names in CP936 without the UTF-8 flag
    bool backslashes = false;                // "\" as separator in entry names
    bool folderEntries = true;               // directory entries for folders
    bool store = false;                      // stored, not deflated
};

class PackageBuilder {
public:
    PackageBuilder(std::string code, std::string name);

    PackageOptions options;

    const std::string& code() const { return m_code; }

    // Basic information: BSJDWSBM (the code) first, then the items in order.
    PackageBuilder& baseItem(std::string code, std::string caption, std::string value);
    // Overrides the BSJDWSBM value; nullopt leaves the item out.
    PackageBuilder& entityCodeItem(std::optional<std::string> value);
    PackageBuilder& withoutBaseInfo();                 // no file, no element
    PackageBuilder& baseInfoText(std::string bytes);   // the file verbatim
    PackageBuilder& entityNameAttribute(std::optional<std::string> value);  // bsjdwsbmmc

    // Materials: appended to the category element.
    PackageBuilder& add(Category category, Material material);
    PackageBuilder& add(Category category, std::vector<Material> materials);
    // The category element itself, to change its attributes or children.
    Material& category(Category category);
    PackageBuilder& omitCategory(Category category);
    // Another child of the all-files element, at a position among the category elements
    // (-1: last).
    PackageBuilder& extraCategory(Material element, int position = -1);

    // Hostile and odd archives.
    PackageBuilder& descriptionText(std::string bytes);                 // verbatim
    PackageBuilder& withoutDescription();
    PackageBuilder& rawEntry(std::string nameBytes, std::string content);  // name stored as given
    PackageBuilder& symlinkEntry(std::string name, std::string target);
    PackageBuilder& truncate(std::size_t keepBytes);                    // cut the written archive

    // The texts as they go into the package.
    std::string description() const;
    std::string baseInfo() const;

    // Writes the archive; returns its path. Throws std::runtime_error when it cannot.
    std::string write(const std::string& zipPath) const;
    // Writes the package root (what extraction yields) into folder, created when missing.
    void writeRoot(const std::string& folder) const;

    // Every material's node id after the package was built, for tests that look rows up.
    const Material& tree(Category category) const;

private:
    struct Entry;
    std::vector<Entry> entries() const;
    void assignIds();

    std::string m_code, m_name;
    std::vector<Item> m_items;
    std::optional<std::string> m_codeItem;
    bool m_codeItemSet = false;
    bool m_withBaseInfo = true;
    std::optional<std::string> m_baseInfoText;
    std::optional<std::string> m_entityName;
    bool m_entityNameSet = false;
    Material m_categories[5];
    bool m_omitted[5] = {};
    std::vector<std::pair<int, Material>> m_extra;
    std::optional<std::string> m_description;
    bool m_withDescription = true;
    std::vector<std::pair<std::string, std::string>> m_raw;
    std::vector<std::pair<std::string, std::string>> m_links;
    std::optional<std::size_t> m_truncate;
    std::string m_rootId, m_allFilesId;
};

// A fresh node id: 8 characters of "0"-"9", "A"-"Z", "a"-"z".
std::string randomNodeId();

}  // namespace unitarc::test

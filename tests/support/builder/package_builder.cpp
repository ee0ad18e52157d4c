#include "tests/support/builder/package_builder.h"

#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <stdexcept>

#include "platform/text.h"

namespace unitarc::test {

namespace stdfs = std::filesystem;

namespace {

constexpr const char* kCategoryNames[] = {"基本信息", "财务数据", "财务资料", "业务资料", "审计资料"};
constexpr const char* kZeroDate = "1899-12-30";

int slot(Category c) { return static_cast<int>(c) - 2; }

std::string gbk(const std::string& utf8) {
    auto converted = text::toGbk(utf8);
    if (!converted) throw std::runtime_error("not representable in GBK: " + utf8);
    return *converted;
}

std::string escape(const std::string& s, bool attribute) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += attribute ? "&quot;" : "\""; break;
        default: out += c;
        }
    }
    return out;
}

std::string declaration(Encoding e) {
    return std::string("<?xml version=\"1.0\" encoding=\"") + (e == Encoding::Gb2312 ? "gb2312" : "UTF-8") +
           "\"?>";
}

std::string encode(const std::string& utf8, Encoding e) { return e == Encoding::Gb2312 ? gbk(utf8) : utf8; }

std::string itemsDocument(const std::string& rootName, const std::vector<Item>& items, Encoding e) {
    std::string xml = declaration(e) + "\n<" + rootName + ">\n";
    for (const Item& item : items)
        xml += "  <" + item.code + " name=\"" + escape(item.caption, true) + "\">" + escape(item.value, false) + "</" +
               item.code + ">\n";
    xml += "</" + rootName + ">\n";
    return encode(xml, e);
}

using Attributes = std::vector<std::pair<std::string, std::string>>;

std::string fileId(const std::string& code) { return code + "20240101120000" + randomNodeId().substr(0, 4); }

// The attributes a generator writes for a material element of a category, in its order.
Attributes materialAttributes(Category c, const Material& m, const std::string& code) {
    const bool isFile = !m.folder;
    Attributes a = {{"filetag", isFile ? "1" : "0"}, {"kqtag", "1"}, {"name", m.name}};
    auto add = [&a](std::string k, std::string v) { a.emplace_back(std::move(k), std::move(v)); };
    switch (c) {
    case Category::FinanceData:
        if (isFile) {
            add("type", "CWSJ"), add("fileid", fileId(code)), add("nodeid", m.nodeId);
        } else {
            add("nodeid", m.nodeId), add("type", "CWSJ");
        }
        break;
    case Category::FinanceRes:
        if (isFile) {
            add("type", "CWZL"), add("fileid", fileId(code)), add("被审计单位识别码", code);
            add("财务资料名称", m.name), add("财务资料日期", kZeroDate), add("nodeid", m.nodeId);
        } else {
            add("nodeid", m.nodeId), add("type", "CWZL"), add("财务资料名称", ""), add("财务资料日期", "");
            add("fileid", "");
        }
        break;
    case Category::TransRes:
        if (isFile) {
            add("type", "YWZL"), add("fileid", fileId(code)), add("业务资料名称", m.name);
            add("被审计单位识别码", code), add("业务资料日期", kZeroDate), add("nodeid", m.nodeId);
        } else {
            add("nodeid", m.nodeId), add("type", "YWZL"), add("业务资料名称", ""), add("业务资料日期", "");
            add("fileid", "");
        }
        break;
    case Category::AuditRes:
        if (isFile) {
            for (const char* k : {"type", "fileid", "文号", "主题词", "抄送单位", "成文时间", "被审计单位识别码",
                                  "类型", "项目编号", "审计机关代码", "摘要", "归档时间", "标题", "发文单位"})
                add(k, "");
            add("nodeid", m.nodeId);
        } else {
            for (const char* k : {"nodeid", "被审计单位识别码", "type", "项目编号", "标题", "类型", "文号", "发文单位",
                                  "抄送单位", "成文时间", "归档时间", "主题词", "摘要", "fileid", "审计机关代码"})
                add(k, "");
        }
        for (auto& [k, v] : a) {
            if (k == "nodeid") v = m.nodeId;
            else if (k == "type") v = "SJZL";
            else if (k == "fileid") v = fileId(code);
            else if (k == "被审计单位识别码") v = code;
            else if (k == "标题") v = m.name;
            else if (k == "成文时间" || k == "归档时间") v = kZeroDate;
        }
        break;
    case Category::BaseInfo:
        break;
    }
    return a;
}

Attributes categoryAttributes(Category c, const Material& m) {
    switch (c) {
    case Category::BaseInfo: return {{"filetag", "0"}, {"kqtag", "0"}, {"name", m.name}, {"type", "JBXX"}};
    case Category::FinanceRes:
        return {{"filetag", "0"}, {"kqtag", "1"}, {"name", m.name}, {"nodeid", m.nodeId}, {"type", "CWZL"},
                {"财务资料名称", ""}, {"财务资料日期", ""}, {"fileid", ""}};
    case Category::TransRes:
        return {{"filetag", "0"}, {"kqtag", "1"}, {"name", m.name}, {"nodeid", m.nodeId}, {"type", "YWZL"},
                {"业务资料名称", ""}, {"业务资料日期", ""}, {"fileid", ""}};
    default: return {{"filetag", "0"}, {"kqtag", "1"}, {"name", m.name}, {"nodeid", m.nodeId}};
    }
}

void applyOverrides(Attributes& a, const Material& m) {
    for (const auto& [k, v] : m.overrides) {
        auto found = std::find_if(a.begin(), a.end(), [&k](const auto& p) { return p.first == k; });
        if (found != a.end())
            found->second = v;
        else
            a.emplace_back(k, v);
    }
    for (const std::string& k : m.dropped)
        a.erase(std::remove_if(a.begin(), a.end(), [&k](const auto& p) { return p.first == k; }), a.end());
}

void fillIds(Material& m) {
    if (m.nodeId.empty()) m.nodeId = randomNodeId();
    for (Material& child : m.children) fillIds(child);
}

class Writer {
public:
    Writer(bool indent) : m_indent(indent) {}
    void open(int level, const std::string& element, const Attributes& attributes) {
        newline(level);
        m_xml += "<" + element;
        for (const auto& [k, v] : attributes) m_xml += " " + k + "=\"" + escape(v, true) + "\"";
        m_xml += ">";
    }
    void text(const std::string& t) { m_xml += escape(t, false); }
    void close(int level, const std::string& element, bool hadChildren) {
        if (hadChildren) newline(level);
        m_xml += "</" + element + ">";
    }
    std::string& xml() { return m_xml; }

private:
    void newline(int level) {
        if (m_indent) m_xml += "\n" + std::string(2 * level, ' ');
    }
    bool m_indent;
    std::string m_xml;
};

void writeMaterial(Writer& w, Category c, const Material& m, const std::string& code, int level) {
    Attributes a = materialAttributes(c, m, code);
    applyOverrides(a, m);
    const std::string element = m.elementName.value_or(m.folder ? "文件夹" : "文件");
    w.open(level, element, a);
    if (m.text)
        w.text(*m.text);
    else if (!m.folder)
        w.text(m.fileName);
    for (const Material& child : m.children) writeMaterial(w, c, child, code, level + 1);
    w.close(level, element, !m.children.empty());
}

}  // namespace

std::string randomNodeId() {
    static std::mutex mutex;
    static std::mt19937_64 generator{std::random_device{}()};
    static constexpr char kChars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::lock_guard lock(mutex);
    std::uniform_int_distribution<int> pick(0, 61);
    std::string id;
    for (int i = 0; i < 8; ++i) id += kChars[pick(generator)];
    return id;
}

Material& Material::set(std::string attribute, std::string value) {
    overrides.emplace_back(std::move(attribute), std::move(value));
    return *this;
}

Material& Material::drop(std::string attribute) {
    dropped.push_back(std::move(attribute));
    return *this;
}

Material folder(std::string name, std::vector<Material> children) {
    Material m;
    m.name = std::move(name);
    m.children = std::move(children);
    return m;
}

Material file(std::string name, std::string fileName, std::string content) {
    Material m;
    m.name = std::move(name);
    m.folder = false;
    m.fileName = std::move(fileName);
    m.content = std::move(content);
    return m;
}

std::vector<Material> financialPair(const std::string& name, const std::vector<Item>& items,
                                    std::string reportBytes) {
    const std::string stem = text::upperLatin(name);
    Material data = file(name, stem + ".XML", itemsDocument("财务数据", items, Encoding::Gb2312));
    Material report = file(name, stem + ".XLS", std::move(reportBytes));
    return {data, report};
}

Material financeTemplates(const std::vector<std::pair<std::string, std::string>>& nameAndBytes) {
    Material templates = folder("财务数据模板");
    for (const auto& [name, bytes] : nameAndBytes) {
        // A template named after its workbook keeps that name as the file's text.
        std::string upper = text::upperLatin(name);
        if (!upper.ends_with(".XLS")) upper += ".XLS";
        templates.children.push_back(file(name, upper, bytes));
    }
    return templates;
}

Material projectTemplate(std::vector<Material> folders, bool withProjectInfo) {
    Material t = folder("审计项目模板", std::move(folders));
    if (withProjectInfo) {
        Material info = file("项目基本信息", "项目基本信息.xml",
                             itemsDocument("项目基本信息", {{"PrjName", "项目名称", "模板"}}, Encoding::Gb2312));
        info.set("type", "XMXX");
        t.children.push_back(folder("项目基本信息", {info}));
    }
    return t;
}

struct PackageBuilder::Entry {
    enum Kind { File, Folder, Link, Raw } kind;
    std::string name;     // UTF-8 with "/" (Raw: the bytes as stored)
    std::string content;  // Link: the target
};

PackageBuilder::PackageBuilder(std::string code, std::string name)
    : m_code(std::move(code)), m_name(std::move(name)), m_rootId(randomNodeId()), m_allFilesId(randomNodeId()) {
    for (int i = 0; i < 5; ++i) {
        m_categories[i].name = kCategoryNames[i];
        if (i > 0) m_categories[i].nodeId = randomNodeId();
    }
}

PackageBuilder& PackageBuilder::baseItem(std::string code, std::string caption, std::string value) {
    m_items.push_back({std::move(code), std::move(caption), std::move(value)});
    return *this;
}

PackageBuilder& PackageBuilder::entityCodeItem(std::optional<std::string> value) {
    m_codeItem = std::move(value);
    m_codeItemSet = true;
    return *this;
}

PackageBuilder& PackageBuilder::withoutBaseInfo() {
    m_withBaseInfo = false;
    return *this;
}

PackageBuilder& PackageBuilder::baseInfoText(std::string bytes) {
    m_baseInfoText = std::move(bytes);
    return *this;
}

PackageBuilder& PackageBuilder::entityNameAttribute(std::optional<std::string> value) {
    m_entityName = std::move(value);
    m_entityNameSet = true;
    return *this;
}

PackageBuilder& PackageBuilder::add(Category category, Material material) {
    fillIds(material);
    m_categories[slot(category)].children.push_back(std::move(material));
    return *this;
}

PackageBuilder& PackageBuilder::add(Category category, std::vector<Material> materials) {
    for (Material& m : materials) add(category, std::move(m));
    return *this;
}

Material& PackageBuilder::category(Category category) { return m_categories[slot(category)]; }

const Material& PackageBuilder::tree(Category category) const { return m_categories[slot(category)]; }

PackageBuilder& PackageBuilder::omitCategory(Category category) {
    m_omitted[slot(category)] = true;
    return *this;
}

PackageBuilder& PackageBuilder::extraCategory(Material element, int position) {
    fillIds(element);
    m_extra.emplace_back(position, std::move(element));
    return *this;
}

PackageBuilder& PackageBuilder::descriptionText(std::string bytes) {
    m_description = std::move(bytes);
    return *this;
}

PackageBuilder& PackageBuilder::withoutDescription() {
    m_withDescription = false;
    return *this;
}

PackageBuilder& PackageBuilder::rawEntry(std::string nameBytes, std::string content) {
    m_raw.emplace_back(std::move(nameBytes), std::move(content));
    return *this;
}

PackageBuilder& PackageBuilder::symlinkEntry(std::string name, std::string target) {
    m_links.emplace_back(std::move(name), std::move(target));
    return *this;
}

PackageBuilder& PackageBuilder::truncate(std::size_t keepBytes) {
    m_truncate = keepBytes;
    return *this;
}

std::string PackageBuilder::baseInfo() const {
    if (m_baseInfoText) return *m_baseInfoText;
    std::vector<Item> items;
    const std::optional<std::string> code = m_codeItemSet ? m_codeItem : std::optional<std::string>(m_code);
    if (code) items.push_back({"BSJDWSBM", "被审计单位识别码", *code});
    items.push_back({"BSJDWMC", "被审计单位名称", m_name});
    items.insert(items.end(), m_items.begin(), m_items.end());
    return itemsDocument("基本信息", items, options.baseInfo);
}

std::string PackageBuilder::description() const {
    if (m_description) return *m_description;
    Writer w(options.indent);
    w.xml() = declaration(options.description);
    w.open(0, "文件描述", {{"name", "文件描述"}, {"nodeid", m_rootId}});
    Attributes allFiles = {{"filetag", "0"}, {"kqtag", "0"}, {"name", "所有文件"}, {"bsjdwsbm", m_code}};
    const std::optional<std::string> entityName =
        m_entityNameSet ? m_entityName : std::optional<std::string>(m_name);
    if (entityName) allFiles.emplace_back("bsjdwsbmmc", *entityName);
    allFiles.emplace_back("nodeid", m_allFilesId);
    w.open(1, "文件夹", allFiles);

    std::vector<std::pair<Category, const Material*>> elements;
    for (int i = 0; i < 5; ++i)
        if (!m_omitted[i]) elements.emplace_back(static_cast<Category>(i + 2), &m_categories[i]);
    for (const auto& [position, element] : m_extra) {
        const auto at = position < 0 || position > static_cast<int>(elements.size()) ? elements.end()
                                                                                      : elements.begin() + position;
        elements.insert(at, {Category::FinanceData, &element});
    }

    for (const auto& [c, element] : elements) {
        const bool extra = std::any_of(m_extra.begin(), m_extra.end(),
                                       [element = element](const auto& e) { return &e.second == element; });
        if (extra) {
            writeMaterial(w, Category::FinanceData, *element, m_code, 2);
            continue;
        }
        Attributes a = categoryAttributes(c, *element);
        applyOverrides(a, *element);
        w.open(2, "文件夹", a);
        if (element->text) w.text(*element->text);
        bool hadChildren = !element->children.empty();
        if (c == Category::BaseInfo && m_withBaseInfo) {
            w.open(3, "文件", {{"filetag", "1"}, {"kqtag", "1"}, {"name", "基本信息"}, {"type", "JBXX"},
                              {"fileid", fileId(m_code)}, {"nodeid", randomNodeId()}});
            w.text("基本信息.xml");
            w.close(3, "文件", false);
            hadChildren = true;
        }
        for (const Material& child : element->children) writeMaterial(w, c, child, m_code, 3);
        w.close(2, "文件夹", hadChildren);
    }
    w.close(1, "文件夹", true);
    w.close(0, "文件描述", true);
    w.xml() += "\n";
    return encode(w.xml(), options.description);
}

std::vector<PackageBuilder::Entry> PackageBuilder::entries() const {
    std::vector<Entry> out;
    if (m_withDescription) out.push_back({Entry::File, "数据包描述.xml", description()});
    out.push_back({Entry::Folder, "所有文件", {}});
    for (int i = 0; i < 5; ++i) out.push_back({Entry::Folder, std::string("所有文件/") + kCategoryNames[i], {}});
    if (m_withBaseInfo) out.push_back({Entry::File, "所有文件/基本信息/基本信息.xml", baseInfo()});

    struct Walk {
        std::vector<Entry>& out;
        void operator()(const Material& m, const std::string& folder) {
            if (!m.folder) {
                if (m.storeFile) out.push_back({Entry::File, folder + "/" + m.fileName, m.content});
                return;
            }
            const std::string path = folder + "/" + m.name;
            out.push_back({Entry::Folder, path, {}});
            for (const Material& child : m.children) (*this)(child, path);
        }
    };
    Walk walk{out};
    for (int i = 1; i < 5; ++i)
        for (const Material& child : m_categories[i].children)
            walk(child, std::string("所有文件/") + kCategoryNames[i]);
    for (const auto& [name, target] : m_links) out.push_back({Entry::Link, name, target});
    for (const auto& [name, content] : m_raw) out.push_back({Entry::Raw, name, content});
    return out;
}

namespace {

bool plainPath(const std::string& name) {
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t slash = std::min(name.find('/', start), name.size());
        const std::string part = name.substr(start, slash - start);
        if (part.empty() || part == "." || part == ".." || part.find('\\') != std::string::npos) return false;
        start = slash + 1;
    }
    return true;
}

struct ZipDiscard {
    void operator()(zip_t* z) const { zip_discard(z); }
};

}  // namespace

std::string PackageBuilder::write(const std::string& zipPath) const {
    const std::vector<Entry> all = entries();
    int error = 0;
    std::unique_ptr<zip_t, ZipDiscard> za(zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error));
    if (!za) throw std::runtime_error("cannot create " + zipPath);

    auto entryName = [this](const std::string& name) {
        std::string n = options.topFolder ? m_code + "/" + name : name;
        if (options.backslashes) std::replace(n.begin(), n.end(), '/', '\\');
        return options.cp936Names ? gbk(n) : n;
    };
    const zip_flags_t nameFlags = options.cp936Names ? ZIP_FL_ENC_CP437 : ZIP_FL_ENC_UTF_8;
    // A name given twice (two materials stored under one file name) keeps the last content.
    auto addBytes = [&za](const std::string& name, const std::string& bytes, zip_flags_t flags) {
        zip_source_t* source = zip_source_buffer(za.get(), bytes.data(), bytes.size(), 0);
        if (!source) throw std::runtime_error("zip source failed");
        const zip_int64_t index = zip_file_add(za.get(), name.c_str(), source, flags | ZIP_FL_OVERWRITE);
        if (index < 0) {
            zip_source_free(source);
            throw std::runtime_error("cannot add entry " + name + ": " + zip_strerror(za.get()));
        }
        return index;
    };

    std::set<std::string> folders;
    if (options.topFolder && options.folderEntries && !options.backslashes)
        zip_dir_add(za.get(), entryName("").c_str(), nameFlags);
    for (const Entry& e : all) {
        switch (e.kind) {
        case Entry::Folder:
            if (options.folderEntries && !options.backslashes && folders.insert(e.name).second)
                if (zip_dir_add(za.get(), (entryName(e.name) + "/").c_str(), nameFlags) < 0)
                    throw std::runtime_error("cannot add folder " + e.name);
            break;
        case Entry::File: {
            const zip_int64_t index = addBytes(entryName(e.name), e.content, nameFlags);
            if (options.store) zip_set_file_compression(za.get(), index, ZIP_CM_STORE, 0);
            break;
        }
        case Entry::Link: {
            const zip_int64_t index = addBytes(entryName(e.name), e.content, nameFlags);
            zip_file_set_external_attributes(za.get(), index, 0, ZIP_OPSYS_UNIX,
                                             static_cast<zip_uint32_t>(S_IFLNK | 0777) << 16);
            break;
        }
        case Entry::Raw: addBytes(e.name, e.content, ZIP_FL_ENC_GUESS); break;
        }
    }
    if (zip_close(za.get()) != 0) throw std::runtime_error("cannot write " + zipPath + ": " + zip_strerror(za.get()));
    za.release();

    if (m_truncate) stdfs::resize_file(zipPath, *m_truncate);
    return zipPath;
}

void PackageBuilder::writeRoot(const std::string& folder) const {
    const stdfs::path root(folder);
    stdfs::create_directories(root);
    for (const Entry& e : entries()) {
        if (!plainPath(e.name)) continue;  // only archives carry names that leave their folder
        const stdfs::path path = root / stdfs::path(e.name);
        switch (e.kind) {
        case Entry::Folder: stdfs::create_directories(path); break;
        case Entry::File: {
            stdfs::create_directories(path.parent_path());
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out << e.content;
            if (!out) throw std::runtime_error("cannot write " + path.string());
            break;
        }
        case Entry::Link:
        case Entry::Raw: break;  // only archives carry these
        }
    }
}

}  // namespace unitarc::test

#include "package/templates.h"

#include <stdexcept>

#include "package/format.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "platform/xml.h"
#include "shell/hostapi.h"

namespace unitarc::package {

namespace {

constexpr std::string_view kTemplateExtension = ".XLS";
constexpr std::string_view kDataExtension = ".XML";

bool nameIs(const xml::Node& node, std::string_view name) {
    return text::upperLatin(node.attributeOr(kAttrName)) == text::upperLatin(name);
}

}  // namespace

std::vector<TemplateEntry> readTemplates(TKQDM_BSJDW& dm, const std::string& code) {
    const std::string description = fs::addSeparator(dm.folder()) + code + "/" + std::string(kDescriptionFile);
    xml::Document document;
    if (!document.loadFile(description))
        throw std::runtime_error("无法读取数据包描述文件[" + description + "]：" + document.error());

    const std::string folder = fs::addSeparator(dm.folder()) + code + "/" + std::string(kAllFiles) + "/" +
                               std::string(kCategoryFinanceData) + "/" + std::string(kFinanceTemplates) + "/";
    std::vector<TemplateEntry> entries;
    const xml::Node root = document.documentElement();
    if (!root || !root.isElement() || !root.hasChildNodes()) return entries;
    for (const xml::Node& allFiles : root.childElements()) {
        if (!allFiles.hasChildNodes()) continue;
        for (const xml::Node& category : allFiles.childElements()) {
            if (!nameIs(category, kCategoryFinanceData) || !category.hasChildNodes()) continue;
            for (const xml::Node& templates : category.childElements()) {
                if (!nameIs(templates, kFinanceTemplates)) continue;
                for (const xml::Node& file : templates.childElements()) {
                    if (file.attributeOr(kAttrFileTag) != "1") continue;
                    const std::string fileName = file.text();
                    if (text::upperLatin(fs::extension(fileName)) != kTemplateExtension) continue;
                    // The text becomes a path component: nothing may lead out of the folder.
                    if (!fs::isPlainComponent(fileName)) continue;
                    entries.push_back({file.attributeOr(kAttrName), folder + fileName});
                }
            }
        }
    }
    return entries;
}

std::string dataFilePath(const std::string& templatePath) {
    const std::string name = fs::fileName(templatePath);
    const std::string extension = fs::extension(name);
    return fs::folderOf(templatePath) + name.substr(0, name.size() - extension.size()) + std::string(kDataExtension);
}

std::string registrationName(const std::string& caption) {
    const std::string upper = text::upperLatin(caption);
    const std::size_t cut = upper.find(kTemplateExtension);
    return cut == std::string::npos ? std::string() : upper.substr(0, cut);
}

void registerTemplate(const std::string& entityName, const TemplateEntry& entry) {
    host::Host& h = host::host();
    host::RegisterDataArgs args;
    args.kind = "EXCEL";
    args.name = registrationName(entry.name);
    args.uuid = h.curUUID();
    args.title = "被审计单位：" + entityName + "财务数据报表模板";
    args.group = "财务数据报表模板";
    args.site = "WWW";
    args.empty = "";
    args.path = entry.path;
    args.module = "XMGL";
    args.a = -1;
    args.b = 20;
    args.c = 1;
    h.registerDataN(args);
}

}  // namespace unitarc::package

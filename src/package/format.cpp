#include "package/format.h"

#include "platform/fs.h"
#include "platform/text.h"
#include "platform/xml.h"

namespace unitarc::package {

std::string_view categoryName(int kind) {
    switch (kind) {
    case 3: return kCategoryFinanceData;
    case 4: return kCategoryFinanceRes;
    case 5: return kCategoryTransRes;
    case 6: return kCategoryAuditRes;
    default: return {};
    }
}

int categoryKind(std::string_view name) {
    for (int kind = 3; kind <= 6; ++kind)
        if (categoryName(kind) == name) return kind;
    return 0;
}

std::string descriptionStart(const std::string& nodeId) {
    return std::string("<?xml version=\"1.0\" encoding=\"gb2312\" ?><") + std::string(kDescriptionElement) +
           " name=\"" + std::string(kDescriptionElement) + "\" nodeid=\"" + nodeId + "\" />";
}

std::string baseInfoFilePath(const std::string& packageRoot) {
    return fs::addSeparator(packageRoot) + std::string(kAllFiles) + "/" + std::string(kBaseInfoFolder) + "/" +
           std::string(kBaseInfoFile);
}

std::string descriptionPath(const std::string& packageRoot) {
    return fs::addSeparator(packageRoot) + std::string(kDescriptionFile);
}

std::string readEntityCode(const std::string& baseInfoFile) {
    try {
        if (!fs::isFile(baseInfoFile)) return "-1";
        xml::Document document;
        if (!document.loadFile(baseInfoFile)) return "-1";
        const xml::Node root = document.documentElement();
        if (!root || !root.isElement() || !root.hasChildNodes()) return "-1";
        std::string code = "-1";
        for (const xml::Node& child : root.childElements())
            if (text::upperLatin(child.name()) == kEntityCodeItem) code = child.text();
        return code;
    } catch (...) {
        return "-1";
    }
}

bool isUsableEntityCode(std::string_view code) { return code != "-1" && fs::isPlainComponent(code); }

}  // namespace unitarc::package

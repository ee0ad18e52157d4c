#pragma once
// Financial-data report templates carried by an imported package.
#include <string>
#include <vector>

#include "shell/untKQDM_BSJDW.h"

namespace unitarc::package {

struct TemplateEntry {
    std::string name;   // the element's name attribute
    std::string path;   // entity data folder + code + "/所有文件/财务数据/财务数据模板/" + text
};

// The templates of the entity's description, in document order. Throws when the description
// file is missing or unreadable.
std::vector<TemplateEntry> readTemplates(TKQDM_BSJDW& dm, const std::string& code);
// The template path with its extension replaced by ".XML".
std::string dataFilePath(const std::string& templatePath);
// The template name for the host's data store: the name upper-cased, cut before ".XLS" ("" without it).
std::string registrationName(const std::string& caption);
// RegisterDataN with the twelve arguments of a template export.
void registerTemplate(const std::string& entityName, const TemplateEntry& entry);

}  // namespace unitarc::package

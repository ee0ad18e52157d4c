// unitarc [--workspace DIR] [--project SERIAL] COMMAND ...
//   import FILE...              import entity data packages
//   delete CODE                 delete an entity with its rows and files
//   tree                        print the management tree
//   package (--all | CODE...)   generate entity data packages
//   templates CODE [--export NAME]  list an entity's report templates, or export one
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "commands.h"
#include "hostsvc.h"
#include "package/import.h"
#include "package/reload.h"
#include "package/templates.h"
#include "shell/hostapi.h"
#include "shell/untKQDM_BSJDW.h"
#include "store/records.h"
#include "store/tree.h"

namespace unitarc::cli {

void printMessage(const std::string& message) {
    std::string out;
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (message.compare(i, 2, "\r\n") == 0) {
            out += '\n';
            ++i;
        } else {
            out += message[i];
        }
    }
    std::printf("%s\n", out.c_str());
}

namespace {

constexpr const char* kUsageText =
    "usage: unitarc [--workspace DIR] [--project SERIAL] COMMAND [ARGS]\n"
    "  import FILE...              import entity data packages into the project\n"
    "  delete CODE                 delete an entity with all its materials\n"
    "  tree                        print the management tree (text, kind, key, image)\n"
    "  package (--all | CODE...)   generate entity data packages\n"
    "  templates CODE [--export NAME]\n"
    "                              list an entity's financial-data report templates (name, path),\n"
    "                              or export the one named NAME to the host's data store\n"
    "The workspace defaults to HOSTWORK_WORKSPACE or $XDG_DATA_HOME/hostwork; the project\n"
    "to the workspace's current one.\n";

int usage() {
    std::fputs(kUsageText, stderr);
    return kUsage;
}

struct Arguments {
    std::string workspace, project, command;
    std::vector<std::string> rest;
};

// False on a malformed option.
bool parse(int argc, char** argv, Arguments& a) {
    int i = 1;
    for (; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const std::string& option, std::string& into) {
            if (arg == option) {
                if (i + 1 >= argc) return false;
                into = argv[++i];
                return true;
            }
            into = arg.substr(option.size() + 1);
            return true;
        };
        if (arg == "--workspace" || arg.rfind("--workspace=", 0) == 0) {
            if (!value("--workspace", a.workspace)) return false;
        } else if (arg == "--project" || arg.rfind("--project=", 0) == 0) {
            if (!value("--project", a.project)) return false;
        } else if (arg.rfind("--", 0) == 0 && arg != "--all") {
            return false;
        } else {
            break;
        }
    }
    if (i >= argc) return false;
    a.command = argv[i++];
    for (; i < argc; ++i) a.rest.emplace_back(argv[i]);
    return true;
}

int importCommand(TKQDM_BSJDW& dm, const std::vector<std::string>& files) {
    if (files.empty()) return usage();
    const package::ImportOutcome outcome = package::importPackages(dm, files);
    printMessage(package::importSummary(outcome));
    return outcome.refused > 0 ? kFailed : kDone;
}

int deleteCommand(TKQDM_BSJDW& dm, const std::vector<std::string>& args) {
    if (args.size() != 1) return usage();
    const std::string& code = args[0];
    if (code.empty() || !package::entityExists(dm, code)) {
        std::fprintf(stderr, "被审计单位[%s]不存在！\n", code.c_str());
        return kFailed;
    }
    const std::string name = store::entityField(dm, code, "AuditedDeptName");
    printMessage(package::deleteEntityAction(dm, code, name));
    return kDone;
}

int treeCommand(TKQDM_BSJDW& dm, const std::vector<std::string>& args) {
    if (!args.empty()) return usage();
    store::Tree tree;
    const package::ReloadResult result = package::reloadTree(dm, tree, "导入");
    for (const std::string& line : package::treeLines(tree)) std::printf("%s\n", line.c_str());
    for (const std::string& failure : result.failures) std::fprintf(stderr, "%s\n", failure.c_str());
    return kDone;
}

int templatesCommand(TKQDM_BSJDW& dm, const std::vector<std::string>& args) {
    const bool exporting = args.size() == 3 && args[1] == "--export";
    if (args.size() != 1 && !exporting) return usage();
    const std::string& code = args[0];
    if (code.empty() || !package::entityExists(dm, code)) {
        std::fprintf(stderr, "被审计单位[%s]不存在！\n", code.c_str());
        return kFailed;
    }
    const std::string name = store::entityField(dm, code, "AuditedDeptName");
    const std::vector<package::TemplateEntry> entries = package::readTemplates(dm, code);
    if (entries.empty()) {
        std::fprintf(stderr, "被审计单位[%s]没有财务数据模板！\n", name.c_str());
        return kFailed;
    }
    if (!exporting) {
        for (const package::TemplateEntry& entry : entries) std::printf("%s\t%s\n", entry.name.c_str(), entry.path.c_str());
        return kDone;
    }
    for (const package::TemplateEntry& entry : entries) {
        if (entry.name != args[2]) continue;
        package::registerTemplate(name, entry);
        std::printf("%s\n", entry.name.c_str());
        return kDone;
    }
    std::fputs("请选择财务数据报表模板\n", stderr);
    return kFailed;
}

int run(const Arguments& a) {
    hostwork::openWorkspace(a.workspace.empty() ? hostwork::defaultWorkspace() : a.workspace);
    if (!a.project.empty()) hostwork::setCurrentProject(a.project);

    const std::string serial = host::host().curPrjSerial();
    if (noProjectOpen(serial)) {
        std::fputs("没有打开项目！\n", stderr);
        return kFailed;
    }
    TKQDM_BSJDW dm;
    if (dm.Open(serial) != 1) {
        std::fputs("连接被审计单位数据库失败！\n", stderr);
        return kFailed;
    }
    if (a.command == "import") return importCommand(dm, a.rest);
    if (a.command == "delete") return deleteCommand(dm, a.rest);
    if (a.command == "tree") return treeCommand(dm, a.rest);
    if (a.command == "templates") return templatesCommand(dm, a.rest);
    const int result = packageCommand(dm, a.rest);
    return result == kUsage ? usage() : result;
}

}  // namespace
}  // namespace unitarc::cli

int main(int argc, char** argv) {
    using namespace unitarc::cli;
    Arguments arguments;
    if (!parse(argc, argv, arguments)) return usage();
    const std::string& c = arguments.command;
    if (c != "import" && c != "delete" && c != "tree" && c != "package" && c != "templates") return usage();
    try {
        return run(arguments);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "unitarc: %s\n", e.what());
        return kFailed;
    }
}

#include <algorithm>
#include <cstdio>
#include <set>

#include "commands.h"
#include "package/generation.h"

namespace unitarc::cli {

int packageCommand(TKQDM_BSJDW& dm, const std::vector<std::string>& args) {
    const bool all = args.size() == 1 && args[0] == "--all";
    if (args.empty() || (!all && std::find(args.begin(), args.end(), "--all") != args.end())) return kUsage;

    // Every code is checked before the staging folder is emptied: a typo costs no archive.
    const package::EntityList list = package::listEntities(dm);
    const std::set<std::string> wanted(args.begin(), args.end());
    for (const std::string& code : wanted) {
        if (all) break;
        const bool known = std::any_of(list.entities.begin(), list.entities.end(),
                                       [&code](const package::EntityChoice& e) { return e.code == code; });
        if (!known) {
            std::fprintf(stderr, "被审计单位[%s]不存在！\n", code.c_str());
            return kFailed;
        }
    }
    // The run goes in the order of the entity list, as the dialog's does, each entity once.
    std::vector<package::EntityChoice> chosen;
    for (const package::EntityChoice& entity : list.entities)
        if (all || wanted.count(entity.code)) chosen.push_back(entity);
    if (chosen.empty()) {
        printMessage(package::kNoEntityChosen);
        return kFailed;
    }

    package::prepareGeneration(dm);
    const package::GenerationOutcome outcome = package::generatePackages(dm, chosen);
    for (const std::string& warning : outcome.warnings) {
        std::string line = warning;
        std::replace(line.begin(), line.end(), '\r', '\n');
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    printMessage(package::generationSummary(outcome));
    return outcome.failed ? kFailed : kDone;
}

}  // namespace unitarc::cli

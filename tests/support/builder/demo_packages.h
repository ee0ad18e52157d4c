#pragma once
// The sample packages of the demo workspace: the principal entity of the demo project and
// two extended entities, ready to import.
#include <string>
#include <vector>

namespace unitarc::test {

// Writes CZJ001.zip, EXT001.zip and EXT002.zip into folder (created when missing) and returns
// their paths. reportBytes is a real workbook used for the reports and templates (a small
// placeholder when empty). Throws std::runtime_error when a package cannot be written.
std::vector<std::string> writeDemoPackages(const std::string& folder, const std::string& reportBytes);

}  // namespace unitarc::test

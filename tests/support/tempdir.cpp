#include "tempdir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace unitarc::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "unitarc-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_path = pattern + "/";
}

TempDir::~TempDir() {
    std::error_code ec;
    // Tests make files read-only on purpose; make them writable so the removal succeeds.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add |
                                         std::filesystem::perm_options::nofollow, ec);
    }
    std::filesystem::remove_all(m_path, ec);
}

}  // namespace unitarc::test

#pragma once
#include <string>

namespace unitarc::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }        // ends in "/"
    std::string operator/(const std::string& name) const { return m_path + name; }

private:
    std::string m_path;
};

}  // namespace unitarc::test

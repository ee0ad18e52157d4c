#pragma once
// The plug-in, loaded by file name from the program's folder and called through RunAppEvn.
#include <cstdint>
#include <optional>
#include <string>

namespace hostwork {

class Plugin {
public:
    explicit Plugin(std::string path);
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;
    // The library is never unloaded: windows it made may live as long as the application.

    bool load();  // idempotent; false with error() when the library or its export is missing
    const std::string& error() const { return m_error; }
    bool called() const { return m_called; }

    // RunAppEvn with the host's handles in fields 1-3 and the code in field 5; nullopt when
    // the library is not loaded.
    std::optional<std::int32_t> run(std::int32_t code);

private:
    using RunAppEvnFn = std::int32_t (*)(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                                         std::int32_t, std::int32_t);
    std::string m_path;
    std::string m_error;
    RunAppEvnFn m_run = nullptr;
    bool m_called = false;
};

}  // namespace hostwork

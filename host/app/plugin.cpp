#include "plugin.h"

#include <dlfcn.h>

#include <utility>

namespace hostwork {

namespace {
// Stand-ins for the hint-window class, application and screen objects: the plug-in only
// needs them non-zero and adopts the application through Qt itself.
constexpr std::int32_t kHintWindowHandle = 1;
constexpr std::int32_t kApplicationHandle = 2;
constexpr std::int32_t kScreenHandle = 3;
}  // namespace

Plugin::Plugin(std::string path) : m_path(std::move(path)) {}

bool Plugin::load() {
    if (m_run) return true;
    void* handle = dlopen(m_path.c_str(), RTLD_NOW);
    if (!handle) {
        const char* e = dlerror();
        m_error = e ? e : m_path;
        return false;
    }
    m_run = reinterpret_cast<RunAppEvnFn>(dlsym(handle, "RunAppEvn"));
    if (!m_run) {
        m_error = "RunAppEvn not found in " + m_path;
        dlclose(handle);
        return false;
    }
    m_error.clear();
    return true;
}

std::optional<std::int32_t> Plugin::run(std::int32_t code) {
    if (!m_run) return std::nullopt;
    m_called = true;
    return m_run(kHintWindowHandle, kApplicationHandle, kScreenHandle, 0, code, 0, 0);
}

}  // namespace hostwork

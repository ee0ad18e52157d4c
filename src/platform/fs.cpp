#include "platform/fs.h"

#include "platform/text.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace unitarc::fs {

namespace stdfs = std::filesystem;

namespace {

constexpr auto kAdd = stdfs::perm_options::add;

// Empties and removes a real folder (never a link). -1 only when the folder could not
// be listed; an entry that cannot be removed ends the listing and the folder stays.
int removeFolder(const stdfs::path& dir) {
    std::error_code ec;
    // A folder without write permission keeps its entries on this platform, as a
    // read-only file does elsewhere: lift it the same way.
    stdfs::permissions(dir, stdfs::perms::owner_all, kAdd, ec);

    // List first: removing entries while reading the folder leaves the order unspecified.
    std::vector<stdfs::directory_entry> entries;
    stdfs::directory_iterator it(dir, ec);
    if (ec) return -1;
    for (const stdfs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) return -1;
        entries.push_back(*it);
    }
    if (ec) return -1;

    for (const auto& entry : entries) {
        const stdfs::file_status st = entry.symlink_status(ec);
        if (ec) break;
        if (stdfs::is_directory(st)) {
            if (removeFolder(entry.path()) == -1) break;
            continue;
        }
        if (!stdfs::is_symlink(st)) stdfs::permissions(entry.path(), stdfs::perms::owner_write, kAdd, ec);
        stdfs::remove(entry.path(), ec);  // a link goes, never what it points to
        if (ec) break;
    }
    stdfs::remove(dir, ec);  // fails, harmlessly, when something stayed behind
    return 0;
}

stdfs::path withoutTrailingSeparators(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return stdfs::path(p);
}

}  // namespace

std::string addSeparator(std::string_view path) {
    std::string out(path);
    // An empty path stays empty: "/" would turn a missing folder name into the root.
    if (!out.empty() && out.back() != '/') out += '/';
    return out;
}

bool exists(const std::string& path) {
    std::error_code ec;
    return stdfs::exists(path, ec);
}

bool isDirectory(const std::string& path) {
    std::error_code ec;
    return stdfs::is_directory(path, ec);
}

bool isFile(const std::string& path) {
    std::error_code ec;
    return stdfs::is_regular_file(path, ec);
}

bool createFolder(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    stdfs::create_directory(path, ec);
    return isDirectory(path);
}

int removeTree(const std::string& path) {
    try {
        const stdfs::path p = withoutTrailingSeparators(path);
        if (p.empty()) return 0;
        std::error_code ec;
        const stdfs::file_status st = stdfs::symlink_status(p, ec);
        if (ec || !stdfs::exists(st)) return 0;
        if (stdfs::is_symlink(st)) {
            // A link to a folder: the caller wants the folder gone from here, not its target emptied.
            if (stdfs::is_directory(p, ec)) stdfs::remove(p, ec);
            return 0;
        }
        if (!stdfs::is_directory(st)) return 0;
        if (stdfs::equivalent(p, "/", ec)) return -1;  // never the whole file system
        return removeFolder(p);
    } catch (...) {
        return -1;
    }
}

bool copyOver(const std::string& target, const std::string& source) {
    try {
        std::error_code ec;
        const stdfs::file_status st = stdfs::symlink_status(target, ec);
        if (!ec && stdfs::exists(st)) {
            if (stdfs::is_directory(st)) return false;
            if (stdfs::is_symlink(st)) {
                // Replace the link itself; copying through it would overwrite its target.
                if (!stdfs::remove(target, ec) || ec) return false;
            } else {
                stdfs::permissions(target, stdfs::perms::owner_write, kAdd, ec);
            }
        }
        ec.clear();
        stdfs::copy_file(source, target, stdfs::copy_options::overwrite_existing, ec);
        return !ec;
    } catch (...) {
        return false;
    }
}

double fileTime(const std::string& path) {
    std::error_code ec;
    const auto written = stdfs::last_write_time(path, ec);
    if (ec) return text::now();
    const auto sys = std::chrono::file_clock::to_sys(written);
    long long seconds = std::chrono::floor<std::chrono::seconds>(sys).time_since_epoch().count();
    seconds -= ((seconds % 2) + 2) % 2;  // whole 2-second steps, also before 1970
    return text::fromUnixTime(seconds);
}

bool isPlainComponent(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || b < 0x20 || b == 0x7F) return false;
    }
    return true;
}

std::string fileName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string extension(std::string_view path) {
    const std::string name = fileName(path);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string folderOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

bool readFile(const std::string& path, std::string& bytes) {
    try {
        if (!isFile(path)) return false;
        std::ifstream in(path, std::ios::binary);
        if (!in) return false;
        std::string data;
        char buf[65536];
        while (in.read(buf, sizeof buf) || in.gcount() > 0) data.append(buf, static_cast<std::size_t>(in.gcount()));
        if (in.bad()) return false;
        bytes = std::move(data);
        return true;
    } catch (...) {
        return false;
    }
}

bool writeFile(const std::string& path, std::string_view bytes) {
    try {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        return !out.fail();
    } catch (...) {
        return false;
    }
}

}  // namespace unitarc::fs

#include "host/bundler/bundler.h"

#include "platform/text.h"

#include <zip.h>

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <unordered_set>
#include <vector>

namespace hostwork {
namespace {

namespace stdfs = std::filesystem;

const std::string kDescriptionFile = "数据包描述.xml";

struct ZipDiscard {
    void operator()(zip_t* z) const { zip_discard(z); }
};
using ZipArchive = std::unique_ptr<zip_t, ZipDiscard>;

struct ZipFileClose {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};
using ZipFile = std::unique_ptr<zip_file_t, ZipFileClose>;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    bool close() {
        if (m_fd < 0) return true;
        const bool ok = ::close(m_fd) == 0;
        m_fd = -1;
        return ok;
    }

private:
    int m_fd;
};

// Removes a staging folder with everything left in it, whatever way the extraction ends.
class StagingFolder {
public:
    explicit StagingFolder(stdfs::path path) : m_path(std::move(path)) {}
    ~StagingFolder() {
        std::error_code ec;
        stdfs::remove_all(m_path, ec);
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;
    const stdfs::path& path() const { return m_path; }

private:
    stdfs::path m_path;
};

// Folders created on the way to a destination, removed again (when empty) unless kept.
class FoldersMade {
public:
    FoldersMade() = default;
    ~FoldersMade() {
        std::error_code ec;
        for (const auto& p : m_made) stdfs::remove(p, ec);  // deepest first; never a full folder
    }
    FoldersMade(const FoldersMade&) = delete;
    FoldersMade& operator=(const FoldersMade&) = delete;

    bool create(const stdfs::path& folder) {
        std::error_code ec;
        std::vector<stdfs::path> missing;
        for (stdfs::path p = folder; !p.empty() && !stdfs::exists(p, ec); p = p.parent_path()) {
            missing.push_back(p);
            if (p == p.parent_path()) break;
        }
        stdfs::create_directories(folder, ec);
        m_made = std::move(missing);
        return !ec && stdfs::is_directory(folder, ec);
    }
    void keep() { m_made.clear(); }

private:
    std::vector<stdfs::path> m_made;
};

bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Well-formed UTF-8; when threeByteOnly, every non-ASCII character must take three bytes
// (CJK text does, while CP936 pairs almost never line up that way).
bool isUtf8(std::string_view s, bool threeByteOnly) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t len = 0;
        if (c < 0x80) len = 1;
        else if (c >= 0xC2 && c <= 0xDF) len = 2;
        else if (c >= 0xE0 && c <= 0xEF) len = 3;
        else if (c >= 0xF0 && c <= 0xF4) len = 4;
        else return false;
        if (threeByteOnly && len != 1 && len != 3) return false;
        if (i + len > s.size()) return false;
        for (std::size_t k = 1; k < len; ++k)
            if (!isContinuation(static_cast<unsigned char>(s[i + k]))) return false;
        if (len == 3) {
            const auto c1 = static_cast<unsigned char>(s[i + 1]);
            if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 >= 0xA0)) return false;
        } else if (len == 4) {
            const auto c1 = static_cast<unsigned char>(s[i + 1]);
            if ((c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 >= 0x90)) return false;
        }
        i += len;
    }
    return true;
}

// The entry's name as UTF-8. libzip does not expose the UTF-8 flag, but the strict name
// equals the raw bytes exactly when the name is ASCII or flagged UTF-8.
std::optional<std::string> entryName(zip_t* za, zip_uint64_t index) {
    const char* raw = zip_get_name(za, index, ZIP_FL_ENC_RAW);
    if (!raw) return std::nullopt;
    std::string name(raw);
    const char* strict = zip_get_name(za, index, ZIP_FL_ENC_STRICT);
    if (strict && name == strict) {
        if (isUtf8(name, false)) return name;
        return std::nullopt;
    }
    if (isUtf8(name, true)) return name;
    return unitarc::text::fromGbk(name);
}

struct Entry {
    zip_uint64_t index = 0;
    std::vector<std::string> parts;
    bool folder = false;
    zip_uint64_t size = 0;
    time_t mtime = 0;
    bool hasMtime = false;
};

// Splits an entry name into plain components; nullopt for a name that would leave the
// destination (absolute, drive letter, "..") or carries control characters.
std::optional<std::vector<std::string>> safeParts(std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.empty() || name.front() == '/') return std::nullopt;
    if (name.size() >= 2 && name[1] == ':' &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')))
        return std::nullopt;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t slash = std::min(name.find('/', start), name.size());
        std::string part = name.substr(start, slash - start);
        start = slash + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") return std::nullopt;
        for (const char ch : part) {
            const auto c = static_cast<unsigned char>(ch);
            if (c < 0x20 || c == 0x7F) return std::nullopt;
        }
        parts.push_back(std::move(part));
    }
    return parts;
}

bool endsWithSeparator(const std::string& name) {
    return !name.empty() && (name.back() == '/' || name.back() == '\\');
}

// Reads and checks the whole directory before anything is written.
std::optional<std::vector<Entry>> readDirectory(zip_t* za) {
    const zip_int64_t count = zip_get_num_entries(za, 0);
    if (count < 0) return std::nullopt;
    std::vector<Entry> entries;
    entries.reserve(static_cast<std::size_t>(count));
    for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
        const auto name = entryName(za, i);
        if (!name) return std::nullopt;
        auto parts = safeParts(*name);
        if (!parts) return std::nullopt;

        zip_uint8_t opsys = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(za, i, 0, &opsys, &attributes) != 0) return std::nullopt;
        // Unix modes sit in the high half whatever system wrote the entry.
        const mode_t type = static_cast<mode_t>(attributes >> 16) & S_IFMT;
        if (type == S_IFLNK || type == S_IFCHR || type == S_IFBLK || type == S_IFIFO || type == S_IFSOCK)
            return std::nullopt;

        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(za, i, 0, &st) != 0) return std::nullopt;
        if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) return std::nullopt;

        Entry e;
        e.index = i;
        e.folder = endsWithSeparator(*name) || type == S_IFDIR;
        e.size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
        if (st.valid & ZIP_STAT_MTIME) {
            e.mtime = st.mtime;
            e.hasMtime = true;
        }
        if (parts->empty()) {
            if (!e.folder) return std::nullopt;
            continue;  // "./": the destination itself
        }
        e.parts = std::move(*parts);
        entries.push_back(std::move(e));
    }
    return entries;
}

// A package archive made from its root folder: the folder's content goes straight into the
// destination.
void stripPackageFolder(std::vector<Entry>& entries) {
    if (entries.empty()) return;
    const std::string& top = entries.front().parts.front();
    bool hasDescription = false;
    for (const Entry& e : entries) {
        if (e.parts.front() != top) return;
        if (e.parts.size() == 1 && !e.folder) return;
        if (e.parts.size() == 2 && !e.folder && e.parts[1] == kDescriptionFile) hasDescription = true;
    }
    if (!hasDescription) return;
    std::vector<Entry> inner;
    inner.reserve(entries.size());
    for (Entry& e : entries) {
        if (e.parts.size() == 1) continue;
        e.parts.erase(e.parts.begin());
        inner.push_back(std::move(e));
    }
    entries = std::move(inner);
}

stdfs::path joined(const stdfs::path& base, const std::vector<std::string>& parts) {
    stdfs::path p = base;
    for (const auto& part : parts) p /= part;
    return p;
}

mode_t currentUmask() {
    static const mode_t mask = [] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    return mask;
}

bool writeEntry(zip_t* za, const Entry& e, const stdfs::path& target) {
    ZipFile in(zip_fopen_index(za, e.index, 0));
    if (!in) return false;
    FileDescriptor out(::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (out.get() < 0) return false;
    std::array<char, 1 << 16> buffer;
    zip_uint64_t total = 0;
    for (;;) {
        const zip_int64_t n = zip_fread(in.get(), buffer.data(), buffer.size());
        if (n < 0) return false;  // corrupt data or a bad checksum
        if (n == 0) break;
        total += static_cast<zip_uint64_t>(n);
        const char* p = buffer.data();
        auto left = static_cast<std::size_t>(n);
        while (left > 0) {
            const ssize_t w = ::write(out.get(), p, left);
            if (w < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            p += w;
            left -= static_cast<std::size_t>(w);
        }
    }
    if (total != e.size) return false;
    if (e.hasMtime) {
        const struct timespec times[2] = {{e.mtime, 0}, {e.mtime, 0}};
        ::futimens(out.get(), times);
    }
    return out.close();
}

bool isRealFolder(const stdfs::path& p) {
    std::error_code ec;
    return stdfs::symlink_status(p, ec).type() == stdfs::file_type::directory;
}

// Moves what the staging folder holds into the destination, replacing what is in the way.
// An existing link is replaced, never followed.
bool mergeInto(const stdfs::path& from, const stdfs::path& to) {
    std::error_code ec;
    std::vector<stdfs::path> children;
    for (stdfs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec))
        children.push_back(it->path());
    if (ec) return false;
    for (const auto& child : children) {
        const stdfs::path target = to / child.filename();
        const auto targetType = stdfs::symlink_status(target, ec).type();
        if (targetType == stdfs::file_type::not_found) {
            ec.clear();
        } else if (targetType == stdfs::file_type::directory && isRealFolder(child)) {
            if (!mergeInto(child, target)) return false;
            continue;
        } else {
            stdfs::remove_all(target, ec);
            if (ec) return false;
        }
        stdfs::rename(child, target, ec);
        if (ec) return false;
    }
    return true;
}

bool isEmptyFolder(const stdfs::path& p) {
    std::error_code ec;
    stdfs::directory_iterator it(p, ec);
    return !ec && it == stdfs::directory_iterator();
}

std::string trimmedFolder(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// Already-compressed formats are stored: deflating them again costs time and gains nothing.
bool isCompressedFormat(const std::string& fileName) {
    static const std::array<std::string_view, 24> kinds = {
        ".zip", ".rar", ".7z",   ".gz",   ".bz2", ".xz",   ".zst", ".tgz",
        ".jpg", ".jpeg", ".png", ".gif", ".webp", ".mp3", ".mp4", ".avi",
        ".mkv", ".mov", ".docx", ".xlsx", ".pptx", ".odt", ".ods", ".pdf"};
    const auto dot = fileName.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = fileName.substr(dot);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return std::find(kinds.begin(), kinds.end(), ext) != kinds.end();
}

zip_flags_t nameFlags(const std::string& name) {
    return isUtf8(name, false) ? ZIP_FL_ENC_UTF_8 : ZIP_FL_ENC_GUESS;
}

void setMtime(zip_t* za, zip_int64_t index, const stdfs::path& p) {
    struct stat st;
    if (::stat(p.c_str(), &st) == 0) zip_file_set_mtime(za, static_cast<zip_uint64_t>(index), st.st_mtime, 0);
}

bool addFolder(zip_t* za, const stdfs::path& folder, const std::string& entryPrefix, const stdfs::path& archive) {
    std::error_code ec;
    std::vector<stdfs::directory_entry> children;
    for (stdfs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        children.push_back(*it);
    if (ec) return false;
    std::sort(children.begin(), children.end(),
              [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
    for (const auto& child : children) {
        const std::string name = child.path().filename().string();
        const std::string entry = entryPrefix + name;
        const auto type = child.symlink_status(ec).type();
        if (ec) return false;
        if (type == stdfs::file_type::directory) {
            const zip_int64_t index = zip_dir_add(za, (entry + "/").c_str(), nameFlags(entry));
            if (index < 0) return false;
            setMtime(za, index, child.path());
            if (!addFolder(za, child.path(), entry + "/", archive)) return false;
        } else if (type == stdfs::file_type::regular) {
            if (name == archive.filename() && stdfs::equivalent(child.path(), archive, ec)) continue;
            zip_source_t* source = zip_source_file_create(child.path().c_str(), 0, 0, nullptr);
            if (!source) return false;
            const zip_int64_t index = zip_file_add(za, entry.c_str(), source, nameFlags(entry));
            if (index < 0) {
                zip_source_free(source);
                return false;
            }
            // libzip deflates at its best (slowest) level unless told; 6 is what archivers use.
            const bool store = isCompressedFormat(name);
            if (zip_set_file_compression(za, static_cast<zip_uint64_t>(index), store ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                         store ? 0 : 6) != 0)
                return false;
        }
        // Links and special files are left out: a package holds plain files and folders.
    }
    return true;
}

// Without these, thousands of small allocations and frees of libzip's buffers crawl.
void tuneMalloc() {
    static std::once_flag tuned;
    std::call_once(tuned, [] {
        mallopt(M_MMAP_THRESHOLD, 64 << 20);
        mallopt(M_TRIM_THRESHOLD, 128 << 20);
    });
}

}  // namespace

std::string extractArchive(const std::string& archive, const std::string& destination) {
    tuneMalloc();
    if (archive.empty() || destination.empty()) return {};
    stdfs::path dest = stdfs::absolute(destination).lexically_normal();
    if (!dest.has_filename()) dest = dest.parent_path();
    if (dest == dest.root_path() || !dest.has_filename()) return {};

    int error = 0;
    ZipArchive za(zip_open(archive.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error));
    if (!za) return {};
    auto entries = readDirectory(za.get());
    if (!entries) return {};
    stripPackageFolder(*entries);

    // The destination's missing ancestors are made now and taken back on failure.
    std::error_code ec;
    FoldersMade made;
    if (!made.create(dest.parent_path())) return {};
    const auto destType = stdfs::symlink_status(dest, ec).type();
    if (destType != stdfs::file_type::not_found && destType != stdfs::file_type::directory) return {};

    // Everything goes into a fresh sibling first, so a failure half-way leaves the
    // destination as it was.
    std::string hidden = ".";
    hidden += dest.filename().string();
    hidden += ".unzip-XXXXXX";
    std::string pattern = (dest.parent_path() / hidden).string();
    if (!::mkdtemp(pattern.data())) return {};
    StagingFolder staging{stdfs::path(pattern)};
    ::chmod(staging.path().c_str(), 0777 & ~currentUmask());

    // Folders made so far: thousands of files share few folders, so check each once.
    std::unordered_set<std::string> folders;
    const auto makeFolder = [&](const stdfs::path& folder) {
        if (folders.count(folder.native())) return true;
        stdfs::create_directories(folder, ec);
        if (ec || !isRealFolder(folder)) return false;
        folders.insert(folder.native());
        return true;
    };
    for (const Entry& e : *entries) {
        const stdfs::path target = joined(staging.path(), e.parts);
        if (e.folder) {
            if (!makeFolder(target)) return {};
            continue;
        }
        // A file entry may take the place of a folder made before: then its open fails.
        if (!makeFolder(target.parent_path())) return {};
        if (!writeEntry(za.get(), e, target)) return {};
    }

    if (destType == stdfs::file_type::not_found || isEmptyFolder(dest)) {
        if (destType != stdfs::file_type::not_found) stdfs::remove(dest, ec);
        if (!ec) stdfs::rename(staging.path(), dest, ec);
        if (ec) {
            stdfs::create_directories(dest, ec);
            if (!mergeInto(staging.path(), dest)) return {};
        }
    } else if (!mergeInto(staging.path(), dest)) {
        return {};
    }
    made.keep();
    return destination;
}

std::string compressFolder(const std::string& sourceFolder, const std::string& archive) {
    tuneMalloc();

    if (sourceFolder.empty() || archive.empty()) return {};
    const stdfs::path source = trimmedFolder(sourceFolder);
    const std::string top = source.filename().string();
    std::error_code ec;
    if (top.empty() || top == "." || top == ".." || !stdfs::is_directory(source, ec)) return {};
    if (stdfs::is_directory(archive, ec)) return {};

    int error = 0;
    ZipArchive za(zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error));
    if (!za) return {};
    // The top folder is an entry of its own, so an empty folder still makes an archive.
    const zip_int64_t topIndex = zip_dir_add(za.get(), (top + "/").c_str(), nameFlags(top));
    if (topIndex < 0) return {};
    setMtime(za.get(), topIndex, source);
    if (!addFolder(za.get(), source, top + "/", stdfs::path(archive))) return {};

    // libzip writes a temporary file and renames it at close; on failure the holder discards.
    if (zip_close(za.get()) != 0) return {};
    za.release();
    return archive;
}

}  // namespace hostwork

#pragma once
// Small helpers for the host tests: a scratch folder, a zip writer that stores names and
// attributes exactly as told, and file snapshots.
#include <zip.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <list>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace hosttest {

namespace stdfs = std::filesystem;

class Scratch {
public:
    Scratch() {
        std::string pattern = (stdfs::temp_directory_path() / "hosttest-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        m_root = pattern;
    }
    ~Scratch() {
        std::error_code ec;
        stdfs::remove_all(m_root, ec);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    const stdfs::path& root() const { return m_root; }
    std::string operator/(const std::string& name) const { return (m_root / name).string(); }

private:
    stdfs::path m_root;
};

inline void writeFile(const stdfs::path& p, const std::string& bytes) {
    stdfs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

inline std::string readFile(const stdfs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Every path below a folder (links not followed), relative to it.
inline std::set<std::string> snapshot(const stdfs::path& root) {
    std::set<std::string> paths;
    for (auto it = stdfs::recursive_directory_iterator(root); it != stdfs::recursive_directory_iterator(); ++it)
        paths.insert(it->path().lexically_relative(root).string());
    return paths;
}

// Writes archives entry by entry. Names go in as raw bytes (no UTF-8 flag) unless utf8.
class ZipWriter {
public:
    explicit ZipWriter(const std::string& path) {
        int error = 0;
        m_zip = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        if (!m_zip) throw std::runtime_error("cannot create " + path);
    }
    ~ZipWriter() {
        if (m_zip) zip_discard(m_zip);
    }
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    zip_int64_t file(const std::string& name, const std::string& data, bool utf8 = false, bool store = false) {
        m_buffers.push_back(data);
        zip_source_t* src = zip_source_buffer(m_zip, m_buffers.back().data(), m_buffers.back().size(), 0);
        const zip_int64_t index = zip_file_add(m_zip, name.c_str(), src, utf8 ? ZIP_FL_ENC_UTF_8 : ZIP_FL_ENC_CP437);
        if (index < 0) {
            zip_source_free(src);
            throw std::runtime_error("cannot add " + name);
        }
        if (store) zip_set_file_compression(m_zip, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
        return index;
    }
    void folder(const std::string& name, bool utf8 = false) {
        if (zip_dir_add(m_zip, name.c_str(), utf8 ? ZIP_FL_ENC_UTF_8 : ZIP_FL_ENC_CP437) < 0)
            throw std::runtime_error("cannot add " + name);
    }
    // An entry with a Unix file type in its external attributes (a link, a device).
    void special(const std::string& name, const std::string& data, unsigned mode) {
        const zip_int64_t index = file(name, data);
        zip_file_set_external_attributes(m_zip, static_cast<zip_uint64_t>(index), 0, ZIP_OPSYS_UNIX, mode << 16);
    }
    void close() {
        if (zip_close(m_zip) != 0) throw std::runtime_error("cannot write archive");
        m_zip = nullptr;
    }

private:
    zip_t* m_zip = nullptr;
    std::list<std::string> m_buffers;
};

// Clears the UTF-8 flag of every entry, as archivers that write UTF-8 names without saying so.
inline void clearUtf8Flags(const std::string& archive) {
    std::string bytes = readFile(archive);
    const auto clear = [&bytes](const std::string& signature, std::size_t flagOffset) {
        for (auto at = bytes.find(signature); at != std::string::npos; at = bytes.find(signature, at + 4))
            bytes[at + flagOffset + 1] = static_cast<char>(bytes[at + flagOffset + 1] & ~0x08);
    };
    clear(std::string("PK\x03\x04", 4), 6);
    clear(std::string("PK\x01\x02", 4), 8);
    writeFile(archive, bytes);
}

// The names of an archive's entries as stored, and whether each is flagged UTF-8 (or ASCII).
struct StoredName {
    std::string raw;
    bool utf8OrAscii;
};
inline std::vector<StoredName> storedNames(const std::string& archive) {
    int error = 0;
    zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY, &error);
    std::vector<StoredName> names;
    if (!za) return names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i) {
        const std::string raw = zip_get_name(za, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        const std::string strict = zip_get_name(za, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_STRICT);
        names.push_back({raw, raw == strict});
    }
    zip_discard(za);
    return names;
}

}  // namespace hosttest

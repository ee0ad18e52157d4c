#pragma once
// File services: the separator, recursive removal, copies and file times.
#include <string>
#include <string_view>

namespace unitarc::fs {

// The path with "/" appended when its last byte is not "/" (the path is never empty).
std::string addSeparator(std::string_view path);

bool exists(const std::string& path);
bool isDirectory(const std::string& path);
bool isFile(const std::string& path);

// Creates one folder level; false when it could not be created (an existing folder is true).
bool createFolder(const std::string& path);

// Recursive folder removal: 0 done (also when an entry could not be removed and the
// folder stays, or when the folder does not exist); -1 when an error was raised.
// Read-only files are removed; symbolic links are removed, never followed.
int removeTree(const std::string& path);

// Clears the target's read-only bit when it exists, then copies source over it.
// True when the copy was made.
bool copyOver(const std::string& target, const std::string& source);

// Last-write time truncated to 2-second steps, as a day number; now when unreadable.
double fileTime(const std::string& path);

// One plain path component: not empty, not "." or "..", no "/" or "\", no control
// character (so not absolute either).
bool isPlainComponent(std::string_view name);

// The file name of a path (after the last "/"), its extension (".ext", last dot of the
// file name, empty when none) and the folder part with its trailing "/".
std::string fileName(std::string_view path);
std::string extension(std::string_view path);
std::string folderOf(std::string_view path);

// Reads or writes a whole file as bytes; false when it fails.
bool readFile(const std::string& path, std::string& bytes);
bool writeFile(const std::string& path, std::string_view bytes);

}  // namespace unitarc::fs

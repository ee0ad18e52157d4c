#pragma once
// Zip archives for the host: what ExtractFile and CompressFile do.
#include <string>

namespace hostwork {

// Extracts the archive into the destination folder (created when missing) and returns the
// folder that holds the extracted content: the destination. When every entry lies under one
// top folder that holds "数据包描述.xml", that folder's content lands straight in the
// destination. Names are taken as UTF-8 when flagged so, else as CP936; "\" separates
// folders. An archive with an entry that would land outside the destination (.., absolute,
// drive letter), a link or a device entry, or data that cannot be read, fails whole: the
// result is "" and the destination is left as it was.
std::string extractArchive(const std::string& archive, const std::string& destination);

// Writes the folder (a trailing "/" is optional) into a new archive whose entries lie under
// one top folder named after the folder, with UTF-8 names and folder entries, and returns
// the archive path; "" on failure, when no archive is left behind.
std::string compressFolder(const std::string& sourceFolder, const std::string& archive);

}  // namespace hostwork

#pragma once
// Node ids and file ids. One generator seeded once per process: ids drawn in the same clock
// tick never repeat by reseeding.
#include <string>

namespace unitarc::store {

// `length` characters from "0"-"9", "A"-"Z", "a"-"z".
std::string newNodeId(int length = 8);
// The entity code, the local time as "yyyymmddhhMMss", then 4 node-id characters.
std::string newFileId(const std::string& code);

}  // namespace unitarc::store

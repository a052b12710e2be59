#pragma once
#include <string>
#include <string_view>

// A name read back from a file the player keeps (a list line; the folder, list and skin names
// of "KORU.CFG") is bytes, and the file system knows the file by exactly those bytes, UTF-8 or
// not (a CP932 name from an old archive, a Latin-1 name). Names are decoded for display only
// (OutsideTextToUtf8), never for the file system.
//
// The bytes to use for the stored name `raw`, looked up inside `folder` (empty for absolute
// names; otherwise ending in '/'):
// - the raw bytes when they are UTF-8 or name an existing file;
// - their CP932 decoding when the raw bytes name nothing and the decoding names an existing
//   file (lists and settings written on the old platform);
// - otherwise the raw bytes.
std::string NameFromStoredBytes(std::string_view raw, const std::string& folder = {});

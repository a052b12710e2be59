#pragma once
#include <string>
#include <vector>

// The pictures the settings dialog offers: the names (bytes as the file system holds them)
// of the regular files directly inside `folder` whose names end in ".bmp" in any case, in
// the file system's order. Left out: folders and links to folders, dangling links and
// special files (a FIFO would block whoever opens it), and names holding a line break, which
// one line of "KORU.CFG" cannot carry. A missing or unreadable folder gives none.
std::vector<std::string> ListBackgroundFiles(const std::string& folder);

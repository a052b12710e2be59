#include "tests/support/TestSupport.h"
#include <cstdlib>
#include <fstream>
#include <stdexcept>

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velkaf-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_path = pattern + "/";
}

// Makes a tree that a test made unreadable removable again, folder by folder.
static void MakeRemovable(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.is_directory(ec) && !entry.is_symlink(ec)) MakeRemovable(entry.path());
}

TempFolder::~TempFolder() {
    std::error_code ec;
    MakeRemovable(m_path);
    std::filesystem::remove_all(m_path, ec);
}

std::string TempFolder::Write(const std::string& name, const std::string& bytes) const {
    const std::string full = m_path + name;
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return full;
}

std::string TempFolder::Read(const std::string& name) const {
    std::ifstream in(m_path + name, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
}

std::string Id3v1Block(const std::string& title, const std::string& artist, char pad, const std::string& marker) {
    std::string block(128, 'z');
    block.replace(0, 3, marker);
    block.replace(3, 30, (title + std::string(30, pad)).substr(0, 30));
    block.replace(33, 30, (artist + std::string(30, pad)).substr(0, 30));
    return block;
}

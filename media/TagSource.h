#pragma once
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

// The bytes of one media file for one tag read, and the budget that bounds the read whatever
// reader makes it (TagLib, libavformat). A damaged header can send a parser round the same
// bytes without end (an object claiming size 0 is read again and again, up to a count of four
// billion), or ask for a length no file holds; so every charged read is cut at the end of the
// file, and once the read has taken kTagReadBudgetBytes, kTagReadBudgetCalls reads or
// kTagReadTime, every further read reads as the end of the file. Real tags, cover art
// included, need a small part of this. One thread; one read at a time.
constexpr unsigned long kTagReadBudgetBytes = 64ul << 20;
constexpr unsigned kTagReadBudgetCalls = 1u << 15;
constexpr std::chrono::milliseconds kTagReadTime{2000};

class TagSource {
public:
    TagSource(std::string name, long length);
    virtual ~TagSource() = default;
    TagSource(const TagSource&) = delete;
    TagSource& operator=(const TagSource&) = delete;

    const std::string& Name() const { return m_name; }
    long Length() const { return m_length; }

    // How many of `n` bytes at `offset` a reader may read now: cut at the end of the file and
    // charged to the budget as one read (a read at the end too); 0 at the end or once the
    // budget is spent (logged once).
    size_t Charge(size_t n, long offset);
    // Reads `n` bytes at `offset` (inside the file) into `to`, uncharged; returns how many
    // arrived. Charged readers call Charge first; bounded header walks call this directly.
    virtual size_t ReadAt(char* to, size_t n, long offset) = 0;
    // Charge, then ReadAt.
    size_t Read(char* to, size_t n, long offset);
    // The budget is spent: readers stop.
    bool Spent();

private:
    std::string m_name;
    long m_length;
    std::chrono::steady_clock::time_point m_deadline;
    unsigned m_calls = 0;
    unsigned long m_bytes = 0;
    bool m_spent = false;
};

// A regular file, read with pread on an open descriptor the caller owns.
class FileTagSource final : public TagSource {
public:
    FileTagSource(const std::string& path, int fd, long length) : TagSource(path, length), m_fd(fd) {}
    size_t ReadAt(char* to, size_t n, long offset) override;

private:
    int m_fd;
};

// The bytes of a whole file in memory, which outlive the source; `name` plays the path.
class MemoryTagSource final : public TagSource {
public:
    MemoryTagSource(std::string_view bytes, const std::string& name);
    size_t ReadAt(char* to, size_t n, long offset) override;

private:
    std::string_view m_bytes;
};

#include "media/Id3v1Tag.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Text.h"

namespace {

constexpr int kTitleFirst = 3, kTitleLast = 32;
constexpr int kArtistFirst = 33, kArtistLast = 62;

bool Cp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool Cp932Trail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// The shown text of a cut field: a zero byte ends it. A CP932 field that a ripper cut at its
// 30 bytes can end in the first byte of a double-byte character; the display drops that half
// character rather than show a replacement sign (the stored bytes keep it).
std::string ShownText(const std::string& raw) {
    std::string_view text(raw.data(), ::strnlen(raw.data(), raw.size()));
    if (!IsValidUtf8(text)) {
        size_t i = 0;
        while (i + 1 < text.size())
            i += Cp932Lead(static_cast<unsigned char>(text[i])) && Cp932Trail(static_cast<unsigned char>(text[i + 1]))
                     ? 2
                     : 1;
        if (i + 1 == text.size() && Cp932Lead(static_cast<unsigned char>(text[i]))) text.remove_suffix(1);
    }
    return OutsideTextToUtf8(text);
}

}  // namespace

std::string CutId3v1Field(const unsigned char* block, int a, int b) {
    const unsigned char pad = block[b];
    int i = b;
    int end = a;
    // a >= 1 for both fields, so byte i - 1 always lies inside the block.
    while (i >= a) {
        const unsigned char before = block[i - 1];
        if (before != pad && before != '\n') {
            end = i;
            break;
        }
        --i;
    }
    return std::string(reinterpret_cast<const char*>(block) + a, static_cast<size_t>(end - a + 1));
}

Id3v1Tag ParseId3v1Tail(std::string_view tail) {
    unsigned char block[kId3v1Size] = {};
    std::memcpy(block, tail.data(), tail.size() < kId3v1Size ? tail.size() : kId3v1Size);
    Id3v1Tag tag;
    tag.opened = true;
    if (block[0] != 'T' || block[1] != 'A' || block[2] != 'G') return tag;
    tag.present = true;
    tag.title = ShownText(CutId3v1Field(block, kTitleFirst, kTitleLast));
    tag.artist = ShownText(CutId3v1Field(block, kArtistFirst, kArtistLast));
    return tag;
}

Id3v1Tag ReadId3v1Tag(const std::string& path) {
    Id3v1Tag tag;
    // O_NONBLOCK: a FIFO named like a track must not hang the player.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return tag;
    tag.opened = true;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < static_cast<off_t>(kId3v1Size)) {
        ::close(fd);
        return tag;
    }
    char tail[kId3v1Size] = {};
    size_t got = 0;
    off_t at = st.st_size - static_cast<off_t>(kId3v1Size);
    while (got < kId3v1Size) {
        const ssize_t n = ::pread(fd, tail + got, kId3v1Size - got, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // a short read leaves the rest zero
        got += static_cast<size_t>(n);
        at += n;
    }
    ::close(fd);
    return ParseId3v1Tail(std::string_view(tail, kId3v1Size));
}

#include "media/TagLibTag.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <taglib/fileref.h>
#include <taglib/id3v2tag.h>
#include <taglib/tag.h>
#include <taglib/tiostream.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <exception>

#include "platform/Log.h"
#include "platform/Text.h"

namespace {

// ID3v2 fields declared ISO-8859-1 go through our legacy rule instead of TagLib's Latin-1.
// TagLib keeps one handler for the process; it is installed once and never changed.
class LegacyLatin1Handler final : public TagLib::ID3v2::Latin1StringHandler {
public:
    TagLib::String parse(const TagLib::ByteVector& data) const override {
        return TagLib::String(Latin1FieldToUtf8(std::string_view(data.data(), data.size())), TagLib::String::UTF8);
    }
};

void InstallLegacyLatin1Handler() {
    static const LegacyLatin1Handler handler;
    static const bool installed = [] {
        TagLib::ID3v2::Tag::setLatin1StringHandler(&handler);
        return true;
    }();
    (void)installed;
}

// What one tag read may read before its stream reads as ended. A damaged header can send a
// parser round the same bytes without end (an object claiming size 0 is read again and
// again, up to a count of four billion); every parse loop stops at the end of its stream.
// Real tags, cover art included, need a small part of this.
constexpr unsigned long kReadBudgetBytes = 64ul << 20;
constexpr unsigned kReadBudgetCalls = 1u << 15;

// A read-only TagLib stream. Reads are cut at the end, so a length read from a damaged header
// never allocates more than the file holds. Writing does nothing.
class ReadOnlyStream : public TagLib::IOStream {
public:
    ReadOnlyStream(std::string name, long length) : name_(std::move(name)), length_(length) {}
    TagLib::FileName name() const override { return name_.c_str(); }
    TagLib::ByteVector readBlock(unsigned long length) override {
        if (++calls_ > kReadBudgetCalls || bytesRead_ >= kReadBudgetBytes) return TagLib::ByteVector();
        unsigned long n = position_ >= length_ ? 0 : std::min(length, static_cast<unsigned long>(length_ - position_));
        n = std::min(n, kReadBudgetBytes - bytesRead_);
        if (n == 0) return TagLib::ByteVector();
        bytesRead_ += n;
        TagLib::ByteVector block(static_cast<unsigned int>(n), '\0');
        const size_t got = ReadAt(block.data(), n, position_);
        block.resize(static_cast<unsigned int>(got));
        position_ += static_cast<long>(got);
        return block;
    }
    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
    void removeBlock(unsigned long, unsigned long) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return true; }
    void seek(long offset, Position from) override {
        const long base = from == Beginning ? 0 : from == Current ? position_ : length_;
        long to = 0;
        if (__builtin_add_overflow(base, offset, &to)) to = offset > 0 ? LONG_MAX : 0;  // offsets from damaged headers
        position_ = std::max(0L, to);
    }
    long tell() const override { return position_; }
    long length() override { return length_; }
    void truncate(long) override {}

protected:
    // Reads up to `n` bytes at `offset` (inside the stream) into `to`; returns how many.
    virtual size_t ReadAt(char* to, size_t n, long offset) = 0;

private:
    std::string name_;
    long length_;
    long position_ = 0;
    unsigned calls_ = 0;
    unsigned long bytesRead_ = 0;
};

class FileStream final : public ReadOnlyStream {
public:
    FileStream(const std::string& path, int fd, long length) : ReadOnlyStream(path, length), fd_(fd) {}

private:
    size_t ReadAt(char* to, size_t n, long offset) override {
        size_t got = 0;
        while (got < n) {
            const ssize_t r = ::pread(fd_, to + got, n - got, offset + static_cast<long>(got));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;
            got += static_cast<size_t>(r);
        }
        return got;
    }
    int fd_;
};

class MemoryStream final : public ReadOnlyStream {
public:
    MemoryStream(std::string_view bytes, const std::string& name)
        : ReadOnlyStream(name, static_cast<long>(bytes.size())), bytes_(bytes) {}

private:
    size_t ReadAt(char* to, size_t n, long offset) override {
        std::memcpy(to, bytes_.data() + offset, n);
        return n;
    }
    std::string_view bytes_;
};

// UTF-8 of `text`, cut to the field limit without splitting a character.
std::string FieldText(const TagLib::String& text) {
    std::string utf8 = text.to8Bit(true);
    if (utf8.size() > kTagFieldLimit) {
        size_t end = kTagFieldLimit;
        while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
        utf8.resize(end);
    }
    return utf8;
}

TrackTag ReadFromStream(TagLib::IOStream& stream) {
    InstallLegacyLatin1Handler();
    TrackTag tag;
    try {
        const TagLib::FileRef file(&stream, false);
        if (file.isNull() || file.tag() == nullptr) return tag;
        tag.title = FieldText(file.tag()->title());
        tag.artist = FieldText(file.tag()->artist());
    } catch (const std::exception& e) {
        LogLine(std::string("tag of ") + stream.name() + " not read: " + e.what());
        return TrackTag{};
    }
    tag.present = !tag.title.empty() || !tag.artist.empty();
    return tag;
}

}  // namespace

TrackTag ReadTagLibTag(const std::string& path) {
    // O_NONBLOCK: a FIFO named like a track must not hang the player.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return TrackTag{};
    struct stat st {};
    TrackTag tag;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        FileStream stream(path, fd, static_cast<long>(st.st_size));
        tag = ReadFromStream(stream);
    }
    ::close(fd);
    return tag;
}

TrackTag ReadTagLibTagFromBytes(std::string_view bytes, const std::string& name) {
    MemoryStream stream(bytes, name);
    return ReadFromStream(stream);
}

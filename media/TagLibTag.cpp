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
#include <cstdint>
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

// --- ASF: the header is walked before TagLib sees it ------------------------------------------
//
// TagLib reads an ASF attribute list by the count in its header, one attribute per count, and
// goes on when the reads come back empty: 65 535 empty attributes from a 26-byte object (a
// 388-byte file cost 19 MB). The walk below reads the header as TagLib will, object by object
// and attribute by attribute, and lets TagLib read it only when every object ends exactly at
// its declared size (so TagLib reads where the walk read), every attribute lies inside its
// object and the attributes number at most kMaxAsfAttributes.

constexpr int kMaxAsfAttributes = 4096;

const char kAsfHeader[] = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C";
const char kAsfContentDescription[] = "\x33\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C";
const char kAsfExtendedContent[] = "\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50";
const char kAsfHeaderExtension[] = "\xB5\x03\xBF\x5F\x2E\xA9\xCF\x11\x8E\xE3\x00\xC0\x0C\x20\x53\x65";
const char kAsfMetadata[] = "\xEA\xCB\xF8\xC5\xAF\x5B\x77\x48\x84\x67\xAA\x8C\x44\xFA\x4C\xCA";
const char kAsfMetadataLibrary[] = "\x94\x1C\x23\x44\x98\x94\xD1\x49\xA1\x41\x1D\x13\x4E\x45\x70\x54";

class AsfWalk {
public:
    AsfWalk(ReadOnlyStream& stream, long length) : stream_(stream), length_(length) {}

    // True when TagLib may read the header; `why` says what was wrong otherwise.
    bool Plausible(std::string& why) {
        char guid[16];
        uint64_t numObjects = 0;
        if (!Bytes(0, guid, 16) || std::memcmp(guid, kAsfHeader, 16) != 0) return true;  // not ASF
        if (!Number(24, 4, numObjects)) return Fail(why, "short header");
        long at = 30;
        for (uint64_t i = 0; i < numObjects && at + 24 <= length_; ++i) {
            uint64_t size = 0;
            if (!Bytes(at, guid, 16) || !Number(at + 16, 8, size) || !Object(guid, at, size, false))
                return Fail(why, "object " + std::to_string(i) + " at " + std::to_string(at) + " does not add up");
            at += static_cast<long>(size);
        }
        return true;
    }

private:
    bool Fail(std::string& why, std::string what) {
        why = std::move(what);
        return false;
    }
    bool Bytes(long at, char* to, size_t n) {
        return at >= 0 && at + static_cast<long>(n) <= length_ && stream_.ReadAt(to, n, at) == n;
    }
    bool Number(long at, int width, uint64_t& value) {
        unsigned char b[8] = {};
        if (!Bytes(at, reinterpret_cast<char*>(b), static_cast<size_t>(width))) return false;
        value = 0;
        for (int i = width - 1; i >= 0; --i) value = value << 8 | b[i];
        return true;
    }
    // One object of `size` bytes at `at`: it must lie in the file, and what TagLib reads of it
    // must end exactly at its end.
    bool Object(const char* guid, long at, uint64_t size, bool inExtension) {
        if (size < 24 || size > static_cast<uint64_t>(length_ - at)) return false;
        const long end = at + static_cast<long>(size);
        long body = at + 24;
        if (!inExtension && std::memcmp(guid, kAsfContentDescription, 16) == 0) {
            uint64_t total = 10, n = 0;
            for (int i = 0; i < 5; ++i) {
                if (!Number(body + 2 * i, 2, n)) return false;
                total += n;
            }
            return body + static_cast<long>(total) == end;
        }
        if (!inExtension && std::memcmp(guid, kAsfExtendedContent, 16) == 0) return Attributes(body, end, 0);
        if (inExtension && std::memcmp(guid, kAsfMetadata, 16) == 0) return Attributes(body, end, 1);
        if (inExtension && std::memcmp(guid, kAsfMetadataLibrary, 16) == 0) return Attributes(body, end, 2);
        if (!inExtension && std::memcmp(guid, kAsfHeaderExtension, 16) == 0) {
            uint64_t dataSize = 0;
            if (!Number(body + 18, 4, dataSize) || body + 22 + static_cast<long>(dataSize) != end) return false;
            for (long inner = body + 22; inner < end;) {
                char innerGuid[16];
                uint64_t innerSize = 0;
                if (!Bytes(inner, innerGuid, 16) || !Number(inner + 16, 8, innerSize) ||
                    innerSize > static_cast<uint64_t>(end - inner) || !Object(innerGuid, inner, innerSize, true))
                    return false;
                inner += static_cast<long>(innerSize);
            }
            return true;
        }
        return true;  // read whole as its declared size
    }
    // An attribute list of `kind` (0 extended content, 1 metadata, 2 metadata library).
    bool Attributes(long at, long end, int kind) {
        uint64_t count = 0;  // a WORD in all three
        if (!Number(at, 2, count)) return false;
        at += 2;
        for (uint64_t i = 0; i < count; ++i) {
            if (++attributes_ > kMaxAsfAttributes) return false;
            uint64_t nameLength = 0, type = 0, size = 0;
            long value = 0;
            if (kind == 0) {
                if (!Number(at, 2, nameLength) || !Number(at + 2 + static_cast<long>(nameLength), 2, type) ||
                    !Number(at + 4 + static_cast<long>(nameLength), 2, size))
                    return false;
                value = at + 6 + static_cast<long>(nameLength);
            } else {
                if (!Number(at + 4, 2, nameLength) || !Number(at + 6, 2, type) || !Number(at + 8, 4, size))
                    return false;
                value = at + 12 + static_cast<long>(nameLength);
            }
            // A fixed-width value is read by its type: its declared size must say the same.
            static constexpr int kWidth[] = {-1, -1, 0, 4, 8, 2, -1};  // Unicode .. GUID
            if (type > 6) return false;
            const int width = type == 2 ? (kind == 0 ? 4 : 2) : kWidth[type];
            if (width >= 0 && size != static_cast<uint64_t>(width)) return false;
            if (size > static_cast<uint64_t>(end - value)) return false;
            at = value + static_cast<long>(size);
            if (at > end) return false;
        }
        return at == end;
    }

    ReadOnlyStream& stream_;
    long length_;
    int attributes_ = 0;
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

TrackTag ReadFromStream(ReadOnlyStream& stream) {
    InstallLegacyLatin1Handler();
    TrackTag tag;
    std::string why;
    if (!AsfWalk(stream, stream.length()).Plausible(why)) {
        LogLine(std::string("tag of ") + stream.name() + " not read: damaged ASF header (" + why + ")");
        return tag;
    }
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

#include "media/TagLibTag.h"

#include <taglib/apefile.h>
#include <taglib/fileref.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/tiostream.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <exception>
#include <vector>

#include "media/TagSource.h"
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

// A read-only TagLib stream over `length` bytes of a source from `base` on (a window: the
// ID3v2 tag in front of an APE file is read as a file of its own). Reads are charged to the
// source's budget and cut at the end, so a length read from a damaged header never allocates
// more than the file holds. A masked chunk name reads as "JUNK" (superseded WAV tag chunks).
// Writing does nothing.
class TagLibStream final : public TagLib::IOStream {
public:
    explicit TagLibStream(TagSource& source, long base = 0, long length = -1)
        : m_source(source), m_base(base), m_length(length < 0 ? source.Length() - base : length) {}
    TagLib::FileName name() const override { return m_source.Name().c_str(); }
    TagLib::ByteVector readBlock(unsigned long length) override {
        unsigned long n =
            m_position >= m_length ? 0 : std::min(length, static_cast<unsigned long>(m_length - m_position));
        n = m_source.Charge(n, m_base + m_position);
        if (n == 0) return TagLib::ByteVector();
        TagLib::ByteVector block(static_cast<unsigned int>(n), '\0');
        const size_t got = m_source.ReadAt(block.data(), n, m_base + m_position);
        block.resize(static_cast<unsigned int>(got));
        for (const long at : m_masked)
            for (long i = std::max(at, m_position); i < at + 4 && i < m_position + static_cast<long>(got); ++i)
                block[static_cast<unsigned int>(i - m_position)] = "JUNK"[i - at];
        m_position += static_cast<long>(got);
        return block;
    }
    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
    void removeBlock(unsigned long, unsigned long) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return true; }
    void seek(long offset, Position from) override {
        const long base = from == Beginning ? 0 : from == Current ? m_position : m_length;
        long to = 0;
        if (__builtin_add_overflow(base, offset, &to)) to = offset > 0 ? LONG_MAX : 0;  // offsets from damaged headers
        m_position = std::max(0L, to);
    }
    long tell() const override { return m_position; }
    long length() override { return m_length; }
    void truncate(long) override {}

    // The four bytes at `at` (in the stream) read as "JUNK".
    void Mask(long at) { m_masked.push_back(at); }

private:
    TagSource& m_source;
    long m_base;
    long m_length;
    long m_position = 0;
    std::vector<long> m_masked;
};

uint32_t Le32(const char* b) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[i]);
    return v;
}

// --- WAV: the later tag chunk wins ----------------------------------------------------------
//
// A WAV file may hold an ID3v2 chunk and a LIST INFO chunk, and either twice: a tagger appends
// its new chunk and leaves the old. TagLib reads the first of each kind and prefers ID3v2; the
// writer meant the later chunk (ffprobe and mpv show the later of a kind). The walk follows
// the chunks as TagLib does (names of printable ASCII, a zero pad byte at an odd offset, a
// chunk past the end ends the walk) and masks every chunk of a kind but its last; the later
// of the two kinds then gives the fields, the other fills what it lacks. At most
// kMaxRiffChunks chunks are walked.
constexpr int kMaxRiffChunks = 4096;

// True when the last INFO chunk lies after the last ID3v2 chunk.
bool MaskSupersededWavTags(TagSource& source, TagLibStream& stream) {
    const long length = source.Length();
    char head[12];
    if (length < 12 || source.ReadAt(head, 12, 0) != 12 || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        return false;
    long lastId3 = -1, lastInfo = -1;
    long at = 12;
    for (int i = 0; i < kMaxRiffChunks && at + 8 <= length; ++i) {
        char chunk[12] = {};
        const size_t got = source.ReadAt(chunk, static_cast<size_t>(std::min(12L, length - at)), at);
        if (got < 8 || !std::all_of(chunk, chunk + 4, [](char c) { return c >= ' ' && c <= '~'; })) break;
        const long size = static_cast<long>(Le32(chunk + 4));
        if (size > length - at - 8) break;
        const bool id3 = std::memcmp(chunk, "ID3 ", 4) == 0 || std::memcmp(chunk, "id3 ", 4) == 0;
        const bool info = std::memcmp(chunk, "LIST", 4) == 0 && got == 12 && std::memcmp(chunk + 8, "INFO", 4) == 0;
        if (long* last = id3 ? &lastId3 : info ? &lastInfo : nullptr) {
            if (*last >= 0) stream.Mask(*last);
            *last = at;
        }
        at += 8 + size;
        char pad = 1;
        if (at % 2 == 1 && at < length && source.ReadAt(&pad, 1, at) == 1 && pad == '\0') ++at;
    }
    return lastInfo > lastId3;
}

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
    AsfWalk(TagSource& source) : m_source(source), m_length(source.Length()) {}

    // True when TagLib may read the header; `why` says what was wrong otherwise.
    bool Plausible(std::string& why) {
        char guid[16];
        uint64_t numObjects = 0;
        if (!Bytes(0, guid, 16) || std::memcmp(guid, kAsfHeader, 16) != 0) return true;  // not ASF
        if (!Number(24, 4, numObjects)) return Fail(why, "short header");
        long at = 30;
        for (uint64_t i = 0; i < numObjects && at + 24 <= m_length; ++i) {
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
        return at >= 0 && at + static_cast<long>(n) <= m_length && m_source.ReadAt(to, n, at) == n;
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
        if (size < 24 || size > static_cast<uint64_t>(m_length - at)) return false;
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
            if (++m_attributes > kMaxAsfAttributes) return false;
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

    TagSource& m_source;
    long m_length;
    int m_attributes = 0;
};

std::string FieldText(const TagLib::String& text) { return CutTagField(text.to8Bit(true)); }

// The ID3v2 tag in front of an APE, WavPack or Musepack file, as some rippers write it: TagLib
// skips it there. It is read as an MP3 file of its own, a window over the tag's bytes.
TrackTag FrontId3v2Tag(TagSource& source) {
    unsigned char h[10];
    if (source.ReadAt(reinterpret_cast<char*>(h), 10, 0) != 10 || std::memcmp(h, "ID3", 3) != 0 || h[3] == 0xFF ||
        ((h[6] | h[7] | h[8] | h[9]) & 0x80) != 0)
        return {};
    const long size = static_cast<long>(h[6]) << 21 | h[7] << 14 | h[8] << 7 | h[9];
    const long total = 10 + size + ((h[5] & 0x10) != 0 ? 10 : 0);  // with its footer
    TagLibStream window(source, 0, std::min(total, source.Length()));
    TagLib::MPEG::File mpeg(&window, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!mpeg.isValid() || !mpeg.hasID3v2Tag()) return {};
    return {.title = FieldText(mpeg.ID3v2Tag()->title()), .artist = FieldText(mpeg.ID3v2Tag()->artist())};
}

TrackTag ReadFromSource(TagSource& source) {
    InstallLegacyLatin1Handler();
    TrackTag tag;
    std::string why;
    if (!AsfWalk(source).Plausible(why)) {
        LogLine("tag of " + source.Name() + " not read: damaged ASF header (" + why + ")");
        return tag;
    }
    try {
        TagLibStream stream(source);
        const bool infoLast = MaskSupersededWavTags(source, stream);
        const TagLib::FileRef file(&stream, false);
        TagLib::File* const f = file.file();
        const auto* const wav = dynamic_cast<TagLib::RIFF::WAV::File*>(f);
        if (wav != nullptr) {
            // The later kind gives the fields, the other fills what it lacks.
            TagLib::Tag* const info = wav->hasInfoTag() ? wav->InfoTag() : nullptr;
            TagLib::Tag* const id3 = wav->hasID3v2Tag() ? wav->ID3v2Tag() : nullptr;
            TagLib::Tag* const order[] = {infoLast ? info : id3, infoLast ? id3 : info};
            for (TagLib::Tag* const t : order) {
                if (t != nullptr && tag.title.empty()) tag.title = FieldText(t->title());
                if (t != nullptr && tag.artist.empty()) tag.artist = FieldText(t->artist());
            }
        } else if (!file.isNull() && file.tag() != nullptr) {
            tag.title = FieldText(file.tag()->title());
            tag.artist = FieldText(file.tag()->artist());
        }
        const bool apeTagged = dynamic_cast<TagLib::APE::File*>(f) != nullptr ||
                               dynamic_cast<TagLib::WavPack::File*>(f) != nullptr ||
                               dynamic_cast<TagLib::MPC::File*>(f) != nullptr;
        if (tag.title.empty() && apeTagged) {
            const TrackTag front = FrontId3v2Tag(source);
            if (!front.title.empty()) {
                tag.title = front.title;
                if (!front.artist.empty()) tag.artist = front.artist;
            }
        }
    } catch (const std::exception& e) {
        LogLine("tag of " + source.Name() + " not read: " + e.what());
        return TrackTag{};
    }
    tag.present = !tag.title.empty() || !tag.artist.empty();
    return tag;
}

}  // namespace

std::string CutTagField(std::string utf8) {
    if (utf8.size() > kTagFieldLimit) {
        size_t end = kTagFieldLimit;
        while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
        utf8.resize(end);
    }
    return utf8;
}

TrackTag ReadTagLibTag(TagSource& source) { return ReadFromSource(source); }

TrackTag ReadTagLibTagFromBytes(std::string_view bytes, const std::string& name) {
    MemoryTagSource source(bytes, name);
    return ReadFromSource(source);
}

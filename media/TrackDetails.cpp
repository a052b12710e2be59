#include "media/TrackDetails.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/tiostream.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <utility>

#include "media/TagLibTag.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/ReadProbe.h"
#include "platform/Text.h"

namespace {

// One read of the details reads at most this much before its stream reads as ended, as a tag
// read does: every parse loop of TagLib stops at the end of its stream.
constexpr unsigned long kReadBudgetBytes = 64ul << 20;
constexpr unsigned kReadBudgetCalls = 1u << 15;
constexpr int kPictureFrontCover = 3;  // the same number in ID3v2, FLAC and ASF
// A folder with more entries than this is not searched further for a cover picture.
constexpr int kFolderEntryLimit = 10000;

// A read-only TagLib stream over a file descriptor or bytes in memory; reads are cut at the
// end and at the budget, writes do nothing.
class BoundedStream final : public TagLib::IOStream {
public:
    BoundedStream(std::string name, int fd, std::string_view bytes, long length)
        : m_name(std::move(name)), m_fd(fd), m_bytes(bytes), m_length(length) {}
    TagLib::FileName name() const override { return m_name.c_str(); }
    TagLib::ByteVector readBlock(unsigned long length) override {
        if (++m_calls > kReadBudgetCalls || m_bytesRead >= kReadBudgetBytes || m_position >= m_length) return {};
        const unsigned long n =
            std::min({length, static_cast<unsigned long>(m_length - m_position), kReadBudgetBytes - m_bytesRead});
        if (n == 0) return {};
        m_bytesRead += n;
        TagLib::ByteVector block(static_cast<unsigned int>(n), '\0');
        const size_t got = ReadAt(block.data(), n, m_position);
        block.resize(static_cast<unsigned int>(got));
        m_position += static_cast<long>(got);
        return block;
    }
    // Up to `n` bytes at `offset` into `to`, outside the budget; how many were read.
    size_t ReadAt(char* to, size_t n, long offset) const {
        if (offset < 0 || offset >= m_length) return 0;
        n = std::min(n, static_cast<size_t>(m_length - offset));
        if (m_fd < 0) return std::memcpy(to, m_bytes.data() + offset, n), n;
        size_t got = 0;
        while (got < n) {
            const ssize_t r = ::pread(m_fd, to + got, n - got, offset + static_cast<long>(got));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;
            got += static_cast<size_t>(r);
        }
        return got;
    }
    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
    void removeBlock(unsigned long, unsigned long) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return true; }
    void seek(long offset, Position from) override {
        const long base = from == Beginning ? 0 : from == Current ? m_position : m_length;
        long to = 0;
        if (__builtin_add_overflow(base, offset, &to)) to = offset > 0 ? LONG_MAX : 0;
        m_position = std::max(0L, to);
    }
    long tell() const override { return m_position; }
    long length() override { return m_length; }
    long Length() const { return m_length; }
    void truncate(long) override {}

private:
    std::string m_name;
    int m_fd;
    std::string_view m_bytes;
    long m_length;
    long m_position = 0;
    unsigned m_calls = 0;
    unsigned long m_bytesRead = 0;
};

// --- ASF: attribute counts that fit --------------------------------------------------------
//
// TagLib reads an ASF attribute list by the count in its header, one attribute per count even
// when the reads come back empty (65 535 attributes from a 26-byte object). A list whose count
// cannot fit in its object (6 bytes an extended-content attribute at least, 12 a metadata one),
// or an object that does not fit in the file, keeps the file from TagLib: the work stays in
// proportion to the file.

const char kAsfHeader[] = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C";
const char kAsfExtendedContent[] = "\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50";
const char kAsfHeaderExtension[] = "\xB5\x03\xBF\x5F\x2E\xA9\xCF\x11\x8E\xE3\x00\xC0\x0C\x20\x53\x65";
const char kAsfMetadata[] = "\xEA\xCB\xF8\xC5\xAF\x5B\x77\x48\x84\x67\xAA\x8C\x44\xFA\x4C\xCA";
const char kAsfMetadataLibrary[] = "\x94\x1C\x23\x44\x98\x94\xD1\x49\xA1\x41\x1D\x13\x4E\x45\x70\x54";

uint64_t LittleEndian(const BoundedStream& s, long at, int width, bool& ok) {
    unsigned char b[8] = {};
    ok = ok && s.ReadAt(reinterpret_cast<char*>(b), static_cast<size_t>(width), at) == static_cast<size_t>(width);
    uint64_t v = 0;
    for (int i = width - 1; i >= 0; --i) v = v << 8 | b[i];
    return v;
}

// The objects from `at` to `end` (at most `count`): each fits, and so does each attribute list.
bool AsfObjectsFit(const BoundedStream& s, long at, long end, uint64_t count, bool inExtension) {
    for (uint64_t i = 0; i < count && at < end; ++i) {
        char guid[16];
        bool ok = s.ReadAt(guid, 16, at) == 16;
        const uint64_t size = LittleEndian(s, at + 16, 8, ok);
        if (!ok || size < 24 || size > static_cast<uint64_t>(end - at)) return false;
        const long next = at + static_cast<long>(size);
        const auto is = [&](const char* id) { return std::memcmp(guid, id, 16) == 0; };
        const int minimum = !inExtension && is(kAsfExtendedContent)                        ? 6
                            : inExtension && (is(kAsfMetadata) || is(kAsfMetadataLibrary)) ? 12
                                                                                           : 0;
        if (minimum > 0 && LittleEndian(s, at + 24, 2, ok) * minimum > size - 24) return false;
        // The extension's inner objects are read by its data size: it must end with the object.
        if (!inExtension && is(kAsfHeaderExtension) &&
            (size < 46 || LittleEndian(s, at + 42, 4, ok) != size - 46 ||
             !AsfObjectsFit(s, at + 46, next, UINT64_MAX, true)))
            return false;
        if (!ok) return false;
        at = next;
    }
    return true;
}

bool AsfFits(const BoundedStream& s) {
    char guid[16];
    if (s.ReadAt(guid, 16, 0) != 16 || std::memcmp(guid, kAsfHeader, 16) != 0) return true;  // not ASF
    bool ok = true;
    const uint64_t objects = LittleEndian(s, 24, 4, ok);
    return ok && AsfObjectsFit(s, 30, s.Length(), objects, false);
}

std::string Cut(const TagLib::String& text) {
    std::string utf8 = text.to8Bit(true);
    if (utf8.size() > kTagFieldLimit) {
        size_t end = kTagFieldLimit;
        while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
        utf8.resize(end);
    }
    return utf8;
}

std::vector<std::string> Values(const TagLib::PropertyMap& map, const char* key) {
    std::vector<std::string> values;
    const auto it = map.find(key);
    if (it == map.end()) return values;
    for (const TagLib::String& value : it->second) {
        if (values.size() >= kDetailsListLimit) break;
        std::string text = Cut(value.stripWhiteSpace());
        if (!text.empty() && std::find(values.begin(), values.end(), text) == values.end())
            values.push_back(std::move(text));
    }
    return values;
}

int Number(const TagLib::PropertyMap& map, const char* key) {
    const std::vector<std::string> v = Values(map, key);
    return v.empty() ? 0 : std::max(0, ParseLeadingInt(v[0]));
}

// The file extension of a picture by its first bytes; empty for anything else.
const char* PictureExtension(std::string_view b) {
    if (b.starts_with("\xFF\xD8\xFF")) return ".jpg";
    if (b.starts_with("\x89PNG\r\n\x1A\n")) return ".png";
    if (b.starts_with("GIF87a") || b.starts_with("GIF89a")) return ".gif";
    if (b.starts_with("BM")) return ".bmp";
    if (b.size() >= 12 && b.starts_with("RIFF") && b.substr(8, 4) == "WEBP") return ".webp";
    return "";
}

// Keeps the first picture, and a front cover over any other.
struct CoverChoice {
    TagLib::ByteVector bytes;
    bool front = false;
    void Offer(const TagLib::ByteVector& picture, bool isFront) {
        if (picture.isEmpty() || !(bytes.isEmpty() || (isFront && !front))) return;
        bytes = picture;
        front = isFront;
    }
};

void OfferId3v2(CoverChoice& c, TagLib::ID3v2::Tag* tag) {
    if (tag == nullptr) return;
    for (TagLib::ID3v2::Frame* frame : tag->frameList("APIC"))
        if (auto* apic = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frame))
            c.Offer(apic->picture(), apic->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover);
}

void OfferFlac(CoverChoice& c, const TagLib::List<TagLib::FLAC::Picture*>& pictures) {
    for (const TagLib::FLAC::Picture* p : pictures) c.Offer(p->data(), p->type() == kPictureFrontCover);
}

void OfferApe(CoverChoice& c, TagLib::APE::Tag* tag) {
    if (tag == nullptr) return;
    // The item's value is a file name, a zero byte, then the picture.
    const TagLib::APE::ItemListMap& items = tag->itemListMap();
    for (const char* key : {"COVER ART (FRONT)", "COVER ART (OTHER)"}) {
        const auto it = items.find(key);
        if (it == items.end() || it->second.type() != TagLib::APE::Item::Binary) continue;
        const TagLib::ByteVector data = it->second.binaryData();
        const int zero = data.find('\0');
        if (zero >= 0) c.Offer(data.mid(static_cast<unsigned int>(zero) + 1), std::strstr(key, "FRONT") != nullptr);
    }
}

// The properties and the cover of an opened file, by its format.
void Read(TagLib::File* file, bool withCover, TagLib::PropertyMap& map, CoverChoice& cover) {
    using namespace TagLib;
    if (auto* mpeg = dynamic_cast<MPEG::File*>(file)) {
        // Not the ID3v1 tag: its text is read by our own legacy rule (TrackTag.h).
        if (mpeg->hasID3v2Tag()) map = mpeg->ID3v2Tag()->properties();
        else if (mpeg->hasAPETag()) map = mpeg->APETag()->properties();
        if (withCover) OfferId3v2(cover, mpeg->ID3v2Tag());
        if (withCover) OfferApe(cover, mpeg->APETag());
        return;
    }
    map = file->properties();
    if (!withCover) return;
    if (auto* flac = dynamic_cast<FLAC::File*>(file)) {
        OfferFlac(cover, flac->pictureList());
        if (flac->hasXiphComment()) OfferFlac(cover, flac->xiphComment()->pictureList());
        OfferId3v2(cover, flac->hasID3v2Tag() ? flac->ID3v2Tag() : nullptr);
    } else if (auto* xiph = dynamic_cast<Ogg::XiphComment*>(file->tag())) {
        OfferFlac(cover, xiph->pictureList());
    } else if (auto* mp4 = dynamic_cast<MP4::File*>(file)) {
        if (mp4->tag() != nullptr && mp4->tag()->contains("covr"))
            for (const MP4::CoverArt& art : mp4->tag()->item("covr").toCoverArtList()) cover.Offer(art.data(), false);
    } else if (auto* asf = dynamic_cast<ASF::File*>(file)) {
        if (asf->tag() != nullptr)
            for (const ASF::Attribute& a : asf->tag()->attribute("WM/Picture")) {
                const ASF::Picture p = a.toPicture();
                if (p.isValid()) cover.Offer(p.picture(), p.type() == ASF::Picture::FrontCover);
            }
    } else if (auto* ape = dynamic_cast<APE::File*>(file)) {
        OfferApe(cover, ape->APETag());
    } else if (auto* wavpack = dynamic_cast<WavPack::File*>(file)) {
        OfferApe(cover, wavpack->APETag());
    } else if (auto* mpc = dynamic_cast<MPC::File*>(file)) {
        OfferApe(cover, mpc->APETag());
    } else if (auto* wav = dynamic_cast<RIFF::WAV::File*>(file)) {
        if (wav->hasID3v2Tag()) OfferId3v2(cover, wav->ID3v2Tag());
    } else if (auto* aiff = dynamic_cast<RIFF::AIFF::File*>(file)) {
        if (aiff->hasID3v2Tag()) OfferId3v2(cover, aiff->tag());
    }
}

TrackDetails ReadFromStream(BoundedStream& stream, bool withCover) {
    // ID3v2 fields declared ISO-8859-1 go through our legacy rule; TagLibTag installs that
    // handler for the process on its first read, which an empty read makes sure of.
    static const bool handlerInstalled = (ReadTagLibTagFromBytes({}, {}), true);
    (void)handlerInstalled;
    TrackDetails details;
    if (!AsfFits(stream)) {
        LogLine(std::string("details of ") + stream.name() + " not read: damaged ASF header");
        return details;
    }
    try {
        const TagLib::FileRef ref(&stream, false);
        if (ref.isNull()) return details;
        TagLib::PropertyMap map;
        CoverChoice cover;
        Read(ref.file(), withCover, map, cover);
        details.artists = Values(map, "ARTIST");
        details.albumArtists = Values(map, "ALBUMARTIST");
        details.genres = Values(map, "GENRE");
        const std::vector<std::string> album = Values(map, "ALBUM");
        if (!album.empty()) details.album = album[0];
        details.trackNumber = Number(map, "TRACKNUMBER");
        details.discNumber = Number(map, "DISCNUMBER");
        const std::string_view picture(cover.bytes.data(), cover.bytes.size());
        if (picture.size() > kCoverLimitBytes)
            LogLine(std::string("cover of ") + stream.name() + " not taken: " + std::to_string(picture.size()) +
                    " bytes");
        else if (*PictureExtension(picture) == '\0' && !picture.empty())
            LogLine(std::string("cover of ") + stream.name() + " not taken: not a picture format we know");
        else details.cover.assign(picture);
    } catch (const std::exception& e) {
        LogLine(std::string("details of ") + stream.name() + " not read: " + e.what());
        return TrackDetails{};
    }
    return details;
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// 64-bit FNV-1a: with the length it names a cover; two covers that share both are not met.
uint64_t Hash(std::string_view bytes) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : bytes) h = (h ^ c) * 0x100000001b3ull;
    return h;
}

std::string Hex(uint64_t value) {
    static const char digits[] = "0123456789abcdef";
    std::string hex(16, '0');
    for (int i = 15; i >= 0; --i, value >>= 4) hex[static_cast<size_t>(i)] = digits[value & 15];
    return hex;
}

// The cover picture of a folder: cover, folder, front (any case) with .jpg, .jpeg or .png.
std::string FolderCover(const std::string& trackPath) {
    std::string folder = FolderOf(trackPath);
    if (folder.empty()) folder = "./";
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return {};
    static const char* const kStems[] = {"cover", "folder", "front"};
    std::string best;
    int bestRank = 3;
    int seen = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (++seen > kFolderEntryLimit) break;
        const std::string name = entry->d_name;
        const std::string lower = Lower(name);
        const size_t dot = lower.rfind('.');
        if (dot == std::string::npos) continue;
        const std::string ext = lower.substr(dot);
        if (ext != ".jpg" && ext != ".jpeg" && ext != ".png") continue;
        const auto stem = std::find(std::begin(kStems), std::end(kStems), lower.substr(0, dot));
        const int rank = static_cast<int>(stem - std::begin(kStems));
        if (stem == std::end(kStems) || rank > bestRank || (rank == bestRank && !best.empty() && name >= best))
            continue;
        struct stat st {};
        if (::stat((folder + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        best = name;
        bestRank = rank;
    }
    ::closedir(dir);
    return best.empty() ? std::string() : folder + best;
}

}  // namespace

TrackDetails ReadTrackDetails(const std::string& path, bool withCover) {
    // A file whose read blocks has nothing to tell (and the device will not open it).
    return ReadMediaFileWithin<TrackDetails>(path, [withCover](const std::string& file) {
        // O_NONBLOCK: a FIFO named like a track must not hang the player.
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return TrackDetails{};
        struct stat st {};
        TrackDetails details;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            BoundedStream stream(file, fd, {}, static_cast<long>(st.st_size));
            details = ReadFromStream(stream, withCover);
        }
        ::close(fd);
        return details;
    });
}

TrackDetails ReadTrackDetailsFromBytes(std::string_view bytes, const std::string& name, bool withCover) {
    BoundedStream stream(name, -1, bytes, static_cast<long>(bytes.size()));
    return ReadFromStream(stream, withCover);
}

std::string JoinArtists(const std::vector<std::string>& artists) {
    std::string line;
    for (const std::string& artist : artists) line += (line.empty() ? "" : "\xEF\xBC\x8F") + artist;
    return line;
}

std::string CoverCacheFolder() {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && xdg[0] == '/') base = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        base = std::string(home) + "/.cache";
    else return {};
    while (!base.empty() && base.back() == '/') base.pop_back();
    return base + "/velkaf/covers/";
}

std::string CoverFileFor(const std::string& trackPath, std::string_view cover, const std::string& cacheFolder) {
    const char* extension = PictureExtension(cover);
    if (cover.empty() || *extension == '\0' || cover.size() > kCoverLimitBytes || cacheFolder.empty())
        return FolderCover(trackPath);
    const std::string file = cacheFolder + Hex(Hash(cover)) + "-" + std::to_string(cover.size()) + extension;
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && static_cast<size_t>(st.st_size) == cover.size())
        return file;  // written before
    std::error_code ec;
    std::filesystem::create_directories(cacheFolder, ec);
    if (ec || !WriteFileAtomically(file, cover)) {
        LogLine("cover of " + trackPath + " not written to " + cacheFolder + (ec ? ": " + ec.message() : ""));
        return FolderCover(trackPath);
    }
    return file;
}

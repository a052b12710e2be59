#include "media/ReplayGain.h"

#include <sys/stat.h>
#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/textidentificationframe.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <deque>
#include <exception>
#include <mutex>

#include "platform/Log.h"
#include "platform/ReadProbe.h"

namespace {

constexpr double kMaxGainDb = 64.0;
constexpr double kMaxPeak = 100.0;
// -23 LUFS (R128) lies 5 dB below ReplayGain's reference loudness.
constexpr double kR128ToReplayGainDb = 5.0;
constexpr std::size_t kCachedFiles = 4;
constexpr const char* kMp4FreeformPrefix = "----:com.apple.iTunes:";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// [sign] digits [. digits]: the whole of `s`, nothing else.
std::optional<double> PlainDecimal(std::string_view s) {
    std::string_view body = s;
    if (!body.empty() && (body.front() == '+' || body.front() == '-')) body.remove_prefix(1);
    bool digits = false, dot = false;
    for (char c : body) {
        if (c >= '0' && c <= '9') digits = true;
        else if (c == '.' && !dot) dot = true;
        else return std::nullopt;
    }
    if (!digits || body.front() == '.' || body.back() == '.') return std::nullopt;
    if (s.front() == '+') s.remove_prefix(1);  // from_chars takes '-' only
    double value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

struct CacheEntry {
    std::string path;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    struct timespec mtime {};
    GainTags tags;
};

void Add(std::vector<std::pair<std::string, std::string>>& fields, const TagLib::String& key,
         const TagLib::StringList& values) {
    if (!values.isEmpty()) fields.emplace_back(key.to8Bit(true), values.front().to8Bit(true));
}

void AddMap(std::vector<std::pair<std::string, std::string>>& fields, const TagLib::PropertyMap& map) {
    for (const auto& [key, values] : map) Add(fields, key, values);
}

void AddApe(std::vector<std::pair<std::string, std::string>>& fields, TagLib::APE::Tag* ape) {
    if (ape == nullptr) return;
    for (const auto& [key, item] : ape->itemListMap()) Add(fields, key, item.values());
}

// Only kinds that carry loudness tags are given to TagLib: others (ASF above all, whose header
// TagLib may read without bound) are never parsed here.
bool MayCarryLoudnessTags(const std::string& path) {
    static constexpr const char* kExtensions[] = {"flac", "mp3",  "mp2", "m4a", "mp4", "m4b", "ogg",
                                                  "oga",  "opus", "spx", "ape", "wv",  "mpc"};
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
    const std::string extension = Upper(std::string_view(path).substr(dot + 1));
    for (const char* known : kExtensions)
        if (extension == Upper(known)) return true;
    return false;
}

// Every key and first value of the file's tags that can hold loudness values.
std::vector<std::pair<std::string, std::string>> ReadFields(const std::string& path) {
    std::vector<std::pair<std::string, std::string>> fields;
    if (!MayCarryLoudnessTags(path)) return fields;
    const TagLib::FileRef ref(path.c_str(), false);
    TagLib::File* file = ref.file();
    if (file == nullptr || !file->isValid()) return fields;
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) {
        // Both tags: an ID3v2 tag with only TXXX frames counts as empty to the merged view.
        if (TagLib::ID3v2::Tag* id3 = mpeg->ID3v2Tag(false)) {
            for (TagLib::ID3v2::Frame* frame : id3->frameList("TXXX")) {
                auto* txxx = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
                if (txxx == nullptr) continue;
                TagLib::StringList values = txxx->fieldList();
                if (!values.isEmpty()) values.erase(values.begin());  // the description comes first
                Add(fields, txxx->description(), values);
            }
        }
        AddApe(fields, mpeg->APETag(false));
    } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file)) {
        if (TagLib::MP4::Tag* tag = mp4->tag()) {
            for (const auto& [key, item] : tag->itemMap()) {
                if (key.startsWith(kMp4FreeformPrefix))
                    Add(fields, key.substr(TagLib::String(kMp4FreeformPrefix).size()), item.toStringList());
            }
        }
    } else if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) {
        if (TagLib::Ogg::XiphComment* xiph = flac->xiphComment(false)) AddMap(fields, xiph->properties());
    } else if (auto* ape = dynamic_cast<TagLib::APE::File*>(file)) {
        AddApe(fields, ape->APETag(false));
    } else if (auto* wv = dynamic_cast<TagLib::WavPack::File*>(file)) {
        AddApe(fields, wv->APETag(false));
    } else if (auto* mpc = dynamic_cast<TagLib::MPC::File*>(file)) {
        AddApe(fields, mpc->APETag(false));
    } else if (auto* xiph = dynamic_cast<TagLib::Ogg::XiphComment*>(file->tag())) {
        AddMap(fields, xiph->properties());  // Ogg Vorbis, Opus, Speex, Ogg FLAC
    }
    return fields;
}

}  // namespace

std::optional<double> ParseGainText(std::string_view text) {
    std::string_view s = Trim(text);
    if (s.size() >= 2 && Upper(s.substr(s.size() - 2)) == "DB") s = Trim(s.substr(0, s.size() - 2));
    const std::optional<double> value = PlainDecimal(s);
    if (!value || std::fabs(*value) > kMaxGainDb) return std::nullopt;
    return *value;
}

std::optional<double> ParsePeakText(std::string_view text) {
    const std::optional<double> value = PlainDecimal(Trim(text));
    if (!value || !(*value > 0) || *value > kMaxPeak) return std::nullopt;
    return *value;
}

std::optional<double> ParseR128Text(std::string_view text) {
    const std::string_view s = Trim(text);
    std::string_view digits = s;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
    if (digits.empty() || digits.size() > 5) return std::nullopt;
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (s.front() == '-') value = -value;
    if (value < -32768 || value > 32767) return std::nullopt;
    return value / 256.0 + kR128ToReplayGainDb;
}

GainTags GainTagsFromFields(const std::vector<std::pair<std::string, std::string>>& fields) {
    struct Key {
        const char* name;
        std::optional<double> (*parse)(std::string_view);
        bool album, peak, r128;
    };
    static constexpr Key kKeys[] = {
        {"REPLAYGAIN_TRACK_GAIN", ParseGainText, false, false, false},
        {"REPLAYGAIN_TRACK_PEAK", ParsePeakText, false, true, false},
        {"REPLAYGAIN_ALBUM_GAIN", ParseGainText, true, false, false},
        {"REPLAYGAIN_ALBUM_PEAK", ParsePeakText, true, true, false},
        {"R128_TRACK_GAIN", ParseR128Text, false, false, true},
        {"R128_ALBUM_GAIN", ParseR128Text, true, false, true},
    };
    GainTags tags;
    std::optional<double> r128[2];
    for (const auto& [key, value] : fields) {
        const std::string name = Upper(Trim(key));
        for (const Key& k : kKeys) {
            if (name != k.name) continue;
            const std::optional<double> parsed = k.parse(value);
            if (!parsed) {
                LogLine("loudness tag " + name + "=\"" + value + "\" is not a value: left out");
                continue;
            }
            GainPair& pair = k.album ? tags.album : tags.track;
            if (k.r128) r128[k.album ? 1 : 0] = parsed;
            else if (k.peak) pair.peak = parsed;
            else pair.gainDb = parsed;
        }
    }
    // Opus's own tags are relative to its output gain, which the decoder has applied already.
    if (r128[0]) tags.track.gainDb = r128[0];
    if (r128[1]) tags.album.gainDb = r128[1];
    for (auto [to, from] : {std::pair{&tags.album, &tags.track}, std::pair{&tags.track, &tags.album}}) {
        if (!to->gainDb) to->gainDb = from->gainDb;
        if (!to->peak) to->peak = from->peak;
    }
    return tags;
}

GainTags ReadGainTags(const std::string& path) {
    static std::mutex mutex;
    static std::deque<CacheEntry> cache;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    const auto same = [&](const CacheEntry& e) {
        return e.path == path && e.dev == st.st_dev && e.ino == st.st_ino && e.size == st.st_size &&
               e.mtime.tv_sec == st.st_mtim.tv_sec && e.mtime.tv_nsec == st.st_mtim.tv_nsec;
    };
    {
        const std::lock_guard<std::mutex> lock(mutex);
        for (const CacheEntry& e : cache)
            if (same(e)) return e.tags;
    }
    // A file whose read blocks plays as it is (and the device will not open it).
    const GainTags tags = ReadMediaFileWithin<GainTags>(path, [](const std::string& file) {
        try {
            return GainTagsFromFields(ReadFields(file));
        } catch (const std::exception& e) { LogLine("loudness tags of " + file + " could not be read: " + e.what()); }
        return GainTags{};
    });
    if (LogEnabled() && tags.track.gainDb) {
        LogLine("loudness tags of " + path + ": track " + std::to_string(*tags.track.gainDb) + " dB, album " +
                std::to_string(*tags.album.gainDb) + " dB, peak " +
                (tags.track.peak ? std::to_string(*tags.track.peak) : std::string("unknown")));
    }
    const std::lock_guard<std::mutex> lock(mutex);
    cache.push_front(CacheEntry{path, st.st_dev, st.st_ino, st.st_size, st.st_mtim, tags});
    if (cache.size() > kCachedFiles) cache.pop_back();
    return tags;
}

double AppliedGainDb(const GainTags& tags, GainMode mode, bool shuffled) {
    if (mode == GainMode::Auto) mode = shuffled ? GainMode::Track : GainMode::Album;
    if (mode == GainMode::Off) return 0;
    const GainPair& pair = mode == GainMode::Album ? tags.album : tags.track;
    if (!pair.gainDb) return 0;
    // The file's own peak bounds its samples exactly; the album's is an upper bound of it.
    const double peak = tags.track.peak.value_or(tags.album.peak.value_or(1.0));
    const double room = -20.0 * std::log10(peak);  // the largest gain that keeps the peak in
    return std::clamp(std::min(*pair.gainDb, room), -kMaxGainDb, kMaxGainDb);
}

std::string GainCommandWord(double gainDb) {
    // Rounded down (a hair of tolerance keeps "-6.02" itself): a gain fitted to the peak stays within it.
    const long hundredths = static_cast<long>(std::floor(gainDb * 100.0 + 1e-6));
    if (hundredths == 0) return {};
    const long magnitude = hundredths < 0 ? -hundredths : hundredths;
    const long rest = magnitude % 100;
    return (hundredths < 0 ? "-" : "") + std::to_string(magnitude / 100) + (rest < 10 ? ".0" : ".") +
           std::to_string(rest);
}

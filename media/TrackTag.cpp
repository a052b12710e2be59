#include "media/TrackTag.h"

#include "media/Id3v1Tag.h"
#include "media/TagLibTag.h"
#include "platform/ReadProbe.h"

namespace {

bool Blank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

// ID3v1 first; a blank one gives way to a TagLib tag with text.
template <typename ReadOther>
TrackTag Choose(const Id3v1Tag& id3v1, ReadOther readOther) {
    const bool blank = Blank(id3v1.title) && Blank(id3v1.artist);
    if (id3v1.present && !blank) return id3v1;
    TrackTag other = readOther();
    if (other.present || !id3v1.present) return other;
    return id3v1;
}

}  // namespace

TrackTag ReadTrackTag(const std::string& path) {
    // A file whose read blocks has no tag to show (and the device will not open it).
    if (!FirstBytesReadable(path, kMediaReadBoundMs)) return {};
    return Choose(ReadId3v1Tag(path), [&path] { return ReadTagLibTag(path); });
}

TrackTag ReadTrackTagFromBytes(std::string_view bytes, const std::string& name) {
    Id3v1Tag id3v1;
    if (bytes.size() >= kId3v1Size) id3v1 = ParseId3v1Tail(bytes.substr(bytes.size() - kId3v1Size));
    return Choose(id3v1, [&] { return ReadTagLibTagFromBytes(bytes, name); });
}

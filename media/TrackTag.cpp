#include "media/TrackTag.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "media/AvFormatTag.h"
#include "media/Id3v1Tag.h"
#include "media/TagLibTag.h"
#include "media/TagSource.h"
#include "platform/ReadProbe.h"

namespace {

bool Blank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

// ID3v1 first; a blank one gives way to a container tag with text.
template <typename ReadOther>
TrackTag Choose(const Id3v1Tag& id3v1, ReadOther readOther) {
    const bool blank = Blank(id3v1.title) && Blank(id3v1.artist);
    if (id3v1.present && !blank) return id3v1;
    TrackTag other = readOther();
    if (other.present || !id3v1.present) return other;
    return id3v1;
}

// The tag inside the container, by the reader that knows the container best: libavformat for
// Matroska and WebM; TagLib for the rest, and libavformat for an Ogg file TagLib made nothing
// of. Both share the one budget of the source.
TrackTag ReadContainerTag(TagSource& source) {
    const AvContainer container = AvTagContainer(source);
    if (container == AvContainer::Matroska) return ReadAvFormatTag(source, container);
    TrackTag tag = ReadTagLibTag(source);
    if (!tag.present && container == AvContainer::Ogg) tag = ReadAvFormatTag(source, container);
    return tag;
}

}  // namespace

namespace {
TrackTag ReadTrackTagNow(const std::string& path) {
    return Choose(ReadId3v1Tag(path), [&path] {
        // O_NONBLOCK: a FIFO named like a track must not hang the player.
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) return TrackTag{};
        struct stat st {};
        TrackTag tag;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            FileTagSource source(path, fd, static_cast<long>(st.st_size));
            tag = ReadContainerTag(source);
        }
        ::close(fd);
        return tag;
    });
}
}  // namespace

TrackTag ReadTrackTag(const std::string& path) {
    // A file whose read blocks has no tag to show (and the device will not open it).
    return ReadMediaFileWithin<TrackTag>(path, ReadTrackTagNow);
}

TrackTag ReadTrackTagFromBytes(std::string_view bytes, const std::string& name) {
    Id3v1Tag id3v1;
    if (bytes.size() >= kId3v1Size) id3v1 = ParseId3v1Tail(bytes.substr(bytes.size() - kId3v1Size));
    return Choose(id3v1, [&] {
        MemoryTagSource source(bytes, name);
        return ReadContainerTag(source);
    });
}

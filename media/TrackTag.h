#pragma once
#include <string>
#include <string_view>

// What the display's second title line shows of a track's tag, as UTF-8.
struct TrackTag {
    bool present = false;  // a tag to show was found
    std::string title;
    std::string artist;
};

// The tag of the file at `path` for the second title line: the ID3v1 tag when the file has
// one (its marker decides, as it always has), otherwise the container's own tag, read by the
// reader that knows the container best: libavformat for Matroska and WebM, TagLib for the rest
// (TagLibTag.h), then libavformat for an Ogg file TagLib cannot read (AvFormatTag.h); one read
// budget bounds both (TagSource.h). An ID3v1 tag whose title and artist are both empty (or
// blanks) gives way to a container tag that has text, so a blank legacy tag never hides a
// full one. Never throws; never blocks on a FIFO or a device node; anything that is not a
// regular file has no container tag.
TrackTag ReadTrackTag(const std::string& path);

// The same rule over the bytes of a whole file in memory; `name` (its file name) guides the
// format detection as a path's extension does.
TrackTag ReadTrackTagFromBytes(std::string_view bytes, const std::string& name);

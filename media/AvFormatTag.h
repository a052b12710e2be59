#pragma once
#include "media/TrackTag.h"

class TagSource;

// The containers whose tags TagLib 1.13 cannot read, known by the first bytes of the file.
enum class AvContainer {
    None,
    Matroska,  // Matroska and WebM: the EBML magic 1A 45 DF A3
    Ogg,       // "OggS": read here when TagLib made nothing of it (a Theora picture beside Vorbis sound)
};
AvContainer AvTagContainer(TagSource& source);

// The title and artist of a Matroska or WebM file (the segment's title and its tags for the
// whole file) or of an Ogg file (the comments of its sound stream, else of another stream),
// read with libavformat's demuxer for that one container: nothing is probed, no packet is
// decoded. libavformat reads through the source (a seekable reader of our own), charged to its
// budget: once the budget is spent every read is the end of the file, and the interrupt
// callback the demuxer polls says stop. Text that is not UTF-8 is read as CP932; fields
// are cut as TagLib's are (kTagFieldLimit). A damaged file gives what the demuxer could make of
// it, usually nothing, with a log line. container None gives no tag.
TrackTag ReadAvFormatTag(TagSource& source, AvContainer container);

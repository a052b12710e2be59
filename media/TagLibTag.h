#pragma once
#include <string>
#include <string_view>

#include "media/TrackTag.h"

class TagSource;

// Tags beyond ID3v1, read with TagLib: ID3v2.2/2.3/2.4 (in MP3, MP2, AAC, WAV, AIFF),
// Vorbis comments (FLAC, Ogg Vorbis, Opus, Speex), MP4 atoms (M4A, MP4, M4V), APE tags (APE,
// WavPack, Musepack) and ASF (WMA, ASF). The format is found from the name's extension, then
// from the content. Matroska, WebM, Ogg video and FLV have no tag TagLib reads (AvFormatTag.h).
// Two fixes on TagLib's reading: a WAV file's later ID3v2 or INFO chunk wins over an earlier
// one of its kind (TagLib would read the first); the ID3v2 tag in front of an APE, WavPack or
// Musepack file gives the title and artist when the file's own tag has no title.
//
// present is true when the title or the artist has text. Fields are UTF-8; an ID3v2 field
// declared ISO-8859-1 is read by Latin1FieldToUtf8 (Japanese legacy tags). A field is cut at
// kTagFieldLimit bytes, on a character boundary: the title strip shows far less, and a huge
// field must not cost the drawing seconds. Files are read only, never written; anything that
// is not a regular file has no tag. A malformed tag gives what TagLib could make of it,
// usually nothing; never a crash.
// Reads within the source's budget (TagSource.h).
TrackTag ReadTagLibTag(TagSource& source);

// The same over the bytes of a whole file; `name` plays the part of the path.
TrackTag ReadTagLibTagFromBytes(std::string_view bytes, const std::string& name);

constexpr std::size_t kTagFieldLimit = 1024;

// The UTF-8 `utf8` cut to kTagFieldLimit bytes without splitting a character.
std::string CutTagField(std::string utf8);

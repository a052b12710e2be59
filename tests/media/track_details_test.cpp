// What the bus is told of a track: tags and the embedded cover read from bytes, the cover's file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/textidentificationframe.h>
#include <initializer_list>
#include "media/TrackDetails.h"
#include "tests/support/TestSupport.h"

namespace {
using namespace TagLib;
const std::string kPng = std::string("\x89PNG\r\n\x1A\n", 8) + "front", kJpeg = "\xFF\xD8\xFF\xE0 back";

ID3v2::Frame* Text(const char* id, std::initializer_list<const char*> values) {
    auto* frame = new ID3v2::TextIdentificationFrame(id, String::UTF8);
    StringList list;
    for (const char* v : values) list.append(String(v, String::UTF8));
    frame->setText(list);
    return frame;
}

ID3v2::Frame* Picture(ID3v2::AttachedPictureFrame::Type type, const std::string& bytes) {
    auto* frame = new ID3v2::AttachedPictureFrame;
    frame->setType(type);
    frame->setPicture(ByteVector(bytes.data(), static_cast<unsigned>(bytes.size())));
    return frame;
}

// An ID3v2.4 tag of `frames` before eight MPEG-1 Layer III frames of 417 bytes (128 kbit/s).
std::string Mp3(std::initializer_list<ID3v2::Frame*> frames) {
    ID3v2::Tag tag;
    for (ID3v2::Frame* f : frames) tag.addFrame(f);
    const ByteVector rendered = tag.render(4);
    std::string bytes(rendered.data(), rendered.size());
    for (int i = 0; i < 8; ++i) bytes += std::string("\xFF\xFB\x90\x64", 4) + std::string(413, '\0');
    return bytes;
}

TEST(TrackDetailsTest, TagsAndTheFrontCoverOfAnId3v2Tag) {
    using P = ID3v2::AttachedPictureFrame;
    const struct { const char* what; std::string bytes; bool withCover; TrackDetails expected; } cases[] = {
        {"every field", Mp3({Text("TPE1", {"piman", "jzig"}), Text("TALB", {"Album"}), Text("TPE2", {"V.A."}),
                             Text("TRCK", {"3/12"}), Text("TPOS", {"2"}), Text("TCON", {"Ambient"})}), true,
         {.artists = {"piman", "jzig"}, .albumArtists = {"V.A."}, .genres = {"Ambient"}, .album = "Album",
          .trackNumber = 3, .discNumber = 2}},
        {"front over back", Mp3({Picture(P::BackCover, kJpeg), Picture(P::FrontCover, kPng)}), true, {.cover = kPng}},
        {"else the first", Mp3({Picture(P::Other, kJpeg), Picture(P::Media, kPng)}), true, {.cover = kJpeg}},
        {"no picture format", Mp3({Picture(P::FrontCover, "<html>")}), true, {}},
        {"not asked for", Mp3({Picture(P::FrontCover, kPng)}), false, {}},
        {"no tag", Mp3({}), true, {}},
        {"not media", "plain text", true, {}},
    };
    for (const auto& c : cases) {
        const TrackDetails d = ReadTrackDetailsFromBytes(c.bytes, "x.mp3", c.withCover);
        const TrackDetails& e = c.expected;
        EXPECT_EQ(std::tie(d.artists, d.albumArtists, d.genres, d.album, d.trackNumber, d.discNumber, d.cover),
                  std::tie(e.artists, e.albumArtists, e.genres, e.album, e.trackNumber, e.discNumber, e.cover))
            << c.what;
    }
    EXPECT_EQ(JoinArtists({"piman", "jzig"}), "piman／jzig");
}

TEST(TrackDetailsTest, TheEmbeddedCoverIsWrittenOnceByItsBytesElseTheFoldersPictureNamesIt) {
    TempFolder cache, tracks;
    const std::string track = tracks.Write("a/x.mp3", "x");
    const std::string file = CoverFileFor(track, kPng, cache.path() + "velkaf/covers/");
    EXPECT_TRUE(file.starts_with(cache.path() + "velkaf/covers/") && file.ends_with("-13.png")) << file;
    EXPECT_EQ(cache.Read(file.substr(cache.path().size())), kPng);
    struct stat before {}, after {};
    ::stat(file.c_str(), &before);
    EXPECT_EQ(CoverFileFor(tracks.Write("b/y.mp3", "y"), kPng, cache.path() + "velkaf/covers/"), file);
    ::stat(file.c_str(), &after);
    EXPECT_EQ(before.st_ino, after.st_ino) << "not written again";
    EXPECT_NE(CoverFileFor(track, kJpeg, cache.path() + "velkaf/covers/"), file);
    // A cover of the size limit is written; one byte more is not (the folder has no picture to name).
    const std::string largest = std::string(kPng) + std::string(kCoverLimitBytes - std::string(kPng).size(), '\0');
    EXPECT_TRUE(CoverFileFor(track, largest, cache.path()).ends_with("-16777216.png"));
    EXPECT_EQ(CoverFileFor(track, largest + '\0', cache.path()), "");

    const struct { std::vector<std::string> files; std::string chosen; } folders[] = {
        {{"Folder.PNG", "cover.jpeg", "front.jpg"}, "cover.jpeg"},
        {{"FRONT.JPG", "back.jpg"}, "FRONT.JPG"},
        {{"folder.jpg", "Folder.jpg"}, "Folder.jpg"},
        {{"cover.gif", "albumart.jpg", "cover.jpg/inside"}, ""},
        {{}, ""},
    };
    for (const auto& f : folders) {
        TempFolder folder;
        for (const std::string& name : f.files) folder.Write(name, "picture");
        const std::string song = folder.Write("song.flac", "fLaC");
        const std::string chosen = f.chosen.empty() ? "" : folder.path() + f.chosen;
        EXPECT_EQ(CoverFileFor(song, "", cache.path()), chosen) << ::testing::PrintToString(f.files);
        EXPECT_EQ(CoverFileFor(song, "not a picture", cache.path()), chosen) << ::testing::PrintToString(f.files);
    }
}
}  // namespace

// Cutting the ID3v1 title and artist from their padding, and reading the tag from files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "media/Id3v1Tag.h"
#include "tests/support/TestSupport.h"

namespace {

// A 128-byte tag block: marker, then the 30-byte title and artist fields as given (each
// padded with `pad` to 30 bytes), the rest filled with 'z'.
std::string Block(const std::string& marker, const std::string& title, const std::string& artist, char pad = '\0') {
    std::string block(128, 'z');
    block.replace(0, 3, marker);
    block.replace(3, 30, (title + std::string(30, pad)).substr(0, 30));
    block.replace(33, 30, (artist + std::string(30, pad)).substr(0, 30));
    return block;
}

std::string Raw(const std::string& block, int a, int b) {
    return CutId3v1Field(reinterpret_cast<const unsigned char*>(block.data()), a, b);
}

TEST(Id3v1CutTest, FieldIsCutAfterItsFirstPaddingByte) {
    struct Case {
        const char* name;
        std::string field;  // exactly 30 bytes
        std::string raw;    // bytes a..end
    };
    const Case cases[] = {
        {"zero padding", "Song" + std::string(26, '\0'), std::string("Song\0", 5)},
        {"blank padding keeps one blank", "Song" + std::string(26, ' '), "Song "},
        {"all blanks give one blank", std::string(30, ' '), " "},
        {"all zeros give one zero", std::string(30, '\0'), std::string(1, '\0')},
        {"30 equal letters give one", std::string(30, 'x'), "x"},
        {"line feed before padding is kept", "Band\n" + std::string(25, '\0'), "Band\n"},
        {"line feeds among padding are walked over", "ab\n\n" + std::string(26, '\0'), "ab\n"},
        {"full field ending in a new byte is whole", std::string(29, 'q') + "r", std::string(29, 'q') + "r"},
        {"padding inside the text stays", "A  B" + std::string(26, ' '), "A  B "},
        {"last byte repeated by the text", std::string(28, 'm') + "nn", std::string(28, 'm') + "n"},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(c.field.size(), 30u);
        std::string block(128, 'k');
        block.replace(3, 30, c.field);
        EXPECT_EQ(Raw(block, 3, 32), c.raw) << c.name;
    }
}

TEST(Id3v1CutTest, AllPaddingFieldLooksAtTheByteBeforeIt) {
    // The title's walk ends at the marker's 'G'; the artist's at the title's last byte.
    std::string block = Block("TAG", std::string(30, 'G'), std::string(30, '\0'));
    EXPECT_EQ(Raw(block, 3, 32), "G");
    EXPECT_EQ(Raw(block, 33, 62), std::string(1, '\0'));
    block[32] = '\0';
    EXPECT_EQ(Raw(block, 33, 62), std::string(1, '\0'));
}

TEST(Id3v1ParseTest, TitleAndArtistAsShown) {
    struct Case {
        const char* name;
        std::string block;
        bool present;
        std::string title;
        std::string artist;
    };
    const Case cases[] = {
        {"zero padded", Block("TAG", "Song", "Band"), true, "Song", "Band"},
        {"blank padded", Block("TAG", "Song", "Band", ' '), true, "Song ", "Band "},
        {"blank fields", Block("TAG", "", "", ' '), true, " ", " "},
        {"empty fields", Block("TAG", "", ""), true, "", ""},
        {"artist with line feed", Block("TAG", "T", "Band\n"), true, "T", "Band\n"},
        {"zero inside ends the text", Block("TAG", std::string("AB\0CD", 5), "x", ' '), true, "AB", "x "},
        {"lower-case marker", Block("tag", "Song", "Band"), false, "", ""},
        {"no marker", Block("ID3", "Song", "Band"), false, "", ""},
        {"Shift-JIS decoded", Block("TAG", "\x8B\xC8", "\x89\xCC\x8E\xE8"), true, "\xE6\x9B\xB2", "\xE6\xAD\x8C\xE6\x89\x8B"},
        {"UTF-8 kept", Block("TAG", "\xE6\x9B\xB2", "Z"), true, "\xE6\x9B\xB2", "Z"},
        {"undecodable byte replaced", Block("TAG", "a\xFF", "b"), true, "a\xEF\xBF\xBD", "b"},
    };
    for (const Case& c : cases) {
        const Id3v1Tag tag = ParseId3v1Tail(c.block);
        EXPECT_TRUE(tag.opened) << c.name;
        EXPECT_EQ(tag.present, c.present) << c.name;
        EXPECT_EQ(tag.title, c.title) << c.name;
        EXPECT_EQ(tag.artist, c.artist) << c.name;
    }
}

TEST(Id3v1ParseTest, ShortTailCountsAsZero) {
    EXPECT_FALSE(ParseId3v1Tail("TA").present);
    const Id3v1Tag tag = ParseId3v1Tail("TAGabc");
    EXPECT_TRUE(tag.present);
    EXPECT_EQ(tag.title, "abc");
    EXPECT_EQ(tag.artist, "");
}

TEST(Id3v1FileTest, ReadsTheLast128BytesOfFiles) {
    struct Case {
        const char* name;
        std::string bytes;
        bool present;
        std::string title;
    };
    const std::string block = Block("TAG", "Song", "Band");
    const Case cases[] = {
        {"tag after audio", std::string(5000, 'a') + block, true, "Song"},
        {"tag only", block, true, "Song"},
        {"tag one byte too early", std::string(10, 'a') + block + "x", false, ""},
        {"shorter than a tag", "TAGSong", false, ""},
        {"empty", "", false, ""},
        {"127 bytes", block.substr(0, 127), false, ""},
    };
    for (const Case& c : cases) {
        TempFolder tmp;
        const Id3v1Tag tag = ReadId3v1Tag(tmp.Write("t.mp3", c.bytes));
        EXPECT_TRUE(tag.opened) << c.name;
        EXPECT_EQ(tag.present, c.present) << c.name;
        EXPECT_EQ(tag.title, c.title) << c.name;
    }
}

TEST(Id3v1FileTest, WhatCannotBeReadHasNoTag) {
    TempFolder tmp;
    EXPECT_FALSE(ReadId3v1Tag(tmp.path() + "missing.mp3").opened);
    EXPECT_FALSE(ReadId3v1Tag(tmp.path() + "missing.mp3").present);

    ::mkdir((tmp.path() + "folder.mp3").c_str(), 0755);
    const Id3v1Tag folder = ReadId3v1Tag(tmp.path() + "folder.mp3");
    EXPECT_FALSE(folder.present);

    // A FIFO would block a plain open until a writer came.
    const std::string fifo = tmp.path() + "pipe.mp3";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const Id3v1Tag pipe = ReadId3v1Tag(fifo);
    EXPECT_FALSE(pipe.present);
}

}  // namespace

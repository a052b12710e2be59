// Cutting the ID3v1 title and artist from their padding, and the tag in a file's last bytes
// (files: tag_test.cpp).
#include <gtest/gtest.h>

#include <string>

#include "media/Id3v1Tag.h"

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
    const struct { const char* name; std::string field, raw; } cases[] = {  // field: 30 bytes
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
    for (const auto& c : cases) {
        std::string block(128, 'k');
        block.replace(3, 30, c.field);
        EXPECT_EQ(Raw(block, 3, 32), c.raw) << c.name;
    }
    // An all-padding field looks at the byte before it: the marker's 'G', the title's last.
    std::string block = Block("TAG", std::string(30, 'G'), std::string(30, '\0'));
    EXPECT_EQ(Raw(block, 3, 32), "G");
    EXPECT_EQ(Raw(block, 33, 62), std::string(1, '\0'));
}

TEST(Id3v1ParseTest, TitleAndArtistAsShown) {
    const struct { const char* name; std::string tail; bool present; std::string title, artist; } cases[] = {
        {"zero padded", Block("TAG", "Song", "Band"), true, "Song", "Band"},
        {"blank padded", Block("TAG", "Song", "Band", ' '), true, "Song ", "Band "},
        {"empty fields", Block("TAG", "", ""), true, "", ""},
        {"zero inside ends the text", Block("TAG", std::string("AB\0CD", 5), "x", ' '), true, "AB", "x "},
        {"lower-case marker", Block("tag", "Song", "Band"), false, "", ""},
        {"marker with one letter off", Block("TAx", "Song", "Band"), false, "", ""},
        {"no marker", Block("ID3", "Song", "Band"), false, "", ""},
        {"Shift-JIS decoded", Block("TAG", "\x8B\xC8", "\x89\xCC\x8E\xE8"), true, "\xE6\x9B\xB2", "\xE6\xAD\x8C\xE6\x89\x8B"},
        {"UTF-8 kept", Block("TAG", "\xE6\x9B\xB2", "Z"), true, "\xE6\x9B\xB2", "Z"},
        {"undecodable byte replaced", Block("TAG", "a\xFF", "b"), true, "a\xEF\xBF\xBD", "b"},
        {"a short read counts as zero", "TAGabc", true, "abc", ""},
        {"too short for the marker", "TA", false, "", ""},
    };
    for (const auto& c : cases) {
        const Id3v1Tag tag = ParseId3v1Tail(c.tail);
        EXPECT_EQ(tag.present, c.present) << c.name;
        EXPECT_EQ(tag.title, c.title) << c.name;
        EXPECT_EQ(tag.artist, c.artist) << c.name;
    }
}

}  // namespace

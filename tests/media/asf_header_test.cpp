// ASF headers are walked before TagLib reads them: an attribute list whose count its object
// cannot hold, or an object that does not end where it says, leaves the file without a tag
// (TagLib would make one empty attribute per count, 65 535 of them from a few bytes).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "media/TagLibTag.h"

namespace {

std::string Le(uint64_t value, int width) {
    std::string bytes;
    for (int i = 0; i < width; ++i) bytes += static_cast<char>(value >> (8 * i) & 0xFF);
    return bytes;
}
std::string Guid(const char (&bytes)[17]) { return std::string(bytes, 16); }
const std::string kHeader = Guid("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C");
const std::string kContent = Guid("\x33\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C");
const std::string kExtended = Guid("\x40\xA4\xD0\xD2\x07\xE3\xD2\x11\x97\xF0\x00\xA0\xC9\x5E\xA8\x50");
const std::string kFileProperties = Guid("\xA1\xDC\xAB\x8C\x47\xA9\xCF\x11\x8E\xE4\x00\xC0\x0C\x20\x53\x65");
const std::string kStreamProperties = Guid("\x91\x07\xDC\xB7\xB7\xA9\xCF\x11\x8E\xE6\x00\xC0\x0C\x20\x53\x65");

// ASCII text as UTF-16LE with its terminating zero.
std::string Utf16(const std::string& text) {
    std::string bytes;
    for (const char c : text + '\0') bytes += std::string{c, '\0'};
    return bytes;
}
// An object: its GUID, its size (`sizeAdjust` added to the true one) and its body.
std::string Object(const std::string& guid, const std::string& body, int64_t sizeAdjust = 0) {
    return guid + Le(static_cast<uint64_t>(24 + static_cast<int64_t>(body.size()) + sizeAdjust), 8) + body;
}
std::string ContentDescription(const std::string& title, const std::string& artist) {
    const std::string t = Utf16(title), a = Utf16(artist);
    return Object(kContent, Le(t.size(), 2) + Le(a.size(), 2) + Le(0, 2) + Le(0, 2) + Le(0, 2) + t + a);
}
// One extended-content attribute: name, type, declared size and the value's bytes.
std::string Attribute(const std::string& name, int type, size_t size, const std::string& value) {
    const std::string n = Utf16(name);
    return Le(n.size(), 2) + n + Le(static_cast<uint64_t>(type), 2) + Le(size, 2) + value;
}
std::string Extended(uint64_t count, const std::string& attributes) {
    return Object(kExtended, Le(count, 2) + attributes);
}
std::string Repeated(const std::string& piece, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) all += piece;
    return all;
}
// A header with the two objects every file has (zeroed), then `objects`, `count` of them.
std::string Asf(const std::string& objects, int count) {
    const std::string all = Object(kFileProperties, std::string(80, '\0')) +
                            Object(kStreamProperties, std::string(80, '\0')) + objects;
    return kHeader + Le(30 + all.size(), 8) + Le(static_cast<uint64_t>(count + 2), 4) + "\x01\x02" + all;
}

TEST(AsfHeaderTest, OnlyHeadersThatAddUpAreRead) {
    const std::string song = ContentDescription("Song", "Singer");
    const std::string empty = Attribute("", 0, 0, "");  // the smallest attribute: 6 bytes
    struct Case {
        const char* name;
        std::string file;
        const char* title;  // "" when the file has no tag
    };
    const Case cases[] = {
        {.name = "content description", .file = Asf(song, 1), .title = "Song"},
        {.name = "and one attribute", .file = Asf(song + Extended(1, Attribute("WM/Year", 0, 10, Utf16("1999"))), 2),
         .title = "Song"},
        {.name = "a boolean of its width", .file = Asf(song + Extended(1, Attribute("B", 2, 4, Le(1, 4))), 2),
         .title = "Song"},
        {.name = "4096 attributes", .file = Asf(song + Extended(4096, Repeated(empty, 4096)), 2), .title = "Song"},
        {.name = "4097 attributes", .file = Asf(song + Extended(4097, Repeated(empty, 4097)), 2), .title = ""},
        {.name = "count past its object", .file = Asf(song + Extended(65535, ""), 2), .title = ""},
        {.name = "count short of its object", .file = Asf(song + Extended(0, empty), 2), .title = ""},
        {.name = "a boolean of 2 bytes", .file = Asf(song + Extended(1, Attribute("B", 2, 2, Le(1, 2))), 2),
         .title = ""},
        {.name = "unknown value type", .file = Asf(song + Extended(1, Attribute("B", 7, 0, "")), 2), .title = ""},
        {.name = "value past its object", .file = Asf(song + Extended(1, Attribute("B", 1, 9, "x")), 2), .title = ""},
        {.name = "object under 24 bytes", .file = Asf(song + kExtended + Le(10, 8), 2), .title = ""},
        {.name = "object past the file", .file = Asf(song + Object(kExtended, Le(0, 2), 100), 2), .title = ""},
        {.name = "description of other lengths", .file = Asf(Object(kContent, Le(40, 2) + Repeated("\0", 8)), 1),
         .title = ""},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadTagLibTagFromBytes(c.file, "t.wma").title, c.title) << c.name;
}

}  // namespace

#include "platform/Text.h"

#include <iconv.h>

#include <cerrno>
#include <climits>
#include <mutex>

int ParseLeadingInt(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    if (value < INT_MIN) value = INT_MIN;
    return static_cast<int>(value);
}

size_t Utf8SequenceAt(std::string_view s, size_t at, char32_t& codePoint) {
    const unsigned char c = static_cast<unsigned char>(s[at]);
    size_t extra;
    if (c < 0x80) {
        codePoint = c;
        return 1;
    } else if (c >= 0xC2 && c <= 0xDF) {
        extra = 1;
        codePoint = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        extra = 2;
        codePoint = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        extra = 3;
        codePoint = c & 0x07;
    } else return 0;
    if (at + extra >= s.size()) return 0;
    for (size_t k = 1; k <= extra; ++k) {
        const unsigned char d = static_cast<unsigned char>(s[at + k]);
        if ((d & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (d & 0x3F);
    }
    const char32_t cp = codePoint;
    if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    return extra + 1;
}

bool IsValidUtf8(std::string_view s) {
    char32_t codePoint;
    for (size_t i = 0, length; i < s.size(); i += length)
        if ((length = Utf8SequenceAt(s, i, codePoint)) == 0) return false;
    return true;
}

namespace {
// One converter for the process; iconv descriptors are not thread-safe, so guard it.
std::mutex g_iconvMutex;
iconv_t g_cp932 = reinterpret_cast<iconv_t>(-1);
bool g_cp932Tried = false;

constexpr const char* kReplacement = "\xEF\xBF\xBD";

// CP932 to UTF-8 into `out`. Strict: false at the first byte that does not decode (a cut
// sequence, an unassigned code, no converter). Otherwise such a byte becomes U+FFFD.
bool DecodeCp932(std::string_view bytes, bool strict, std::string& out) {
    std::lock_guard<std::mutex> lock(g_iconvMutex);
    if (!g_cp932Tried) {
        g_cp932Tried = true;
        g_cp932 = iconv_open("UTF-8", "CP932");
    }
    if (g_cp932 == reinterpret_cast<iconv_t>(-1)) {
        if (strict) return false;
        for (unsigned char c : bytes) out += c < 0x80 ? std::string(1, static_cast<char>(c)) : kReplacement;
        return true;
    }
    iconv(g_cp932, nullptr, nullptr, nullptr, nullptr);
    std::string input(bytes);
    char* in = input.data();
    size_t inLeft = input.size();
    char buffer[1024];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        const size_t r = iconv(g_cp932, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (r == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            if (strict) return false;
            // An invalid or cut sequence: replace one byte and go on.
            out += kReplacement;
            ++in;
            --inLeft;
            iconv(g_cp932, nullptr, nullptr, nullptr, nullptr);
        }
    }
    return true;
}

void AppendUtf8(std::string& out, unsigned int cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Windows-1252 0x80..0x9F; the five codes it leaves free keep their control character.
constexpr unsigned short kWindows1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsC1(unsigned char c) { return c >= 0x80 && c <= 0x9F; }

// The byte shape of Japanese legacy text (see Latin1FieldToUtf8): every byte starts a
// one-byte character (ASCII, half-width katakana 0xA1-0xDF) or a double-byte one (lead
// 0x81-0x9F or 0xE0-0xFC, not the user-defined 0xF0-0xF9; trail 0x40-0x7E or 0x80-0xFC),
// some byte is in 0x80-0x9F, and two high bytes pair up somewhere.
bool HasCp932Shape(std::string_view bytes) {
    bool c1 = false, highPair = false, afterDouble = false;
    for (size_t i = 0; i < bytes.size();) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80 || (c >= 0xA1 && c <= 0xDF)) {
            afterDouble = false;
            ++i;
            continue;
        }
        const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF) || (c >= 0xFA && c <= 0xFC);
        if (!lead || i + 1 >= bytes.size()) return false;
        const unsigned char t = static_cast<unsigned char>(bytes[i + 1]);
        if (t < 0x40 || t == 0x7F || t > 0xFC) return false;
        c1 = c1 || IsC1(c) || IsC1(t);
        highPair = highPair || t >= 0x80 || afterDouble;
        afterDouble = true;
        i += 2;
    }
    return c1 && highPair;
}

}  // namespace

std::string OutsideTextToUtf8(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return std::string(bytes);
    std::string out;
    DecodeCp932(bytes, false, out);
    return out;
}

std::string Latin1FieldToUtf8(std::string_view bytes) {
    if (IsValidUtf8(bytes)) return std::string(bytes);
    std::string out;
    if (HasCp932Shape(bytes) && DecodeCp932(bytes, true, out)) return out;
    out.clear();
    for (unsigned char c : bytes) AppendUtf8(out, IsC1(c) ? kWindows1252High[c - 0x80] : c);
    return out;
}

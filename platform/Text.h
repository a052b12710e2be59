#pragma once
#include <string>
#include <string_view>

// The C library's decimal reading, made safe: leading blanks skipped, an optional sign,
// digits up to the first other character; no digits gives 0; values beyond the 32-bit
// range saturate instead of being undefined.
int ParseLeadingInt(std::string_view text);

// The well-formed UTF-8 sequence that starts at `at` (< bytes.size()): its length in bytes,
// 1 to 4, with its code point in `codePoint`; 0 when none starts there (a stray, overlong or
// cut sequence, a surrogate, beyond U+10FFFF).
size_t Utf8SequenceAt(std::string_view bytes, size_t at, char32_t& codePoint);

// True when `bytes` is well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

// Text read from outside (tag fields, list-file lines, configuration texts, file names):
// taken as it stands when it is valid UTF-8, otherwise decoded from CP932 (bytes that do not
// decode become U+FFFD). Never fails.
std::string OutsideTextToUtf8(std::string_view bytes);

// A tag field declared ISO-8859-1, as UTF-8 for display. Japanese players on Windows wrote
// CP932 into such fields, and many taggers write UTF-8 into them, so the bytes are read as:
// 1. UTF-8 when they are valid UTF-8 (plain ASCII included);
// 2. CP932 when all of these hold: they decode as CP932 without error and without a
//    user-defined character; they hold a byte from 0x80 to 0x9F; and they hold a double-byte
//    character whose second byte is 0x80 or above, or two double-byte characters in a row;
// 3. otherwise Windows-1252 (Latin-1 with the 0x80-0x9F punctuation that Windows taggers put
//    there, as web browsers read text labelled ISO-8859-1).
// Limits. True ISO-8859-1 text is never misread: it holds no byte from 0x80 to 0x9F (control
// codes in that set). Windows-1252 text is misread only when a curly quote, dash, ellipsis or
// other 0x80-0x9F sign stands right beside an accented letter or another such sign ("e-acute
// then right quote") and every high byte of the field happens to pair into a valid CP932
// code; a lone sign between letters ("It's" with a curly apostrophe) does not qualify, and a
// sign or accented letter at the end or before a blank breaks the decode. Both are rare in
// titles. Japanese text is missed (read as Windows-1252) only when it has no byte from 0x80
// to 0x9F (level-2 kanji and half-width katakana alone) or is a single double-byte character
// whose second byte is ASCII, such as a one-letter katakana title.
std::string Latin1FieldToUtf8(std::string_view bytes);

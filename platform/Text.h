#pragma once
#include <string>
#include <string_view>

// The C library's decimal reading, made safe: leading blanks skipped, an optional sign,
// digits up to the first other character; no digits gives 0; values beyond the 32-bit
// range saturate instead of being undefined.
int ParseLeadingInt(std::string_view text);

// True when `bytes` is well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

// Text read from outside (tag fields, list-file lines, configuration texts, file names):
// taken as it stands when it is valid UTF-8, otherwise decoded from CP932 (bytes that do not
// decode become U+FFFD). Never fails.
std::string OutsideTextToUtf8(std::string_view bytes);

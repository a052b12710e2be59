#include "device/DeviceCommand.h"

#include <charconv>
#include <vector>

namespace {

struct Token {
    std::string_view text;
    bool quoted = false;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Splits at blanks; a token that starts with a double quote runs to the next double quote.
// Returns false (with a reason) on an unterminated quote or a quote inside a word.
bool Tokenize(std::string_view text, std::vector<Token>& out, std::string& error) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        if (text[i] == '"') {
            const std::size_t close = text.find('"', i + 1);
            if (close == std::string_view::npos) {
                error = "unterminated quote";
                return false;
            }
            if (close + 1 < text.size() && !IsBlank(text[close + 1])) {
                error = "text right after a closing quote";
                return false;
            }
            out.push_back({text.substr(i + 1, close - i - 1), true});
            i = close + 1;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !IsBlank(text[end])) {
            if (text[end] == '"') {
                error = "quote inside a word";
                return false;
            }
            ++end;
        }
        out.push_back({text.substr(i, end - i), false});
        i = end;
    }
    return true;
}

bool ParseInt32(std::string_view s, int32_t& value) {
    if (s.empty()) return false;
    std::size_t start = 0;
    if (s[0] == '+') start = 1;  // from_chars takes '-' but not '+'
    if (start == s.size()) return false;
    const char* first = s.data() + start;
    const char* last = s.data() + s.size();
    if (*first == '+' || (*first == '-' && start == 1)) return false;
    auto result = std::from_chars(first, last, value);
    return result.ec == std::errc() && result.ptr == last;
}

// "-6.02", "+3.1", "4": sign, digits, at most two decimals, within kMaxGainHundredths.
bool ParseGainWord(std::string_view s, int32_t& hundredths) {
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    const std::size_t dot = s.find('.');
    const std::string_view whole = s.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : s.substr(dot + 1);
    if (whole.empty() || whole.size() > 2 ||
        (dot != std::string_view::npos && (fraction.empty() || fraction.size() > 2)))
        return false;
    int32_t value = 0;
    for (std::size_t i = 0; i < whole.size() + 2; ++i) {
        const char ch =
            i < whole.size() ? whole[i] : (i - whole.size() < fraction.size() ? fraction[i - whole.size()] : '0');
        if (ch < '0' || ch > '9') return false;
        value = value * 10 + (ch - '0');
    }
    if (value > kMaxGainHundredths) return false;
    hundredths = negative ? -value : value;
    return true;
}

class Parser {
public:
    explicit Parser(std::vector<Token> tokens) : m_tokens(std::move(tokens)) {}

    bool AtEnd() const { return m_pos >= m_tokens.size(); }

    // The next token when it is the keyword `word` (unquoted, any case).
    bool Accept(std::string_view word) {
        if (AtEnd() || m_tokens[m_pos].quoted || !EqualsNoCase(m_tokens[m_pos].text, word)) return false;
        ++m_pos;
        return true;
    }

    bool Word(std::string_view& out) {
        if (AtEnd() || m_tokens[m_pos].quoted) return false;
        out = m_tokens[m_pos++].text;
        return true;
    }

    bool Number(int32_t& out) {
        std::string_view word;
        return Word(word) && ParseInt32(word, out);
    }

    bool Gain(int32_t& out) {
        std::string_view word;
        return Word(word) && ParseGainWord(word, out);
    }

    bool Path(std::string& out) {
        if (AtEnd()) return false;
        out.assign(m_tokens[m_pos].text);
        ++m_pos;
        return !out.empty();
    }

private:
    std::vector<Token> m_tokens;
    std::size_t m_pos = 0;
};

ParsedCommand Fail(std::string why) { return ParsedCommand{std::nullopt, std::move(why)}; }

// The path is the next word unless the caller has split it off already (a quoted path).
ParsedCommand ParseOpen(Parser& p, DeviceCommand& c, bool pathTaken) {
    if (!pathTaken && !p.Path(c.path)) return Fail("open needs a file");
    bool sawType = false;
    bool sawAlias = false;
    while (!p.AtEnd()) {
        if (!sawType && p.Accept("type")) {
            sawType = true;
            if (!p.Accept("mpegvideo")) return Fail("only type mpegvideo is supported");
        } else if (!sawAlias && p.Accept("alias")) {
            sawAlias = true;
            std::string_view alias;
            if (!p.Word(alias)) return Fail("alias needs a name");
            c.alias.assign(alias);
        } else {
            return Fail("unexpected word after open");
        }
    }
    if (!sawAlias) c.alias = c.path;
    return ParsedCommand{c, {}};
}

// Line breaks and NUL never belong to the words of a command; a NUL would also cut the path
// handed to the C library.
bool HasControlCharacter(std::string_view text, bool lineBreaksToo) {
    for (char ch : text) {
        if (ch == '\0' || (lineBreaksToo && (ch == '\n' || ch == '\r'))) return true;
    }
    return false;
}

// `open "<path>" ...`: the path runs from the first double quote to the last one, so a file
// name may hold quotes (and line breaks, both legal in names), while the words after it, which
// the caller writes and which never hold a quote, are all the parser reads. False when the
// command is not a quoted open.
bool SplitQuotedOpen(std::string_view text, std::string_view& path, std::string_view& tail) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (text.size() - i < 4 || !EqualsNoCase(text.substr(i, 4), "open")) return false;
    i += 4;
    const std::size_t blanks = i;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i == blanks || i == text.size() || text[i] != '"') return false;
    const std::size_t last = text.rfind('"');
    if (last == i) return false;  // unterminated: the tokenizer says why
    path = text.substr(i + 1, last - i - 1);
    tail = text.substr(last + 1);
    return true;
}

// `cue <alias> next "<path>"`: as with open, the quoted path runs to the last quote. `head`
// gets the words before the path. False when the command is not a cue with a quoted path.
bool SplitQuotedCue(std::string_view text, std::string_view& head, std::string_view& path, std::string_view& tail) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (text.size() - i < 4 || !EqualsNoCase(text.substr(i, 3), "cue") || !IsBlank(text[i + 3])) return false;
    const std::size_t first = text.find('"');
    const std::size_t last = text.rfind('"');
    if (first == std::string_view::npos || last == first) return false;
    if (!IsBlank(text[first - 1])) return false;  // a quote inside a word: the tokenizer says why
    head = text.substr(0, first);
    path = text.substr(first + 1, last - first - 1);
    tail = text.substr(last + 1);
    return true;
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

std::string GainText(int32_t hundredths) {
    const int64_t magnitude = hundredths < 0 ? -static_cast<int64_t>(hundredths) : hundredths;
    const int64_t rest = magnitude % 100;
    return (hundredths < 0 ? "-" : "") + std::to_string(magnitude / 100) + (rest < 10 ? ".0" : ".") +
           std::to_string(rest);
}

ParsedCommand ParseDeviceCommand(std::string_view text) {
    if (text.size() > kMaxCommandLength) return Fail("command too long");
    std::string error;
    std::string_view path;
    std::string_view tail;
    if (SplitQuotedOpen(text, path, tail)) {
        if (HasControlCharacter(path, false) || HasControlCharacter(tail, true)) {
            return Fail("control character in command");
        }
        if (!tail.empty() && !IsBlank(tail.front())) return Fail("text right after a closing quote");
        std::vector<Token> tokens;
        if (!Tokenize(tail, tokens, error)) return Fail(error);
        Parser p(std::move(tokens));
        DeviceCommand c;
        c.verb = DeviceVerb::Open;
        c.path.assign(path);
        if (c.path.empty()) return Fail("open needs a file");
        return ParseOpen(p, c, true);
    }
    std::string_view head;
    std::vector<Token> tokens;
    if (SplitQuotedCue(text, head, path, tail)) {
        if (HasControlCharacter(path, false) || HasControlCharacter(head, true) || HasControlCharacter(tail, true)) {
            return Fail("control character in command");
        }
        if (!tail.empty() && !IsBlank(tail.front())) return Fail("text right after a closing quote");
        if (path.empty()) return Fail("cue needs a file or nothing");
        // The path is one quoted word between the words before and after it.
        std::vector<Token> after;
        if (!Tokenize(head, tokens, error) || !Tokenize(tail, after, error)) return Fail(error);
        tokens.push_back({path, true});
        tokens.insert(tokens.end(), after.begin(), after.end());
    } else {
        if (HasControlCharacter(text, true)) return Fail("control character in command");
        if (!Tokenize(text, tokens, error)) return Fail(error);
    }
    Parser p(std::move(tokens));

    DeviceCommand c;
    if (p.Accept("open")) {
        c.verb = DeviceVerb::Open;
        return ParseOpen(p, c, false);
    }

    struct VerbName {
        std::string_view name;
        DeviceVerb verb;
    };
    static constexpr VerbName kVerbs[] = {
        {"close", DeviceVerb::Close}, {"stop", DeviceVerb::Stop},     {"play", DeviceVerb::Play},
        {"pause", DeviceVerb::Pause}, {"seek", DeviceVerb::Seek},     {"status", DeviceVerb::Status},
        {"set", DeviceVerb::Set},     {"window", DeviceVerb::Window}, {"where", DeviceVerb::Where},
        {"put", DeviceVerb::Put},     {"cue", DeviceVerb::Cue},       {"track", DeviceVerb::Track},
    };
    bool known = false;
    for (const VerbName& v : kVerbs) {
        if (p.Accept(v.name)) {
            c.verb = v.verb;
            known = true;
            break;
        }
    }
    if (!known) return Fail("unknown command");

    std::string_view alias;
    if (!p.Word(alias)) return Fail("missing alias");
    c.alias.assign(alias);

    switch (c.verb) {
    case DeviceVerb::Close:
    case DeviceVerb::Stop:
    case DeviceVerb::Pause: break;
    case DeviceVerb::Play:
        if (p.Accept("from")) {
            c.hasFrom = true;
            if (!p.Number(c.from)) return Fail("play from needs a number");
        }
        break;
    case DeviceVerb::Seek:
        if (!p.Accept("to")) return Fail("seek needs 'to'");
        if (p.Accept("start")) {
            c.seekTarget = SeekTarget::Start;
        } else if (p.Accept("end")) {
            c.seekTarget = SeekTarget::End;
        } else if (!p.Number(c.to)) {
            return Fail("seek to needs a number, start or end");
        }
        break;
    case DeviceVerb::Status:
        if (p.Accept("position")) {
            c.item = StatusItem::Position;
        } else if (p.Accept("length")) {
            c.item = StatusItem::Length;
        } else if (p.Accept("mode")) {
            c.item = StatusItem::Mode;
        } else if (p.Accept("time") && p.Accept("format")) {
            c.item = StatusItem::TimeFormat;
        } else {
            return Fail("unknown status item");
        }
        break;
    case DeviceVerb::Set:
        if (p.Accept("gain")) {
            c.setsGain = true;
            if (!p.Gain(c.gain)) return Fail("set gain needs a gain in dB");
            break;
        }
        if (!(p.Accept("time") && p.Accept("format"))) return Fail("set needs 'time format'");
        if (p.Accept("frames")) {
            c.format = TimeFormat::Frames;
        } else if (p.Accept("milliseconds") || p.Accept("ms")) {
            c.format = TimeFormat::Milliseconds;
        } else {
            return Fail("unknown time format");
        }
        break;
    case DeviceVerb::Window:
        if (!p.Accept("handle")) return Fail("window needs 'handle'");
        if (p.Accept("default")) {
            c.defaultWindow = true;
            if (p.Accept("state")) {
                if (!p.Accept("minimized")) return Fail("only state minimized is supported");
                c.minimized = true;
            }
        } else if (!p.Number(c.handle)) {
            return Fail("window handle needs a number or default");
        }
        break;
    case DeviceVerb::Where:
        if (!p.Accept("destination")) return Fail("where needs 'destination'");
        break;
    case DeviceVerb::Put:
        if (!p.Accept("destination")) return Fail("put needs 'destination'");
        if (p.Accept("at")) {
            c.hasRect = true;
            for (int32_t& v : c.rect) {
                if (!p.Number(v)) return Fail("put destination at needs four numbers");
            }
            if (c.rect[2] < 0 || c.rect[3] < 0) return Fail("negative destination size");
        }
        break;
    case DeviceVerb::Cue:
        if (!p.Accept("next")) return Fail("cue needs 'next'");
        if (!p.AtEnd()) p.Path(c.path);
        if (p.Accept("gain") && (c.path.empty() || !p.Gain(c.gain)))
            return Fail("cue gain needs a file and a gain in dB");
        break;
    case DeviceVerb::Track:
        if (p.Accept("audio")) c.track = TrackKind::Audio;
        else if (p.Accept("subtitle")) c.track = TrackKind::Subtitle;
        else return Fail("track needs 'audio' or 'subtitle'");
        c.nextTrack = p.Accept("next");
        break;
    case DeviceVerb::Open: break;
    }
    if (!p.AtEnd()) return Fail("unexpected words at the end");
    return ParsedCommand{c, {}};
}

std::string FormatDeviceCommand(const DeviceCommand& c) {
    switch (c.verb) {
    case DeviceVerb::Open: {
        std::string s = "open \"" + c.path + "\" type mpegvideo";
        if (c.alias != c.path) s += " alias " + c.alias;
        return s;
    }
    case DeviceVerb::Close: return "close " + c.alias;
    case DeviceVerb::Stop: return "stop " + c.alias;
    case DeviceVerb::Pause: return "pause " + c.alias;
    case DeviceVerb::Play: return "play " + c.alias + (c.hasFrom ? " from " + std::to_string(c.from) : "");
    case DeviceVerb::Seek:
        switch (c.seekTarget) {
        case SeekTarget::Start: return "seek " + c.alias + " to start";
        case SeekTarget::End: return "seek " + c.alias + " to end";
        case SeekTarget::Number: return "seek " + c.alias + " to " + std::to_string(c.to);
        }
        break;
    case DeviceVerb::Status: {
        static constexpr const char* kItems[] = {"position", "length", "mode", "time format"};
        return "status " + c.alias + " " + kItems[static_cast<int>(c.item)];
    }
    case DeviceVerb::Set:
        if (c.setsGain) return "set " + c.alias + " gain " + GainText(c.gain);
        return "set " + c.alias + " time format " + (c.format == TimeFormat::Frames ? "frames" : "milliseconds");
    case DeviceVerb::Window:
        if (c.defaultWindow) {
            return "window " + c.alias + " handle default" + (c.minimized ? " state minimized" : "");
        }
        return "window " + c.alias + " handle " + std::to_string(c.handle);
    case DeviceVerb::Where: return "where " + c.alias + " destination";
    case DeviceVerb::Put: {
        std::string s = "put " + c.alias + " destination";
        if (c.hasRect) {
            s += " at";
            for (int32_t v : c.rect) s += " " + std::to_string(v);
        }
        return s;
    }
    case DeviceVerb::Cue:
        if (c.path.empty()) return "cue " + c.alias + " next";
        return "cue " + c.alias + " next \"" + c.path + "\"" + (c.gain != 0 ? " gain " + GainText(c.gain) : "");
    case DeviceVerb::Track:
        return "track " + c.alias + (c.track == TrackKind::Audio ? " audio" : " subtitle") +
               (c.nextTrack ? " next" : "");
    }
    return {};
}

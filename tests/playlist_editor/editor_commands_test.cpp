// The editor's commands against the loops they replace, run literally one exchange at a time
// on list-box lines, on many random lists with many equal keys. A move or a delete says whether
// it changed the lines or the selection: the window leaves the view alone when not.
#include <gtest/gtest.h>
#include <strings.h>
#include <algorithm>
#include <cstring>
#include <functional>
#include "platform/Random.h"
#include "playlist/editor/EditorCommands.h"

namespace {
// Line i is ">" or " " and then entry i (its number is its position). The marker is kept
// per line, as the list box keeps it, so one left anywhere but on the current line shows.
struct Box {
    std::vector<std::string> lines; std::vector<char> sel; int cur = 0;
    int Size() const { return static_cast<int>(lines.size()); }
    void Exchange(int a, int b, bool keepSelected) {  // both lines rewritten for their contents
        std::swap(lines[a], lines[b]);
        cur = cur == a ? b : cur == b ? a : cur;
        for (const int line : {a, b}) { lines[line][0] = cur == line ? '>' : ' '; sel[line] = keepSelected; }
    }
};

void LiteralSort(Box& b, int mode) {
    const bool only = std::count(b.sel.begin(), b.sel.end(), 1) >= 2;
    const auto key = [&](int line) {  // the path, or the name after its last '/'
        const char* path = b.lines[line].c_str() + 1;
        return mode >= 2 && std::strrchr(path, '/') ? std::strrchr(path, '/') + 1 : path;
    };
    for (int i = 0; i < b.Size(); ++i) {
        if (only && !b.sel[i]) continue;
        int best = i;
        for (int j = i; j < b.Size(); ++j) {
            const int order = only && !b.sel[j] ? 0 : strcasecmp(key(best), key(j));
            if (mode % 2 == 1 ? order < 0 : order > 0) best = j;
        }
        if (best != i) b.Exchange(i, best, only);
    }
}

// Up (step -1) walks from the top, down (+1) from the bottom; texts move with their markers.
void LiteralMove(Box& b, int step) {
    for (int k = 0; k < b.Size(); ++k) {
        const int i = step < 0 ? k : b.Size() - 1 - k;
        if (!b.sel[i]) continue;
        if (i + step < 0 || i + step >= b.Size()) return;
        b.cur = b.cur == i ? i + step : b.cur == i + step ? i : b.cur;
        std::swap(b.lines[i], b.lines[i + step]);
        b.sel[i + step] = 1; b.sel[i] = 0;
    }
}

// Each selected line goes, the walk going on with the line that moved into its place; the
// current index follows its entry up.
void LiteralDelete(Box& b) {
    int first = -1, above = 0;
    for (int i = 0; i < b.Size(); ++i) above += b.sel[i] && i < b.cur;
    for (int i = 0; i < b.Size();) {
        if (!b.sel[i]) { ++i; continue; }
        if (first < 0) first = i;
        b.lines.erase(b.lines.begin() + i); b.sel.erase(b.sel.begin() + i);
    }
    if (first >= 0) { b.sel.assign(b.sel.size(), 0); b.cur -= above; }
    if (first >= 0 && b.Size() > 0) b.sel[std::min(first, b.Size() - 1)] = 1;
    b.cur = std::min(b.cur, b.Size() - 1);
}

// Names equal once folded or prefixes of others, bytes over 0x7F, any selection, any index.
Box RandomBox(LcgRandom& r) {
    static const char* const folders[] = {"/a/", "/A/", "/b/", "/_/", "/あ/"};
    static const char* const names[] = {"x.mp3", "X.mp3", "x.MP3", "xx.mp3", "z.mp3", "Z", "_.wav", "あ.mp3"};
    Box b;
    const int n = r.Next() % 40, density = r.Next() % 4;
    for (int i = 0; i < n; ++i) {
        b.lines.push_back(std::string(" ") + folders[r.Next() % 5] + names[r.Next() % 8]);
        b.sel.push_back(density == 3 || (density == 2 && r.Next() % 3 == 0));
    }
    if (density == 1 && n > 0) b.sel[r.Next() % n] = 1;
    b.cur = r.Next() % (n + 3) - 1;
    if (b.cur >= 0 && b.cur < n && r.Next() % 2 == 0) b.lines[b.cur][0] = '>';
    return b;
}

TEST(EditorCommandsTest, EveryCommandGivesTheLiteralLoopsResult) {
    LcgRandom r(12);
    for (int round = 0; round < 3000; ++round) {
        const Box box = RandomBox(r);
        LcgRandom literal(static_cast<uint32_t>(round)), fast(static_cast<uint32_t>(round));
        const auto literalRandom = [&](Box& b) {
            for (int i = 0; i < b.Size(); ++i) b.Exchange(i, literal.Next() % b.Size(), false);
            b.sel.assign(b.sel.size(), 0);
        };
        const auto saysWhetherItChanged = [round](bool (*command)(EditorList&)) {
            return [command, round](EditorList& l) {
                const EditorList before = l;
                const bool changed = command(l);
                EXPECT_EQ(changed, l.entries != before.entries || l.selected != before.selected) << "round " << round;
            };
        };
        struct Command { std::string what; std::function<void(Box&)> literal; std::function<void(EditorList&)> fast; };
        std::vector<Command> commands = {
            {"random", literalRandom, [&](EditorList& l) { RandomOrder(l, fast); }},
            {"up", [](Box& b) { LiteralMove(b, -1); }, saysWhetherItChanged(MoveUp)},
            {"down", [](Box& b) { LiteralMove(b, 1); }, saysWhetherItChanged(MoveDown)},
            {"delete", LiteralDelete, saysWhetherItChanged(DeleteSelected)}};
        for (int mode = 0; mode < 4; ++mode)
            commands.push_back({"sort mode " + std::to_string(mode), [mode](Box& b) { LiteralSort(b, mode); },
                                [mode](auto& l) { SortLines(l, mode); }});
        for (const Command& command : commands) {
            Box want = box;
            EditorList list{{}, box.sel, box.cur, box.cur >= 0 && box.cur < box.Size() && box.lines[box.cur][0] == '>'};
            for (const std::string& line : box.lines) list.entries.push_back(line.substr(1));
            command.literal(want);
            command.fast(list);
            Box got{{}, list.selected, list.current};
            for (size_t i = 0; i < list.entries.size(); ++i)
                got.lines.push_back((list.marked && static_cast<int>(i) == list.current ? ">" : " ") + list.entries[i]);
            ASSERT_TRUE(got.lines == want.lines && got.sel == want.sel && got.cur == want.cur)
                << "round " << round << ", " << box.Size() << " lines, " << command.what;
        }
        ASSERT_EQ(fast.Next(), literal.Next()) << "the random order draws once per line";
    }
}
}  // namespace

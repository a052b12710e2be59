// The editor's commands against the loops they replace, run literally one exchange at a time
// on list-box lines (marker + path), on many random lists with many equal keys.
#include <gtest/gtest.h>
#include <strings.h>

#include <string>
#include <vector>

#include "platform/Paths.h"
#include "platform/Random.h"
#include "playlist/editor/EditorCommands.h"

namespace {

// Line i is ">" or " " followed by entry i; the numbers are left out (they are the position).
struct Box {
    std::vector<std::string> lines;
    std::vector<char> sel;
    int cur = 0;

    void Exchange(int a, int b, bool keepSelected) {
        std::swap(lines[a], lines[b]);
        if (cur == a) cur = b;
        else if (cur == b) cur = a;
        for (const int line : {a, b}) {
            lines[line][0] = cur == line ? '>' : ' ';
            sel[line] = keepSelected;
        }
    }
    std::string Key(int line, bool byName) const {
        const std::string path = lines[line].substr(1);
        return byName ? FileNameOf(path) : path;
    }
};

void LiteralSort(Box& b, int mode) {
    const int n = static_cast<int>(b.lines.size());
    int selectedCount = 0;
    for (const char s : b.sel) selectedCount += s;
    const bool only = selectedCount >= 2;
    for (int i = 0; i < n; ++i) {
        if (only && !b.sel[i]) continue;
        int best = i;
        for (int j = i; j < n; ++j) {
            if (only && !b.sel[j]) continue;
            const int order = strcasecmp(b.Key(best, mode >= 2).c_str(), b.Key(j, mode >= 2).c_str());
            if (mode % 2 == 1 ? order < 0 : order > 0) best = j;
        }
        if (best != i) b.Exchange(i, best, only);
    }
}

void LiteralRandom(Box& b, LcgRandom& random) {
    const int n = static_cast<int>(b.lines.size());
    for (int i = 0; i < n; ++i) b.Exchange(i, random.Next() % n, false);
    b.sel.assign(b.sel.size(), 0);
}

// Up (step -1) walks from the top, down (+1) from the bottom; texts move with their markers.
bool LiteralMove(Box& b, int step) {
    const int n = static_cast<int>(b.lines.size());
    bool moved = false;
    for (int k = 0; k < n; ++k) {
        const int i = step < 0 ? k : n - 1 - k;
        if (!b.sel[i]) continue;
        if (i + step < 0 || i + step >= n) return moved;
        if (b.cur == i) b.cur += step;
        else if (b.cur == i + step) b.cur -= step;
        std::swap(b.lines[i], b.lines[i + step]);
        b.sel[i + step] = 1;
        b.sel[i] = 0;
        moved = true;
    }
    return moved;
}

void LiteralDelete(Box& b) {
    int first = -1, above = 0;
    for (size_t i = 0; i < b.sel.size(); ++i) above += b.sel[i] && static_cast<int>(i) < b.cur;
    for (size_t i = 0; i < b.lines.size();) {
        if (!b.sel[i]) { ++i; continue; }
        if (first < 0) first = static_cast<int>(i);
        b.lines.erase(b.lines.begin() + static_cast<long>(i));
        b.sel.erase(b.sel.begin() + static_cast<long>(i));
    }
    const int count = static_cast<int>(b.lines.size());
    if (first >= 0) {
        b.sel.assign(b.sel.size(), 0);
        if (count > 0) b.sel[first < count ? first : count - 1] = 1;
        b.cur -= above;
    }
    if (b.cur >= count) b.cur = count - 1;
}

// Paths over few folders and names that fold to the same key, prefixes of each other, and
// bytes above 0x7F.
Box RandomBox(LcgRandom& r) {
    static const char* const folders[] = {"/a/", "/A/", "/b/", "/_/", "/あ/"};
    static const char* const names[] = {"x.mp3", "X.mp3", "x.MP3", "xx.mp3", "y.mp3", "Y", "_.wav", "あ.mp3"};
    Box b;
    const int n = r.Next() % 40;
    const int density = r.Next() % 4;  // none, one, some, all selected
    for (int i = 0; i < n; ++i) {
        b.lines.push_back(std::string(" ") + folders[r.Next() % 5] + names[r.Next() % 8]);
        b.sel.push_back(density == 3 || (density == 2 && r.Next() % 3 == 0));
    }
    if (density == 1 && n > 0) b.sel[r.Next() % n] = 1;
    b.cur = r.Next() % (n + 3) - 1;
    if (b.cur >= 0 && b.cur < n && r.Next() % 2 == 0) b.lines[b.cur][0] = '>';
    return b;
}

EditorList ListOf(const Box& b) {
    EditorList list;
    for (const std::string& line : b.lines) list.entries.push_back(line.substr(1));
    list.selected = b.sel;
    list.current = b.cur;
    list.marked = b.cur >= 0 && b.cur < static_cast<int>(b.lines.size()) && b.lines[b.cur][0] == '>';
    return list;
}

::testing::AssertionResult Same(const EditorList& got, const Box& want) {
    const EditorList expected = ListOf(want);
    int markers = 0;
    for (const std::string& line : want.lines) markers += line[0] == '>';
    if (markers > 1) return ::testing::AssertionFailure() << markers << " lines carry >";
    if (got.entries != expected.entries) return ::testing::AssertionFailure() << "entries differ";
    if (got.selected != expected.selected) return ::testing::AssertionFailure() << "selection differs";
    if (got.current != expected.current) return ::testing::AssertionFailure() << "current " << got.current << " want " << expected.current;
    if ((got.marked ? got.current : -1) != (expected.marked ? expected.current : -1))
        return ::testing::AssertionFailure() << "marker differs";
    return ::testing::AssertionSuccess();
}

TEST(EditorCommandsTest, EveryCommandGivesTheLiteralLoopsResult) {
    LcgRandom r(12);
    for (int round = 0; round < 3000; ++round) {
        const Box box = RandomBox(r);
        SCOPED_TRACE("round " + std::to_string(round) + ", " + std::to_string(box.lines.size()) + " lines");
        for (int mode = 0; mode < 4; ++mode) {
            Box want = box;
            EditorList got = ListOf(box);
            LiteralSort(want, mode);
            SortLines(got, mode);
            ASSERT_TRUE(Same(got, want)) << "sort mode " << mode;
        }
        {
            Box want = box;
            EditorList got = ListOf(box);
            LcgRandom literal(static_cast<uint32_t>(round)), fast(static_cast<uint32_t>(round));
            LiteralRandom(want, literal);
            RandomOrder(got, fast);
            ASSERT_TRUE(Same(got, want)) << "random";
            ASSERT_EQ(fast.Next(), literal.Next()) << "random draws";
        }
        for (const int step : {-1, 1}) {
            Box want = box;
            EditorList got = ListOf(box);
            const bool moved = LiteralMove(want, step);
            EXPECT_EQ(step < 0 ? MoveUp(got) : MoveDown(got), moved);
            ASSERT_TRUE(Same(got, want)) << (step < 0 ? "up" : "down");
        }
        {
            Box want = box;
            EditorList got = ListOf(box);
            LiteralDelete(want);
            EXPECT_EQ(DeleteSelected(got), want.lines.size() != box.lines.size());
            ASSERT_TRUE(Same(got, want)) << "delete";
        }
    }
}

}  // namespace

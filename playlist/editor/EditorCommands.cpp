#include "playlist/editor/EditorCommands.h"

#include <algorithm>
#include <functional>
#include <numeric>
#include <queue>
#include <utility>

#include "platform/Paths.h"
#include "platform/Random.h"

namespace {

int LineCount(const EditorList& list) { return static_cast<int>(list.entries.size()); }

std::string FoldedKey(const std::string& entry, bool byName) {
    std::string key = byName ? FileNameOf(entry) : entry;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

// Exchanges lines a and b (a may equal b): both are rewritten, so ">" lands on whichever
// now holds the current entry, and their selection becomes `keepSelected`.
void Exchange(EditorList& list, int a, int b, bool keepSelected) {
    std::swap(list.entries[static_cast<size_t>(a)], list.entries[static_cast<size_t>(b)]);
    if (list.current == a) list.current = b;
    else if (list.current == b) list.current = a;
    if (list.current == a || list.current == b) list.marked = true;
    list.selected[static_cast<size_t>(a)] = keepSelected ? 1 : 0;
    list.selected[static_cast<size_t>(b)] = keepSelected ? 1 : 0;
}

}  // namespace

int CompareSortKeys(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb - 'A' + 'a');
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

void SortLines(EditorList& list, int mode) {
    const int n = LineCount(list);
    list.selected.resize(static_cast<size_t>(n));
    std::vector<int> positions;
    for (int i = 0; i < n; ++i)
        if (list.selected[static_cast<size_t>(i)]) positions.push_back(i);
    // Two or more selected lines sort among their own positions; otherwise the whole list.
    const bool onlySelected = positions.size() >= 2;
    if (!onlySelected) {
        positions.resize(static_cast<size_t>(n));
        std::iota(positions.begin(), positions.end(), 0);
    }
    if (positions.size() < 2) return;

    // Keys folded once (plain byte order is then CompareSortKeys' order) and replaced by
    // their rank, equal keys sharing one; descending modes negate it.
    const bool byName = mode >= 2;
    const bool descending = mode % 2 == 1;
    std::vector<std::string> keys(static_cast<size_t>(n));
    for (const int p : positions) keys[static_cast<size_t>(p)] = FoldedKey(list.entries[static_cast<size_t>(p)], byName);
    std::vector<int> byKey = positions;
    std::sort(byKey.begin(), byKey.end(),
              [&](int a, int b) { return keys[static_cast<size_t>(a)] < keys[static_cast<size_t>(b)]; });
    std::vector<int> rank(static_cast<size_t>(n), 0);
    int r = 0;
    for (size_t k = 0; k < byKey.size(); ++k) {
        if (k > 0 && keys[static_cast<size_t>(byKey[k])] != keys[static_cast<size_t>(byKey[k - 1])]) ++r;
        rank[static_cast<size_t>(byKey[k])] = descending ? -r : r;
    }
    keys = {};

    // The exchange loop picks, for each position i, the leftmost best key at i or after it:
    // the smallest (rank, position) among the positions not yet placed. A min-heap holds one
    // entry per unplaced position; an entry whose position was placed or whose rank was
    // exchanged away is stale and dropped when it comes up.
    using Item = std::pair<int, int>;  // (rank, position)
    std::vector<Item> items;
    items.reserve(positions.size());
    for (const int p : positions) items.emplace_back(rank[static_cast<size_t>(p)], p);
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> unplaced(std::greater<Item>(), std::move(items));
    for (const int i : positions) {
        while (unplaced.top().second < i || rank[static_cast<size_t>(unplaced.top().second)] != unplaced.top().first)
            unplaced.pop();
        const int best = unplaced.top().second;
        if (best == i) continue;
        Exchange(list, i, best, onlySelected);
        std::swap(rank[static_cast<size_t>(i)], rank[static_cast<size_t>(best)]);
        unplaced.emplace(rank[static_cast<size_t>(best)], best);
    }
}

void RandomOrder(EditorList& list, LcgRandom& random) {
    const int n = LineCount(list);
    list.selected.assign(static_cast<size_t>(n), 0);
    for (int i = 0; i < n; ++i) Exchange(list, i, random.Next() % n, false);
}

bool MoveUp(EditorList& list) {
    const int n = LineCount(list);
    list.selected.resize(static_cast<size_t>(n));
    bool moved = false;
    for (int i = 0; i < n; ++i) {
        if (!list.selected[static_cast<size_t>(i)]) continue;
        if (i == 0) break;  // the top line cannot rise: nothing moves
        if (list.current == i) --list.current;
        else if (list.current == i - 1) ++list.current;
        std::swap(list.entries[static_cast<size_t>(i - 1)], list.entries[static_cast<size_t>(i)]);
        list.selected[static_cast<size_t>(i - 1)] = 1;
        list.selected[static_cast<size_t>(i)] = 0;
        moved = true;
    }
    return moved;
}

bool MoveDown(EditorList& list) {
    const int n = LineCount(list);
    list.selected.resize(static_cast<size_t>(n));
    bool moved = false;
    for (int i = n - 1; i >= 0; --i) {
        if (!list.selected[static_cast<size_t>(i)]) continue;
        if (i == n - 1) break;  // the bottom line cannot sink: nothing moves
        if (list.current == i) ++list.current;
        else if (list.current == i + 1) --list.current;
        std::swap(list.entries[static_cast<size_t>(i)], list.entries[static_cast<size_t>(i + 1)]);
        list.selected[static_cast<size_t>(i + 1)] = 1;
        list.selected[static_cast<size_t>(i)] = 0;
        moved = true;
    }
    return moved;
}

bool DeleteSelected(EditorList& list) {
    const int n = LineCount(list);
    list.selected.resize(static_cast<size_t>(n));
    int first = -1;
    int deletedAbove = 0;
    int kept = 0;
    for (int i = 0; i < n; ++i) {
        if (list.selected[static_cast<size_t>(i)]) {
            if (first < 0) first = i;
            if (i < list.current) ++deletedAbove;
            if (i == list.current) list.marked = false;
            continue;
        }
        if (kept != i) list.entries[static_cast<size_t>(kept)] = std::move(list.entries[static_cast<size_t>(i)]);
        ++kept;
    }
    if (first >= 0) {
        list.entries.resize(static_cast<size_t>(kept));
        list.selected.assign(static_cast<size_t>(kept), 0);
        if (kept > 0) list.selected[static_cast<size_t>(std::min(first, kept - 1))] = 1;
        // The current index moves up with its entry, so that it and the main window's index
        // go on naming the track that plays.
        list.current -= deletedAbove;
    }
    if (list.current >= kept) list.current = kept - 1;
    return first >= 0;
}

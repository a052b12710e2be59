#include "playlist/editor/EditorCommands.h"

#include <algorithm>
#include <functional>
#include <numeric>
#include <string_view>
#include <utility>

#include "platform/Random.h"

namespace {

int LineCount(const EditorList& list) { return static_cast<int>(list.entries.size()); }

char FoldedByte(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

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

    // Keys folded once into one buffer, so that plain byte order is their order.
    const bool byName = mode >= 2;
    const bool descending = mode % 2 == 1;
    std::string folded;
    std::vector<size_t> ends;
    for (const int p : positions) {
        const std::string& entry = list.entries[static_cast<size_t>(p)];
        const size_t slash = entry.rfind('/');
        for (size_t k = byName && slash != std::string::npos ? slash + 1 : 0; k < entry.size(); ++k)
            folded += FoldedByte(entry[k]);
        ends.push_back(folded.size());
    }
    std::vector<std::pair<std::string_view, int>> byKey;  // (key, position)
    for (size_t k = 0; k < positions.size(); ++k) {
        const size_t begin = k == 0 ? 0 : ends[k - 1];
        byKey.emplace_back(std::string_view(folded).substr(begin, ends[k] - begin), positions[k]);
    }
    std::sort(byKey.begin(), byKey.end());
    if (descending) std::reverse(byKey.begin(), byKey.end());
    // Ranks from 0 for the key that comes first; equal keys share one.
    std::vector<int> rank(static_cast<size_t>(n), 0);
    std::vector<int> rankSize;
    for (size_t k = 0; k < byKey.size(); ++k) {
        if (k == 0 || byKey[k].first != byKey[k - 1].first) rankSize.push_back(0);
        rank[static_cast<size_t>(byKey[k].second)] = static_cast<int>(rankSize.size()) - 1;
        ++rankSize.back();
    }

    // The exchange loop picks, for position i, the leftmost position at or after i that holds
    // the first key not yet placed. Each rank keeps a min-heap of the unplaced positions that
    // hold it, in one array cut by rank; filled in position order, each is a heap already.
    // Every unplaced position is at least i, so i is always the top of its own rank's heap.
    std::vector<int> heapStart(rankSize.size() + 1, 0);
    for (size_t k = 0; k < rankSize.size(); ++k) heapStart[k + 1] = heapStart[k] + rankSize[k];
    std::vector<int> heaps(positions.size());
    std::fill(rankSize.begin(), rankSize.end(), 0);
    for (const int p : positions) {
        const int k = rank[static_cast<size_t>(p)];
        heaps[static_cast<size_t>(heapStart[static_cast<size_t>(k)] + rankSize[static_cast<size_t>(k)]++)] = p;
    }
    const auto top = [&](int k) { return heaps[static_cast<size_t>(heapStart[static_cast<size_t>(k)])]; };
    const auto heapOf = [&](int k) {
        const auto begin = heaps.begin() + heapStart[static_cast<size_t>(k)];
        return std::make_pair(begin, begin + rankSize[static_cast<size_t>(k)]);
    };
    const auto popTop = [&](int k) {
        const auto [begin, end] = heapOf(k);
        std::pop_heap(begin, end, std::greater<int>());
        --rankSize[static_cast<size_t>(k)];
    };
    int first = 0;  // the first rank with unplaced positions
    for (const int i : positions) {
        while (rankSize[static_cast<size_t>(first)] == 0) ++first;
        const int best = top(first);
        popTop(first);
        if (best == i) continue;
        const int displaced = rank[static_cast<size_t>(i)];
        popTop(displaced);  // i itself
        heaps[static_cast<size_t>(heapStart[static_cast<size_t>(displaced)] +
                                  rankSize[static_cast<size_t>(displaced)]++)] = best;
        const auto [begin, end] = heapOf(displaced);
        std::push_heap(begin, end, std::greater<int>());
        Exchange(list, i, best, onlySelected);
        rank[static_cast<size_t>(best)] = displaced;
    }
}

void RandomOrder(EditorList& list, LcgRandom& random) {
    const int n = LineCount(list);
    list.selected.assign(static_cast<size_t>(n), 0);
    for (int i = 0; i < n; ++i) Exchange(list, i, random.Next() % n, false);
}

namespace {

// Up (step -1) walks the lines from the top, down (+1) from the bottom; each selected line
// changes places with its neighbour on that side, which thus passes the whole run.
bool MoveSelected(EditorList& list, int step) {
    const int n = LineCount(list);
    list.selected.resize(static_cast<size_t>(n));
    bool moved = false;
    for (int k = 0; k < n; ++k) {
        const int i = step < 0 ? k : n - 1 - k;
        if (!list.selected[static_cast<size_t>(i)]) continue;
        if (i + step < 0 || i + step >= n) break;  // the first line met cannot go on: nothing moves
        if (list.current == i) list.current += step;
        else if (list.current == i + step) list.current -= step;
        std::swap(list.entries[static_cast<size_t>(i)], list.entries[static_cast<size_t>(i + step)]);
        list.selected[static_cast<size_t>(i + step)] = 1;
        list.selected[static_cast<size_t>(i)] = 0;
        moved = true;
    }
    return moved;
}

}  // namespace

bool MoveUp(EditorList& list) { return MoveSelected(list, -1); }

bool MoveDown(EditorList& list) { return MoveSelected(list, 1); }

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

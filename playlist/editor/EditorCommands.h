#pragma once
#include <string>
#include <vector>

class LcgRandom;

// The playlist editor's list as its commands change it, without any window: line i shows
// entries[i], numbered i + 1. At most one line carries ">": line `current` when `marked`.
// The window copies the selection in, runs a command, and shows the result in one update.
// Every command is O(n log n) or better in the number of lines.
struct EditorList {
    std::vector<std::string> entries;  // the entry store, in line order
    std::vector<char> selected;        // one flag per line, as long as entries
    int current = 0;                   // the editor's current index; may lie outside the list
    bool marked = false;               // line `current` carries ">"
};

// "ソート" in `mode` (0 path ascending, 1 path descending, 2 file name ascending, 3 file
// name descending). Keys compare byte by byte with A to Z folded to lower case, as they have
// always compared: no locale, no multi-byte characters as units, a key that is a prefix of
// another first. The result of the selection sort the editor has always run: for each
// position, the leftmost best key of the positions not yet placed is exchanged into it, so
// equal keys may change their order. With two or more lines selected only those positions
// take part and stay selected; otherwise all do, and every line an exchange touched loses
// its selection. ">" follows the current entry.
void SortLines(EditorList& list, int mode);

// "ランダム": position i exchanged with position random.Next() % n, for i = 0 .. n - 1 (one
// draw per line); a line exchanged with itself is rewritten in place. No line stays selected.
void RandomOrder(EditorList& list, LcgRandom& random);

// "上へ": every run of selected lines moves up by one, the line above it going below it.
// Nothing moves when line 0 is selected. False when nothing moved.
bool MoveUp(EditorList& list);
// "下へ": the mirror image; nothing moves when the last line is selected.
bool MoveDown(EditorList& list);

// "削除": removes the selected lines. The current index moves up with its entry by the lines
// deleted above it, and becomes count - 1 when it is not below the new count; ">" goes with
// a deleted current line. Afterwards one line is selected: the first deleted position, or
// the new last line when that position is past the end; none when the list is empty.
// Nothing selected: only the current index is brought below the count. False when nothing
// was deleted.
bool DeleteSelected(EditorList& list);

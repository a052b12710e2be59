#pragma once
#include <string>
#include <vector>

class Clock;

// What stepping through the playlist needs from playback: closing the device and
// opening the current entry. Implemented by playback; scripted in tests.
class TrackControl {
public:
    virtual ~TrackControl() = default;
    virtual bool IsClosed() const = 0;    // PlayerState::closed
    virtual void Close() = 0;             // "close movie"; closed = 1, paused = 0, knob 0
    virtual void OpenCurrentTrack() = 0;  // opens and starts Playlist::currentIndex
    virtual void SetTrackPending() = 0;   // PlayerState::trackPending = 1
};

// The playlist: the entry store (absolute paths, duplicates allowed), the current index and
// the shuffle play order. One instance for the whole run; user-interface thread only.
//
// The store has two ways of adding, both used: AddSorted puts a path at its place in
// ascending case-blind order of the whole path (the user's locale collation), InsertAt puts
// it at a given index without re-sorting. Entries are kept whole (no length cut).
class Playlist {
public:
    // --- entry store ---
    int StoreSize() const { return static_cast<int>(m_entries.size()); }
    // The text of entry i; an index outside the store reads as an empty entry.
    const std::string& Entry(int i) const;
    int AddSorted(std::string path);        // returns the index it went to
    int InsertAt(int i, std::string path);  // i < 0 or past the end appends; returns index
    void DeleteAt(int i);                   // outside the store: nothing
    void ClearStore();
    const std::vector<std::string>& Entries() const { return m_entries; }
    // Exchanges the whole store with `entries` (the editor's commands work on it outside).
    void SwapEntries(std::vector<std::string>& entries) { m_entries.swap(entries); }

    // --- record fields ---
    // The entries the player counts: StoreSize() as of the last SyncCount(), which every change
    // of the store outside the editor calls at once; while the editor is open its own count
    // (kEditorCount) is taken by every full tick instead, since its commands work on the
    // entries swapped out of the store.
    int count = 0;
    int currentIndex = 0;
    std::vector<int> order;  // shuffle order; orderCount elements once built
    int orderCount = 0;
    int orderCursor = 0;

    void SyncCount() { count = StoreSize(); }

    // Rebuilds `order` for `count` with the process's one generator (SharedRandom), seeded
    // from the clock in whole seconds; with shuffle on,
    // currentIndex becomes order[0]. Nothing is opened.
    void BuildPlayOrder(int shuffle, Clock& clock);
    void ReleaseOrder();  // frees the array; order is empty afterwards

    // One step back or forward by the shuffle and repeat rules; then either opens the new
    // entry or, while the device is closed, leaves it pending for the next play command.
    // A non-zero shuffle or repeat counts as on. The cursor is bounded by count; with an
    // order left stale by the editor, no step reads past its end or leaves the store.
    void StepToPrevious(int shuffle, int repeat, TrackControl& track);
    void StepToNext(int shuffle, int repeat, TrackControl& track);

    // After the editor closes: count from the store; an index past count becomes count - 1.
    void BringBackCurrentIndex();

    // The entry at position `cursor` of the order; the cursor itself where order is stale.
    int OrderedIndex(int cursor) const;

private:
    std::vector<std::string> m_entries;
};

// Case-blind comparison of two UTF-8 paths in the collation of the current C locale:
// negative, zero or positive like strcmp.
int CompareEntries(const std::string& a, const std::string& b);
// A key whose plain wide-string order is CompareEntries' order: for sorting many paths, each
// folded and transformed once instead of at every comparison.
std::wstring EntrySortKey(const std::string& path);

// " %04d %s" (or ">%04d %s" for the current entry): the 1-based position and the file name
// without its folder. `index` is the entry's 0-based index; the line shows index + 1.
std::string DisplayLine(int index, const std::string& path, bool current);

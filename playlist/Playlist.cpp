#include "playlist/Playlist.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <numeric>

#include "platform/Clock.h"
#include "platform/Paths.h"
#include "platform/Random.h"
#include "platform/Text.h"

namespace {

// Decodes UTF-8 into wide characters folded to lower case. A byte that is not part of a
// well-formed sequence becomes U+DC00 + byte, so every byte string still compares
// consistently.
std::wstring FoldedWide(const std::string& s) {
    std::wstring out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        char32_t cp = 0;
        const size_t length = Utf8SequenceAt(s, i, cp);
        out += length == 0 ? static_cast<wchar_t>(0xDC00 + static_cast<unsigned char>(s[i]))
                           : static_cast<wchar_t>(std::towlower(static_cast<wint_t>(cp)));
        i += std::max<size_t>(length, 1);
    }
    return out;
}

}  // namespace

std::wstring EntrySortKey(const std::string& path) {
    const std::wstring folded = FoldedWide(path);
    const size_t size = std::wcsxfrm(nullptr, folded.c_str(), 0);
    std::wstring key(size, L'\0');
    std::wcsxfrm(key.data(), folded.c_str(), size + 1);
    return key;
}

int CompareEntries(const std::string& a, const std::string& b) {
    const int r = std::wcscoll(FoldedWide(a).c_str(), FoldedWide(b).c_str());
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

std::string DisplayLine(int index, const std::string& path, bool current) {
    char number[24];
    std::snprintf(number, sizeof number, "%c%04lld ", current ? '>' : ' ', static_cast<long long>(index) + 1);
    return number + FileNameOf(path);
}

const std::string& Playlist::Entry(int i) const {
    static const std::string empty;
    if (i < 0 || i >= StoreSize()) return empty;
    return m_entries[static_cast<size_t>(i)];
}

int Playlist::AddSorted(std::string path) {
    // After every entry that compares equal, like a sorted list box.
    const auto at =
        std::upper_bound(m_entries.begin(), m_entries.end(), path,
                         [](const std::string& a, const std::string& b) { return CompareEntries(a, b) < 0; });
    const auto index = at - m_entries.begin();
    m_entries.insert(at, std::move(path));
    return static_cast<int>(index);
}

int Playlist::InsertAt(int i, std::string path) {
    if (i < 0 || i > StoreSize()) i = StoreSize();
    m_entries.insert(m_entries.begin() + i, std::move(path));
    return i;
}

void Playlist::DeleteAt(int i) {
    if (i < 0 || i >= StoreSize()) return;
    m_entries.erase(m_entries.begin() + i);
}

void Playlist::ClearStore() { m_entries.clear(); }

void Playlist::BuildPlayOrder(int shuffle, Clock& clock) {
    ReleaseOrder();
    if (count <= 0) return;  // orderCount and orderCursor keep their values
    // Reseeded on every build, so two builds in the same second give the same order; the
    // editor's random order goes on from the state this build leaves.
    LcgRandom& random = SharedRandom();
    random.Seed(static_cast<uint32_t>(clock.NowSeconds()));
    orderCount = count;
    // The current index is taken over as a position in the new order, not looked up in it.
    orderCursor = currentIndex;
    order.resize(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    // Each position swaps with one drawn from the whole array (not a uniform shuffle).
    for (int i = 0; i < count; ++i) {
        const int j = random.Next() % count;
        std::swap(order[static_cast<size_t>(j)], order[static_cast<size_t>(i)]);
    }
    if (shuffle != 0) currentIndex = order[0];
}

void Playlist::ReleaseOrder() { std::vector<int>().swap(order); }

int Playlist::OrderedIndex(int cursor) const {
    // `order` may be stale (built for another count while the editor changed the list): a
    // cursor past its end, or an element outside the store, plays the entry at the cursor.
    if (cursor >= 0 && cursor < static_cast<int>(order.size())) {
        const int index = order[static_cast<size_t>(cursor)];
        if (index >= 0 && index < count) return index;
    }
    return cursor;
}

void Playlist::StepToPrevious(int shuffle, int repeat, TrackControl& track) {
    if (count <= 0) {
        track.Close();
        return;
    }
    if (shuffle == 0) {
        --currentIndex;
        if (currentIndex < 0) currentIndex = repeat != 0 ? count - 1 : 0;
    } else {
        --orderCursor;
        if (orderCursor < 0) orderCursor = repeat != 0 ? count - 1 : 0;
        // A cursor left over from a longer list is brought into the store.
        if (orderCursor >= count) orderCursor = count - 1;
        currentIndex = OrderedIndex(orderCursor);
    }
    if (track.IsClosed()) track.SetTrackPending();
    else track.OpenCurrentTrack();
}

void Playlist::StepToNext(int shuffle, int repeat, TrackControl& track) {
    if (count <= 0) {
        track.Close();
        return;
    }
    if (shuffle == 0) {
        ++currentIndex;
        if (currentIndex >= count) {
            currentIndex = 0;
            if (repeat == 0) {
                track.Close();
                return;
            }
        }
    } else {
        ++orderCursor;
        if (orderCursor < 0) orderCursor = 0;
        if (orderCursor >= count) {
            orderCursor = 0;
            if (repeat == 0) {
                currentIndex = OrderedIndex(0);
                track.Close();
                return;
            }
        }
        currentIndex = OrderedIndex(orderCursor);
    }
    if (track.IsClosed()) track.SetTrackPending();
    else track.OpenCurrentTrack();
}

void Playlist::BringBackCurrentIndex() {
    SyncCount();
    // An index equal to count is left for opening to clamp; an empty store gives 0, not -1.
    if (currentIndex > count) currentIndex = count > 0 ? count - 1 : 0;
}

#include "playback/NextEntryHint.h"

#include <string>

#include "media/ReplayGain.h"
#include "playback/MciSession.h"
#include "playlist/Playlist.h"
#include "state/PlayerState.h"
#include "state/Settings.h"

std::optional<int> NextEntryIndex(const Playlist& list, int shuffle, int repeat) {
    if (list.count <= 0) return std::nullopt;
    int index = 0;
    if (shuffle == 0) {
        index = list.currentIndex + 1;
        if (index >= list.count) {
            if (repeat == 0) return std::nullopt;
            index = 0;
        }
    } else {
        int cursor = list.orderCursor + 1;
        if (cursor < 0) cursor = 0;
        if (cursor >= list.count) {
            if (repeat == 0) return std::nullopt;
            cursor = 0;
        }
        index = list.OrderedIndex(cursor);
    }
    // count may run ahead of the store while the editor works on it.
    if (index < 0 || index >= list.StoreSize()) return std::nullopt;
    return index;
}

void CueNextEntry(PlaybackContext& c) {
    if (c.state.closed != 0) return;
    const std::optional<int> next = NextEntryIndex(c.playlist, c.settings.shuffle, c.settings.repeat);
    if (!next) {
        c.mci.CueNext(std::string());
        return;
    }
    const std::string path = c.playlist.Entry(*next);
    c.mci.CueNext(path, EntryGainWord(path, c.settings));
}

std::string EntryGainWord(const std::string& path, const Settings& settings) {
    const int mode = settings.gainMode;
    const GainMode gainMode = mode >= 0 && mode <= static_cast<int>(GainMode::Off) ? GainMode(mode) : GainMode::Auto;
    if (gainMode == GainMode::Off) return {};  // no tag read at all
    return GainCommandWord(AppliedGainDb(ReadGainTags(path), gainMode, settings.shuffle != 0));
}

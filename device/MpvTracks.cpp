#include "device/MpvTracks.h"

#include <mpv/client.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/Log.h"

namespace {

struct Track {
    int64_t id = 0;
    std::string language;
    bool selected = false;
};

const mpv_node* Field(const mpv_node& map, std::string_view key) {
    if (map.format != MPV_FORMAT_NODE_MAP) return nullptr;
    for (int i = 0; i < map.u.list->num; ++i)
        if (key == map.u.list->keys[i]) return &map.u.list->values[i];
    return nullptr;
}

// The file's tracks of one kind ("audio", "sub"), in the file's order.
std::vector<Track> TracksOf(mpv_handle* handle, std::string_view type) {
    std::vector<Track> tracks;
    mpv_node list{};
    if (mpv_get_property(handle, "track-list", MPV_FORMAT_NODE, &list) < 0) return tracks;
    if (list.format == MPV_FORMAT_NODE_ARRAY) {
        for (int i = 0; i < list.u.list->num; ++i) {
            const mpv_node& t = list.u.list->values[i];
            const mpv_node* kind = Field(t, "type");
            const mpv_node* id = Field(t, "id");
            if (kind == nullptr || kind->format != MPV_FORMAT_STRING || type != kind->u.string) continue;
            if (id == nullptr || id->format != MPV_FORMAT_INT64) continue;
            Track track{id->u.int64, "und", false};
            if (const mpv_node* lang = Field(t, "lang"); lang != nullptr && lang->format == MPV_FORMAT_STRING)
                track.language = lang->u.string;
            if (const mpv_node* on = Field(t, "selected"); on != nullptr && on->format == MPV_FORMAT_FLAG)
                track.selected = on->u.flag != 0;
            tracks.push_back(std::move(track));
        }
    }
    mpv_free_node_contents(&list);
    return tracks;
}

DeviceReply Failed(const std::string& text, const std::string& why) {
    if (LogEnabled()) LogLine("device: \"" + text + "\" failed: " + why);
    return DeviceReply{false, {}};
}

}  // namespace

DeviceReply TrackCommand(mpv_handle* handle, const std::string& text, const DeviceCommand& command) {
    const bool audio = command.track == TrackKind::Audio;
    const std::vector<Track> tracks = TracksOf(handle, audio ? "audio" : "sub");
    if (audio && tracks.empty()) return Failed(text, "no audio track");
    const int count = static_cast<int>(tracks.size());
    int chosen = 0;  // 1..count; 0: none
    for (int i = 0; i < count; ++i)
        if (tracks[i].selected) chosen = i + 1;
    if (command.nextTrack) {
        // Audio goes round its tracks; subtitles pass through "none" after the last.
        chosen = chosen < count ? chosen + 1 : audio ? 1 : 0;
        const std::string value = chosen == 0 ? "no" : std::to_string(tracks[chosen - 1].id);
        const char* choice = value.c_str();
        // For this file only: the next one chooses by language again.
        if (mpv_set_property(handle, audio ? "file-local-options/aid" : "file-local-options/sid", MPV_FORMAT_STRING,
                             &choice) < 0)
            return Failed(text, "the track was not taken");
    }
    const std::string language = chosen == 0 ? "none" : tracks[chosen - 1].language;
    if (LogEnabled() && command.nextTrack)
        LogLine(std::string("device: ") + (audio ? "audio" : "subtitle") + " track " + std::to_string(chosen) + " of " +
                std::to_string(count) + " (" + language + ")");
    return DeviceReply{true, std::to_string(chosen) + " " + std::to_string(count) + " " + language};
}

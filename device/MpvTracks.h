#pragma once
#include <string>

#include "device/DeviceCommand.h"
#include "device/MpvMediaDevice.h"

struct mpv_handle;

// "track <alias> audio|subtitle [next]" on the open file: with next, the following track of
// that kind is chosen (after the last: the first audio track; for subtitles "none" and then
// the first). The reply names the chosen track as "<n> <count> <language>": its place among
// the file's tracks of that kind (1..count; 0 for no subtitle), their count, and its language
// as the file states it ("jpn", "eng"; "und" when unstated, "none" for no subtitle). A file
// without audio tracks fails "track ... audio". A track chosen with next holds for the open
// file only: the next file chooses by language again. Command thread, under the device's lock.
DeviceReply TrackCommand(mpv_handle* handle, const std::string& text, const DeviceCommand& command);

#include "playback/MciSession.h"

#include <climits>
#include <utility>

#include "platform/Log.h"
#include "platform/Text.h"
#include "platform/MediaDevice.h"
#include "state/PlayerState.h"

namespace {
// Search steps by speed, in units of the multiplier (seconds, 30 ms or frames).
constexpr int kSpeedTable[10] = {0, 1, 2, 3, 5, 7, 10, 13, 16, 20};
}  // namespace

MciSession::MciSession(MediaDevice& device, PlayerState& state) : device_(device), state_(state) {}

void MciSession::SetTrackOpener(std::function<void()> openCurrentTrack) {
    openCurrentTrack_ = std::move(openCurrentTrack);
}

void MciSession::Send(const std::string& command) {
    std::string reply = device_.SendString(command);
    if (LogEnabled()) LogLine("mci> " + command + (reply.empty() ? "" : "  <" + reply));
}

std::string MciSession::QueryText(const std::string& command, std::size_t size) {
    std::string reply = device_.SendString(command);
    if (LogEnabled()) LogLine("mci> " + command + "  <" + reply);
    if (size == 0) return {};
    if (reply.size() > size - 1) reply.resize(size - 1);
    return reply;
}

int MciSession::QueryNumber(const std::string& command) { return ParseLeadingInt(QueryText(command, kReplySize)); }

void MciSession::CueNext(const std::string& path, const std::string& gain) {
    std::string command = "cue movie next";
    if (!path.empty()) command += " \"" + path + "\"";
    if (!path.empty() && !gain.empty()) command += " gain " + gain;
    const std::string reply = device_.SendHint(command);
    if (command != lastCue_ && LogEnabled()) LogLine("mci> " + command + (reply.empty() ? "" : "  <" + reply));
    lastCue_ = std::move(command);
}

void MciSession::Close() {
    Send("close movie");
    state_.trackOpening = false;
    state_.closed = 1;
    state_.paused = 0;
    state_.seekKnobX = 0;
}

void MciSession::TogglePlayPause() {
    state_.paused = state_.paused ? 0 : 1;
    if (state_.speed != 0) {
        state_.paused = 0;
        state_.speed = 0;
    }
    if (!state_.paused) {
        if (state_.closed == 1) {
            state_.position = 0;
            if (openCurrentTrack_) {
                openCurrentTrack_();
            } else {
                LogLine("no track opener installed: nothing opened");
            }
            state_.closed = 0;
        } else {
            Send("play movie");
        }
        Send("play movie");
        state_.paused = 0;
    } else {
        state_.paused = 1;
        PauseKeepingPosition();
    }
}

void MciSession::PauseKeepingPosition() {
    Send("pause movie");
    if (state_.paused) state_.position = QueryNumber("status movie position");
}

void MciSession::StepWhilePaused(int units) {
    const long long target = static_cast<long long>(QueryNumber("status movie position")) + units;
    state_.position = target <= 0 ? 0 : target > INT_MAX ? INT_MAX : static_cast<int>(target);
    Send("seek movie to " + std::to_string(state_.position));
}

void MciSession::StepPictures(int pictures) {
    const bool inMilliseconds = state_.timeFormatMs != 0;
    if (inMilliseconds) Send("set movie time format frames");
    StepWhilePaused(pictures);
    if (!inMilliseconds) return;
    Send("set movie time format milliseconds");
    state_.position = QueryNumber("status movie position");
}

int MciSession::SeekRelative(int mode, int amount) {
    SelectTimeFormat(mode >= kSeekBySpeed ? 1 : 0);
    int multiplier = 1;
    if (amount == kUnitSecond) multiplier = 1000;
    else if (amount == kUnit30Ms) multiplier = 30;
    state_.position = QueryNumber("status movie position");
    const int s = state_.speed;
    const int back = s < 0 ? (-s > 9 ? 9 : -s) : 0;  // speed is kept in -9..9
    // 64-bit so that a position read near the 32-bit limit cannot overflow.
    long long target = state_.position;
    if (mode == kSeekBySpeed) {
        if (s > 0) target += static_cast<long long>(kSpeedTable[s + 1 < 9 ? s + 1 : 9]) * multiplier;
        else target -= static_cast<long long>(kSpeedTable[back]) * multiplier;
    } else if (mode == kSeekFrames) {
        if (s > 0) target += static_cast<long long>(kSpeedTable[s < 9 ? s : 9]) * multiplier;
        else target -= static_cast<long long>(kSpeedTable[back]) * multiplier;
    } else {
        target += amount;
    }
    if (target <= 0) target = 0;
    state_.position = target > INT_MAX ? INT_MAX : static_cast<int>(target);
    Send("seek movie to " + std::to_string(state_.position));
    state_.timeFormatMs = SelectTimeFormat(state_.timeFormatMs);
    state_.position = QueryNumber("status movie position");
    return state_.position;
}

int MciSession::SelectTimeFormat(int wantMs) {
    const std::string format = QueryText("status movie time format", kReplySize);
    if (wantMs != 0 && format == "frames") Send("set movie time format milliseconds");
    else if (wantMs == 0 && format == "milliseconds") Send("set movie time format frames");
    return wantMs;
}

void MciSession::MeasureLengths() {
    SelectTimeFormat(0);
    state_.lengthFrames = QueryNumber("status movie length");
    SelectTimeFormat(1);
    state_.lengthMs = QueryNumber("status movie length");
    state_.timeFormatMs = SelectTimeFormat(state_.timeFormatMs);
}

bool MciSession::LearnLength() {
    if (QueryNumber("status movie length") <= 0) return false;
    MeasureLengths();
    return true;
}

std::string PutDestinationCommand(int x, int y, int width, int height) {
    return "put movie destination at " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(width) +
           " " + std::to_string(height);
}

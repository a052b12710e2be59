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

MciSession::MciSession(MediaDevice& device, PlayerState& state) : m_device(device), m_state(state) {}

void MciSession::SetTrackOpener(std::function<void()> openCurrentTrack) {
    m_openCurrentTrack = std::move(openCurrentTrack);
}

void MciSession::Send(const std::string& command) {
    std::string reply = m_device.SendString(command);
    if (LogEnabled()) LogLine("mci> " + command + (reply.empty() ? "" : "  <" + reply));
}

std::string MciSession::QueryText(const std::string& command, std::size_t size) {
    std::string reply = m_device.SendString(command);
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
    const std::string reply = m_device.SendHint(command);
    if (command != m_lastCue && LogEnabled()) LogLine("mci> " + command + (reply.empty() ? "" : "  <" + reply));
    m_lastCue = std::move(command);
}

void MciSession::Close() {
    Send("close movie");
    m_state.trackOpening = false;
    m_state.closed = 1;
    m_state.paused = 0;
    m_state.seekKnobX = 0;
}

void MciSession::TogglePlayPause() {
    m_state.paused = m_state.paused ? 0 : 1;
    if (m_state.speed != 0) {
        m_state.paused = 0;
        m_state.speed = 0;
    }
    if (!m_state.paused) {
        if (m_state.closed == 1) {
            m_state.position = 0;
            if (m_openCurrentTrack) {
                m_openCurrentTrack();
            } else {
                LogLine("no track opener installed: nothing opened");
            }
            m_state.closed = 0;
        } else {
            Send("play movie");
        }
        Send("play movie");
        m_state.paused = 0;
    } else {
        m_state.paused = 1;
        PauseKeepingPosition();
    }
}

void MciSession::PauseKeepingPosition() {
    Send("pause movie");
    if (m_state.paused) m_state.position = QueryNumber("status movie position");
}

void MciSession::StepWhilePaused(int units) {
    const long long target = static_cast<long long>(QueryNumber("status movie position")) + units;
    m_state.position = target <= 0 ? 0 : target > INT_MAX ? INT_MAX : static_cast<int>(target);
    Send("seek movie to " + std::to_string(m_state.position));
}

void MciSession::StepPictures(int pictures) {
    const bool inMilliseconds = m_state.timeFormatMs != 0;
    if (inMilliseconds) Send("set movie time format frames");
    StepWhilePaused(pictures);
    if (!inMilliseconds) return;
    Send("set movie time format milliseconds");
    m_state.position = QueryNumber("status movie position");
}

int MciSession::SeekRelative(int mode, int amount) {
    SelectTimeFormat(mode >= kSeekBySpeed ? 1 : 0);
    int multiplier = 1;
    if (amount == kUnitSecond) multiplier = 1000;
    else if (amount == kUnit30Ms) multiplier = 30;
    m_state.position = QueryNumber("status movie position");
    const int s = m_state.speed;
    const int back = s < 0 ? (-s > 9 ? 9 : -s) : 0;  // speed is kept in -9..9
    // 64-bit so that a position read near the 32-bit limit cannot overflow.
    long long target = m_state.position;
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
    m_state.position = target > INT_MAX ? INT_MAX : static_cast<int>(target);
    Send("seek movie to " + std::to_string(m_state.position));
    m_state.timeFormatMs = SelectTimeFormat(m_state.timeFormatMs);
    m_state.position = QueryNumber("status movie position");
    return m_state.position;
}

int MciSession::SelectTimeFormat(int wantMs) {
    const std::string format = QueryText("status movie time format", kReplySize);
    if (wantMs != 0 && format == "frames") Send("set movie time format milliseconds");
    else if (wantMs == 0 && format == "milliseconds") Send("set movie time format frames");
    return wantMs;
}

void MciSession::MeasureLengths() {
    SelectTimeFormat(0);
    m_state.lengthFrames = QueryNumber("status movie length");
    SelectTimeFormat(1);
    m_state.lengthMs = QueryNumber("status movie length");
    m_state.timeFormatMs = SelectTimeFormat(m_state.timeFormatMs);
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

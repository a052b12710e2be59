#pragma once
#include <deque>
#include <map>
#include <string>
#include <vector>
#include "platform/MediaDevice.h"

// A media device for tests: records every command string in order and answers from a
// script. Replies are looked up first in the queue of one-shot answers for that command
// (consumed in order), then in the standing answers; anything else answers empty.
class ScriptedMediaDevice final : public MediaDevice {
public:
    std::string SendString(const std::string& command) override {
        sent.push_back(command);
        if (auto queued = m_once.find(command); queued != m_once.end() && !queued->second.empty()) {
            const std::string reply = queued->second.front();
            queued->second.pop_front(); return reply;
        }
        auto standing = m_always.find(command);
        return standing == m_always.end() ? std::string() : standing->second;
    }

    // Hints are recorded apart from the commands, in order; none is answered.
    std::string SendHint(const std::string& command) override { hints.push_back(command); return {}; }
    bool PlaysSilently() override { return silent; }

    // `command` answers `reply` from now on (until changed).
    void Answer(const std::string& command, const std::string& reply) { m_always[command] = reply; }
    // `command` answers `reply` once, before any standing answer; several queue up.
    void AnswerOnce(const std::string& command, const std::string& reply) { m_once[command].push_back(reply); }
    void ClearSent() { sent.clear(); }

    std::vector<std::string> sent;
    std::vector<std::string> hints;
    bool silent = false;  // what PlaysSilently answers

private:
    std::map<std::string, std::string> m_always;
    std::map<std::string, std::deque<std::string>> m_once;
};

#pragma once
#include <string>

// The one path from the player to a media device: command strings in, reply strings out.
//
// Contract (mirrors the mpegvideo string interface the player was designed against):
// - SendString is synchronous: when it returns, the command has taken effect. An open may go on
//   in the background: until it ends "status <alias> mode" answers "not ready".
// - An empty reply means "no answer": either the command has no reply or it failed.
//   The caller never distinguishes the two (a failed numeric query reads as 0).
// - Commands address one alias, "movie"; at most one medium is open at a time.
// - Never throws. Called from the user-interface thread only.
class MediaDevice {
public:
    virtual ~MediaDevice() = default;
    virtual std::string SendString(const std::string& command) = 0;

    // Extensions a device may lack; without them these do nothing.
    // A hint: a command of the device's extension table (the entry that follows the open one)
    // that never changes what the other commands answer until the hinted file is opened.
    virtual std::string SendHint(const std::string& command) {
        (void)command;
        return {};
    }
    // True once the device plays without sound because no sound output could be opened.
    virtual bool PlaysSilently() { return false; }
};

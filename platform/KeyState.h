#pragma once

// The keys the player polls every timer tick.
enum class PolledKey { Alt, Enter, N, LeftBracket, M, RightBracket, Comma, Right, Left, Period, Space, X, Z, B, V };

// Asynchronous key state: whether a key is down now, and whether it is down now or was
// pressed since the previous Pressed() of the same key (reading clears that memory).
// User-interface thread only.
class KeyState {
public:
    virtual ~KeyState() = default;
    virtual bool Held(PolledKey key) = 0;
    virtual bool Pressed(PolledKey key) = 0;
};

#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "device/VideoHost.h"

// Puts video frames from their memory files straight into an X window (MIT-SHM 1.2, the file
// descriptor passed to the server), on Qt's own connection: the picture reaches the screen
// without a copy into a backing store. The server reads a frame after the put returns, so the
// presenter keeps the last frame it put until the server has answered a later request.
//
// It shares Qt's connection, and so its ordering: a window that the user-interface thread moved
// or mapped before a put is moved or mapped when the put lands.
//
// Threading: Create on the user-interface thread; then thread-safe (libxcb is, and one lock
// serialises the presenter), so the device's render thread may put frames as they come.
class X11FramePresenter {
public:
    // Null unless the application runs on X11 and the server offers MIT-SHM 1.2.
    static std::shared_ptr<X11FramePresenter> Create();
    ~X11FramePresenter();
    X11FramePresenter(const X11FramePresenter&) = delete;
    X11FramePresenter& operator=(const X11FramePresenter&) = delete;

    // Puts the whole frame at (0, 0) of `window`, a 24-bit window. False when it cannot (no
    // memory file, another depth, the server refused the memory): the caller paints instead.
    bool Present(uint32_t window, std::shared_ptr<const VideoFrame> frame);
    // Nothing is shown through the presenter for now: the server lets go of every frame's memory.
    void ReleaseAll();
    // The window is about to go: waits for a put under way; every later Present returns false.
    void Close();

private:
    struct Segment {
        uint64_t serial;
        uint32_t id;
    };
    X11FramePresenter() = default;
    // The following run under m_mutex.
    // The server's segment for the frame's memory, attached on first use; 0 on refusal.
    uint32_t SegmentFor(const VideoFrame& frame);
    void Detach(const Segment& segment);
    // Waits for the answer that proves the last put was read, then lets its frame go.
    void SettleLastPut();
    void ReleaseAllLocked();

    std::mutex m_mutex;
    bool m_closed = false;
    void* m_connection = nullptr;  // xcb_connection_t, Qt's
    uint32_t m_window = 0;         // the window m_gc belongs to
    uint32_t m_gc = 0;
    bool m_windowUsable = false;
    std::deque<Segment> m_segments;  // newest last
    std::shared_ptr<const VideoFrame> m_lastPut;
    unsigned int m_lastPutCookie = 0;  // a GetInputFocus sent right after the last put
    bool m_lastPutPending = false;     // its answer not read yet
};

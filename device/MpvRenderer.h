#pragma once
// Internal to device/: the media device's render thread and its frame buffers.
#include <mpv/render.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "device/VideoHost.h"

namespace mpvdevice {

// Frame buffers for the hosts, reused once nobody reads them any more. A frame goes back to
// the pool from its last owner's release (the surface's or a paint's), under the pool's lock,
// so the render thread's next write into it comes after that owner's last read. The pool's
// state lives as long as the last frame out.
//
// Threading: Take is for the render thread; the release of a frame may run on any thread.
class FramePool {
public:
    // A frame of that size for the render thread to write; owned by the caller alone.
    std::shared_ptr<VideoFrame> Take(int width, int height) {
        std::unique_ptr<VideoFrame> frame;
        {
            std::lock_guard<std::mutex> lock(m_shared->mutex);
            auto& free = m_shared->free;
            // Other sizes belong to an older destination; frames of this size are kept for reuse, since
            // a new one costs its first touch of every page.
            std::erase_if(free, [&](const auto& f) { return f->width() != width || f->height() != height; });
            if (!free.empty()) frame = std::move(free.back()), free.pop_back();
        }
        if (!frame) frame = std::make_unique<VideoFrame>(width, height);
        return std::shared_ptr<VideoFrame>(frame.release(), Return{m_shared});
    }

private:
    static constexpr std::size_t kKeep = 3;

    struct Shared {
        std::mutex mutex;
        std::vector<std::unique_ptr<VideoFrame>> free;
    };

    // The deleter: runs on whichever thread lets go of the frame last.
    struct Return {
        std::shared_ptr<Shared> shared;
        void operator()(VideoFrame* frame) const {
            std::unique_ptr<VideoFrame> owned(frame);
            std::lock_guard<std::mutex> lock(shared->mutex);
            if (shared->free.size() < kKeep) shared->free.push_back(std::move(owned));
        }
    };

    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
};

// Renders frames on a thread of its own, woken by libmpv's update callback (which only
// sets a flag) and by redraw requests of the command thread. Frames go to the attached
// host surface at the destination size, or are consumed without drawing when none is.
//
// Threading: libmpv's update callback runs on libmpv's threads and only sets a flag under
// the renderer's lock. The render thread alone calls mpv_render_context_update/render and
// owns the frame pool. SetTarget, Snapshot and the waits are for the command thread: the
// waits are bounded, because libmpv holds a load or seek until its frame is rendered.
// Destroy before mpv_render_context_free.
class Renderer {
public:
    // Starts the render thread, then installs libmpv's update callback.
    Renderer(mpv_render_context* ctx, const void* owner);
    // Stops and joins the render thread, then clears the update callback.
    ~Renderer();

    struct Progress {
        uint64_t started = 0;    // render passes begun
        uint64_t completed = 0;  // render passes finished (frame handed to the host)
    };

    Progress Snapshot() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return Progress{m_started, m_completed};
    }

    // New target (null surface: none); a redraw follows. Returns the redraw's ticket.
    uint64_t SetTarget(std::shared_ptr<HostSurface> surface, DestinationRect destination) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_surface = std::move(surface);
        m_destination = destination;
        m_cv.notify_all();
        return ++m_redrawTicket;
    }

    // Waits until the redraw `ticket` has been served.
    bool WaitRedraw(uint64_t ticket, int timeoutMs) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_servedTicket >= ticket; });
    }

    // Waits until `atLeast` render passes have finished.
    bool WaitCompleted(uint64_t atLeast, int timeoutMs) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_completed >= atLeast; });
    }

private:
    static void OnUpdate(void* self);
    void Run();
    void Render(HostSurface* surface, DestinationRect destination);

    mpv_render_context* m_ctx;
    const void* m_owner;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_quit = false;
    bool m_updatePending = false;
    uint64_t m_redrawTicket = 0;
    uint64_t m_servedTicket = 0;
    uint64_t m_started = 0;
    uint64_t m_completed = 0;
    std::shared_ptr<HostSurface> m_surface;
    DestinationRect m_destination;
    // Render thread only.
    FramePool m_pool;
    std::shared_ptr<VideoFrame> m_scratch;
    std::thread m_thread;
};

}  // namespace mpvdevice

#include "device/X11FramePresenter.h"

#include <unistd.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <cstdlib>

namespace {
// Segments the server keeps mapped: the frames in flight of one size, with room for a change.
constexpr std::size_t kKeepSegments = 4;

xcb_connection_t* Conn(void* c) { return static_cast<xcb_connection_t*>(c); }
}  // namespace

std::shared_ptr<X11FramePresenter> X11FramePresenter::Create() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* c = x11 != nullptr ? x11->connection() : nullptr;
    if (c == nullptr) return nullptr;
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(c, &xcb_shm_id);
    if (shm == nullptr || !shm->present) return nullptr;
    xcb_shm_query_version_reply_t* version = xcb_shm_query_version_reply(c, xcb_shm_query_version(c), nullptr);
    const bool passesFds = version != nullptr &&
                           (version->major_version > 1 || (version->major_version == 1 && version->minor_version >= 2));
    std::free(version);
    if (!passesFds) return nullptr;
    std::shared_ptr<X11FramePresenter> presenter(new X11FramePresenter());
    presenter->connection_ = c;
    return presenter;
}

X11FramePresenter::~X11FramePresenter() {
    if (qGuiApp == nullptr) return;  // the connection went with the application
    ReleaseAllLocked();              // the last owner: nobody else holds the lock
    if (gc_ != 0) xcb_free_gc(Conn(connection_), gc_);
    xcb_flush(Conn(connection_));
}

void X11FramePresenter::ReleaseAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    ReleaseAllLocked();
}

void X11FramePresenter::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    ReleaseAllLocked();
}

void X11FramePresenter::ReleaseAllLocked() {
    SettleLastPut();
    for (const Segment& s : segments_) Detach(s);
    segments_.clear();
    xcb_flush(Conn(connection_));
}

bool X11FramePresenter::Present(uint32_t window, std::shared_ptr<const VideoFrame> frame) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) return false;
    xcb_connection_t* c = Conn(connection_);
    if (window != window_) {
        if (gc_ != 0) xcb_free_gc(c, gc_);
        gc_ = 0;
        window_ = window;
        xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
        // 24 bits: the frame's fourth byte is padding, as the renderer leaves it.
        windowUsable_ = geometry != nullptr && geometry->depth == 24;
        std::free(geometry);
        if (windowUsable_) {
            gc_ = xcb_generate_id(c);
            const uint32_t noExposures = 0;
            xcb_create_gc(c, gc_, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
        }
    }
    if (!windowUsable_ || frame == nullptr) return false;
    const uint32_t segment = SegmentFor(*frame);
    if (segment == 0) return false;
    const auto rowPixels = static_cast<uint16_t>(frame->stride() / 4);
    const auto width = static_cast<uint16_t>(frame->width());
    const auto height = static_cast<uint16_t>(frame->height());
    xcb_shm_put_image(c, window, gc_, rowPixels, height, 0, 0, width, height, 0, 0, 24, XCB_IMAGE_FORMAT_Z_PIXMAP, 0,
                      segment, 0);
    // Its answer comes after the server has read this put: requests run in order.
    const unsigned int cookie = xcb_get_input_focus(c).sequence;
    xcb_flush(c);
    SettleLastPut();  // the put before, long read by now
    lastPut_ = std::move(frame);
    lastPutCookie_ = cookie;
    lastPutPending_ = true;
    return true;
}

uint32_t X11FramePresenter::SegmentFor(const VideoFrame& frame) {
    for (const Segment& s : segments_)
        if (s.serial == frame.Serial()) return s.id;
    if (frame.SharedMemoryFd() < 0) return 0;
    const int fd = dup(frame.SharedMemoryFd());  // the request takes it and closes it once sent
    if (fd < 0) return 0;
    xcb_connection_t* c = Conn(connection_);
    const uint32_t id = xcb_generate_id(c);
    xcb_generic_error_t* error = xcb_request_check(c, xcb_shm_attach_fd_checked(c, id, fd, 1));
    if (error != nullptr) {  // a server elsewhere cannot map our memory
        std::free(error);
        return 0;
    }
    // Puts already sent on the oldest segment are read before its detach: requests run in order.
    if (segments_.size() >= kKeepSegments) Detach(segments_.front()), segments_.pop_front();
    segments_.push_back(Segment{frame.Serial(), id});
    return id;
}

void X11FramePresenter::Detach(const Segment& segment) { xcb_shm_detach(Conn(connection_), segment.id); }

void X11FramePresenter::SettleLastPut() {
    if (lastPutPending_) {
        std::free(xcb_get_input_focus_reply(Conn(connection_), xcb_get_input_focus_cookie_t{lastPutCookie_}, nullptr));
        lastPutPending_ = false;
    }
    lastPut_.reset();
}

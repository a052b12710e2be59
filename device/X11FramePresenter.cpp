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
    presenter->m_connection = c;
    return presenter;
}

X11FramePresenter::~X11FramePresenter() {
    if (qGuiApp == nullptr) return;  // the connection went with the application
    ReleaseAllLocked();              // the last owner: nobody else holds the lock
    if (m_gc != 0) xcb_free_gc(Conn(m_connection), m_gc);
    xcb_flush(Conn(m_connection));
}

void X11FramePresenter::ReleaseAll() {
    std::lock_guard<std::mutex> lock(m_mutex);
    ReleaseAllLocked();
}

void X11FramePresenter::Close() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closed = true;
    ReleaseAllLocked();
}

void X11FramePresenter::ReleaseAllLocked() {
    SettleLastPut();
    for (const Segment& s : m_segments) Detach(s);
    m_segments.clear();
    xcb_flush(Conn(m_connection));
}

bool X11FramePresenter::Present(uint32_t window, std::shared_ptr<const VideoFrame> frame) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_closed) return false;
    xcb_connection_t* c = Conn(m_connection);
    if (window != m_window) {
        if (m_gc != 0) xcb_free_gc(c, m_gc);
        m_gc = 0;
        m_window = window;
        xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr);
        // 24 bits: the frame's fourth byte is padding, as the renderer leaves it.
        m_windowUsable = geometry != nullptr && geometry->depth == 24;
        std::free(geometry);
        if (m_windowUsable) {
            m_gc = xcb_generate_id(c);
            const uint32_t noExposures = 0;
            xcb_create_gc(c, m_gc, window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures);
        }
    }
    if (!m_windowUsable || frame == nullptr) return false;
    const uint32_t segment = SegmentFor(*frame);
    if (segment == 0) return false;
    const auto rowPixels = static_cast<uint16_t>(frame->stride() / 4);
    const auto width = static_cast<uint16_t>(frame->width());
    const auto height = static_cast<uint16_t>(frame->height());
    xcb_shm_put_image(c, window, m_gc, rowPixels, height, 0, 0, width, height, 0, 0, 24, XCB_IMAGE_FORMAT_Z_PIXMAP, 0,
                      segment, 0);
    // Its answer comes after the server has read this put: requests run in order.
    const unsigned int cookie = xcb_get_input_focus(c).sequence;
    xcb_flush(c);
    SettleLastPut();  // the put before, long read by now
    m_lastPut = std::move(frame);
    m_lastPutCookie = cookie;
    m_lastPutPending = true;
    return true;
}

uint32_t X11FramePresenter::SegmentFor(const VideoFrame& frame) {
    for (const Segment& s : m_segments)
        if (s.serial == frame.Serial()) return s.id;
    if (frame.SharedMemoryFd() < 0) return 0;
    const int fd = dup(frame.SharedMemoryFd());  // the request takes it and closes it once sent
    if (fd < 0) return 0;
    xcb_connection_t* c = Conn(m_connection);
    const uint32_t id = xcb_generate_id(c);
    xcb_generic_error_t* error = xcb_request_check(c, xcb_shm_attach_fd_checked(c, id, fd, 1));
    if (error != nullptr) {  // a server elsewhere cannot map our memory
        std::free(error);
        return 0;
    }
    // Puts already sent on the oldest segment are read before its detach: requests run in order.
    if (m_segments.size() >= kKeepSegments) Detach(m_segments.front()), m_segments.pop_front();
    m_segments.push_back(Segment{frame.Serial(), id});
    return id;
}

void X11FramePresenter::Detach(const Segment& segment) { xcb_shm_detach(Conn(m_connection), segment.id); }

void X11FramePresenter::SettleLastPut() {
    if (m_lastPutPending) {
        std::free(
            xcb_get_input_focus_reply(Conn(m_connection), xcb_get_input_focus_cookie_t{m_lastPutCookie}, nullptr));
        m_lastPutPending = false;
    }
    m_lastPut.reset();
}

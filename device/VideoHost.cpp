#include "device/VideoHost.h"

#include <algorithm>
#include <cmath>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>

namespace {
constexpr std::size_t kAlignment = 64;

std::size_t AlignUp(std::size_t n) { return (n + kAlignment - 1) / kAlignment * kAlignment; }
}  // namespace

VideoFrame::VideoFrame(int width, int height)
    : m_width(width > 0 ? width : 1), m_height(height > 0 ? height : 1),
      m_stride(AlignUp(static_cast<std::size_t>(m_width) * 4)) {
    static std::atomic<uint64_t> serials{0};
    m_serial = ++serials;
    const std::size_t bytes = m_stride * static_cast<std::size_t>(m_height);
    // Shareable memory first, so a display server can read the picture in place; page-aligned
    // and zero-filled by the kernel.
    m_fd = memfd_create("velkaf-frame", MFD_CLOEXEC);
    if (m_fd >= 0 && ftruncate(m_fd, static_cast<off_t>(bytes)) == 0) {
        void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
        if (p != MAP_FAILED) {
            m_data = static_cast<uint8_t*>(p);
            return;
        }
    }
    if (m_fd >= 0) close(m_fd), m_fd = -1;
    m_data = static_cast<uint8_t*>(std::aligned_alloc(kAlignment, bytes));
    if (m_data == nullptr) throw std::bad_alloc();
    std::memset(m_data, 0, bytes);
}

VideoFrame::~VideoFrame() {
    if (m_fd < 0) {
        std::free(m_data);
        return;
    }
    munmap(m_data, m_stride * static_cast<std::size_t>(m_height));
    close(m_fd);
}

uint32_t VideoFrame::Pixel(int x, int y) const {
    uint32_t v = 0;
    std::memcpy(&v, m_data + static_cast<std::size_t>(y) * m_stride + static_cast<std::size_t>(x) * 4, 4);
    return v | 0xff000000u;
}

void HostSurface::SetRepaint(std::function<void()> repaint) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_repaint = std::move(repaint);
}

void HostSurface::SetDevicePixelRatio(double ratio) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_devicePixelRatio = ratio > 0 ? ratio : 1.0;
}

void HostSurface::SetHostSize(int width, int height) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hostWidth = std::max(0, width);
    m_hostHeight = std::max(0, height);
}

void HostSurface::SetAlphaShown(bool shown) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_alphaShown = shown;
}

bool HostSurface::AlphaShown() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_alphaShown;
}

HostSurface::Size HostSurface::RenderSize(DestinationRect d) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (d.width <= 0 || d.height <= 0) return {};
    const double w = static_cast<double>(d.width) * m_devicePixelRatio;
    const double h = static_cast<double>(d.height) * m_devicePixelRatio;
    // A hidden widget learns its size only when shown: until then only the fixed bounds hold.
    const bool known = m_hostWidth > 0 && m_hostHeight > 0;
    const double maxW = known ? std::min<double>(kMaxRenderSide, m_hostWidth * m_devicePixelRatio) : kMaxRenderSide;
    const double maxH = known ? std::min<double>(kMaxRenderSide, m_hostHeight * m_devicePixelRatio) : kMaxRenderSide;
    double shrink = std::min({1.0, maxW / w, maxH / h});
    const double area = w * shrink * h * shrink;
    if (area > kMaxRenderPixels) shrink *= std::sqrt(kMaxRenderPixels / area);
    return Size{std::max(1, static_cast<int>(std::lround(w * shrink))),
                std::max(1, static_cast<int>(std::lround(h * shrink)))};
}

HostSurface::View HostSurface::Read() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return View{m_owner != nullptr, m_destination, m_frame};
}

uint64_t HostSurface::FramesPublished() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_published;
}

void HostSurface::Attach(const void* owner, DestinationRect destination) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_owner != owner) m_frame.reset();  // a new device starts from black, not another's picture
    m_owner = owner;
    m_destination = destination;
    RepaintLocked();
}

void HostSurface::Detach(const void* owner) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_owner != owner) return;
    m_owner = nullptr;
    m_frame.reset();
    RepaintLocked();
}

bool HostSurface::AttachedTo(const void* owner) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return owner != nullptr && m_owner == owner;
}

void HostSurface::SetDestination(const void* owner, DestinationRect destination) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_owner != owner) return;
    m_destination = destination;
    RepaintLocked();
}

void HostSurface::SetDirectTarget(std::shared_ptr<const DirectTarget> target) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_direct = std::move(target);
}

void HostSurface::Publish(const void* owner, DestinationRect destination, std::shared_ptr<const VideoFrame> frame) {
    std::shared_ptr<const DirectTarget> direct;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_owner != owner || !(m_destination == destination)) return;
        m_frame = frame;
        ++m_published;
        const bool fits = m_direct != nullptr && m_direct->destination == destination && frame != nullptr &&
                          frame->width() == m_direct->width && frame->height() == m_direct->height;
        if (!fits) return RepaintLocked();
        direct = m_direct;
    }
    if (direct->present(frame)) return;
    std::lock_guard<std::mutex> lock(m_mutex);
    RepaintLocked();
}

void HostSurface::RepaintLocked() {
    if (m_repaint) m_repaint();
}

namespace {
struct Registry {
    std::mutex mutex;
    std::map<int, std::shared_ptr<HostSurface>> hosts;
    int nextId = 1;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}
}  // namespace

int VideoHostRegistry::Register(std::shared_ptr<HostSurface> surface) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    const int id = r.nextId++;
    r.hosts[id] = std::move(surface);
    return id;
}

void VideoHostRegistry::Unregister(int id) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.hosts.erase(id);
}

std::shared_ptr<HostSurface> VideoHostRegistry::Find(int id) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.hosts.find(id);
    return it == r.hosts.end() ? nullptr : it->second;
}

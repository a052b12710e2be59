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
    : width_(width > 0 ? width : 1), height_(height > 0 ? height : 1),
      stride_(AlignUp(static_cast<std::size_t>(width_) * 4)) {
    static std::atomic<uint64_t> serials{0};
    serial_ = ++serials;
    const std::size_t bytes = stride_ * static_cast<std::size_t>(height_);
    // Shareable memory first, so a display server can read the picture in place; page-aligned
    // and zero-filled by the kernel.
    fd_ = memfd_create("velkaf-frame", MFD_CLOEXEC);
    if (fd_ >= 0 && ftruncate(fd_, static_cast<off_t>(bytes)) == 0) {
        void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
        if (p != MAP_FAILED) {
            data_ = static_cast<uint8_t*>(p);
            return;
        }
    }
    if (fd_ >= 0) close(fd_), fd_ = -1;
    data_ = static_cast<uint8_t*>(std::aligned_alloc(kAlignment, bytes));
    if (data_ == nullptr) throw std::bad_alloc();
    std::memset(data_, 0, bytes);
}

VideoFrame::~VideoFrame() {
    if (fd_ < 0) {
        std::free(data_);
        return;
    }
    munmap(data_, stride_ * static_cast<std::size_t>(height_));
    close(fd_);
}

uint32_t VideoFrame::Pixel(int x, int y) const {
    uint32_t v = 0;
    std::memcpy(&v, data_ + static_cast<std::size_t>(y) * stride_ + static_cast<std::size_t>(x) * 4, 4);
    return v | 0xff000000u;
}

void HostSurface::SetRepaint(std::function<void()> repaint) {
    std::lock_guard<std::mutex> lock(mutex_);
    repaint_ = std::move(repaint);
}

void HostSurface::SetDevicePixelRatio(double ratio) {
    std::lock_guard<std::mutex> lock(mutex_);
    devicePixelRatio_ = ratio > 0 ? ratio : 1.0;
}

void HostSurface::SetHostSize(int width, int height) {
    std::lock_guard<std::mutex> lock(mutex_);
    hostWidth_ = std::max(0, width);
    hostHeight_ = std::max(0, height);
}

void HostSurface::SetAlphaShown(bool shown) {
    std::lock_guard<std::mutex> lock(mutex_);
    alphaShown_ = shown;
}

bool HostSurface::AlphaShown() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return alphaShown_;
}

HostSurface::Size HostSurface::RenderSize(DestinationRect d) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (d.width <= 0 || d.height <= 0) return {};
    const double w = static_cast<double>(d.width) * devicePixelRatio_;
    const double h = static_cast<double>(d.height) * devicePixelRatio_;
    // A hidden widget learns its size only when shown: until then only the fixed bounds hold.
    const bool known = hostWidth_ > 0 && hostHeight_ > 0;
    const double maxW = known ? std::min<double>(kMaxRenderSide, hostWidth_ * devicePixelRatio_) : kMaxRenderSide;
    const double maxH = known ? std::min<double>(kMaxRenderSide, hostHeight_ * devicePixelRatio_) : kMaxRenderSide;
    double shrink = std::min({1.0, maxW / w, maxH / h});
    const double area = w * shrink * h * shrink;
    if (area > kMaxRenderPixels) shrink *= std::sqrt(kMaxRenderPixels / area);
    return Size{std::max(1, static_cast<int>(std::lround(w * shrink))),
                std::max(1, static_cast<int>(std::lround(h * shrink)))};
}

HostSurface::View HostSurface::Read() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return View{owner_ != nullptr, destination_, frame_};
}

uint64_t HostSurface::FramesPublished() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return published_;
}

void HostSurface::Attach(const void* owner, DestinationRect destination) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (owner_ != owner) frame_.reset();  // a new device starts from black, not another's picture
    owner_ = owner;
    destination_ = destination;
    RepaintLocked();
}

void HostSurface::Detach(const void* owner) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (owner_ != owner) return;
    owner_ = nullptr;
    frame_.reset();
    RepaintLocked();
}

bool HostSurface::AttachedTo(const void* owner) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return owner != nullptr && owner_ == owner;
}

void HostSurface::SetDestination(const void* owner, DestinationRect destination) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (owner_ != owner) return;
    destination_ = destination;
    RepaintLocked();
}

void HostSurface::SetDirectTarget(std::shared_ptr<const DirectTarget> target) {
    std::lock_guard<std::mutex> lock(mutex_);
    direct_ = std::move(target);
}

void HostSurface::Publish(const void* owner, DestinationRect destination, std::shared_ptr<const VideoFrame> frame) {
    std::shared_ptr<const DirectTarget> direct;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (owner_ != owner || !(destination_ == destination)) return;
        frame_ = frame;
        ++published_;
        const bool fits = direct_ != nullptr && direct_->destination == destination && frame != nullptr &&
                          frame->width() == direct_->width && frame->height() == direct_->height;
        if (!fits) return RepaintLocked();
        direct = direct_;
    }
    if (direct->present(frame)) return;
    std::lock_guard<std::mutex> lock(mutex_);
    RepaintLocked();
}

void HostSurface::RepaintLocked() {
    if (repaint_) repaint_();
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

#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

// Where the media device's picture goes. A window that can show the picture owns a
// HostSurface and registers it in the process-wide VideoHostRegistry under a numeric id, the
// number the player writes in "window movie handle n". The device attaches to the surface,
// tells it the destination rectangle and hands it finished frames from its render thread; the
// window paints the latest frame at the destination, scaled, and everything else black.

// One rendered picture: 4 bytes per pixel, B G R X in memory (QImage::Format_RGB32 on
// little-endian), with X forced to 0xff. Rows start 64-byte aligned; stride is a multiple of 64.
// The pixels live in a memory file when the system gives one, so the display server can read
// them without a copy (SharedMemoryFd).
class VideoFrame {
public:
    VideoFrame(int width, int height);
    ~VideoFrame();
    VideoFrame(const VideoFrame&) = delete;
    VideoFrame& operator=(const VideoFrame&) = delete;

    int width() const { return m_width; }
    int height() const { return m_height; }
    std::size_t stride() const { return m_stride; }
    uint8_t* data() { return m_data; }
    const uint8_t* data() const { return m_data; }
    // Pixel (x, y) as 0xffRRGGBB.
    uint32_t Pixel(int x, int y) const;
    // The memory file holding the pixels from offset 0 (stride times height bytes), or -1. Owned
    // by the frame; dup it to keep it.
    int SharedMemoryFd() const { return m_fd; }
    // Unique within the process, never reused: tells a reused buffer from a new one.
    uint64_t Serial() const { return m_serial; }

private:
    int m_width;
    int m_height;
    std::size_t m_stride;
    uint8_t* m_data = nullptr;
    int m_fd = -1;
    uint64_t m_serial = 0;
};

// Destination rectangle inside the host, in the host's logical pixels.
struct DestinationRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const DestinationRect&) const = default;
};

// Shared between one host window (user-interface thread) and the device attached to it (its
// command thread and its render thread). Every member is thread-safe; the lock is held only
// for copies, never across a call into libmpv.
class HostSurface {
public:
    struct View {
        bool attached = false;
        DestinationRect destination;
        std::shared_ptr<const VideoFrame> frame;  // null until the first frame arrives
    };

    // Host side. `repaint` must only post a repaint (it runs on the device's render thread,
    // under the surface lock); pass nullptr before the host goes away.
    void SetRepaint(std::function<void()> repaint);
    // A way to the screen that needs no repaint: a frame of exactly width x height published
    // for `destination` goes to `present` on the render thread, outside the surface lock; when
    // `present` returns false the repaint is posted as usual. Null (the default): every frame
    // posts a repaint. Pass null before whatever `present` reaches goes away.
    struct DirectTarget {
        DestinationRect destination;
        int width = 0;
        int height = 0;
        std::function<bool(const std::shared_ptr<const VideoFrame>& frame)> present;
    };
    void SetDirectTarget(std::shared_ptr<const DirectTarget> target);
    void SetDevicePixelRatio(double ratio);
    // The host's size in logical pixels; a destination larger than the host is rendered no
    // larger than the host (and scaled up when painted).
    void SetHostSize(int width, int height);
    // Whether the host's window shows the frame's fourth byte as alpha (a window with an
    // alpha channel). Only then must the renderer make that byte opaque; a 24-bit window
    // ignores it. False until set.
    void SetAlphaShown(bool shown);
    bool AlphaShown() const;
    View Read() const;
    // Frames handed over since the surface was made (tests wait on it).
    uint64_t FramesPublished() const;

    // Device side. `owner` identifies the device, so a device that lost the surface to
    // another one cannot detach it.
    void Attach(const void* owner, DestinationRect destination);
    void Detach(const void* owner);
    bool AttachedTo(const void* owner) const;
    void SetDestination(const void* owner, DestinationRect destination);
    // Hands over a frame rendered for `destination`; ignored when the owner or the
    // destination changed meanwhile (a stale frame never lands in the new rectangle).
    void Publish(const void* owner, DestinationRect destination, std::shared_ptr<const VideoFrame> frame);
    // Pixel size to render `destination` at: its size times the pixel ratio, shrunk (aspect
    // kept) to fit the host, kMaxRenderSide and kMaxRenderPixels. Zero when there is nothing to show.
    struct Size {
        int width = 0;
        int height = 0;
    };
    Size RenderSize(DestinationRect destination) const;

    static constexpr int kMaxRenderSide = 8192;
    static constexpr double kMaxRenderPixels = 3840.0 * 2160.0;

private:
    void RepaintLocked();

    mutable std::mutex m_mutex;
    std::function<void()> m_repaint;
    std::shared_ptr<const DirectTarget> m_direct;
    double m_devicePixelRatio = 1.0;
    int m_hostWidth = 0;
    int m_hostHeight = 0;
    bool m_alphaShown = false;
    const void* m_owner = nullptr;
    DestinationRect m_destination;
    std::shared_ptr<const VideoFrame> m_frame;
    uint64_t m_published = 0;
};

// The process-wide table of hosts, like the window handles of a desktop. Ids start at 1 and
// are never reused within a run. Thread-safe.
class VideoHostRegistry {
public:
    static int Register(std::shared_ptr<HostSurface> surface);
    static void Unregister(int id);
    // Null when no host has that id.
    static std::shared_ptr<HostSurface> Find(int id);
};

#include "device/MpvRenderer.h"

#include <algorithm>

namespace mpvdevice {

Renderer::Renderer(mpv_render_context* ctx, const void* owner) : ctx_(ctx), owner_(owner) {
    thread_ = std::thread([this] { Run(); });
    mpv_render_context_set_update_callback(ctx_, &Renderer::OnUpdate, this);
}

Renderer::~Renderer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    cv_.notify_all();
    thread_.join();
    // libmpv holds its own lock while calling back: after this, no callback runs.
    mpv_render_context_set_update_callback(ctx_, nullptr, nullptr);
}

void Renderer::OnUpdate(void* self) {
    auto* r = static_cast<Renderer*>(self);
    {
        std::lock_guard<std::mutex> lock(r->mutex_);
        r->updatePending_ = true;
    }
    r->cv_.notify_all();
}

void Renderer::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        cv_.wait(lock, [&] { return quit_ || updatePending_ || redrawTicket_ > servedTicket_; });
        if (quit_) return;
        const bool redraw = redrawTicket_ > servedTicket_;
        const uint64_t ticket = redrawTicket_;
        updatePending_ = false;
        std::shared_ptr<HostSurface> surface = surface_;
        const DestinationRect destination = destination_;
        ++started_;
        lock.unlock();

        const uint64_t flags = mpv_render_context_update(ctx_);
        if ((flags & MPV_RENDER_UPDATE_FRAME) != 0 || redraw) Render(surface.get(), destination);

        lock.lock();
        ++completed_;
        servedTicket_ = std::max(servedTicket_, ticket);
        cv_.notify_all();
    }
}

void Renderer::Render(HostSurface* surface, DestinationRect destination) {
    int width = 0;
    int height = 0;
    if (surface != nullptr) {
        const HostSurface::Size size = surface->RenderSize(destination);
        width = size.width;
        height = size.height;
    }
    if (surface == nullptr || width <= 0 || height <= 0) {
        // Nobody shows the picture: consume the frame so playback goes on.
        if (!scratch_) scratch_ = std::make_shared<VideoFrame>(16, 16);
        int size[2] = {16, 16};
        size_t stride = scratch_->stride();
        int skip = 1;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_SW_SIZE, size},         {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("bgr0")},
            {MPV_RENDER_PARAM_SW_STRIDE, &stride},    {MPV_RENDER_PARAM_SW_POINTER, scratch_->data()},
            {MPV_RENDER_PARAM_SKIP_RENDERING, &skip}, {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        mpv_render_context_render(ctx_, params);
        return;
    }
    std::shared_ptr<VideoFrame> frame = pool_.Take(width, height);
    int size[2] = {width, height};
    size_t stride = frame->stride();
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, size},      {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("bgr0")},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride}, {MPV_RENDER_PARAM_SW_POINTER, frame->data()},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_render(ctx_, params) < 0) return;
    // libmpv writes the padding byte as 0: made opaque only for a host that shows it as
    // alpha (a 24-bit window ignores it, and so does Qt's RGB32 painting).
    if (surface->AlphaShown()) {
        for (int y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(frame->data() + static_cast<size_t>(y) * stride);
            for (int x = 0; x < width; ++x) row[x] |= 0xff000000u;
        }
    }
    surface->Publish(owner_, destination, std::move(frame));
}

}  // namespace mpvdevice

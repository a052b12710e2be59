#include "device/MpvRenderer.h"

#include <algorithm>

namespace mpvdevice {

Renderer::Renderer(mpv_render_context* ctx, const void* owner) : m_ctx(ctx), m_owner(owner) {
    m_thread = std::thread([this] { Run(); });
    mpv_render_context_set_update_callback(m_ctx, &Renderer::OnUpdate, this);
}

Renderer::~Renderer() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    m_cv.notify_all();
    m_thread.join();
    // libmpv holds its own lock while calling back: after this, no callback runs.
    mpv_render_context_set_update_callback(m_ctx, nullptr, nullptr);
}

void Renderer::OnUpdate(void* self) {
    auto* r = static_cast<Renderer*>(self);
    {
        std::lock_guard<std::mutex> lock(r->m_mutex);
        r->m_updatePending = true;
    }
    r->m_cv.notify_all();
}

void Renderer::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_cv.wait(lock, [&] { return m_quit || m_updatePending || m_redrawTicket > m_servedTicket; });
        if (m_quit) return;
        const bool redraw = m_redrawTicket > m_servedTicket;
        const uint64_t ticket = m_redrawTicket;
        m_updatePending = false;
        std::shared_ptr<HostSurface> surface = m_surface;
        const DestinationRect destination = m_destination;
        ++m_started;
        lock.unlock();

        const uint64_t flags = mpv_render_context_update(m_ctx);
        if ((flags & MPV_RENDER_UPDATE_FRAME) != 0 || redraw) Render(surface.get(), destination);

        lock.lock();
        ++m_completed;
        m_servedTicket = std::max(m_servedTicket, ticket);
        m_cv.notify_all();
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
        if (!m_scratch) m_scratch = std::make_shared<VideoFrame>(16, 16);
        int size[2] = {16, 16};
        size_t stride = m_scratch->stride();
        int skip = 1;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_SW_SIZE, size},         {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("bgr0")},
            {MPV_RENDER_PARAM_SW_STRIDE, &stride},    {MPV_RENDER_PARAM_SW_POINTER, m_scratch->data()},
            {MPV_RENDER_PARAM_SKIP_RENDERING, &skip}, {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        mpv_render_context_render(m_ctx, params);
        return;
    }
    std::shared_ptr<VideoFrame> frame = m_pool.Take(width, height);
    int size[2] = {width, height};
    size_t stride = frame->stride();
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_SW_SIZE, size},      {MPV_RENDER_PARAM_SW_FORMAT, const_cast<char*>("bgr0")},
        {MPV_RENDER_PARAM_SW_STRIDE, &stride}, {MPV_RENDER_PARAM_SW_POINTER, frame->data()},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    if (mpv_render_context_render(m_ctx, params) < 0) return;
    // libmpv writes the padding byte as 0: made opaque only for a host that shows it as
    // alpha (a 24-bit window ignores it, and so does Qt's RGB32 painting).
    if (surface->AlphaShown()) {
        for (int y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(frame->data() + static_cast<size_t>(y) * stride);
            for (int x = 0; x < width; ++x) row[x] |= 0xff000000u;
        }
    }
    surface->Publish(m_owner, destination, std::move(frame));
}

}  // namespace mpvdevice

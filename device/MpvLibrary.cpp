// The libmpv functions the device calls, each forwarding to libmpv loaded on its first use.
// libmpv pulls in some 230 libraries (every codec, output and protocol FFmpeg and mpv were
// built with); linked at build time, the loader maps and relocates all of them before main()
// runs: about 70 ms of every start and several MiB of resident memory, paid even when nothing
// is ever played. Loaded here, they cost nothing until the first call (mpv_create). When the
// library cannot be loaded, mpv_create returns null (the device then reports it cannot start)
// and every other call fails as on a handle that was never made.
// Thread-safe: the load runs once, under the C++ static-initialisation guard.
#include <dlfcn.h>
#include <mpv/client.h>
#include <mpv/render.h>

#include <string>

#include "platform/Log.h"

static_assert(MPV_CLIENT_API_VERSION >> 16 == 2, "the library name below names the version the headers describe");

namespace {

constexpr const char* kLibraryName = "libmpv.so.2";

struct Library {
    void* handle = nullptr;
    Library() {
        handle = ::dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = ::dlerror();
            LogLine(std::string("cannot load ") + kLibraryName + ": " + (why != nullptr ? why : "unknown reason"));
        }
    }
};

void* Find(const char* name) {
    static const Library library;
    if (library.handle == nullptr) return nullptr;
    void* symbol = ::dlsym(library.handle, name);
    if (symbol == nullptr) LogLine(std::string(kLibraryName) + " has no " + name);
    return symbol;
}

// The function `name` of type F, looked up once per call site.
template <typename F>
F* Function(const char* name) {
    return reinterpret_cast<F*>(Find(name));
}

}  // namespace

// Each definition keeps the declaration's signature; `fallback` is what a call returns when
// the library or the function is missing.
#define VELKAF_MPV_FORWARD(result, name, fallback, params, args) \
    result name params {                                         \
        static auto* const f = Function<decltype(name)>(#name);  \
        if (f == nullptr) return fallback;                       \
        return f args;                                           \
    }
#define VELKAF_MPV_FORWARD_VOID(name, params, args)             \
    void name params {                                          \
        static auto* const f = Function<decltype(name)>(#name); \
        if (f != nullptr) f args;                               \
    }

extern "C" {
VELKAF_MPV_FORWARD(mpv_handle*, mpv_create, nullptr, (void), ())
VELKAF_MPV_FORWARD(int, mpv_initialize, MPV_ERROR_UNINITIALIZED, (mpv_handle * ctx), (ctx))
VELKAF_MPV_FORWARD_VOID(mpv_terminate_destroy, (mpv_handle * ctx), (ctx))
VELKAF_MPV_FORWARD(int, mpv_set_option_string, MPV_ERROR_UNINITIALIZED,
                   (mpv_handle * ctx, const char* name, const char* data), (ctx, name, data))
VELKAF_MPV_FORWARD(int, mpv_request_log_messages, MPV_ERROR_UNINITIALIZED, (mpv_handle * ctx, const char* level),
                   (ctx, level))
VELKAF_MPV_FORWARD(int, mpv_command, MPV_ERROR_UNINITIALIZED, (mpv_handle * ctx, const char** args), (ctx, args))
VELKAF_MPV_FORWARD(int, mpv_command_async, MPV_ERROR_UNINITIALIZED,
                   (mpv_handle * ctx, uint64_t reply, const char** args), (ctx, reply, args))
VELKAF_MPV_FORWARD(int, mpv_get_property, MPV_ERROR_UNINITIALIZED,
                   (mpv_handle * ctx, const char* name, mpv_format format, void* data), (ctx, name, format, data))
VELKAF_MPV_FORWARD(int, mpv_set_property, MPV_ERROR_UNINITIALIZED,
                   (mpv_handle * ctx, const char* name, mpv_format format, void* data), (ctx, name, format, data))
VELKAF_MPV_FORWARD_VOID(mpv_free_node_contents, (mpv_node * node), (node))
VELKAF_MPV_FORWARD(mpv_event*, mpv_wait_event, nullptr, (mpv_handle * ctx, double timeout), (ctx, timeout))
VELKAF_MPV_FORWARD_VOID(mpv_wakeup, (mpv_handle * ctx), (ctx))
VELKAF_MPV_FORWARD(int, mpv_render_context_create, MPV_ERROR_UNINITIALIZED,
                   (mpv_render_context * *res, mpv_handle* mpv, mpv_render_param* params), (res, mpv, params))
VELKAF_MPV_FORWARD_VOID(mpv_render_context_free, (mpv_render_context * ctx), (ctx))
VELKAF_MPV_FORWARD(int, mpv_render_context_render, MPV_ERROR_UNINITIALIZED,
                   (mpv_render_context * ctx, mpv_render_param* params), (ctx, params))
VELKAF_MPV_FORWARD_VOID(mpv_render_context_set_update_callback,
                        (mpv_render_context * ctx, mpv_render_update_fn callback, void* data), (ctx, callback, data))
VELKAF_MPV_FORWARD(uint64_t, mpv_render_context_update, 0, (mpv_render_context * ctx), (ctx))
}

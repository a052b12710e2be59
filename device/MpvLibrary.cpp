#include "device/MpvLibrary.h"

#include <dlfcn.h>
#include <mpv/client.h>
#include <mpv/render.h>

#include <mutex>

namespace {

// Every libmpv function the device calls: name, return type, parameters, arguments.
#define VELKAF_MPV_FUNCTIONS(X)                                                                                   \
    X(mpv_create, mpv_handle*, (void), ())                                                                        \
    X(mpv_initialize, int, (mpv_handle * h), (h))                                                                 \
    X(mpv_terminate_destroy, void, (mpv_handle * h), (h))                                                         \
    X(mpv_free, void, (void* p), (p))                                                                             \
    X(mpv_free_node_contents, void, (mpv_node * n), (n))                                                          \
    X(mpv_set_option_string, int, (mpv_handle * h, const char* n, const char* v), (h, n, v))                      \
    X(mpv_command, int, (mpv_handle * h, const char** a), (h, a))                                                 \
    X(mpv_command_async, int, (mpv_handle * h, uint64_t id, const char** a), (h, id, a))                          \
    X(mpv_set_property, int, (mpv_handle * h, const char* n, mpv_format f, void* d), (h, n, f, d))                \
    X(mpv_get_property, int, (mpv_handle * h, const char* n, mpv_format f, void* d), (h, n, f, d))                \
    X(mpv_get_property_string, char*, (mpv_handle * h, const char* n), (h, n))                                    \
    X(mpv_set_property_string, int, (mpv_handle * h, const char* n, const char* v), (h, n, v))                    \
    X(mpv_observe_property, int, (mpv_handle * h, uint64_t id, const char* n, mpv_format f), (h, id, n, f))       \
    X(mpv_hook_add, int, (mpv_handle * h, uint64_t id, const char* n, int p), (h, id, n, p))                      \
    X(mpv_hook_continue, int, (mpv_handle * h, uint64_t id), (h, id))                                             \
    X(mpv_request_log_messages, int, (mpv_handle * h, const char* l), (h, l))                                     \
    X(mpv_wait_event, mpv_event*, (mpv_handle * h, double t), (h, t))                                             \
    X(mpv_wakeup, void, (mpv_handle * h), (h))                                                                    \
    X(mpv_render_context_create, int, (mpv_render_context * *r, mpv_handle * h, mpv_render_param * p), (r, h, p)) \
    X(mpv_render_context_free, void, (mpv_render_context * c), (c))                                               \
    X(mpv_render_context_render, int, (mpv_render_context * c, mpv_render_param * p), (c, p))                     \
    X(mpv_render_context_update, uint64_t, (mpv_render_context * c), (c))                                         \
    X(mpv_render_context_set_update_callback, void, (mpv_render_context * c, mpv_render_update_fn f, void* d),    \
      (c, f, d))

struct Functions {
#define VELKAF_MPV_POINTER(name, ret, params, args) ret(*name) params = nullptr;
    VELKAF_MPV_FUNCTIONS(VELKAF_MPV_POINTER)
#undef VELKAF_MPV_POINTER
};

// Written once under the load's once_flag, read only after LoadMpvLibrary returned true.
Functions g_mpv;

}  // namespace

bool LoadMpvLibrary(std::string& why) {
    static std::once_flag once;
    static bool loaded = false;
    static std::string failure;
    std::call_once(once, [] {
        // The soname of the client API this device is built against (major version 2).
        void* library = ::dlopen("libmpv.so.2", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) library = ::dlopen("libmpv.so", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            const char* error = ::dlerror();
            failure = error ? error : "libmpv not found";
            return;
        }
#define VELKAF_MPV_RESOLVE(name, ret, params, args)                        \
    g_mpv.name = reinterpret_cast<ret(*) params>(::dlsym(library, #name)); \
    if (g_mpv.name == nullptr) {                                           \
        failure = "libmpv lacks " #name;                                   \
        return;                                                            \
    }
        VELKAF_MPV_FUNCTIONS(VELKAF_MPV_RESOLVE)
#undef VELKAF_MPV_RESOLVE
        loaded = true;  // the library stays loaded for the process's life
    });
    if (!loaded) why = failure;
    return loaded;
}

// The functions of libmpv's headers, forwarded to the loaded library.
#define VELKAF_MPV_FORWARD(name, ret, params, args) \
    extern "C" ret name params { return g_mpv.name args; }
VELKAF_MPV_FUNCTIONS(VELKAF_MPV_FORWARD)
#undef VELKAF_MPV_FORWARD

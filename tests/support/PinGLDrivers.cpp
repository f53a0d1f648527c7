// Keeps Mesa's GLX, EGL and software-renderer libraries loaded until the
// process ends. Built into every test program, and into the programs in
// sanitizer builds. They are unloaded when a GL context is torn down, and
// LeakSanitizer then reports their one-time allocations with no module name,
// out of reach of the suppression list; pinned, they are named and suppressed.
#include <dlfcn.h>

#include <initializer_list>

namespace {

const bool pinned = [] {
    for (const char* library :
         {"libGLX_mesa.so.0", "libEGL.so.1", "libEGL_mesa.so.0", "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so"})
        dlopen(library, RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
    return true;
}();

} // namespace

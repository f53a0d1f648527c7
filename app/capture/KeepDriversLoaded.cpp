// Built into sanitizer builds only (of the program and of the tests that make
// offscreen contexts). Keeps the EGL library and Mesa's software
// driver loaded until the process ends. SDL unloads them when the offscreen
// context goes, and LeakSanitizer then reports their one-time allocations
// with no module name, out of reach of the suppression list; kept loaded,
// they are named and suppressed like the other system libraries.
#include <dlfcn.h>

#include <initializer_list>

namespace {

const bool kept = [] {
    for (const char* library : {"libEGL.so.1", "libEGL_mesa.so.0", "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so"})
        dlopen(library, RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
    return true;
}();

} // namespace

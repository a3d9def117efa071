// Linked into every program of an address-sanitizer build, never into a release.
//
// The GL libraries keep a few allocations until exit and are unloaded before the leak check runs,
// which then reports that memory as leaked by an "unknown module" that no suppression can name.
// Loaded here once more and never unloaded, they still hold it when the check runs, so it is not
// a leak.
#include <dlfcn.h>

namespace {

[[gnu::constructor]] void keepGlLoaded()
{
    const char* const libraries[] = {"libxcb-glx.so.0", "libGLX_mesa.so.0", "libglapi.so.0",
                                     "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so"};
    for (const char* library : libraries) {
        // Missing on a machine without Mesa: nothing to keep then.
        dlopen(library, RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
    }
}

} // namespace

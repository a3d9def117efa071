// Linked into every program of an address-sanitizer build, never into a release.
//
// The GL libraries keep a few allocations until exit and are unloaded before the leak check runs,
// which then cannot name them ("unknown module") and so cannot be told apart from our own leaks.
// Loaded here once more and never unloaded, they keep their names in the report and the
// suppressions in tests/lsan.supp can match them.
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

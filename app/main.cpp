// Velmora: an animated greeting card for the desktop.
#include <cstdio>
#include <string>

#include "app/module1.h"
#ifdef _WIN32
#include "runtime/platform/win32/win32_platform.h"
#elif defined(__EMSCRIPTEN__)
#include "runtime/platform/web/web_platform.h"
#else
#include "runtime/platform/x11/x11_platform.h"
#endif

// The program takes no command line; argv[0] only tells the runtime where
// the program was started from, for systems that cannot name the executable.
// On Windows this is a GUI program (-mwindows) that still starts at main.
int main(int argc, char** argv) {
    std::string error;
#ifdef _WIN32
    // The factory has shown the reason in a message box already.
    auto platform = rt::platform::makeWin32Platform(error);
#elif defined(__EMSCRIPTEN__)
    // In a page there is always somewhere to draw.
    auto platform = rt::platform::makeWebPlatform();
#else
    auto platform = rt::platform::makeX11Platform(error);
#endif
    if (!platform) {
        std::fprintf(stderr, "velmora: %s\n", error.c_str());
        return 1;
    }
    rt::ApplicationOptions options;
    if (argc > 0 && argv[0] != nullptr) options.programPath = argv[0];
    return velmora::runVelmora(*platform, options);
}

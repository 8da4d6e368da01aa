// Velmora: an animated greeting card for the desktop.
#include <cstdio>
#include <string>

#include "app/module1.h"
#include "runtime/platform/x11/x11_platform.h"

// The program takes no command line; argv[0] only tells the runtime where
// the program was started from, for systems that cannot name the executable.
int main(int argc, char** argv) {
    std::string error;
    auto platform = rt::platform::makeX11Platform(error);
    if (!platform) {
        std::fprintf(stderr, "velmora: %s\n", error.c_str());
        return 1;
    }
    rt::ApplicationOptions options;
    if (argc > 0 && argv[0] != nullptr) options.programPath = argv[0];
    return velmora::runVelmora(*platform, options);
}

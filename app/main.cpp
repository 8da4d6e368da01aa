// Velmora: an animated greeting card for the desktop.
#include <cstdio>
#include <string>

#include "app/module1.h"
#include "runtime/platform/x11/x11_platform.h"

int main() {
    std::string error;
    auto platform = rt::platform::makeX11Platform(error);
    if (!platform) {
        std::fprintf(stderr, "velmora: %s\n", error.c_str());
        return 1;
    }
    return velmora::runVelmora(*platform);
}

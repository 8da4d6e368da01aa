// Velmora: an animated greeting card for the desktop.
#include <malloc.h>

#include <cstdio>
#include <string>

#include "app/module1.h"
#include "runtime/platform/x11/x11_platform.h"

int main() {
    // Decoded pictures and the show's temporary bitmaps are hundreds of
    // kilobytes each. With glibc's default, the first of them freed raises
    // the threshold for memory of its own, and later ones come from the heap,
    // whose freed blocks stay with the process: 2.5 MB of a 10 MB footprint
    // by the end of the show. A fixed threshold gives every large block its
    // own mapping, returned when freed.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024);
    std::string error;
    auto platform = rt::platform::makeX11Platform(error);
    if (!platform) {
        std::fprintf(stderr, "velmora: %s\n", error.c_str());
        return 1;
    }
    return velmora::runVelmora(*platform);
}

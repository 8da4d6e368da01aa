// Velmora: an animated greeting card for the desktop.
#include <cstdio>
#include <string>

#include "app/module1.h"
#include "forms/pictures.h"
#include "runtime/platform/x11/x11_platform.h"

int main() {
    // The card's five large pictures take most of start-up's decoding; they
    // are decoded alongside the X connection and the building of the card,
    // in the order the card's catalogue asks for them.
    using velmora::Asset;
    velmora::decodeAhead({Asset::CardFace, Asset::FlameFrame5, Asset::FlameFrame2, Asset::FlameFrame4,
                          Asset::GreetingPanel});
    std::string error;
    auto platform = rt::platform::makeX11Platform(error);
    if (!platform) {
        std::fprintf(stderr, "velmora: %s\n", error.c_str());
        return 1;
    }
    return velmora::runVelmora(*platform);
}

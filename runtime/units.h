// Units of the forms runtime: twips (1/1440 inch) in single precision, whole
// pixels, and colours. Every conversion from twips to pixels goes through
// this file, and rounds an exact half to the even neighbour as the runtime's
// standard conversion does.
#pragma once

#include <cmath>
#include <cstdint>

#include "graphics/bitmap.h"

namespace rt {

// Nearest whole number, an exact half going to the even neighbour, under
// the default floating-point rounding mode.
inline double roundHalfEven(double value) { return std::nearbyint(value); }

// Twips to whole pixels at the given twips per pixel.
inline int twipsToPixels(float twips, float twipsPerPixel) {
    return int(roundHalfEven(double(twips / twipsPerPixel)));
}

// The logical pixel that holds a device pixel, at `scale` device pixels a
// logical pixel: the quotient rounded down, also left of and above the
// origin (-1 is in logical pixel -1, not 0).
inline int deviceToLogical(int device, int scale) {
    const int quotient = device / scale;
    return device % scale != 0 && device < 0 ? quotient - 1 : quotient;
}

// A colour as the forms runtime stores it: &H00BBGGRR (red in the low
// byte), or &H800000nn for system colour nn.
using OleColor = std::uint32_t;

constexpr OleColor RGB(int red, int green, int blue) {
    return OleColor(red & 0xFF) | (OleColor(green & 0xFF) << 8) | (OleColor(blue & 0xFF) << 16);
}

constexpr OleColor kSystemColourFlag = 0x80000000u;
constexpr OleColor kWindowTextColour = 0x80000008u;
constexpr OleColor kButtonFaceColour = 0x8000000Fu;
constexpr OleColor kWindowBackgroundColour = 0x80000005u;

// The pixel a colour shows as. System colours take the classic light
// desktop scheme: black window text, white window background, light grey
// button faces.
inline Pixel colourToPixel(OleColor colour) {
    if (colour & kSystemColourFlag) {
        switch (colour & 0xFF) {
            case 0x05: return rgbPixel(255, 255, 255);
            case 0x0F: return rgbPixel(240, 240, 240);
            case 0x10: return rgbPixel(160, 160, 160);
            case 0x14: return rgbPixel(255, 255, 255);
            default: return rgbPixel(0, 0, 0);
        }
    }
    return rgbPixel(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

}  // namespace rt

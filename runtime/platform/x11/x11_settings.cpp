// Desktop settings: the density (Xft.dpi), the device scale (GDK_SCALE), and
// from XSETTINGS the double-click interval and whether animations are on.
#include "x11_internal.h"

#include <X11/Xresource.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

namespace rt::platform::x11 {

// Reads Xft.dpi from the X resource string.
std::optional<double> xftDpiFromResources(const char* resources) {
    if (resources == nullptr) return std::nullopt;
    XrmInitialize();
    XrmDatabase db = XrmGetStringDatabase(resources);
    if (db == nullptr) return std::nullopt;
    std::optional<double> dpi;
    char* type = nullptr;
    XrmValue value{};
    if (XrmGetResource(db, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr != nullptr) {
        std::string text(value.addr, value.size > 0 ? value.size - 1 : 0);  // size counts the NUL
        const auto first = text.find_first_not_of(" \t");
        const auto last = text.find_last_not_of(" \t");
        if (first != std::string::npos) {
            double v = 0;
            const char* b = text.data() + first;
            const char* e = text.data() + last + 1;
            const auto [end, ec] = std::from_chars(b, e, v);
            // Densities outside this range are typing errors, not monitors.
            if (ec == std::errc() && end == e && std::isfinite(v) && v >= 24.0 && v <= 1000.0) dpi = v;
        }
    }
    XrmDestroyDatabase(db);
    return dpi;
}

// Reads a device scale of 1 to 4 from GDK_SCALE's value.
std::optional<int> gdkScaleFromEnvironment(const char* value) {
    if (value == nullptr) return std::nullopt;
    const char* end = value + std::strlen(value);
    int scale = 0;
    const auto [stop, ec] = std::from_chars(value, end, scale);
    if (ec != std::errc() || stop != end || scale < 1 || scale > 4) return std::nullopt;
    return scale;
}

namespace {

// Finds the integer setting of that name in an XSETTINGS blob.
std::optional<std::int32_t> integerFromXSettings(const std::uint8_t* data, std::size_t size,
                                                 std::string_view wanted) {
    if (data == nullptr || size < 12) return std::nullopt;
    const bool msb = data[0] == 1;
    if (data[0] > 1) return std::nullopt;
    auto card16 = [&](std::size_t at) -> std::uint32_t {
        return msb ? (std::uint32_t(data[at]) << 8) | data[at + 1]
                   : (std::uint32_t(data[at + 1]) << 8) | data[at];
    };
    auto card32 = [&](std::size_t at) -> std::uint32_t {
        return msb ? (std::uint32_t(card16(at)) << 16) | card16(at + 2)
                   : (std::uint32_t(card16(at + 2)) << 16) | card16(at);
    };
    auto pad4 = [](std::size_t n) { return (n + 3) & ~std::size_t(3); };
    const std::uint32_t count = card32(8);
    std::size_t at = 12;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (size - at < 4) return std::nullopt;
        const std::uint8_t type = data[at];
        const std::size_t nameLength = card16(at + 2);
        at += 4;
        if (size - at < pad4(nameLength) + 4) return std::nullopt;
        const std::string_view name(reinterpret_cast<const char*>(data + at), nameLength);
        at += pad4(nameLength) + 4;  // the name, then the serial of its last change
        switch (type) {
        case 0:  // integer
            if (size - at < 4) return std::nullopt;
            if (name == wanted) return std::int32_t(card32(at));
            at += 4;
            break;
        case 1: {  // string
            if (size - at < 4) return std::nullopt;
            const std::size_t length = card32(at);
            at += 4;
            if (length > size || size - at < pad4(length)) return std::nullopt;
            at += pad4(length);
            break;
        }
        case 2:  // colour: four 16-bit channels
            if (size - at < 8) return std::nullopt;
            at += 8;
            break;
        default:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace

// Net/DoubleClickTime, when it is a sensible interval (up to 5 seconds).
std::optional<int> doubleClickTimeFromXSettings(const std::uint8_t* data, std::size_t size) {
    const auto ms = integerFromXSettings(data, size, "Net/DoubleClickTime");
    if (ms && *ms > 0 && *ms <= 5000) return *ms;
    return std::nullopt;
}

// Gtk/EnableAnimations: 0 off, anything else on.
std::optional<bool> animationsFromXSettings(const std::uint8_t* data, std::size_t size) {
    const auto on = integerFromXSettings(data, size, "Gtk/EnableAnimations");
    if (!on) return std::nullopt;
    return *on != 0;
}

// What the desktop's XSETTINGS manager publishes, if there is one.
DesktopSettings desktopSettings(Display* d, int screen) {
    const std::string selection = "_XSETTINGS_S" + std::to_string(screen);
    const Window owner = XGetSelectionOwner(d, XInternAtom(d, selection.c_str(), False));
    if (owner == None) return {};
    const Atom settings = XInternAtom(d, "_XSETTINGS_SETTINGS", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    DesktopSettings found;
    if (XGetWindowProperty(d, owner, settings, 0, 1 << 16, False, settings, &type, &format, &count, &after,
                           &data) == Success &&
        data != nullptr && format == 8) {
        found.doubleClickMs = doubleClickTimeFromXSettings(data, count);
        found.animations = animationsFromXSettings(data, count);
    }
    if (data) XFree(data);
    return found;
}

}  // namespace rt::platform::x11

// The X11 backend of the Platform interface, straight on Xlib with the SHAPE
// extension. No Xlib header leaks out of this file: the runtime and the tests
// see only the factory and the few pure pieces of logic below, which the
// backend uses and the unit tests check without a display.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../../graphics/geometry.h"
#include "../click_tracker.h"
#include "../platform.h"

namespace rt::platform {

// Opens the display named by $DISPLAY and returns the backend, or null with a
// one-line reason in `error` when the display cannot be opened.
std::unique_ptr<Platform> makeX11Platform(std::string& error);

namespace x11 {

// Clicks and double-clicks from presses and releases (shared with the
// Win32 backend).
using ClickTracker = platform::ClickTracker;

// The desktop's pixel density from the X resource string (the root window's
// RESOURCE_MANAGER, as XResourceManagerString returns it): the value of
// Xft.dpi when it is there and a sensible positive number, else nothing.
std::optional<double> xftDpiFromResources(const char* resources);

// The double-click interval from the XSETTINGS blob the desktop's settings
// daemon publishes (property _XSETTINGS_SETTINGS): the integer setting
// Net/DoubleClickTime in milliseconds, or nothing when it is absent or the
// blob is malformed.
std::optional<int> doubleClickTimeFromXSettings(const std::uint8_t* data, std::size_t size);

}  // namespace x11
}  // namespace rt::platform

// The web backend's start-up, screen, clocks, errors and links, and its
// end (see web_platform.h for what it offers, web_internal.h for the files).
#include "web_internal.h"

#include <emscripten.h>

#include "../posix/posix.h"

// The page side. The page hands the module its stage element
// (Module.velmoraStage), the viewport's density
// (Module.velmoraDevicePixelRatio) and what the program reports to
// (Module.velmoraLayout, velmoraFirstFrame, velmoraError, velmoraEnded).

// The page side's state (see web_internal.h), and the module's memory for
// the page's figures.
EM_JS(void, velmora_web_start, (), {
    const backend = { canvases: new Map(), cursors: new Map(), sleeping: null, timer: 0, fetched: null, listeners: [] };
    // Ends the program's wait (web_input.cpp), if it is waiting: the
    // program goes on once the listener or timer that woke it has returned.
    backend.wake = () => {
        const wakeUp = backend.sleeping;
        if (!wakeUp) return;
        backend.sleeping = null;
        clearTimeout(backend.timer);
        queueMicrotask(wakeUp);
    };
    Module.velmoraBackend = backend;
    Module.velmoraMemoryBytes = () => HEAPU8.length;
});

EM_JS(double, velmora_web_device_pixel_ratio, (), {
    const ratio = Module.velmoraDevicePixelRatio;
    return ratio > 0 ? ratio : 1;
});

EM_JS(void, velmora_web_open, (const char* address), {
    window.open(UTF8ToString(address), "_blank", "noopener");
});

EM_JS(void, velmora_web_error, (const char* message), {
    const text = UTF8ToString(message);
    console.error(text);
    if (Module.velmoraError) Module.velmoraError(text);
});

EM_JS(void, velmora_web_ended, (), {
    if (Module.velmoraEnded) Module.velmoraEnded();
});

namespace rt::platform {

namespace web {

namespace {

// Sets up the page side; the viewport's density the page passed in.
double startPage() {
    velmora_web_start();
    return velmora_web_device_pixel_ratio();
}

}  // namespace

WebPlatform::WebPlatform() : scale_(deviceScale(startPage())), pointer_(scale_) {
    current_ = this;
    clock_.setHidden(pageHidden(), realMonotonicSeconds());
    // The stage before any window: the page fits it until there is one.
    reportLayout();
    listen();
    startSemantics();
    // A screen that draws at twice the size or more takes the pictures
    // drawn at twice the size, from the pack the build put beside the module.
    if (scale_ >= 2) fetchPack(VELMORA_WEB_PACK);
}

WebPlatform::~WebPlatform() {
    removeCanvases();
    stopSemantics();
    freeCursors();
    unlisten();
    if (current_ == this) current_ = nullptr;
    velmora_web_ended();
}

// The page is a virtual monitor of a fixed size: the card is centred on
// it, and the page keeps that centre in the middle of the viewport.
ScreenMetrics WebPlatform::screen() {
    ScreenMetrics metrics;
    metrics.monitor = {0, 0, kStageWidth * scale_, kStageHeight * scale_};
    metrics.dpi = 96.0 * scale_;
    metrics.scale = scale_;
    return metrics;
}

// A page has one way to open an address: a new tab, with no handle back
// to the card. The browser names the file's handler itself.
void WebPlatform::openDocument(const DocumentRequest& request) { velmora_web_open(request.file.c_str()); }

void WebPlatform::reportError(const std::string& message) { velmora_web_error(message.c_str()); }

// The browser's monotonic clock (performance.now, through
// CLOCK_MONOTONIC), less the time the page spent hidden.
double WebPlatform::monotonicSeconds() { return clock_.seconds(realMonotonicSeconds()); }

double WebPlatform::realMonotonicSeconds() const { return posix::monotonicSeconds(); }

// CLOCK_REALTIME and localtime_r: the browser's date in its time zone.
LocalDateTime WebPlatform::localNow() { return posix::localNow(); }

WindowState* WebPlatform::find(WindowHandle window) {
    const auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : &it->second;
}

}  // namespace web

std::unique_ptr<Platform> makeWebPlatform() { return std::make_unique<web::WebPlatform>(); }

}  // namespace rt::platform

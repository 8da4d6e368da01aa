// The web backend's shared state, for its files only: one file per job,
// each with the page-side JavaScript it calls beside it (EM_JS):
// - web_platform.cpp: start-up, the screen and the stage, the clocks,
//   errors and links, the end;
// - web_windows.cpp: windows, their canvases, stacking and shapes, and the
//   layout report the page fits its stage by;
// - web_framebuffer.cpp: present and presentMove;
// - web_input.cpp: the page's listeners, pointer records and visibility,
//   and the wait;
// - web_cursors.cpp: CSS cursors made from pictures;
// - web_files.cpp: the pack of files fetched at start-up;
// - web_semantics.cpp: what the windows describe, as DOM elements over
//   their canvases, the keys on them, and the wish for less motion;
// - web_logic.cpp: what all of them decide without a browser.
// The page side keeps only what a page must hold: Module.velmoraBackend
// has the canvases, their contexts and overlays by window, the pointer
// record's writer, the CSS cursors by number,
// the wake of the current wait and the listeners. Nothing outside
// runtime/platform/web/ includes this header.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "../event_queue.h"
#include "../picture_cache.h"
#include "web_logic.h"
#include "web_platform.h"

namespace rt::platform::web {

class WebPlatform final : public Platform {
public:
    // web_platform.cpp
    WebPlatform();
    ~WebPlatform() override;
    ScreenMetrics screen() override;
    void openDocument(const DocumentRequest& request) override;
    void reportError(const std::string& message) override;
    double monotonicSeconds() override;
    LocalDateTime localNow() override;
    // web_windows.cpp
    WindowHandle createWindow(const WindowOptions& options) override;
    void destroyWindow(WindowHandle window) override;
    void setWindowBounds(WindowHandle window, const Rect& outer) override;
    void setWindowVisible(WindowHandle window, bool visible) override;
    void setWindowOwner(WindowHandle window, WindowHandle owner) override;
    void setWindowShape(WindowHandle window, const Region* shape) override;
    // web_framebuffer.cpp
    void present(WindowHandle window, const Bitmap& frame, std::span<const Rect> dirty) override;
    void presentMove(WindowHandle window, const Bitmap& frame, const Rect& from, int dx, int dy,
                     std::span<const Rect> exposed) override;
    // web_cursors.cpp
    void setCursor(WindowHandle window, const PictureRef& picture) override;
    // web_input.cpp
    std::optional<Event> waitEvent(double deadline) override;
    // web_semantics.cpp
    void describeWindow(WindowHandle window, const WindowSemantics& semantics) override;
    bool prefersReducedMotion() override;

    // web_input.cpp, for the page's listeners (through the module's
    // exports): the pointer record the page has written, and the page
    // hidden or shown. The one WebPlatform of the module, while it lives.
    static WebPlatform* current() { return current_; }
    int takePointer();
    void setHidden(bool hidden);

private:
    WindowState* find(WindowHandle window);
    // web_windows.cpp
    void place(WindowHandle window, const WindowState& w);
    void reportLayout();
    void removeCanvases();
    // web_framebuffer.cpp
    void put(WindowHandle window, const WindowState& w, const Bitmap& frame, const Rect& area);
    // web_cursors.cpp
    int makeCursor(const Picture& picture);
    void showCursor();
    void freeCursors();
    // web_input.cpp
    void listen();
    void unlisten();
    bool pageHidden() const;
    // web_semantics.cpp
    void startSemantics();
    void stopSemantics();
    // web_platform.cpp
    double realMonotonicSeconds() const;

    static inline WebPlatform* current_ = nullptr;

    int scale_;
    Windows windows_;
    WindowHandle nextHandle_ = 1;
    int zCounter_ = 0;
    EventQueue queue_;
    PointerInput pointer_;
    PointerRecord record_;  // written by the page before each takePointer
    VisibleClock clock_;
    PictureCache<int> cursors_;
    int nextCursor_ = 1;
    int shownCursor_ = 0;  // the CSS cursor on the page, 0: the arrow
    bool shown_ = false;   // whether a frame has been put yet
    std::vector<std::uint32_t> staging_;
};

// web_files.cpp: has the page fetch the pack of files by its name and keeps
// its files for webFetchedFile; waits for it (Asyncify).
void fetchPack(const char* name);

}  // namespace rt::platform::web

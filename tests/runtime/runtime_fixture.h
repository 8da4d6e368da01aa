// A window with controls on the headless backend, driven directly from the
// test's own thread: no event loop runs, so every change is composed and
// inspected by hand. Tests that need time to pass use HeadlessSession.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "runtime/application.h"
#include "runtime/control.h"
#include "runtime/form.h"
#include "runtime/platform/headless/headless_platform.h"

namespace rt::testing {

inline platform::HeadlessOptions atDpi(double dpi) {
    platform::HeadlessOptions options;
    options.dpi = dpi;
    return options;
}

struct Desk {
    explicit Desk(double dpi = 96.0, int widthPixels = 200, int heightPixels = 100)
        : platform(atDpi(dpi)), app(platform), form(app, "Form") {
        form.setBorderStyle(0);
        form.setWidth(float(widthPixels) * tpp());
        form.setHeight(float(heightPixels) * tpp());
        form.setBackColor(RGB(255, 255, 255));
    }

    float tpp() const { return app.twipsPerPixelX(); }

    // A control placed at whole pixels of its container.
    template <class T>
    T& add(const std::string& name, int x, int y, int w, int h, Control* container = nullptr) {
        T& c = form.add(std::make_unique<T>(form, name, -1), container);
        c.move(float(x) * tpp(), float(y) * tpp(), float(w) * tpp(), float(h) * tpp());
        return c;
    }
    PictureBox& box(const std::string& name, int x, int y, int w, int h, OleColor back,
                    bool autoRedraw = false) {
        PictureBox& b = add<PictureBox>(name, x, y, w, h);
        b.setBorderStyle(0);
        b.setBackColor(back);
        b.setAutoRedraw(autoRedraw);
        return b;
    }

    const platform::HeadlessWindow& window() const { return platform.window(form.hWnd()); }

    platform::HeadlessPlatform platform;
    Application app;
    Form form;
};

// A picture of w x h pixels whose colours come from a function of x and y.
inline PictureRef makePicture(int w, int h, const std::function<Pixel(int, int)>& colour) {
    auto p = std::make_shared<Picture>();
    p->image() = Bitmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) p->image().at(x, y) = colour(x, y);
    return p;
}

// Distinct, opaque colours for every pixel of a small picture.
inline Pixel patternAt(int x, int y) { return rgbPixel(10 + 10 * x, 10 + 20 * y, 77); }

}  // namespace rt::testing

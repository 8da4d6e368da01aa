// Runs the real program on the headless backend for whole-program tests:
// the test advances virtual time, posts pointer input, and inspects the
// windows, controls, members and presented pixels while the program waits.
#pragma once

#include <gtest/gtest.h>

#include "about/about_form.h"
#include "app/module1.h"
#include "card/card_form.h"
#include "runtime/application.h"
#include "runtime/platform/headless/headless_platform.h"

namespace velmora::testing {

// Headless options for a screen of the given density.
inline rt::platform::HeadlessOptions atDpi(double dpi) {
    rt::platform::HeadlessOptions options;
    options.dpi = dpi;
    return options;
}

class CardSession {
public:
    explicit CardSession(rt::platform::HeadlessOptions platformOptions = {},
                         rt::ApplicationOptions appOptions = {})
        : session_(std::move(platformOptions)) {
        appOptions.title = "Velmora";
        session_.start([this, appOptions](rt::platform::Platform& platform) {
            rt::Application app(platform, appOptions);
            Program program(app);
            app_ = &app;
            program_ = &program;
            const int code = app.run([&program] { SubMain(program); });
            app_ = nullptr;
            program_ = nullptr;
            return code;
        });
    }

    rt::platform::HeadlessSession& session() { return session_; }
    rt::platform::HeadlessPlatform& platform() { return session_.platform(); }
    rt::Application& app() { return *app_; }
    Program& program() { return *program_; }
    CardForm& card() { return program_->Form1(); }
    // The About window when it is open, else null.
    AboutForm* about() { return program_ ? program_->Form2.ifLoaded() : nullptr; }
    rt::platform::WindowHandle cardWindow() { return card().hWnd(); }
    const rt::platform::HeadlessWindow& cardScreen() { return platform().window(cardWindow()); }

    // Virtual seconds since the program started (the clock starts at 0).
    double now() { return platform().now(); }
    // Seconds after the show's StartTime, by the program's own clock.
    double showTime() { return double(app_->timer()) - double(card().StartTime); }
    void advanceTo(double t) { session_.advanceTo(t); }
    void advanceBy(double dt) { session_.advanceBy(dt); }
    // Advances until the show clock passes t seconds after StartTime.
    void advanceToShowTime(double t) { advanceBy(t - showTime()); }

    bool finished() { return session_.finished(); }
    int exitCode() { return session_.exitCode(); }

    // Pointer input on the card window, in its pixels.
    bool click(int x, int y) { return session_.click(cardWindow(), x, y); }
    bool doubleClick(int x, int y) { return session_.doubleClick(cardWindow(), x, y); }

    // The centre of a control, in its window's pixels.
    static std::pair<int, int> centreOf(const rt::Control& control) {
        const rt::Rect r = control.framePixelBounds();
        return {r.x + r.width / 2, r.y + r.height / 2};
    }

private:
    rt::platform::HeadlessSession session_;
    rt::Application* app_ = nullptr;
    Program* program_ = nullptr;
};

}  // namespace velmora::testing

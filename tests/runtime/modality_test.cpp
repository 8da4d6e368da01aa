// Modal windows and the end of the program: Show(1) waits in a nested loop
// while other windows' timers go on and their pointer input is blocked;
// End and unhandled errors end run() from anywhere.
#include <gtest/gtest.h>

#include <string>

#include "runtime/builtins.h"
#include "runtime_fixture.h"

namespace rt::testing {
namespace {

using platform::HeadlessSession;
using platform::Platform;

// A main window with a button-like box that opens a modal dialog, and a
// 1 ms timer; the dialog's box unloads it (or ends the program).
struct ModalProgram {
    enum class DialogClick { Unload, End, Fail };

    explicit ModalProgram(DialogClick onDialogClick) {
        session.start([this, onDialogClick](Platform& p) {
            Application app(p);
            Form main(app, "Main");
            Form dialog(app, "Dialog");
            for (Form* f : {&main, &dialog}) {
                f->setBorderStyle(0);
                f->setWidth(100 * app.twipsPerPixelX());
                f->setHeight(100 * app.twipsPerPixelY());
                PictureBox& box = f->add(std::make_unique<PictureBox>(*f, "Box", -1), nullptr);
                box.move(0, 0, f->Width(), f->Height());
            }
            TimerControl& timer = main.add(std::make_unique<TimerControl>(main, "T", -1), nullptr);
            timer.setInterval(1);
            timer.Tick = [this] { ++mainTicks; };
            main.find("Box")->Click = [&] {
                ++mainClicks;
                dialog.Show(1);
                showReturnedAt = app.monotonic();
            };
            dialog.find("Box")->Click = [&, onDialogClick] {
                if (onDialogClick == DialogClick::End) End();
                if (onDialogClick == DialogClick::Fail)
                    throw RuntimeError(ErrorCode::DivisionByZero, "Division by zero");
                Unload(dialog);
            };
            mainWindow = [&] { return main.hWnd(); };
            dialogWindow = [&] { return dialog.hWnd(); };
            return app.run([&] { main.Show(); });
        });
    }

    bool dialogShown() {
        const auto w = dialogWindow();
        return w != platform::kNoWindow && session.platform().window(w).visible;
    }

    int mainTicks = 0;
    int mainClicks = 0;
    double showReturnedAt = -1;
    std::function<platform::WindowHandle()> mainWindow, dialogWindow;
    HeadlessSession session;
};

TEST(Modality, ShowReturnsOnlyAfterUnloadWhileTheShowGoesOnBehind) {
    ModalProgram m(ModalProgram::DialogClick::Unload);
    m.session.advanceTo(0.1);
    ASSERT_TRUE(m.session.click(m.mainWindow(), 50, 50));
    EXPECT_EQ(m.mainClicks, 1);
    EXPECT_TRUE(m.dialogShown());
    const int ticksAtOpen = m.mainTicks;

    m.session.advanceTo(0.6);
    EXPECT_EQ(m.showReturnedAt, -1);
    EXPECT_EQ(m.mainTicks - ticksAtOpen, 32);  // half a second on the 1/64 s grid
    // The main window takes no clicks meanwhile.
    m.session.click(m.mainWindow(), 50, 50);
    EXPECT_EQ(m.mainClicks, 1);

    m.session.advanceTo(0.8);
    ASSERT_TRUE(m.session.click(m.dialogWindow(), 50, 50));
    EXPECT_DOUBLE_EQ(m.showReturnedAt, 0.8);
    EXPECT_FALSE(m.dialogShown());
    EXPECT_FALSE(m.session.finished());
    // The main window takes clicks again, and the dialog opens anew.
    ASSERT_TRUE(m.session.click(m.mainWindow(), 50, 50));
    EXPECT_EQ(m.mainClicks, 2);
    EXPECT_TRUE(m.dialogShown());
}

TEST(Modality, EndInsideTheModalLoopEndsTheProgramAtOnce) {
    ModalProgram m(ModalProgram::DialogClick::End);
    m.session.advanceTo(0.1);
    m.session.click(m.mainWindow(), 50, 50);
    ASSERT_TRUE(m.dialogShown());
    m.session.advanceTo(0.2);
    m.session.click(m.dialogWindow(), 50, 50);
    EXPECT_TRUE(m.session.finished());
    EXPECT_EQ(m.session.exitCode(), 0);
    EXPECT_EQ(m.showReturnedAt, -1);  // nothing after Show(1) ran
}

TEST(Modality, AnUnhandledErrorEndsTheProgramWithTheStandardReport) {
    ModalProgram m(ModalProgram::DialogClick::Fail);
    m.session.advanceTo(0.1);
    m.session.click(m.mainWindow(), 50, 50);
    ASSERT_TRUE(m.dialogShown());
    ::testing::internal::CaptureStderr();
    m.session.click(m.dialogWindow(), 50, 50);
    const std::string report = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(m.session.finished());
    EXPECT_EQ(m.session.exitCode(), 1);
    EXPECT_NE(report.find("Run-time error '11': Division by zero"), std::string::npos) << report;
    EXPECT_EQ(m.showReturnedAt, -1);
}

}  // namespace
}  // namespace rt::testing

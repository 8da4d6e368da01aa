// Frame capture: the file names, what the bitmaps hold, switching capture
// on and off, and what happens when a capture cannot be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "card/capture.h"
#include "temp_folder.h"
#include "card_session.h"
#include "forms/pictures.h"
#include "runtime/graphics/picture.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;
using rt::platform::LocalDateTime;


std::set<std::string> entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

rt::PictureRef decodeFile(const fs::path& file) {
    const std::string bytes = readFile(file);
    return rt::decodePicture(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

// The capture file of a second of the default virtual clock, which starts
// at 10:00:00 on 7 December 2026.
std::string fileOfSecond(int second) {
    return "Velmora12-07-26@10-00-" + std::string(second < 10 ? "0" : "") + std::to_string(second) + ".bmp";
}

LocalDateTime at(int year, int month, int day, int hour, int minute, int second) {
    return {year, month, day, hour, minute, second, hour * 3600.0 + minute * 60.0 + second};
}

// A green box in the lower half of the card face, to tell images apart.
void markCardFace(CardForm& card, int offset) {
    const float t = rt::TwipsPerPixelX();
    card.Picture1(0).Line(rt::DrawingSurface::kLineBox, float(40 + offset) * t, 300 * t,
                          float(80 + offset) * t, 340 * t, rt::RGB(0, 255, 0));
}

// ------------------------------------------------------------- file names

TEST(CaptureFileName, TwoDigitFieldsAndA24HourClock) {
    EXPECT_EQ(captureFileName("/opt/card", at(2007, 1, 5, 0, 0, 0), at(2007, 1, 5, 9, 3, 2), '/'),
              "/opt/card/ScreenShots/Velmora01-05-07@09-03-02.bmp");
    EXPECT_EQ(captureFileName("/c", at(2000, 10, 31, 0, 0, 0), at(2000, 10, 31, 0, 0, 0), '/'),
              "/c/ScreenShots/Velmora10-31-00@00-00-00.bmp");
    for (int hour = 13; hour <= 23; ++hour) {
        const std::string name =
            captureFileName("/c", at(2026, 12, 7, hour, 59, 58), at(2026, 12, 7, hour, 59, 58), '/');
        EXPECT_EQ(name, "/c/ScreenShots/Velmora12-07-26@" + std::to_string(hour) + "-59-58.bmp");
    }
    // Date and time are read one after the other, so a capture across
    // midnight can pair the old date with the new time.
    EXPECT_EQ(captureFileName("/c", at(2026, 12, 31, 23, 59, 59), at(2027, 1, 1, 0, 0, 0), '/'),
              "/c/ScreenShots/Velmora12-31-26@00-00-00.bmp");
}

TEST(CaptureFileName, RootFoldersGiveASingleSeparator) {
    const LocalDateTime t = at(2026, 12, 7, 14, 5, 9);
    // The file system's root and a drive's root lose their separator as the
    // application folder, and the name puts exactly one back.
    EXPECT_EQ(captureFileName(withoutTrailingSeparator("/", '/'), t, t, '/'),
              "/ScreenShots/Velmora12-07-26@14-05-09.bmp");
    EXPECT_EQ(captureFileName(withoutTrailingSeparator("C:\\", '\\'), t, t, '\\'),
              "C:\\ScreenShots\\Velmora12-07-26@14-05-09.bmp");
    EXPECT_EQ(captureFileName("C:\\Card", t, t, '\\'), "C:\\Card\\ScreenShots\\Velmora12-07-26@14-05-09.bmp");
}

// ---------------------------------------------------------------- toggling

TEST(FrameCapture, Command20TogglesCaptureAndItsColour) {
    CardSession s;
    CardForm& card = s.card();
    EXPECT_FALSE(card.TimerScreenShots.Enabled());
    EXPECT_EQ(card.Command20.BackColor(), 0x00FFFFFFu);
    card.Command20.Click();
    EXPECT_TRUE(card.TimerScreenShots.Enabled());
    EXPECT_EQ(card.Command20.BackColor(), 0x000000FFu);  // pure red
    card.Command20.Click();
    EXPECT_FALSE(card.TimerScreenShots.Enabled());
    EXPECT_EQ(card.Command20.BackColor(), 0x00FFFFFFu);

    // Shown, the button takes clicks through the window like any other.
    card.Command20.setVisible(true);
    s.advanceBy(0.05);
    const auto [x, y] = CardSession::centreOf(card.Command20);
    ASSERT_TRUE(s.click(x, y));
    EXPECT_TRUE(card.TimerScreenShots.Enabled());
    EXPECT_EQ(card.Command20.BackColor(), 0x000000FFu);
    ASSERT_TRUE(s.click(x, y));
    EXPECT_FALSE(card.TimerScreenShots.Enabled());
    EXPECT_EQ(card.Command20.BackColor(), 0x00FFFFFFu);
    // The picture buttons did not appear: the click went to Command20, not
    // to the card face beneath it.
    EXPECT_FALSE(card.PictureClose.Visible());
}

// ------------------------------------------------------------ the files

TEST(FrameCapture, OneFilePerSecondHoldingTheLastImageOfThatSecond) {
    TempFolder temp;
    const fs::path shots = temp.path / "ScreenShots";
    fs::create_directory(shots);
    CardSession s;
    CardForm& card = s.card();
    s.program().AppFolder = temp.path.string();
    card.Command20.Click();

    s.advanceTo(1.3);
    const rt::Bitmap beforeMark = card.Picture1(0).Image()->image();
    markCardFace(card, 0);
    s.advanceTo(1.99);  // the last tick of second 1 has run
    const rt::Bitmap endOfSecond1 = card.Picture1(0).Image()->image();
    ASSERT_NE(beforeMark, endOfSecond1);
    s.advanceTo(3.5);

    EXPECT_EQ(entries(shots),
              (std::set<std::string>{fileOfSecond(0), fileOfSecond(1), fileOfSecond(2), fileOfSecond(3)}));
    for (int second = 0; second <= 3; ++second) {
        const std::string bytes = readFile(shots / fileOfSecond(second));
        ASSERT_GE(bytes.size(), 54u);
        EXPECT_EQ(bytes.substr(0, 2), "BM");
        const rt::PictureRef saved = decodeFile(shots / fileOfSecond(second));
        EXPECT_EQ(saved->format, rt::PictureFormat::Bmp);
        EXPECT_EQ(saved->width(), 333);
        EXPECT_EQ(saved->height(), 415);
    }
    const rt::Pixel green = rt::rgbPixel(0, 255, 0);
    EXPECT_NE(decodeFile(shots / fileOfSecond(0))->image().at(40, 320), green);
    EXPECT_EQ(decodeFile(shots / fileOfSecond(1))->image(), endOfSecond1);
    EXPECT_EQ(decodeFile(shots / fileOfSecond(3))->image(), card.Picture1(0).Image()->image());
}

TEST(FrameCapture, AnUnchangedImageIsNotWrittenAgainWithinTheSecond) {
    TempFolder temp;
    const fs::path shots = temp.path / "ScreenShots";
    fs::create_directory(shots);
    CardSession s;
    CardForm& card = s.card();
    card.Timer1.setEnabled(false);  // hold the flame still
    s.program().AppFolder = temp.path.string();
    card.Command20.Click();

    s.advanceTo(2.3);
    const fs::path second2 = shots / fileOfSecond(2);
    ASSERT_TRUE(fs::exists(second2));
    std::ofstream(second2, std::ios::binary | std::ios::trunc) << "written by the test";
    s.advanceTo(2.6);  // about twenty ticks, the same image
    EXPECT_EQ(readFile(second2), "written by the test");

    markCardFace(card, 0);
    s.advanceTo(2.7);
    EXPECT_EQ(decodeFile(second2)->image(), card.Picture1(0).Image()->image());

    // A new second gets its own file even though the image is the same.
    s.advanceTo(3.2);
    EXPECT_EQ(decodeFile(shots / fileOfSecond(3))->image(), card.Picture1(0).Image()->image());
}

TEST(FrameCapture, FileHoldsTheCardFaceButNothingThatLiesOverIt) {
    TempFolder temp;
    const fs::path shots = temp.path / "ScreenShots";
    fs::create_directory(shots);
    CardSession s;
    CardForm& card = s.card();
    s.program().AppFolder = temp.path.string();
    s.advanceToShowTime(28.0);  // the greeting panel lies over the card face
    ASSERT_TRUE(card.Picture2.Visible());

    card.Command20.setVisible(true);
    card.Command20.ZOrder();  // in front of the panel too
    s.advanceBy(0.05);
    const auto [bx, by] = CardSession::centreOf(card.Command20);
    ASSERT_TRUE(s.click(bx, by));
    ASSERT_TRUE(card.TimerScreenShots.Enabled());
    s.advanceBy(0.3);
    const std::set<std::string> files = entries(shots);
    ASSERT_FALSE(files.empty());
    const rt::PictureRef saved = decodeFile(shots / *files.rbegin());
    const rt::PictureRef face = card.Picture1(0).Image();
    ASSERT_EQ(saved->width(), 333);
    ASSERT_EQ(saved->height(), 415);
    EXPECT_EQ(saved->image(), face->image());

    // Where the panel lies, the screen shows the panel and the file the card.
    const rt::Bitmap& screen = s.cardScreen().screen;
    const rt::Rect panel = card.Picture2.framePixelBounds().intersect(screen.bounds());
    ASSERT_FALSE(panel.empty());
    int differing = 0;
    for (int y = panel.y; y < panel.bottom(); ++y)
        for (int x = panel.x; x < panel.right(); ++x) differing += screen.at(x, y) != saved->image().at(x, y);
    EXPECT_GT(differing, panel.width * panel.height / 2);
    // Under the red button the file holds the card picture (the flame strip
    // lies far to the right of it).
    const rt::Rect button = card.Command20.framePixelBounds();
    const rt::Bitmap& card0 = picture(Asset::CardFace)->image();
    for (int y = button.y; y < button.bottom(); ++y)
        for (int x = button.x; x < button.right(); ++x)
            ASSERT_EQ(saved->image().at(x, y), card0.at(x, y)) << x << "," << y;
}

// At a device scale of 2 the card face's Image, and so the file, holds the
// card face's own pixels where nothing was drawn on it, not the 2x drawing
// averaged down; what was drawn is there as drawn.
TEST(FrameCapture, AtScaleTwoTheFileHoldsTheCardFacesOwnPixels) {
    TempFolder temp;
    const fs::path shots = temp.path / "ScreenShots";
    fs::create_directory(shots);
    rt::platform::HeadlessOptions options;
    options.dpi = 192;
    CardSession s(options);
    ASSERT_EQ(s.app().scale(), 2);
    CardForm& card = s.card();
    card.Timer1.setEnabled(false);  // hold the flame still
    const rt::Bitmap& face = picture(Asset::CardFace)->image();
    EXPECT_EQ(card.Picture1(0).Image()->image(), face);

    markCardFace(card, 0);
    s.program().AppFolder = temp.path.string();
    card.Command20.Click();
    s.advanceTo(0.5);
    const rt::Bitmap saved = decodeFile(shots / fileOfSecond(0))->image();
    ASSERT_EQ(saved.bounds(), face.bounds());
    const rt::Rect mark{40, 300, 41, 41};
    int differing = 0;
    for (int y = 0; y < face.height(); ++y)
        for (int x = 0; x < face.width(); ++x)
            if (!mark.contains(x, y)) differing += saved.at(x, y) != face.at(x, y);
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(saved.at(40, 320), rt::rgbPixel(0, 255, 0));
}

#ifndef _WIN32
// A capture killed between naming its bytes and renaming them over the file
// of that second leaves the file as it was and a hidden copy; the next run
// removes the copies of processes no longer running, and no other.
TEST(FrameCapture, HiddenCopiesOfEndedProcessesAreSweptAndNoOthers) {
    TempFolder temp;
    const fs::path shots = temp.path / "ScreenShots";
    fs::create_directory(shots);
    const pid_t ended = ::fork();
    ASSERT_GE(ended, 0);
    if (ended == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const std::string kept = fileOfSecond(0);
    std::ofstream(shots / kept) << "the file before";
    const std::string stale = "." + kept + "." + std::to_string(ended) + "-0";
    const std::string live = "." + kept + "." + std::to_string(::getppid()) + "-0";
    const std::string other = ".notes." + std::to_string(ended) + "-x";
    for (const std::string& name : {stale, live, other}) std::ofstream(shots / name) << "a copy";

    CardSession s;
    CardForm& card = s.card();
    s.program().AppFolder = temp.path.string();
    card.Command20.Click();
    s.advanceTo(1.2);
    EXPECT_EQ(entries(shots), (std::set<std::string>{kept, fileOfSecond(1), live, other}));
    EXPECT_EQ(decodeFile(shots / kept)->width(), 333);
}
#endif

// ---------------------------------------------------------------- failures

struct FailureCase {
    const char* name;
    const char* reason;  // what the message says went wrong
    // Prepares the application folder; returns what it must hold afterwards.
    std::function<std::set<std::string>(const fs::path& appFolder)> prepare;
};

TEST(FrameCapture, AFileThatCannotBeWrittenSwitchesCaptureOffAndTheShowGoesOn) {
    const FailureCase cases[] = {
        {"no ScreenShots folder", "no such folder", [](const fs::path&) { return std::set<std::string>{}; }},
        {"ScreenShots is a file", "not a folder",
         [](const fs::path& folder) {
             std::ofstream(folder / "ScreenShots") << "not a folder";
             return std::set<std::string>{"ScreenShots"};
         }},
        // The folder exists, but the capture file's name is taken by a
        // folder: the bitmap is written, then cannot take its name.
        {"the file's name is a folder", "a folder has that name",
         [](const fs::path& folder) {
             for (int second = 0; second <= 2; ++second)
                 fs::create_directories(folder / "ScreenShots" / fileOfSecond(second));
             return std::set<std::string>{"ScreenShots"};
         }},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder temp;
        const std::set<std::string> expected = c.prepare(temp.path);
        const std::set<std::string> shotsBefore =
            fs::is_directory(temp.path / "ScreenShots") ? entries(temp.path / "ScreenShots") : std::set<std::string>{};

        ::testing::internal::CaptureStderr();
        CardSession s;
        CardForm& card = s.card();
        s.program().AppFolder = temp.path.string();
        card.Command20.Click();
        s.advanceTo(1.0);
        EXPECT_FALSE(card.TimerScreenShots.Enabled());
        EXPECT_EQ(card.Command20.BackColor(), 0x00FFFFFFu);
        s.advanceToShowTime(21.2);
        EXPECT_FALSE(s.finished());
        EXPECT_TRUE(card.Picture2.Visible());  // the reveal came on time
        const std::string errors = ::testing::internal::GetCapturedStderr();

        std::size_t reports = 0;
        for (std::size_t at = errors.find("ScreenShots"); at != std::string::npos;
             at = errors.find("ScreenShots", at + 1))
            ++reports;
        EXPECT_EQ(reports, 1u) << errors;
        EXPECT_NE(errors.find(std::string(".bmp: ") + c.reason + "\n"), std::string::npos) << errors;
        EXPECT_EQ(entries(temp.path), expected);
        if (fs::is_directory(temp.path / "ScreenShots")) {
            EXPECT_EQ(entries(temp.path / "ScreenShots"), shotsBefore);  // no temporary file left
        }
        if (fs::is_regular_file(temp.path / "ScreenShots")) {
            EXPECT_EQ(readFile(temp.path / "ScreenShots"), "not a folder");
        }
    }
}

}  // namespace
}  // namespace velmora::testing

// The About window, opened from the card's About button: its oval shape and
// placement, its background and text, its links and cursors, its modality
// over the running show, and its opening in the middle of the fly-away.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

#include "card_session.h"
#include "forms/pictures.h"
#include "forms/web_addresses.h"
#include "runtime/system_calls.h"

namespace velmora::testing {
namespace {

using rt::platform::HeadlessOptions;
using rt::platform::HeadlessWindow;

constexpr double kTick = 1.0 / 64.0;
constexpr std::pair<int, int> kFacePoint{166, 330};

// Clicks the card face, then the About button; returns the About window.
AboutForm& openAbout(CardSession& s, std::pair<int, int> facePoint = kFacePoint) {
    EXPECT_TRUE(s.click(facePoint.first, facePoint.second));
    const auto [x, y] = CardSession::centreOf(s.card().PictureAbout);
    EXPECT_EQ(s.card().controlAt(x, y), &s.card().PictureAbout);
    EXPECT_TRUE(s.click(x, y));
    AboutForm* about = s.about();
    if (!about) throw std::runtime_error("the About window did not open");
    return *about;
}

const HeadlessWindow& screenOf(CardSession& s, const AboutForm& about) {
    return s.platform().window(about.hWnd());
}

bool clickOn(CardSession& s, AboutForm& about, const rt::Control& control) {
    const auto [x, y] = CardSession::centreOf(control);
    return s.session().click(about.hWnd(), x, y);
}

void closeAbout(CardSession& s) {
    ASSERT_NE(s.about(), nullptr);
    EXPECT_TRUE(clickOn(s, *s.about(), s.about()->PictureClose));
    EXPECT_EQ(s.about(), nullptr);
}

int channelDistance(rt::Pixel a, rt::Pixel b) {
    return std::max({std::abs(rt::pixelRed(a) - rt::pixelRed(b)), std::abs(rt::pixelGreen(a) - rt::pixelGreen(b)),
                     std::abs(rt::pixelBlue(a) - rt::pixelBlue(b))});
}

bool buttonsHidden(CardForm& card) { return !card.PictureClose.Visible() && !card.PictureAbout.Visible(); }

// ------------------------------------------------------ shape and placement

TEST(AboutWindow, OpensAsACentredOvalWithItsCloseButtonLevelWithTheTitle) {
    for (double dpi : {96.0, 120.0}) {
        SCOPED_TRACE(dpi);
        CardSession s(atDpi(dpi));
        s.advanceTo(2.0);
        EXPECT_EQ(s.about(), nullptr);  // not loaded before the About button is used
        AboutForm& about = openAbout(s);
        EXPECT_TRUE(buttonsHidden(s.card()));
        const HeadlessWindow& w = screenOf(s, about);
        ASSERT_TRUE(w.visible);
        EXPECT_FALSE(w.options.showInTaskbar);
        // It belongs to the card window, so the desktop keeps it above the
        // card even when the blocked card is clicked.
        EXPECT_EQ(w.owner, s.cardWindow());

        // Its outer size in pixels, centred on the monitor.
        const float tpp = float(1440.0 / dpi);
        EXPECT_EQ(w.bounds.width, int(std::lrint(about.Width() / tpp)));
        EXPECT_EQ(w.bounds.height, int(std::lrint(about.Height() / tpp)));
        EXPECT_NEAR(w.bounds.x + w.bounds.width / 2.0, 640, 1);
        EXPECT_NEAR(w.bounds.y + w.bounds.height / 2.0, 512, 1);

        // The shape is the ellipse inscribed in the window: every pixel well
        // inside the ellipse is in, every pixel well outside it is out.
        ASSERT_TRUE(w.shape.has_value());
        EXPECT_EQ(w.shape->width, w.bounds.width);
        EXPECT_EQ(w.shape->height, w.bounds.height);
        const double a = w.bounds.width / 2.0, b = w.bounds.height / 2.0;
        int checked = 0;
        for (int y = 0; y < w.bounds.height; ++y)
            for (int x = 0; x < w.bounds.width; ++x) {
                const double e = std::pow((x + 0.5 - a) / a, 2) + std::pow((y + 0.5 - b) / b, 2);
                if (std::abs(e - 1) < 0.06) continue;  // the rasterised outline itself
                ASSERT_EQ(w.shape->contains(x, y), e < 1) << x << "," << y;
                ++checked;
            }
        EXPECT_GT(checked, w.bounds.width * w.bounds.height * 9 / 10);
        EXPECT_FALSE(w.shape->contains(0, 0));
        EXPECT_FALSE(w.shape->contains(w.bounds.width - 1, w.bounds.height - 1));
        EXPECT_TRUE(w.shape->contains(w.bounds.width / 2, w.bounds.height / 2));

        // Title, and the close button 350 twips in from the right edge, level
        // with the title and wholly inside the oval.
        EXPECT_EQ(about.Label2.Caption(), "Velmora V2.1");
        EXPECT_FLOAT_EQ(about.PictureClose.Left(), about.Width() - about.PictureClose.Width() - 350);
        EXPECT_FLOAT_EQ(about.PictureClose.Top(), about.Label2.Top());
        if (dpi == 120) {
            EXPECT_FLOAT_EQ(about.PictureClose.Left(), 2434);
            EXPECT_FLOAT_EQ(about.PictureClose.Top(), 400);
        }
        const rt::Rect close = about.PictureClose.framePixelBounds();
        for (auto [x, y] : {std::pair{close.x, close.y}, {close.x + close.width - 1, close.y},
                            {close.x, close.y + close.height - 1},
                            {close.x + close.width - 1, close.y + close.height - 1}})
            EXPECT_TRUE(w.shape->contains(x, y)) << x << "," << y;

        // The four labels span the window: 200 pixels at 15 twips per pixel.
        for (const rt::Label* label : {&about.Label2, &about.Label3, &about.Label4, &about.LabelBrek})
            EXPECT_EQ(label->framePixelBounds().width, int(std::lrint(3000 / tpp))) << label->Name();
        if (dpi == 96) {
            EXPECT_EQ(about.Label4.framePixelBounds().width, 200);
        }
    }
}

TEST(AboutWindow, BackgroundIsTheAboutPictureStretchedOverTheWholeWindow) {
    CardSession s;
    s.advanceTo(2.0);
    AboutForm& about = openAbout(s);
    const HeadlessWindow& w = screenOf(s, about);
    const rt::PictureRef background = picture(Asset::AboutBackground);
    // The picture is stretched over the window's full outer size from the
    // client area's corner, one border pixel in.
    const double sx = double(background->width()) / w.bounds.width;
    const double sy = double(background->height()) / w.bounds.height;
    auto covered = [&](int x, int y) {
        const rt::Control* const parts[] = {&about.PictureClose, &about.Label2, &about.Label3, &about.Label4,
                                            &about.LabelBrek};
        for (const rt::Control* c : parts)
            if (c->framePixelBounds().contains(x, y)) return true;
        const int lineRow = int(std::lrint(954 / s.app().twipsPerPixelY())) + 1;
        return std::abs(y - lineRow) <= 1;
    };
    long total = 0;
    int samples = 0, far = 0;
    for (int y = 2; y < w.bounds.height - 2; y += 3)
        for (int x = 2; x < w.bounds.width - 2; x += 3) {
            if (!w.shape->contains(x, y) || covered(x, y)) continue;
            const rt::Pixel expected = background->image().at(std::min(int((x - 1 + 0.5) * sx), background->width() - 1),
                                                             std::min(int((y - 1 + 0.5) * sy), background->height() - 1));
            const int d = channelDistance(w.screen.at(x, y), expected);
            total += d;
            far += d > 40;
            ++samples;
        }
    ASSERT_GT(samples, 500);
    EXPECT_LT(double(total) / samples, 8.0);
    EXPECT_LT(far, samples / 50);
    // What is shown is the window's persistent image, which holds just the
    // background.
    EXPECT_EQ(about.Image()->width(), w.bounds.width - 2);
}

// Text pixels of a label: where the presented window differs from the
// window's persistent image (the stretched background alone), apart from
// the close button.
struct Ink {
    int count = 0, minX = 1 << 30, maxX = -1, minY = 1 << 30, maxY = -1;
    int maxDistanceFromColour = 0;  // of the strongest pixel's colour
    rt::Pixel strongest = 0;
    int strongestWeight = -1;
};

Ink inkOf(const HeadlessWindow& w, const AboutForm& about, const rt::Label& label, const rt::Rect& area) {
    const rt::PictureRef image = about.Image();
    const rt::Rect client = about.clientPixelBounds();
    const rt::Pixel colour = rt::rgbPixel(int(label.ForeColor() & 0xFF), int((label.ForeColor() >> 8) & 0xFF),
                                          int((label.ForeColor() >> 16) & 0xFF));
    Ink ink;
    for (int y = area.y; y < area.y + area.height; ++y)
        for (int x = area.x; x < area.x + area.width; ++x) {
            if (!client.contains(x, y) || about.PictureClose.framePixelBounds().contains(x, y)) continue;
            const rt::Pixel shown = w.screen.at(x, y), behind = image->image().at(x - client.x, y - client.y);
            const int weight = channelDistance(shown, behind);
            if (weight < 24) continue;
            ++ink.count;
            ink.minX = std::min(ink.minX, x);
            ink.maxX = std::max(ink.maxX, x);
            ink.minY = std::min(ink.minY, y);
            ink.maxY = std::max(ink.maxY, y);
            // The strongest pixel is the one closest to the text colour.
            const int closeness = 255 - channelDistance(shown, colour);
            if (closeness > ink.strongestWeight) {
                ink.strongestWeight = closeness;
                ink.strongest = shown;
            }
        }
    ink.maxDistanceFromColour = channelDistance(ink.strongest, colour);
    return ink;
}

TEST(AboutWindow, LabelsShowCentredTransparentTextInTheirColoursAtBothDensities) {
    for (double dpi : {96.0, 120.0}) {
        SCOPED_TRACE(dpi);
        CardSession s(atDpi(dpi));
        s.advanceTo(2.0);
        AboutForm& about = openAbout(s);
        const HeadlessWindow& w = screenOf(s, about);
        const double pixelsPerEm = 9.0 * dpi / 72.0;
        for (const rt::Label* label : {&about.Label2, &about.Label3, &about.Label4, &about.LabelBrek}) {
            SCOPED_TRACE(label->Name());
            const rt::Rect box = label->framePixelBounds();
            const Ink ink = inkOf(w, about, *label, box);
            ASSERT_GT(ink.count, 20);
            // Centred in the label, which spans the window.
            const double inkCentre = (ink.minX + ink.maxX + 1) / 2.0;
            EXPECT_NEAR(inkCentre, box.x + box.width / 2.0, 1.5);
            // One line of 9-point text from the top of the label: capitals
            // and ascenders about 0.72 em high, descenders below them.
            EXPECT_GE(ink.minY, box.y);
            EXPECT_LE(ink.minY - box.y, int(0.35 * pixelsPerEm) + 1);
            EXPECT_GE(ink.maxY - ink.minY + 1, 0.65 * pixelsPerEm);
            EXPECT_LE(ink.maxY - ink.minY + 1, 1.25 * pixelsPerEm);
            // Drawn in its own colour at full strength somewhere: crisp, not a
            // blur of half-covered pixels.
            EXPECT_LE(ink.maxDistanceFromColour, 12);
            // Transparent: outside the glyphs the background shows through,
            // also for LabelBrek whose own back colour is grey.
            EXPECT_LT(ink.count, box.width * box.height / 3);
            const int laidOut = s.app().text().textWidth(label->Caption(), label->font(), dpi);
            EXPECT_LE(ink.maxX - ink.minX + 1, laidOut);
            EXPECT_GE(ink.maxX - ink.minX + 1, laidOut - 4);
            // Nothing of the text leaks below the label.
            const rt::Rect below{box.x, box.y + box.height, box.width, 2};
            EXPECT_EQ(inkOf(w, about, *label, below).count, 0);
        }
        // A face metric-compatible with Arial: the title is as wide as
        // Arial's advances for it, each rounded to whole pixels (pair
        // kerning may take off a pixel or two).
        constexpr std::pair<char, int> kArialAdvances[] = {{'V', 1366}, {'e', 1139}, {'l', 455}, {'m', 1706},
                                                           {'o', 1139}, {'r', 682},  {'a', 1139}, {' ', 569},
                                                           {'V', 1366}, {'2', 1139}, {'.', 569}, {'1', 1139}};
        long arialWidth = 0;
        for (auto [glyph, units] : kArialAdvances) arialWidth += std::lrint(units * pixelsPerEm / 2048.0);
        ASSERT_EQ(std::size(kArialAdvances), about.Label2.Caption().size());
        EXPECT_NEAR(s.app().text().textWidth(about.Label2.Caption(), about.Label2.font(), dpi), arialWidth, 2.0);

        // The separator: one dark line across the whole oval, below LabelBrek.
        const int lineRow = int(std::lrint(954 / s.app().twipsPerPixelY())) + about.clientPixelBounds().y;
        const rt::Pixel lineColour = rt::rgbPixel(47, 5, 2);
        const rt::Rect client = about.clientPixelBounds();
        int onLine = 0, inside = 0;
        for (int x = client.x; x < client.x + client.width; ++x) {
            if (!w.shape->contains(x, lineRow)) continue;
            ++inside;
            onLine += w.screen.at(x, lineRow) == lineColour;
        }
        EXPECT_GT(inside, w.bounds.width * 9 / 10);
        EXPECT_EQ(onLine, inside);
        EXPECT_NE(w.screen.at(w.bounds.width / 2, lineRow - 2), lineColour);

        // The close button shows its picture.
        const rt::Rect close = about.PictureClose.framePixelBounds();
        const rt::PictureRef glyph = picture(Asset::CloseGlyphAbout);
        ASSERT_EQ(close.width, glyph->width());
        for (int y = 0; y < close.height; ++y)
            for (int x = 0; x < close.width; ++x)
                ASSERT_EQ(w.screen.at(close.x + x, close.y + y) & 0xFFFFFFu, glyph->image().at(x, y) & 0xFFFFFFu);
    }
}

// ------------------------------------------------------ links and pointer

TEST(AboutWindow, EachLinkClickOpensItsPageOnceAndTheWindowStaysOpen) {
    CardSession s;
    s.advanceTo(2.0);
    AboutForm& about = openAbout(s);
    EXPECT_TRUE(s.platform().openedUrls().empty());
    EXPECT_TRUE(clickOn(s, about, about.Label4));
    EXPECT_EQ(s.platform().openedUrls(), std::vector<std::string>{std::string(kHomePage)});
    EXPECT_TRUE(clickOn(s, about, about.LabelBrek));
    EXPECT_TRUE(clickOn(s, about, about.LabelBrek));
    EXPECT_TRUE(clickOn(s, about, about.Label4));
    const std::vector<std::string> expected{std::string(kHomePage), makerPage(), makerPage(), std::string(kHomePage)};
    EXPECT_EQ(s.platform().openedUrls(), expected);
    EXPECT_TRUE(makerPage().starts_with(std::string(kHomePage) + "/"));
    // Each call hands the shell the About window as owner, "open", the
    // parameters "0", no folder and the normal show command.
    for (const rt::platform::DocumentRequest& d : s.platform().openedDocuments())
        EXPECT_EQ(d, (rt::platform::DocumentRequest{about.hWnd(), "open", d.file, "0", "", rt::SW_SHOWNORMAL}));
    // The title and the site's caption are no links.
    EXPECT_TRUE(clickOn(s, about, about.Label2));
    EXPECT_TRUE(clickOn(s, about, about.Label3));
    EXPECT_EQ(s.platform().openedUrls().size(), 4u);
    EXPECT_EQ(s.about(), &about);
    EXPECT_TRUE(screenOf(s, about).visible);
    EXPECT_FALSE(s.finished());
}

TEST(AboutWindow, PointerMovesChangeNothingButTheCursor) {
    CardSession s;
    s.advanceTo(2.0);
    AboutForm& about = openAbout(s);
    const HeadlessWindow& w = screenOf(s, about);
    const rt::Bitmap before = w.screen;
    const int presents = w.presents;
    const rt::PictureRef hand = picture(Asset::HandCursor);
    const float closeLeft = about.PictureClose.Left();
    auto moveTo = [&](const rt::Control& c) {
        const auto [x, y] = CardSession::centreOf(c);
        EXPECT_TRUE(s.session().move(about.hWnd(), x, y));
        return w.cursor.get();
    };
    EXPECT_EQ(moveTo(about.LabelBrek), hand.get());
    EXPECT_EQ(moveTo(about.Label2), nullptr);
    EXPECT_EQ(moveTo(about.Label4), hand.get());
    EXPECT_EQ(moveTo(about.PictureClose), nullptr);
    EXPECT_EQ(moveTo(about.Label4), hand.get());
    EXPECT_EQ(moveTo(about.Label3), nullptr);
    EXPECT_EQ(moveTo(about.LabelBrek), hand.get());
    // The background between the labels, below the last one.
    EXPECT_TRUE(s.session().move(about.hWnd(), w.bounds.width / 2, w.bounds.height - 8));
    EXPECT_EQ(w.cursor, nullptr);
    // Nothing was redrawn, opened or moved.
    EXPECT_EQ(w.presents, presents);
    EXPECT_TRUE(std::equal(before.row(0), before.row(0) + before.width() * before.height(), w.screen.row(0)));
    EXPECT_TRUE(s.platform().openedUrls().empty());
    EXPECT_FLOAT_EQ(about.PictureClose.Left(), closeLeft);
    EXPECT_EQ(s.about(), &about);
}

// ------------------------------------------------------------- modality

TEST(AboutWindow, TheShowGoesOnBehindItWhileTheCardTakesNoInput) {
    CardSession s;
    CardForm& card = s.card();
    s.advanceToShowTime(10.0);
    AboutForm& about = openAbout(s);
    // Clicks and double-clicks on the card are blocked.
    EXPECT_TRUE(s.click(kFacePoint.first, kFacePoint.second));
    EXPECT_TRUE(buttonsHidden(card));
    EXPECT_TRUE(s.doubleClick(kFacePoint.first, kFacePoint.second));
    EXPECT_FALSE(s.finished());
    const auto [closeX, closeY] = CardSession::centreOf(card.PictureClose);
    s.click(closeX, closeY);
    EXPECT_FALSE(s.finished());

    const float frameTime = card.LastFrameTime;
    s.advanceToShowTime(23.0);
    EXPECT_NE(card.LastFrameTime, frameTime);  // the flame flickers on
    EXPECT_FALSE(card.RevealPending);
    EXPECT_TRUE(card.Picture2.Visible());
    EXPECT_TRUE(card.Timer2.Enabled());
    EXPECT_GT(card.Picture2.Height(), 100);
    EXPECT_LT(card.Picture2.Height(), card.Picture1(0).Height());
    s.advanceToShowTime(40.0);
    EXPECT_FALSE(card.Picture2.Visible());
    EXPECT_FALSE(card.Timer2.Enabled());
    EXPECT_FALSE(card.Timer4.Enabled());
    EXPECT_LT(card.Picture2.Width(), 100);
    EXPECT_EQ(s.about(), &about);
    EXPECT_TRUE(screenOf(s, about).visible);

    // Closing returns to the card, which takes input again.
    closeAbout(s);
    EXPECT_TRUE(buttonsHidden(card));
    EXPECT_TRUE(s.click(kFacePoint.first, kFacePoint.second));
    EXPECT_TRUE(card.PictureClose.Visible() && card.PictureAbout.Visible());
}

TEST(AboutWindow, CloseButtonUnloadsItAndEachOpeningLoadsItAfresh) {
    CardSession s;
    s.advanceTo(2.0);
    AboutForm& first = openAbout(s);
    const auto firstWindow = first.hWnd();
    const HeadlessWindow firstScreen = screenOf(s, first);
    const float closeLeft = first.PictureClose.Left(), closeTop = first.PictureClose.Top();
    // Leave marks on this opening that a fresh load must not carry over.
    first.PictureClose.setLeft(0);
    first.Label2.setCaption("changed");
    closeAbout(s);
    EXPECT_TRUE(s.platform().window(firstWindow).destroyed);
    EXPECT_TRUE(buttonsHidden(s.card()));
    EXPECT_FALSE(s.finished());

    s.advanceTo(6.0);
    AboutForm& second = openAbout(s);
    EXPECT_NE(second.hWnd(), firstWindow);
    const HeadlessWindow& secondScreen = screenOf(s, second);
    EXPECT_EQ(secondScreen.bounds, firstScreen.bounds);
    ASSERT_TRUE(secondScreen.shape && firstScreen.shape);
    EXPECT_EQ(*secondScreen.shape, *firstScreen.shape);
    EXPECT_FLOAT_EQ(second.PictureClose.Left(), closeLeft);
    EXPECT_FLOAT_EQ(second.PictureClose.Top(), closeTop);
    EXPECT_EQ(second.Label2.Caption(), "Velmora V2.1");
    // Painted again: the same pixels as the first opening.
    EXPECT_TRUE(std::equal(firstScreen.screen.row(0),
                           firstScreen.screen.row(0) + firstScreen.screen.width() * firstScreen.screen.height(),
                           secondScreen.screen.row(0)));
    closeAbout(s);
}

// Another program destroys a window: the About window counts as closed and
// the card takes input again; the card's destruction ends the program as if
// it had been closed.
TEST(WindowsDestroyedFromOutside, AboutCountsAsClosedAndTheCardEndsTheProgram) {
    CardSession s;
    s.advanceTo(2.0);
    AboutForm& about = openAbout(s);
    const auto aboutWindow = about.hWnd();
    s.session().destroyWindowFromOutside(aboutWindow);
    EXPECT_EQ(s.about(), nullptr);
    EXPECT_FALSE(s.finished());
    // The card responds again: a click shows the buttons, and the About
    // window opens afresh.
    s.advanceTo(6.0);
    AboutForm& again = openAbout(s);
    EXPECT_NE(again.hWnd(), aboutWindow);
    closeAbout(s);

    s.session().destroyWindowFromOutside(s.cardWindow());
    EXPECT_TRUE(s.finished());
    EXPECT_EQ(s.exitCode(), 0);
}

// ------------------------------------------------------- during the fly-away

// Runs the show without input to its end and returns the panel's last
// place and size: equal values mean an equal number of fly-away steps.
std::pair<float, float> quietFlyAwayEnd() {
    CardSession s;
    s.advanceToShowTime(45.0);
    return {s.card().Picture2.Left(), s.card().Picture2.Width()};
}

// Advances into the fly-away until the panel has moved off the buttons.
void advanceIntoFlyAway(CardSession& s) {
    CardForm& card = s.card();
    s.advanceToShowTime(25.0);
    while (!card.Timer4.Enabled() && s.showTime() < 45) s.advanceBy(0.05);
    ASSERT_TRUE(card.Timer4.Enabled());
    while (card.Picture2.Left() < 3 * 130) s.advanceBy(kTick);
}

TEST(AboutWindow, OpenedBetweenFlyAwayStepsTheFlyAwayGoesOnBehindIt) {
    const auto quiet = quietFlyAwayEnd();
    CardSession s;
    CardForm& card = s.card();
    ASSERT_NO_FATAL_FAILURE(advanceIntoFlyAway(s));
    openAbout(s, {5, 200});
    const float left = card.Picture2.Left();
    s.advanceBy(1.0);
    EXPECT_GT(card.Picture2.Left(), left);
    s.advanceToShowTime(45.0);
    EXPECT_FALSE(card.Timer4.Enabled());
    EXPECT_FALSE(card.Picture2.Visible());
    EXPECT_FLOAT_EQ(card.Picture2.Left(), quiet.first);
    EXPECT_FLOAT_EQ(card.Picture2.Width(), quiet.second);
    closeAbout(s);
}

TEST(AboutWindow, OpenedInsideAFlyAwayStepItHoldsThatStepUntilItCloses) {
    const auto quiet = quietFlyAwayEnd();
    CardSession s;
    CardForm& card = s.card();
    ASSERT_NO_FATAL_FAILURE(advanceIntoFlyAway(s));
    // Bring the buttons up on the card face left of the panel.
    ASSERT_TRUE(s.click(5, 200));
    const auto [ax, ay] = CardSession::centreOf(card.PictureAbout);
    ASSERT_EQ(card.controlAt(ax, ay), &card.PictureAbout);
    // The click on the About button reaches the program while the next step
    // yields: it is queued as that step begins, so the step's DoEvents
    // handles it.
    bool posted = false;
    auto step = card.Timer4.Tick;
    card.Timer4.Tick = [&, step] {
        if (!posted) {
            posted = true;
            for (auto type : {rt::platform::EventType::Press, rt::platform::EventType::Release,
                              rt::platform::EventType::Click}) {
                rt::platform::Event e;
                e.type = type;
                e.window = s.cardWindow();
                e.x = ax;
                e.y = ay;
                s.platform().post(e);
            }
        }
        step();
    };
    const float left = card.Picture2.Left(), width = card.Picture2.Width();
    s.advanceBy(0.25);
    ASSERT_TRUE(posted);
    ASSERT_NE(s.about(), nullptr);
    // The step that was under way moved the panel once and waits for the
    // About window; no further step runs meanwhile.
    EXPECT_FLOAT_EQ(card.Picture2.Left(), left + 130);
    EXPECT_FLOAT_EQ(card.Picture2.Width(), float(double(width) * 0.9));
    EXPECT_TRUE(card.Picture2.Visible());
    EXPECT_TRUE(card.Timer4.Enabled());
    const float frameTime = card.LastFrameTime;
    s.advanceBy(3.0);
    EXPECT_FLOAT_EQ(card.Picture2.Left(), left + 130);
    EXPECT_NE(card.LastFrameTime, frameTime);  // Timer1 still runs
    EXPECT_TRUE(buttonsHidden(card));

    // Closing lets the step finish and the fly-away complete as usual.
    closeAbout(s);
    s.advanceToShowTime(50.0);
    EXPECT_FALSE(card.Timer4.Enabled());
    EXPECT_FALSE(card.Picture2.Visible());
    EXPECT_FLOAT_EQ(card.Picture2.Left(), quiet.first);
    EXPECT_FLOAT_EQ(card.Picture2.Width(), quiet.second);
    EXPECT_FALSE(s.finished());
}

}  // namespace
}  // namespace velmora::testing

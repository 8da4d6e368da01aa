// What a person looking at the card sees while the greeting panel passes
// through: the presented pixels of the card window, tick by tick, compared
// with the built-in pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "card_session.h"
#include "forms/pictures.h"
#include "show_recorder.h"

namespace velmora::testing {
namespace {

// Mean difference per channel between two colours.
double channelDistance(rt::Pixel a, rt::Pixel b) {
    return (std::abs(rt::pixelRed(a) - rt::pixelRed(b)) + std::abs(rt::pixelGreen(a) - rt::pixelGreen(b)) +
            std::abs(rt::pixelBlue(a) - rt::pixelBlue(b))) /
           3.0;
}

// The picture shrunk to w x h by averaging the source pixels each target
// pixel covers: what "the whole picture scaled to the panel" looks like,
// give or take the resampler's rounding.
rt::Bitmap boxScaled(const rt::Bitmap& src, int w, int h) {
    rt::Bitmap out(w, h);
    for (int y = 0; y < h; ++y) {
        const int y0 = y * src.height() / h;
        const int y1 = std::max(y0 + 1, (y + 1) * src.height() / h);
        for (int x = 0; x < w; ++x) {
            const int x0 = x * src.width() / w;
            const int x1 = std::max(x0 + 1, (x + 1) * src.width() / w);
            long r = 0, g = 0, b = 0, n = 0;
            for (int sy = y0; sy < y1; ++sy)
                for (int sx = x0; sx < x1; ++sx) {
                    const rt::Pixel p = src.at(sx, sy);
                    r += rt::pixelRed(p);
                    g += rt::pixelGreen(p);
                    b += rt::pixelBlue(p);
                    ++n;
                }
            out.at(x, y) = rt::rgbPixel(int(r / n), int(g / n), int(b / n));
        }
    }
    return out;
}

// Mean channel distance between the screen inside rect (window pixels) and
// an image placed with its top-left corner at the rect's, over the rows of
// the rect given; only pixels inside both the window and the image count.
double meanDistance(const rt::Bitmap& screen, const rt::Rect& rect, const rt::Bitmap& image, int firstRow,
                    int lastRow) {
    double sum = 0;
    long n = 0;
    for (int y = std::max(firstRow, 0); y < std::min(lastRow, rect.height); ++y) {
        const int sy = rect.y + y;
        if (sy < 0 || sy >= screen.height() || y >= image.height()) continue;
        for (int x = 0; x < std::min(rect.width, image.width()); ++x) {
            const int sx = rect.x + x;
            if (sx < 0 || sx >= screen.width()) continue;
            sum += channelDistance(screen.at(sx, sy), image.at(x, y));
            ++n;
        }
    }
    return n ? sum / double(n) : 0;
}

TEST(ShowPixels, PanelUnrollsFromItsTopCoversTheCardAndFliesAwayWhole) {
    CardSession s;
    ShowRecorder recorder(s);
    CardForm& card = s.card();
    const rt::Bitmap& panel = picture(Asset::GreetingPanel)->image();
    const rt::Bitmap& face = picture(Asset::CardFace)->image();
    const float faceHeight = card.Picture1(0).Height();

    s.advanceTo(20.9);
    PanelState previous = ShowRecorder::panel(card);
    int unrollChecks = 0, holdChecks = 0, flyChecks = 0;
    bool holdSeen = false;
    const double grid = rt::kTimerGranularity;
    for (double t = std::ceil(20.9 / grid) * grid; t < 36; t += grid) {
        s.advanceTo(t);
        const PanelState now = ShowRecorder::panel(card);
        const auto& w = s.cardScreen();
        const rt::Rect r = card.Picture2.framePixelBounds();
        if (!holdSeen && now.visible && now.height < faceHeight && now != previous) {
            // Unrolling: the picture at natural size from its top edge,
            // exactly, wherever the strip lies inside the window.
            for (int y = std::max(r.y, 0); y < std::min(r.bottom(), w.screen.height()); ++y)
                for (int x = 0; x < w.screen.width(); x += 2)
                    ASSERT_EQ(w.screen.at(x, y), panel.at(x - r.x, y - r.y)) << x << "," << y << " at " << t;
            ++unrollChecks;
        } else if (now.visible && now.width == card.Picture1(0).Width() && now.height >= faceHeight) {
            // Holding: the panel covers the whole card.
            holdSeen = true;
            if (std::fmod(t, 0.5) < grid) {
                for (int y = 0; y < w.screen.height(); ++y) {
                    if (y - r.y >= panel.height()) break;
                    for (int x = 0; x < w.screen.width(); ++x)
                        ASSERT_EQ(w.screen.at(x, y), panel.at(x, y - r.y)) << x << "," << y << " at " << t;
                }
                ++holdChecks;
            }
        } else if (now.visible && now != previous && holdSeen) {
            // Flying away: the whole greeting scaled to the shrinking panel,
            // bottom rows included, not the top of the picture at natural
            // size. The card face shows to the left of it, at rest.
            const rt::Bitmap expected = boxScaled(panel, r.width, r.height);
            const double scaled = meanDistance(w.screen, r, expected, 0, r.height);
            EXPECT_LT(scaled, 6.0) << "panel " << r.width << "x" << r.height << " at " << t;
            const int bottom = r.height - std::max(2, r.height / 8);
            EXPECT_LT(meanDistance(w.screen, r, expected, bottom, r.height), 8.0) << "bottom rows at " << t;
            if (r.height > 40) {
                EXPECT_GT(meanDistance(w.screen, r, panel, bottom, r.height), 2 * scaled + 5)
                    << "the bottom rows look like the natural-size picture at " << t;
            }
            for (int y = 240; y < 415; y += 7)
                for (int x = 0; x < r.x; ++x)
                    ASSERT_EQ(w.screen.at(x, y), face.at(x, y)) << x << "," << y << " at " << t;
            ++flyChecks;
        }
        previous = now;
    }
    const PanelCourse course(recorder, faceHeight);
    // The strip at the reveal (still below the window) and every growth
    // step but the last, which brings the panel to full height.
    EXPECT_EQ(unrollChecks, int(course.growthSteps.size()));
    EXPECT_GE(holdChecks, 5);
    EXPECT_EQ(flyChecks + 1, int(course.flySteps.size())) << "every step but the one that hides";

    // Afterwards the card face is whole again: below the flame band the card
    // picture itself, the band one of the five frames' bands.
    ASSERT_FALSE(card.Picture2.Visible());
    const auto& w = s.cardScreen();
    const int band = int(std::nearbyint(double(faceHeight) / 1.8 / s.app().twipsPerPixelY()));
    for (int y = band; y < face.height(); ++y)
        for (int x = 0; x < face.width(); ++x)
            ASSERT_EQ(w.screen.at(x, y), face.at(x, y)) << x << "," << y;
    int matching = 0;
    for (int i = 1; i <= 5; ++i) {
        const rt::Bitmap& frame = card.Picture1(i).Picture()->image();
        bool same = true;
        for (int y = 0; y < band && same; ++y)
            for (int x = 0; x < face.width() && same; ++x) same = w.screen.at(x, y) == frame.at(x, y);
        matching += same;
    }
    EXPECT_GE(matching, 1);
}

TEST(ShowPixels, ShakenCardFaceShowsShiftedWithTheWindowGroundBesideIt) {
    CardSession s;
    CardForm& card = s.card();
    const rt::Bitmap& face = picture(Asset::CardFace)->image();
    const rt::Pixel ground = rt::colourToPixel(card.BackColor());
    ASSERT_NE(ground, face.at(0, 300));
    ASSERT_NE(ground, face.at(332, 300));
    const float tpp = s.app().twipsPerPixelX();
    int shiftedLeft = 0, shiftedRight = 0;
    for (double t = 18.0; t < 21.0; t += rt::kTimerGranularity) {
        s.advanceTo(t);
        const auto& w = s.cardScreen();
        const int dx = int(std::nearbyint(card.Picture1(0).Left() / tpp));
        // Below the flame band: the card picture moved by dx; the columns it
        // left show the window's ground.
        for (int y = 240; y < 415; y += 5)
            for (int x = 0; x < w.screen.width(); ++x) {
                const int fx = x - dx;
                const rt::Pixel expected = fx >= 0 && fx < face.width() ? face.at(fx, y) : ground;
                ASSERT_EQ(w.screen.at(x, y), expected) << x << "," << y << " offset " << dx << " at " << t;
            }
        shiftedLeft += dx < 0;
        shiftedRight += dx > 0;
    }
    EXPECT_GT(shiftedLeft, 20);
    EXPECT_GT(shiftedRight, 20);
}

// Through the shake (flame frames, the panel's arrival) the card face is
// carried, and the window shows exactly what a whole repaint would.
TEST(ShowPixels, ShakeCarriesTheCardFaceAndShowsWhatAWholeRepaintWould) {
    for (const double dpi : {96.0, 192.0}) {
        CardSession s(atDpi(dpi));
        s.advanceTo(17.9);
        const int moves = s.cardScreen().moves;
        for (double t = 18.0; t < 25.5; t += rt::kTimerGranularity) {
            s.advanceTo(t);
            ASSERT_TRUE(s.cardScreen().screen == s.card().renderAll()) << "at " << t << ", " << dpi << " dpi";
        }
        EXPECT_GT(s.cardScreen().moves - moves, 200) << dpi << " dpi";
    }
}

}  // namespace
}  // namespace velmora::testing

// What the windows tell assistive technology, state by state through the
// show: the card's picture buttons, the About dialog with its links, and the
// greeting read aloud once while the panel is unrolled.
#include <gtest/gtest.h>

#include "card_session.h"
#include "show_recorder.h"

namespace velmora::testing {
namespace {

using rt::platform::AccessibleItem;
using rt::platform::AccessibleRole;
using rt::platform::WindowSemantics;

constexpr const char* kCardName = "Greeting card: a lit candle before a glowing cross, Happy Velmora";
constexpr const char* kGreeting = "I Am the Resurrection and the Life";

AccessibleItem itemOf(const rt::Control& c, AccessibleRole role, std::string name, bool shown) {
    return {role, std::move(name), c.framePixelBounds().scaled(c.form().scale()), shown};
}

TEST(WindowSemantics, EachStateOfTheShowIsDescribedOnceAsItChanges) {
    for (double dpi : {96.0, 192.0}) {
        SCOPED_TRACE(dpi);
        CardSession s(atDpi(dpi));
        ShowRecorder recorder(s);
        std::vector<std::pair<double, std::string>> announcements;  // each change, by show time
        recorder.afterTick = [&](const ShowTick& t) {
            const std::string& now = s.card().announcement();
            if (announcements.empty() ? !now.empty() : announcements.back().second != now)
                announcements.emplace_back(t.showTime, now);
        };
        s.advanceTo(2.0);
        CardForm& card = s.card();
        const auto& cardScreen = s.cardScreen();

        // The card alone: its buttons are listed, not shown.
        auto buttons = [&](bool shown) {
            return std::vector{itemOf(card.PictureClose, AccessibleRole::Button, "Close the card", shown),
                               itemOf(card.PictureAbout, AccessibleRole::Button, "About Velmora", shown)};
        };
        EXPECT_EQ(cardScreen.semantics, (WindowSemantics{kCardName, false, "", buttons(false)}));
        EXPECT_EQ(cardScreen.semantics.items[1].bounds.width, 18 * card.scale());

        // A click shows them, where they are drawn.
        ASSERT_TRUE(s.click(166, 330));
        EXPECT_EQ(cardScreen.semantics.items, buttons(true));

        // The About window: a dialog named with its version, its close
        // button in front of its two links, named by their captions.
        const int describedBeforeAbout = cardScreen.describes;
        const int scale = card.scale();
        const auto [ax, ay] = CardSession::centreOf(card.PictureAbout);
        ASSERT_TRUE(s.click(ax * scale, ay * scale));
        AboutForm* about = s.about();
        ASSERT_NE(about, nullptr);
        const WindowSemantics expectedAbout{
            "About Velmora, version 2.1", true, "",
            {itemOf(about->PictureClose, AccessibleRole::Button, "Close", true),
             itemOf(about->LabelBrek, AccessibleRole::Link, about->LabelBrek.Caption(), true),
             itemOf(about->Label4, AccessibleRole::Link, about->Label4.Caption(), true)}};
        EXPECT_EQ(s.platform().window(about->hWnd()).semantics, expectedAbout);
        EXPECT_EQ(expectedAbout.items[1].name, "www.velmora.example/studio");
        EXPECT_EQ(cardScreen.semantics.items, buttons(false));
        EXPECT_EQ(cardScreen.describes, describedBeforeAbout + 1);
        const auto [cx, cy] = CardSession::centreOf(about->PictureClose);
        ASSERT_TRUE(s.session().click(about->hWnd(), cx * scale, cy * scale));
        ASSERT_EQ(s.about(), nullptr);

        // The shake moves the card face on every tick and touches no
        // button: nothing new is described.
        s.advanceToShowTime(18.5);
        const int beforeShake = cardScreen.describes;
        s.advanceToShowTime(20.9);
        EXPECT_EQ(cardScreen.describes, beforeShake);

        // The greeting is announced when the panel has fully unrolled and
        // until it has flown away; then the announcement is empty again.
        s.advanceTo(40);
        const PanelCourse course(recorder, card.Picture1(0).Height());
        ASSERT_FALSE(course.growthSteps.empty());
        ASSERT_NE(course.hidden, nullptr);
        ASSERT_EQ(announcements.size(), 2u);
        EXPECT_EQ(announcements[0], std::pair(course.growthSteps.back().showTime, std::string(kGreeting)));
        EXPECT_EQ(announcements[1], std::pair(course.hidden->showTime, std::string()));
        EXPECT_EQ(cardScreen.semantics, (WindowSemantics{kCardName, false, "", buttons(false)}));
    }
}

}  // namespace
}  // namespace velmora::testing

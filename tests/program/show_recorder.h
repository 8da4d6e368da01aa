// Records every tick of the card window's show timers while the real
// handlers run: what the panel, the card face, the frame cursor, the picture
// buttons and the window shape looked like before and after each tick.
//
// The recorder wraps the handlers bound to Timer1, Timer2 and Timer4 and
// calls the originals unchanged; it is installed while the program is
// parked, before the timers first tick. Entries are appended when a tick
// returns, so a Timer1 tick that runs inside a fly-away step's DoEvents is
// listed before that step.
#pragma once

#include <functional>
#include <vector>

#include "card_session.h"

namespace velmora::testing {

struct PanelState {
    bool visible = false;
    float left = 0, top = 0, width = 0, height = 0;
    bool operator==(const PanelState&) const = default;
};

struct ShowTick {
    int timer = 0;        // 1, 2 or 4
    float clock = 0;      // the program's Timer() when the tick began
    double showTime = 0;  // clock - StartTime, as the handlers compare them
    int nesting = 0;      // ticks of the same timer already running when it began
    PanelState panelBefore, panelAfter;
    float faceLeftBefore = 0, faceLeftAfter = 0;
    std::int16_t frameBefore = 0, frameAfter = 0;
    std::int16_t stepAfter = 0;
    float lastFrameBefore = 0, lastFrameAfter = 0;
    float lastStepBefore = 0, lastStepAfter = 0;
    int shapeRequestsBefore = 0, shapeRequestsAfter = 0;
    bool buttonsAfter = false;  // both picture buttons visible after the tick
    bool closeVisibleAfter = false, aboutVisibleAfter = false;
    bool timer2After = false, timer4After = false;
    rt::Rect dirtyAfter;  // what the compositor will redraw after the tick

    bool frameChanged() const { return lastFrameAfter != lastFrameBefore; }
    bool panelChanged() const { return panelAfter != panelBefore; }
};

class ShowRecorder {
public:
    explicit ShowRecorder(CardSession& session) : s_(session) {
        CardForm& card = s_.card();
        wrap(card.Timer1, 1);
        wrap(card.Timer2, 2);
        wrap(card.Timer4, 4);
    }

    const std::vector<ShowTick>& ticks() const { return ticks_; }
    std::vector<ShowTick> ticksOf(int timer) const {
        std::vector<ShowTick> out;
        for (const ShowTick& t : ticks_)
            if (t.timer == timer) out.push_back(t);
        return out;
    }
    // Called on the program's thread after every recorded tick.
    std::function<void(const ShowTick&)> afterTick;
    // Called on the program's thread before a tick runs the real handler.
    std::function<void(int timer)> beforeTick;

    static PanelState panel(const CardForm& card) {
        const rt::PictureBox& p = card.Picture2;
        return {p.Visible(), p.Left(), p.Top(), p.Width(), p.Height()};
    }

private:
    void wrap(rt::TimerControl& timer, int id) {
        std::function<void()> original = timer.Tick;
        timer.Tick = [this, id, original] {
            CardForm& card = s_.card();
            const auto& window = s_.platform().window(card.hWnd());
            ShowTick t;
            t.timer = id;
            t.clock = s_.app().timer();
            t.showTime = double(t.clock) - double(card.StartTime);
            t.nesting = running_[id]++;
            t.panelBefore = panel(card);
            t.faceLeftBefore = card.Picture1(0).Left();
            t.frameBefore = card.FrameIndex;
            t.lastFrameBefore = card.LastFrameTime;
            t.lastStepBefore = card.LastStepTime;
            t.shapeRequestsBefore = window.shapeRequests;
            struct Leave {
                int& count;
                ~Leave() { --count; }
            } leave{running_[id]};
            if (beforeTick) beforeTick(id);
            original();
            t.panelAfter = panel(card);
            t.faceLeftAfter = card.Picture1(0).Left();
            t.frameAfter = card.FrameIndex;
            t.stepAfter = card.FrameStep;
            t.lastFrameAfter = card.LastFrameTime;
            t.lastStepAfter = card.LastStepTime;
            t.shapeRequestsAfter = s_.platform().window(card.hWnd()).shapeRequests;
            t.closeVisibleAfter = card.PictureClose.Visible();
            t.aboutVisibleAfter = card.PictureAbout.Visible();
            t.buttonsAfter = t.closeVisibleAfter && t.aboutVisibleAfter;
            t.timer2After = card.Timer2.Enabled();
            t.timer4After = card.Timer4.Enabled();
            t.dirtyAfter = card.dirty();
            ticks_.push_back(t);
            if (afterTick) afterTick(t);
        };
    }

    CardSession& s_;
    std::vector<ShowTick> ticks_;
    int running_[5] = {};
};

// The whole greeting panel's course through the show, read from the ticks.
struct PanelCourse {
    const ShowTick* reveal = nullptr;        // the Timer1 tick that showed the strip
    std::vector<ShowTick> unrollTicks;       // Timer2 ticks until the panel is full height
    std::vector<ShowTick> growthSteps;       // those that grew the panel
    std::vector<ShowTick> holdTicks;         // Timer2 ticks after that
    const ShowTick* holdEnd = nullptr;       // the one that handed over to Timer4
    std::vector<ShowTick> flyTicks;          // Timer4 ticks
    std::vector<ShowTick> flySteps;          // those that moved the panel
    const ShowTick* hidden = nullptr;        // the step that hid the panel

    // faceHeight: the card face's height, which the unroll grows towards.
    PanelCourse(const ShowRecorder& r, float faceHeight) {
        for (const ShowTick& t : r.ticks()) {
            if (t.timer == 1 && !t.panelBefore.visible && t.panelAfter.visible) reveal = &t;
            if (t.timer == 4) {
                flyTicks.push_back(t);
                if (t.panelChanged()) flySteps.push_back(t);
                if (t.panelBefore.visible && !t.panelAfter.visible) hidden = &t;
            }
            if (t.timer != 2) continue;
            if (t.panelBefore.height < faceHeight) {
                unrollTicks.push_back(t);
                if (t.panelChanged()) growthSteps.push_back(t);
            } else {
                holdTicks.push_back(t);
                if (t.timer4After && !holdEnd) holdEnd = &t;
            }
        }
    }
};

}  // namespace velmora::testing

// The greeting panel's unroll, hold and fly-away. Each handler takes at
// most one step per 0.1 second of the clock.
#include "card_form.h"
#include "runtime/builtins.h"

namespace velmora {

// Unrolls the panel 100 twips per step, centred on the card face, until it
// is as tall as the card face; holds it for 3 seconds; then puts the card
// face back at rest and hands over to the fly-away.
void CardForm::Timer2_Timer() {
    if (double(rt::Timer()) < double(LastStepTime) + 0.1) return;
    if (Picture2.Height() < Picture1(0).Height()) {
        Picture2.setHeight(Picture2.Height() + 100);
        Picture2.setTop(Picture1(0).Height() / 2 - Picture2.Height() / 2);
        LastGrowTime = rt::Timer();
        LastStepTime = rt::Timer();
        // Fully unrolled: the greeting painted in the panel is read aloud.
        if (Picture2.Height() >= Picture1(0).Height()) setAnnouncement(Picture2.accessibleName());
        return;
    }
    if (rt::Timer() < LastGrowTime + 3.0f) return;
    Timer2.setEnabled(false);
    Timer4.setEnabled(true);
    Picture1(0).setLeft(float(CanvasOffsetX));
    LastStepTime = rt::Timer();
}

// Slides the panel 130 twips right and shrinks it to 90 % per step, showing
// the whole greeting scaled to the new size, until it is less than 100
// twips wide; then hides it for good.
void CardForm::Timer4_Timer() {
    if (double(rt::Timer()) < double(LastStepTime) + 0.1) return;
    Picture2.setLeft(Picture2.Left() + 130);
    Picture2.setWidth(float(double(Picture2.Width()) * 0.9));
    Picture2.setHeight(float(double(Picture2.Height()) * 0.9));
    Picture2.PaintPicture(Picture2.Picture(), 0, 0, Picture2.Width(), Picture2.Height());
    // Let the step reach the screen. A tick of this timer that falls due
    // meanwhile is dropped by the runtime, so no step runs inside another.
    rt::DoEvents();
    if (Picture2.Width() < 100) {
        Timer4.setEnabled(false);
        Picture2.setVisible(false);
        setAnnouncement({});
    }
    LastStepTime = rt::Timer();
}

}  // namespace velmora

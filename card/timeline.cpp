// The card window's timed show, run by Timer1 from the first tick until the
// program ends: button auto-hide, the flickering flame, the shake between 18
// and 25 seconds (left out where the user asked for less motion), and the start of the greeting panel's reveal at 21
// seconds.
#include "card_form.h"
#include "forms/rounded_shape.h"
#include "runtime/application.h"
#include "runtime/builtins.h"

namespace velmora {

void CardForm::Timer1_Timer() {
    // Hide the picture buttons three seconds after the last click.
    if (rt::Timer() > LastClickTime + 3.0f) {
        LastClickTime = rt::Timer();
        if (PictureClose.Visible()) PictureClose.setVisible(false);
        if (PictureAbout.Visible()) PictureAbout.setVisible(false);
    }

    // A new random delay on every tick: a frame changes at the first tick at
    // which the time since the last change exceeds that tick's own draw.
    FrameDelay = double(rt::Rnd()) * 1.5 + 0.1;

    if (double(rt::Timer()) > double(LastFrameTime) + FrameDelay) {
        // Paint the top 5/9 of the frame over the card face: only the flame
        // differs, so the rest of the card stays still.
        Picture1(0).PaintPicture(Picture1(FrameIndex).Picture(), 0, 0, {}, {}, {}, {}, {},
                                 float(double(Picture1(0).Height()) / 1.8));
        // Move the cursor over the frames, turning at random bounds: at 5 it
        // always turns down, at 1 always up.
        const float low = float(rt::Int(double(rt::Rnd()) * 3 + 1));
        const float high = float(rt::Int(double(rt::Rnd()) * 2 + 4));
        if (FrameIndex >= high) FrameStep = -1;
        if (FrameIndex <= low) FrameStep = 1;
        FrameIndex = std::int16_t(FrameIndex + FrameStep);
        LastFrameTime = rt::Timer();
    }

    // Shake the card face sideways inside the still window. Where the user
    // has asked for less motion the face stays put, but the offset is drawn
    // all the same, so that every later draw of the show is the one it
    // always is.
    if (rt::Timer() > StartTime + 18.0f && rt::Timer() < StartTime + 25.0f) {
        const float offset = float(rt::Int(double(rt::Rnd()) * 51 - 25));
        if (!app().reducedMotion()) {
            Picture1(0).setLeft(offset);
            ApplyRoundedShape(*this, 30);
        }
    }

    // Once, after 21 seconds: the greeting panel appears as a 100-twip strip
    // in front of the card face, and Timer2 takes it from there.
    if (rt::Timer() > StartTime + 21.0f && RevealPending) {
        RevealPending = false;
        Picture2.setLeft(Width() / 2 - Picture2.Width() / 2);
        Picture2.setTop(Picture2.Height());
        Picture2.setHeight(100);
        Picture2.setVisible(true);
        Picture2.ZOrder();
        Timer2.setEnabled(true);
        LastStepTime = rt::Timer();
        PictureClose.setVisible(false);
        PictureAbout.setVisible(false);
    }
}

}  // namespace velmora

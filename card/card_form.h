// The card window: the card face with its flickering flame, the greeting
// panel that unrolls and flies away, the two picture buttons, and the
// hidden authoring aids (frame capture, drawing, copying and linking).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/control.h"
#include "runtime/form.h"
#include "runtime/graphics/bitmap.h"

namespace velmora {

struct Program;

class CardForm : public rt::Form {
public:
    CardForm(rt::Application& app, Program& program);

private:
    bool built_;  // the catalogue is applied before the members below bind

public:
    // Controls, by their design names.
    rt::ControlArray<rt::PictureBox> Picture1;  // 0: the card face; 1 to 5: the animation frames
    rt::ControlArray<rt::Label> Label1;
    rt::PictureBox& Picture2;  // the greeting panel
    rt::PictureBox& Picture3;
    rt::PictureBox& PictureClose;
    rt::PictureBox& PictureAbout;
    rt::ImageControl& Image1;
    rt::CommandButton& Command1;
    rt::CommandButton& Command20;
    rt::TextBox& Text1;
    rt::Shape& Shape1;
    rt::Label& Label2;
    rt::TimerControl& Timer1;
    rt::TimerControl& Timer2;
    rt::TimerControl& Timer4;
    rt::TimerControl& TimerScreenShots;

    // State of the show. Times are the clock's seconds since midnight; a
    // member not yet written counts as 0.
    float LastClickTime = 0;   // last click on the card face, or last button auto-hide
    double FrameDelay = 0;     // random delay drawn on every tick
    std::int16_t FrameIndex = 0;  // frame painted at the next frame change, 1 to 5
    std::int16_t FrameStep = 0;   // +1 or -1
    float LastFrameTime = 0;
    float LastStepTime = 0;    // last reveal, unroll or fly-away step
    float StartTime = 0;       // the show's zero point, taken at the end of loading
    float LastGrowTime = 0;    // last unroll step: start of the hold
    bool RevealPending = false;
    std::int16_t CanvasOffsetX = 0;  // twips; the card face rests at Left = -CanvasOffsetX

    // Layout and start (card_form.cpp).
    void Form_Load();
    void Form_Activate();
    // The timed show (timeline.cpp, reveal.cpp).
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer4_Timer();
    // Pointer controls (pointer.cpp).
    void Picture1_Click(std::int16_t Index);
    void Picture1_DblClick(std::int16_t Index);
    void Picture2_DblClick();
    void PictureClose_Click();
    void PictureAbout_Click();
    // Frame capture (capture.cpp).
    void TimerScreenShots_Timer();
    void Command20_Click();
    // Authoring aids (authoring.cpp).
    void Command1_Click();
    void Image1_Click();
    void Label2_Click();

private:
    void bindHandlers();
    void stopCapture();

    Program& program_;
    // The last capture written: its file and image, so that an unchanged
    // image is not written to the same file again.
    std::string lastCaptureFile_;
    std::optional<rt::Bitmap> lastCaptureImage_;
};

}  // namespace velmora

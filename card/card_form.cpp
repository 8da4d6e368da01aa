#include "card_form.h"

#include "app/module1.h"
#include "forms/catalogue.h"
#include "forms/rounded_shape.h"
#include "runtime/builtins.h"
#include "runtime/graphics/errors.h"

namespace velmora {

namespace {

template <class T>
rt::ControlArray<T> controlArray(rt::Form& form, const char* name) {
    rt::ControlArray<T> members;
    for (int i = 0; rt::Control* c = form.find(name, i); ++i) members.add(dynamic_cast<T&>(*c));
    return members;
}

bool build(rt::Form& form) {
    buildForm(form, cardWindowDesign());
    return true;
}

}  // namespace

CardForm::CardForm(rt::Application& app, Program& program)
    : rt::Form(app, "Form1"),
      built_(build(*this)),
      Picture1(controlArray<rt::PictureBox>(*this, "Picture1")),
      Label1(controlArray<rt::Label>(*this, "Label1")),
      Picture2(findControl<rt::PictureBox>(*this, "Picture2")),
      Picture3(findControl<rt::PictureBox>(*this, "Picture3")),
      PictureClose(findControl<rt::PictureBox>(*this, "PictureClose")),
      PictureAbout(findControl<rt::PictureBox>(*this, "PictureAbout")),
      Image1(findControl<rt::ImageControl>(*this, "Image1")),
      Command1(findControl<rt::CommandButton>(*this, "Command1")),
      Command20(findControl<rt::CommandButton>(*this, "Command20")),
      Text1(findControl<rt::TextBox>(*this, "Text1")),
      Shape1(findControl<rt::Shape>(*this, "Shape1")),
      Label2(findControl<rt::Label>(*this, "Label2")),
      Timer1(findControl<rt::TimerControl>(*this, "Timer1")),
      Timer2(findControl<rt::TimerControl>(*this, "Timer2")),
      Timer4(findControl<rt::TimerControl>(*this, "Timer4")),
      TimerScreenShots(findControl<rt::TimerControl>(*this, "TimerScreenShots")),
      program_(program) {
    bindHandlers();
}

// Every handler of the card window is bound here, by control and event.
void CardForm::bindHandlers() {
    Load = [this] { Form_Load(); };
    Activate = [this] { Form_Activate(); };
    Timer1.Tick = [this] { Timer1_Timer(); };
    Timer2.Tick = [this] { Timer2_Timer(); };
    Timer4.Tick = [this] { Timer4_Timer(); };
    for (int i = 0; i < Picture1.count(); ++i) {
        const auto index = std::int16_t(i);
        Picture1(i).Click = [this, index] { Picture1_Click(index); };
        Picture1(i).DblClick = [this, index] { Picture1_DblClick(index); };
    }
    Picture2.DblClick = [this] { Picture2_DblClick(); };
    PictureClose.Click = [this] { PictureClose_Click(); };
    PictureAbout.Click = [this] { PictureAbout_Click(); };
    TimerScreenShots.Tick = [this] { TimerScreenShots_Timer(); };
    Command20.Click = [this] { Command20_Click(); };
    Command1.Click = [this] { Command1_Click(); };
    Image1.Click = [this] { Image1_Click(); };
    Label2.Click = [this] { Label2_Click(); };
}

// Turns the design's work area into the card: the card face at the
// top-left corner, the window exactly its size with rounded corners, the
// picture buttons in a column at the upper right, and the show's clock
// started.
void CardForm::Form_Load() {
    FrameIndex = 1;
    FrameStep = 1;
    CanvasOffsetX = 0;
    Picture1(0).setLeft(float(-CanvasOffsetX));
    Picture1(0).setTop(0);
    setWidth(Picture1(0).Width() - float(CanvasOffsetX));
    setHeight(Picture1(0).Height());
    PictureClose.setLeft(Width() - PictureClose.Width() - 120);
    // The About button shares the close button's left edge.
    PictureAbout.setLeft(Width() - PictureClose.Width() - 120);
    PictureClose.setTop(100);
    PictureAbout.setTop(PictureClose.Top() + PictureClose.Height() + 50);
    ApplyRoundedShape(*this, 30);
    StartTime = rt::Timer();
    RevealPending = true;
}

void CardForm::Form_Activate() {}

}  // namespace velmora

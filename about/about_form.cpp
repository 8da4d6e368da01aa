#include "about_form.h"

#include <string>

#include "forms/catalogue.h"
#include "forms/rounded_shape.h"
#include "forms/web_addresses.h"
#include "runtime/builtins.h"
#include "runtime/graphics/errors.h"
#include "runtime/system_calls.h"

namespace velmora {

namespace {

bool build(rt::Form& form) {
    buildForm(form, aboutWindowDesign());
    return true;
}

// The window's name for assistive technology, from the title it shows
// ("Velmora V2.1"): "About Velmora, version 2.1", so that a screen reader
// says the version as words rather than as a letter stuck to a number.
std::string spokenTitle(const std::string& title) {
    const auto at = title.rfind(" V");
    if (at != std::string::npos && at + 2 < title.size() && title[at + 2] >= '0' && title[at + 2] <= '9')
        return "About " + title.substr(0, at) + ", version " + title.substr(at + 2);
    return "About " + title;
}

}  // namespace

AboutForm::AboutForm(rt::Application& app)
    : rt::Form(app, "Form2"),
      built_(build(*this)),
      Label2(findControl<rt::Label>(*this, "Label2")),
      Label3(findControl<rt::Label>(*this, "Label3")),
      Label4(findControl<rt::Label>(*this, "Label4")),
      LabelBrek(findControl<rt::Label>(*this, "LabelBrek")),
      Line2(findControl<rt::LineControl>(*this, "Line2")),
      PictureClose(findControl<rt::PictureBox>(*this, "PictureClose")) {
    setAccessibleName(spokenTitle(Label2.Caption()));
    bindHandlers();
}

// Every handler of the About window is bound here, by control and event.
void AboutForm::bindHandlers() {
    Load = [this] { Form_Load(); };
    PictureClose.Click = [this] { PictureClose_Click(); };
    Label4.Click = [this] { Label4_Click(); };
    LabelBrek.Click = [this] { LabelBrek_Click(); };
    MouseMove = [this](int b, int s, float x, float y) { Form_MouseMove(b, s, x, y); };
    Label2.MouseMove = [this](int b, int s, float x, float y) { Label2_MouseMove(b, s, x, y); };
    Label3.MouseMove = [this](int b, int s, float x, float y) { Label3_MouseMove(b, s, x, y); };
    Label4.MouseMove = [this](int b, int s, float x, float y) { Label4_MouseMove(b, s, x, y); };
    LabelBrek.MouseMove = [this](int b, int s, float x, float y) { LabelBrek_MouseMove(b, s, x, y); };
}

// Places the close button level with the title, 350 twips in from the
// window's right edge, and cuts the window to an oval.
void AboutForm::Form_Load() {
    PictureClose.setLeft(float(double(Width()) - double(PictureClose.Width()) - 350));
    PictureClose.setTop(Label2.Top());
    ApplyRoundedShape(*this, 250);
}

void AboutForm::PictureClose_Click() { rt::Unload(*this); }

void AboutForm::Label4_Click() {
    rt::ShellExecute(hWnd(), "open", kHomePage, "0", "", rt::SW_SHOWNORMAL);
}

void AboutForm::LabelBrek_Click() {
    rt::ShellExecute(hWnd(), "open", makerPage(), "0", "", rt::SW_SHOWNORMAL);
}

void AboutForm::Form_MouseMove(int, int, float, float) {}
void AboutForm::Label2_MouseMove(int, int, float, float) {}
void AboutForm::Label3_MouseMove(int, int, float, float) {}
void AboutForm::Label4_MouseMove(int, int, float, float) {}
void AboutForm::LabelBrek_MouseMove(int, int, float, float) {}

}  // namespace velmora

// Authoring aids of the card window, hidden in the finished show: a band of
// nested dark-red outlines, a copy of the card under Picture3, and the web
// site's link.
#include "app/module1.h"
#include "card_form.h"
#include "forms/web_addresses.h"
#include "runtime/builtins.h"
#include "runtime/system_calls.h"

namespace velmora {

// Draws 201 rectangle outlines into the card face's persistent image, inset
// 0 to 200 twips, their red shade rising with the inset. The shade adds 0.1
// per pass in double precision, and its accumulated rounding decides where
// the red steps up; computing it afresh from the inset would differ.
void CardForm::Command1_Click() {
    double k = 50;
    const double redFactor = 0.5;
    const int greenFactor = 0;
    const int blueFactor = 0;
    for (int i = 0; i <= 200; ++i) {
        const float w = Picture1(0).Width();
        const float h = Picture1(0).Height();
        const rt::OleColor colour =
            rt::RGB(rt::CInt(redFactor * k), rt::CInt(greenFactor * k), rt::CInt(blueFactor * k));
        Picture1(0).Line(rt::DrawingSurface::kLineBox, float(i), float(i), float(double(w) - i),
                         float(double(h) - i), colour);
        k += 0.1;
    }
}

// Copies the piece of the card picture that lies under Picture3 into it, so
// that Picture3 and the banner inside it blend into the card.
void CardForm::Image1_Click() {
    const rt::PictureRef card = Picture1(0).Picture();
    const float left = Picture3.Left();
    const float top = Picture3.Top();
    Picture3.PaintPicture(card, 0, 0, {}, {}, left, top);
}

void CardForm::Label2_Click() {
    rt::ShellExecute(hWnd(), "open", kHomePage, "", "", rt::SW_SHOWNORMAL);
}

}  // namespace velmora

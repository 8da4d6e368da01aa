// Pointer controls of the card window: a click shows the picture buttons,
// a double-click or the close button ends the program, the About button
// opens the About window modally.
#include "about/about_form.h"
#include "app/module1.h"
#include "card_form.h"
#include "runtime/builtins.h"

namespace velmora {

void CardForm::Picture1_Click(std::int16_t) {
    if (!PictureClose.Visible()) PictureClose.setVisible(true);
    if (!PictureAbout.Visible()) PictureAbout.setVisible(true);
    // Every click restarts the three seconds after which the timeline hides
    // the buttons again.
    LastClickTime = rt::Timer();
}

void CardForm::Picture1_DblClick(std::int16_t) { rt::End(); }

void CardForm::Picture2_DblClick() { rt::End(); }

void CardForm::PictureClose_Click() { rt::End(); }

void CardForm::PictureAbout_Click() {
    PictureClose.setVisible(false);
    PictureAbout.setVisible(false);
    // The first reference creates and loads the About window afresh.
    AboutForm& about = program_.Form2();
    const rt::PictureRef background = about.Picture();
    const float width = about.Width();
    const float height = about.Height();
    // Stretch the background over the whole window before it is shown; its
    // persistent image keeps the drawing.
    about.PaintPicture(background, 0, 0, width, height);
    about.Show(1);
}

}  // namespace velmora

// The About window: an oval with the title and version, the web site's
// caption, two links and a close button.
#pragma once

#include "runtime/control.h"
#include "runtime/form.h"

namespace velmora {

class AboutForm : public rt::Form {
public:
    explicit AboutForm(rt::Application& app);

private:
    bool built_;  // the catalogue is applied before the members below bind

public:
    rt::Label& Label2;     // title and version
    rt::Label& Label3;     // the web site's title
    rt::Label& Label4;     // link to the home page
    rt::Label& LabelBrek;  // link to the maker's own page
    rt::LineControl& Line2;
    rt::PictureBox& PictureClose;

    void Form_Load();
    void PictureClose_Click();
    void Label4_Click();
    void LabelBrek_Click();
    // Pointer moves change nothing anywhere on the window.
    void Form_MouseMove(int button, int shift, float x, float y);
    void Label2_MouseMove(int button, int shift, float x, float y);
    void Label3_MouseMove(int button, int shift, float x, float y);
    void Label4_MouseMove(int button, int shift, float x, float y);
    void LabelBrek_MouseMove(int button, int shift, float x, float y);

private:
    void bindHandlers();
};

}  // namespace velmora

#include "catalogue.h"

#include <array>
#include <memory>
#include <string>

#include "runtime/application.h"
#include "runtime/graphics/errors.h"
#include "web_addresses.h"

namespace velmora {

namespace {

using rt::ControlKind;
using Role = rt::platform::AccessibleRole;

constexpr rt::OleColor kCardGround = 0x00010318;  // (24, 3, 1)
constexpr rt::OleColor kButtonGround = 0x00000040;
constexpr FontDesign kTitleFont{"Times New Roman", 15.6f, false};
constexpr FontDesign kTitleItalicFont{"Times New Roman", 15.6f, true};
constexpr FontDesign kPanelFont{"Times New Roman", 10.8f, false};
constexpr FontDesign kAboutFont{"Arial", 9.0f, false};
constexpr std::string_view kGreeting = "Happy Velmora";
constexpr std::string_view kPanelGreeting = "I Am the Resurrection and the Life";

// The card window. The design spreads the controls over a work area; the
// load handler then sizes the window to the card face. Front first within
// each container; a container comes before what it holds.
const std::array kCardControls{
    ControlDesign{.kind = ControlKind::CommandButton, .name = "Command20", .left = 36, .top = 612,
                  .width = 1020, .height = 276, .visible = false, .tabIndex = 16,
                  .backColor = 0x00FFFFFF, .caption = "ScreenShots", .style = 1},
    ControlDesign{.kind = ControlKind::Timer, .name = "TimerScreenShots", .enabled = false, .interval = 10},
    ControlDesign{.kind = ControlKind::PictureBox, .name = "PictureClose", .left = 0, .top = 0,
                  .width = 216, .height = 216, .visible = false, .tabIndex = 13,
                  .backColor = kButtonGround, .borderStyle = 0, .autoSize = true,
                  .picture = Asset::CloseGlyph, .accessibleRole = Role::Button,
                  .accessibleName = "Close the card"},
    ControlDesign{.kind = ControlKind::PictureBox, .name = "PictureAbout", .left = 264, .top = 24,
                  .width = 216, .height = 216, .visible = false, .tabIndex = 15,
                  .backColor = kButtonGround, .borderStyle = 0, .autoSize = true,
                  .picture = Asset::AboutGlyph, .accessibleRole = Role::Button,
                  .accessibleName = "About Velmora"},
    ControlDesign{.kind = ControlKind::PictureBox, .name = "Picture1", .index = 0, .left = 1632, .top = 384,
                  .width = 3996, .height = 4980, .tabIndex = 1, .backColor = kCardGround,
                  .foreColor = rt::kWindowTextColour, .borderStyle = 0, .appearance = 0,
                  .autoSize = true, .autoRedraw = true, .picture = Asset::CardFace},
    ControlDesign{.kind = ControlKind::CommandButton, .name = "Command1", .container = "Picture1",
                  .containerIndex = 0, .left = 288, .top = 3684, .width = 336, .height = 216,
                  .visible = false, .tabIndex = 17, .caption = "Command1"},
    ControlDesign{.kind = ControlKind::Timer, .name = "Timer4", .container = "Picture1", .containerIndex = 0,
                  .enabled = false, .interval = 100},
    ControlDesign{.kind = ControlKind::PictureBox, .name = "Picture3", .container = "Picture1",
                  .containerIndex = 0, .left = 408, .top = 3876, .width = 2652, .height = 612,
                  .visible = false, .tabIndex = 14, .backColor = 0x00000000, .borderStyle = 0,
                  .autoSize = false, .autoRedraw = true},
    ControlDesign{.kind = ControlKind::Image, .name = "Image1", .container = "Picture3", .left = -60,
                  .top = -216, .width = 2412, .height = 444, .picture = Asset::GreetingBanner},
    ControlDesign{.kind = ControlKind::TextBox, .name = "Text1", .container = "Picture1", .containerIndex = 0,
                  .left = 3300, .top = 5625, .width = 1248, .height = 396, .visible = false,
                  .tabIndex = 12, .caption = "Text1", .font = FontDesign{"MS Sans Serif", 13.2f, false}},
    ControlDesign{.kind = ControlKind::Timer, .name = "Timer2", .container = "Picture1", .containerIndex = 0,
                  .enabled = false, .interval = 100},
    ControlDesign{.kind = ControlKind::Timer, .name = "Timer1", .container = "Picture1", .containerIndex = 0,
                  .enabled = true, .interval = 1},
    ControlDesign{.kind = ControlKind::Shape, .name = "Shape1", .container = "Picture1", .containerIndex = 0,
                  .left = 1752, .top = 408, .width = 3420, .height = 4884, .visible = false},
    ControlDesign{.kind = ControlKind::Label, .name = "Label1", .index = 1, .container = "Picture1",
                  .containerIndex = 0, .left = 0, .top = 324, .width = 4380, .height = 375,
                  .visible = false, .tabIndex = 11, .foreColor = 0x00242F6C, .caption = kGreeting,
                  .font = kTitleFont, .alignment = 2, .backStyle = 0},
    ControlDesign{.kind = ControlKind::Label, .name = "Label1", .index = 0, .container = "Picture1",
                  .containerIndex = 0, .left = 159, .top = 0, .width = 4248, .height = 372,
                  .visible = false, .tabIndex = 10, .foreColor = 0x006177D7, .caption = kGreeting,
                  .font = kTitleItalicFont, .alignment = 2, .backStyle = 0},
    ControlDesign{.kind = ControlKind::Label, .name = "Label2", .container = "Picture1", .containerIndex = 0,
                  .left = 2796, .top = 4632, .width = 960, .height = 264, .visible = false,
                  .tabIndex = 7, .foreColor = 0x00374091, .autoSize = true, .caption = kCardLinkCaption,
                  .font = FontDesign{"Arial Narrow", 10.2f, false}, .alignment = 0, .backStyle = 0,
                  .mousePointer = rt::kPointerCustom, .mouseIcon = Asset::HandCursor},
    ControlDesign{.kind = ControlKind::PictureBox, .name = "Picture1", .index = 5, .left = 9648, .top = 3060,
                  .width = 4020, .height = 5004, .visible = false, .tabIndex = 6, .backColor = kCardGround,
                  .foreColor = rt::kWindowTextColour, .borderStyle = 1, .appearance = 0,
                  .autoSize = true, .picture = Asset::FlameFrame5},
    ControlDesign{.kind = ControlKind::PictureBox, .name = "Picture1", .index = 2, .left = 2604, .top = 3216,
                  .width = 4020, .height = 5004, .visible = false, .tabIndex = 3, .backColor = kCardGround,
                  .foreColor = rt::kWindowTextColour, .borderStyle = 1, .appearance = 0,
                  .autoSize = true, .picture = Asset::FlameFrame2},
    ControlDesign{.kind = ControlKind::PictureBox, .name = "Picture1", .index = 1, .left = 252, .top = 3684,
                  .width = 4044, .height = 5028, .visible = false, .tabIndex = 2, .backColor = kCardGround,
                  .borderStyle = 1, .appearance = 1, .autoSize = true, .picture = Asset::CardFace},
    ControlDesign{.kind = ControlKind::PictureBox, .name = "Picture1", .index = 4, .left = 7008, .top = 3000,
                  .width = 4020, .height = 5004, .visible = false, .tabIndex = 5, .backColor = kCardGround,
                  .foreColor = rt::kWindowTextColour, .borderStyle = 1, .appearance = 0,
                  .autoSize = true, .picture = Asset::FlameFrame4},
    ControlDesign{.kind = ControlKind::PictureBox, .name = "Picture1", .index = 3, .left = 4980, .top = 2820,
                  .width = 4020, .height = 5004, .visible = false, .tabIndex = 4, .backColor = kCardGround,
                  .foreColor = rt::kWindowTextColour, .borderStyle = 1, .appearance = 0,
                  .autoSize = true, .picture = Asset::CardFace},
    ControlDesign{.kind = ControlKind::PictureBox, .name = "Picture2", .left = 4440, .top = 144,
                  .width = 3996, .height = 4980, .visible = false, .tabIndex = 0, .backColor = kCardGround,
                  .foreColor = rt::kWindowTextColour, .borderStyle = 0, .appearance = 0,
                  .autoSize = true, .autoRedraw = false, .picture = Asset::GreetingPanel,
                  .accessibleName = kPanelGreeting},
    ControlDesign{.kind = ControlKind::Label, .name = "Label1", .index = 2, .container = "Picture2",
                  .left = 36, .top = 312, .width = 3300, .height = 372, .visible = false, .tabIndex = 9,
                  .foreColor = 0x00C0C0C0, .caption = kPanelGreeting, .font = kPanelFont,
                  .alignment = 2, .backStyle = 0},
    ControlDesign{.kind = ControlKind::Label, .name = "Label1", .index = 3, .container = "Picture2",
                  .left = 0, .top = 0, .width = 3300, .height = 372, .visible = false, .tabIndex = 8,
                  .foreColor = 0x00000000, .caption = kPanelGreeting, .font = kPanelFont,
                  .alignment = 2, .backStyle = 0},
};

// The About window, front first.
const std::array kAboutControls{
    ControlDesign{.kind = ControlKind::PictureBox, .name = "PictureClose", .left = 1416, .top = 468,
                  .width = 216, .height = 216, .tabIndex = 4, .backColor = kButtonGround,
                  .borderStyle = 0, .autoSize = true, .picture = Asset::CloseGlyphAbout,
                  .accessibleRole = Role::Button, .accessibleName = "Close"},
    ControlDesign{.kind = ControlKind::Line, .name = "Line2", .left = -36, .top = 954,
                  .foreColor = 0x0002052F, .x2 = 4899, .y2 = 954},
    ControlDesign{.kind = ControlKind::Label, .name = "LabelBrek", .left = 0, .top = 660, .width = 3000,
                  .height = 204, .tabIndex = 2, .backColor = 0x00808080, .foreColor = 0x00F6AC5D,
                  .caption = kMakerPageCaption, .font = kAboutFont, .alignment = 2, .backStyle = 0,
                  .mousePointer = rt::kPointerCustom, .mouseIcon = Asset::HandCursor,
                  .accessibleRole = Role::Link},
    ControlDesign{.kind = ControlKind::Label, .name = "Label4", .left = 0, .top = 1300, .width = 3000,
                  .height = 204, .tabIndex = 1, .foreColor = 0x00F6AC5D, .caption = kSiteDomainCaption,
                  .font = kAboutFont, .alignment = 2, .backStyle = 0,
                  .mousePointer = rt::kPointerCustom, .mouseIcon = Asset::HandCursor,
                  .accessibleRole = Role::Link},
    ControlDesign{.kind = ControlKind::Label, .name = "Label3", .left = 0, .top = 1000, .width = 3000,
                  .height = 204, .tabIndex = 0, .foreColor = 0x00C0C0C0, .caption = kSiteTitle,
                  .font = kAboutFont, .alignment = 2, .backStyle = 0},
    ControlDesign{.kind = ControlKind::Label, .name = "Label2", .left = 0, .top = 400, .width = 3000,
                  .height = 204, .tabIndex = 3, .foreColor = 0x00C0C0C0, .caption = "Velmora V2.1",
                  .font = kAboutFont, .alignment = 2, .backStyle = 0},
};

const FormDesign kCardWindow{
    .name = "Form1", .width = 11556, .height = 8316, .borderStyle = 0, .showInTaskbar = false,
    .startUpPosition = 2, .backColor = 0x00808080, .picture = Asset::None, .icon = Asset::CardIcon,
    .autoRedraw = false,
    .accessibleName = "Greeting card: a lit candle before a glowing cross, Happy Velmora",
    .controls = kCardControls};

const FormDesign kAboutWindow{
    .name = "Form2", .width = 3000, .height = 1908, .borderStyle = 1, .showInTaskbar = false,
    .startUpPosition = 2, .backColor = kCardGround, .picture = Asset::AboutBackground,
    .icon = Asset::AboutIcon, .autoRedraw = true, .controls = kAboutControls};

rt::FontSpec fontOf(const std::optional<FontDesign>& font) {
    const FontDesign f = font.value_or(FontDesign{});
    return rt::FontSpec{std::string(f.face), f.points, false, f.italic};
}

std::unique_ptr<rt::Control> create(rt::Form& form, const ControlDesign& d) {
    const std::string name(d.name);
    switch (d.kind) {
        case ControlKind::PictureBox: {
            auto box = std::make_unique<rt::PictureBox>(form, name, d.index);
            box->move(d.left, d.top, d.width, d.height);
            box->setBorderStyle(d.borderStyle);
            box->setAppearance(d.appearance);
            if (d.backColor) box->setBackColor(*d.backColor);
            if (d.foreColor) box->ForeColor = *d.foreColor;
            box->setAutoRedraw(d.autoRedraw);
            box->setAutoSize(d.autoSize);
            box->setPicture(picture(d.picture));
            return box;
        }
        case ControlKind::Label: {
            auto label = std::make_unique<rt::Label>(form, name, d.index);
            label->move(d.left, d.top, d.width, d.height);
            label->setFont(fontOf(d.font));
            if (d.backColor) label->setBackColor(*d.backColor);
            if (d.foreColor) label->setForeColor(*d.foreColor);
            label->setBackStyle(d.backStyle);
            label->setAlignment(d.alignment);
            label->setCaption(std::string(d.caption));
            label->setAutoSize(d.autoSize);
            return label;
        }
        case ControlKind::Image: {
            auto image = std::make_unique<rt::ImageControl>(form, name, d.index);
            image->move(d.left, d.top, d.width, d.height);
            image->setPicture(picture(d.picture));
            return image;
        }
        case ControlKind::CommandButton: {
            auto button = std::make_unique<rt::CommandButton>(form, name, d.index);
            button->move(d.left, d.top, d.width, d.height);
            button->setCaption(std::string(d.caption));
            if (d.backColor) button->setBackColor(*d.backColor);
            button->setStyle(d.style);
            button->setFont(fontOf(d.font));
            return button;
        }
        case ControlKind::TextBox: {
            auto text = std::make_unique<rt::TextBox>(form, name, d.index);
            text->move(d.left, d.top, d.width, d.height);
            text->setText(std::string(d.caption));
            text->setFont(fontOf(d.font));
            return text;
        }
        case ControlKind::Shape: {
            auto shape = std::make_unique<rt::Shape>(form, name, d.index);
            shape->move(d.left, d.top, d.width, d.height);
            return shape;
        }
        case ControlKind::Line: {
            auto line = std::make_unique<rt::LineControl>(form, name, d.index);
            line->setPoints(d.left, d.top, d.x2, d.y2);
            if (d.foreColor) line->setBorderColor(*d.foreColor);
            return line;
        }
        case ControlKind::Timer: {
            auto timer = std::make_unique<rt::TimerControl>(form, name, d.index);
            timer->setInterval(d.interval);
            return timer;
        }
    }
    return nullptr;
}

}  // namespace

const FormDesign& cardWindowDesign() { return kCardWindow; }
const FormDesign& aboutWindowDesign() { return kAboutWindow; }

void buildForm(rt::Form& form, const FormDesign& design) {
    form.setBorderStyle(design.borderStyle);
    form.setWidth(design.width);
    form.setHeight(design.height);
    form.ShowInTaskbar = design.showInTaskbar;
    form.StartUpPosition = design.startUpPosition;
    form.setAutoRedraw(design.autoRedraw);
    form.setBackColor(design.backColor);
    form.canvas().setPicture(picture(design.picture));
    form.Icon = picture(design.icon);
    form.setAccessibleName(std::string(design.accessibleName));
    for (const ControlDesign& d : design.controls) {
        rt::Control* container = nullptr;
        if (!d.container.empty()) {
            container = form.find(std::string(d.container), d.containerIndex);
            if (!container || !container->isContainer())
                throw rt::RuntimeError(rt::ErrorCode::ObjectRequired, "Object required");
        }
        std::unique_ptr<rt::Control> control = create(form, d);
        control->setVisible(d.visible);
        control->setEnabled(d.enabled);
        control->TabIndex = d.tabIndex;
        control->MousePointer = d.mousePointer;
        control->MouseIcon = picture(d.mouseIcon);
        control->setAccessibleRole(d.accessibleRole);
        control->setAccessibleName(std::string(d.accessibleName));
        form.add(std::move(control), container);
    }
}

}  // namespace velmora

#include "control.h"

#include <algorithm>
#include <cmath>

#include "application.h"
#include "form.h"
#include "graphics/draw.h"
#include "graphics/errors.h"

namespace rt {

namespace {

void checkSize(float width, float height) {
    if (!(width >= 0) || !(height >= 0) || !std::isfinite(width) || !std::isfinite(height))
        throw RuntimeError(ErrorCode::InvalidProperty, "Invalid property value");
}

// The classic sunken and raised edges, two pixels wide (each ring scale
// device pixels wide).
void drawEdge(Bitmap& frame, const Rect& r, const Rect& clip, bool raised, int width, int scale) {
    const Pixel light = rgbPixel(255, 255, 255), face = rgbPixel(227, 227, 227);
    const Pixel shadow = rgbPixel(160, 160, 160), dark = rgbPixel(105, 105, 105);
    const Pixel outerTopLeft = raised ? light : shadow, outerBottomRight = raised ? dark : light;
    const Pixel innerTopLeft = raised ? face : dark, innerBottomRight = raised ? shadow : face;
    for (int ring = 0; ring < width * scale; ++ring) {
        const Rect e{r.x + ring, r.y + ring, r.width - 2 * ring, r.height - 2 * ring};
        if (e.empty()) return;
        const Pixel tl = ring < scale ? outerTopLeft : innerTopLeft;
        const Pixel br = ring < scale ? outerBottomRight : innerBottomRight;
        frame.fill(Rect{e.x, e.y, e.width, 1}.intersect(clip), tl);
        frame.fill(Rect{e.x, e.y, 1, e.height}.intersect(clip), tl);
        frame.fill(Rect{e.x, e.bottom() - 1, e.width, 1}.intersect(clip), br);
        frame.fill(Rect{e.right() - 1, e.y, 1, e.height}.intersect(clip), br);
    }
}

// Text in a device-pixel box, rasterised at the device's own density so
// that it is as sharp as the screen can show it.
void drawTextIn(Control& control, Bitmap& frame, const Rect& box, const std::string& text,
                const FontSpec& font, OleColor colour, TextAlignment alignment, const Rect& clip,
                bool centreVertically) {
    Application& app = control.form().app();
    const double dpi = app.dpi() * app.scale();
    Rect line = box;
    if (centreVertically) {
        const int h = app.text().lineHeight(font, dpi);
        line = {box.x, box.y + (box.height - h) / 2, box.width, h};
    }
    app.text().drawText(frame, line, text, font, dpi, colourToPixel(colour), alignment, clip.intersect(box));
}

}  // namespace

// ---------------------------------------------------------------- Control

Control::Control(Form& form, ControlKind kind, std::string name, int index)
    : form_(form), kind_(kind), name_(std::move(name)), index_(index) {}

Control::~Control() = default;

bool Control::windowed() const {
    return kind_ == ControlKind::PictureBox || kind_ == ControlKind::CommandButton ||
           kind_ == ControlKind::TextBox;
}

float Control::twipsPerPixelX() const { return form_.app().twipsPerPixelX(); }
float Control::twipsPerPixelY() const { return form_.app().twipsPerPixelY(); }

void Control::move(float left, float top, float width, float height) {
    checkSize(width, height);
    sizePending_ = false;  // a size given outright stands as given
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    const bool resized = width != width_ || height != height_;
    // A move by less than a pixel changes nothing on screen: the card's
    // shake draws many offsets that land on the same pixel, and each would
    // otherwise recompose and present the whole card face.
    if (!resized && twipsToPixels(left, twipsPerPixelX()) == twipsToPixels(left_, twipsPerPixelX()) &&
        twipsToPixels(top, twipsPerPixelY()) == twipsToPixels(top_, twipsPerPixelY())) {
        left_ = left;
        top_ = top;
        return;
    }
    // A picture box of the window itself that moves with its size
    // unchanged paints the same pixels at its new place: the window is told
    // it moved, so that it can carry the pixels over.
    if (!resized && kind_ == ControlKind::PictureBox && !container_ && visible_) {
        const Rect from = framePixelBounds();
        left_ = left;
        top_ = top;
        form_.invalidateMove(*this, from, framePixelBounds());
        return;
    }
    invalidate();
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (resized) sizeChanged();
    invalidate();
    if (describes()) form_.semanticsChanged();
}

void Control::setVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    if (isContainer()) {
        Canvas& canvas = static_cast<PictureBox*>(this)->canvas();
        canvas.repaint();
        // A hidden picture box draws nothing: the pixels of its picture can
        // go until it is shown again (the greeting panel, once it has flown
        // away, no longer holds a decoded copy of itself).
        if (!visible_ && canvas.picture()) canvas.picture()->releasePixels();
    }
    const bool shown = visible_;
    visible_ = true;  // invalidate the area either way
    invalidate();
    visible_ = shown;
    if (describes()) form_.semanticsChanged();
}

void Control::ZOrder(int position) {
    std::vector<Control*>& siblings = container_ ? container_->children_ : form_.children_;
    const auto it = std::find(siblings.begin(), siblings.end(), this);
    if (it == siblings.end()) return;
    siblings.erase(it);
    if (position == 0) siblings.insert(siblings.begin(), this);
    else siblings.push_back(this);
    invalidate();
    if (describes()) form_.semanticsChanged();
}

void Control::setAccessibleRole(std::optional<platform::AccessibleRole> role) {
    if (role == accessibleRole_) return;
    accessibleRole_ = role;
    form_.semanticsChanged();
}

void Control::setAccessibleName(std::string name) {
    if (name == accessibleName_) return;
    accessibleName_ = std::move(name);
    if (accessibleRole_) form_.semanticsChanged();
}

std::string Control::spokenName() const {
    if (!accessibleName_.empty()) return accessibleName_;
    if (kind_ == ControlKind::Label) return static_cast<const Label*>(this)->Caption();
    if (kind_ == ControlKind::CommandButton) return static_cast<const CommandButton*>(this)->Caption();
    return {};
}

bool Control::describes() const {
    if (accessibleRole_) return true;
    for (const Control* c : children_)
        if (c->describes()) return true;
    return false;
}

Rect Control::pixelBounds() const {
    const float tx = twipsPerPixelX(), ty = twipsPerPixelY();
    return {twipsToPixels(left_, tx), twipsToPixels(top_, ty), twipsToPixels(Width(), tx),
            twipsToPixels(Height(), ty)};
}

Rect Control::framePixelBounds() const {
    const Rect origin = container_ ? container_->frameClientBounds() : form_.clientPixelBounds();
    return pixelBounds().offset(origin.x, origin.y);
}

Rect Control::frameClientBounds() const {
    const Rect b = framePixelBounds();
    const int border = borderPixels();
    return {b.x + border, b.y + border, std::max(0, b.width - 2 * border),
            std::max(0, b.height - 2 * border)};
}

bool Control::shownOnScreen() const {
    for (const Control* c = this; c; c = c->container_)
        if (!c->visible_) return false;
    return form_.isVisible();
}

void Control::invalidate() const {
    if (kind_ == ControlKind::Timer) return;
    for (const Control* c = this; c; c = c->container_)
        if (!c->visible_) return;
    Rect area = framePixelBounds();
    for (const Control* c = container_; c; c = c->container_) area = area.intersect(c->frameClientBounds());
    form_.invalidate(area.intersect(form_.clientPixelBounds()));
}

void Control::invalidateClient(const Rect& clientArea) const {
    for (const Control* c = this; c; c = c->container_)
        if (!c->visible_) return;
    const Rect client = frameClientBounds();
    Rect area = clientArea.offset(client.x, client.y).intersect(client);
    for (const Control* c = container_; c; c = c->container_) area = area.intersect(c->frameClientBounds());
    form_.invalidate(area);
}

// ---------------------------------------------------------- DrawingSurface

void DrawingSurface::PaintPicture(const PictureRef& picture, float x1, float y1,
                                  std::optional<float> width1, std::optional<float> height1,
                                  std::optional<float> x2, std::optional<float> y2,
                                  std::optional<float> width2, std::optional<float> height2) {
    if (!picture) throw RuntimeError(ErrorCode::InvalidPicture, "Invalid picture");
    const float tx = surfaceTwipsPerPixelX(), ty = surfaceTwipsPerPixelY();
    const int sx = x2 ? twipsToPixels(*x2, tx) : 0;
    const int sy = y2 ? twipsToPixels(*y2, ty) : 0;
    const int sw = width2 ? twipsToPixels(*width2, tx) : picture->width() - sx;
    const int sh = height2 ? twipsToPixels(*height2, ty) : picture->height() - sy;
    const int dx = twipsToPixels(x1, tx), dy = twipsToPixels(y1, ty);
    const int dw = width1 ? twipsToPixels(*width1, tx) : sw;
    const int dh = height1 ? twipsToPixels(*height1, ty) : sh;
    if (dw == 0 || dh == 0 || sw <= 0 || sh <= 0) return;
    Canvas& c = canvas();
    Bitmap& target = c.drawingTarget();
    const int s = c.scale();
    const Rect area = Rect{0, 0, c.width(), c.height()}.scaled(s);
    drawPicture(target, Rect{dx, dy, dw, dh}.scaled(s), *picture, {sx, sy, sw, sh}, area, picture->hasTransparency,
                s);
    const Rect drawn{std::min(dx, dx + dw), std::min(dy, dy + dh), std::abs(dw), std::abs(dh)};
    c.drawn(drawn);
}

void DrawingSurface::Line(int option, float x1, float y1, float x2, float y2, OleColor colour) {
    const float tx = surfaceTwipsPerPixelX(), ty = surfaceTwipsPerPixelY();
    const int px1 = twipsToPixels(x1, tx), py1 = twipsToPixels(y1, ty);
    const int px2 = twipsToPixels(x2, tx), py2 = twipsToPixels(y2, ty);
    Canvas& c = canvas();
    Bitmap& target = c.drawingTarget();
    const int s = c.scale();
    const Rect area = Rect{0, 0, c.width(), c.height()}.scaled(s);
    if (option == kLineBox)
        drawRectOutline(target, px1 * s, py1 * s, px2 * s, py2 * s, colourToPixel(colour), area, s);
    else
        drawLine(target, px1 * s, py1 * s, px2 * s, py2 * s, colourToPixel(colour), area, s);
    c.drawn({std::min(px1, px2), std::min(py1, py2), std::abs(px2 - px1) + 1, std::abs(py2 - py1) + 1});
}

void DrawingSurface::Cls() { canvas().clear(); }

// ------------------------------------------------------------- PictureBox

PictureBox::PictureBox(Form& form, std::string name, int index)
    : Control(form, ControlKind::PictureBox, std::move(name), index),
      canvas_([this](const Rect& area) { invalidateClient(area); }, form.scale()) {}

void PictureBox::setAutoSize(bool on) {
    autoSize_ = on;
    if (autoSize_) fitToPicture();
}

void PictureBox::setBorderStyle(int style) {
    if (style == borderStyle_) return;
    borderStyle_ = style;
    if (autoSize_) fitToPicture();
    sizeChanged();
    invalidate();
}

void PictureBox::setAppearance(int appearance) {
    if (appearance == appearance_) return;
    appearance_ = appearance;
    if (autoSize_) fitToPicture();
    sizeChanged();
    invalidate();
}

void PictureBox::setPicture(PictureRef picture) {
    canvas_.setPicture(std::move(picture));
    if (autoSize_) fitToPicture();
}

int PictureBox::borderPixels() const {
    if (borderStyle_ == 0) return 0;
    return appearance_ == 0 ? 1 : 2;
}

void PictureBox::fitToPicture() {
    const PictureRef& picture = canvas_.picture();
    if (!picture) return;
    const int b = borderPixels();
    move(left_, top_, float(picture->width() + 2 * b) * twipsPerPixelX(),
         float(picture->height() + 2 * b) * twipsPerPixelY());
}

void PictureBox::sizeChanged() {
    const Rect b = pixelBounds();
    const int border = borderPixels();
    canvas_.resize(b.width - 2 * border, b.height - 2 * border);
}

void PictureBox::paint(Bitmap& frame, const Rect& clip) const {
    const int s = form_.scale();
    const Rect bounds = framePixelBounds().scaled(s);
    const Rect visible = bounds.intersect(clip);
    if (visible.empty()) return;
    if (borderStyle_ != 0) {
        if (appearance_ == 0) drawRectOutline(frame, bounds.x, bounds.y, bounds.right(), bounds.bottom(),
                                              rgbPixel(0, 0, 0), visible, s);
        else drawEdge(frame, bounds, visible, false, 2, s);
    }
    const Rect client = frameClientBounds().scaled(s);
    const Rect inner = client.intersect(clip);
    if (inner.empty()) return;
    canvas_.render(frame, client.x, client.y, inner);
    paintChildren(children_, frame, inner);
}

// ------------------------------------------------------------------ Label

Label::Label(Form& form, std::string name, int index)
    : Control(form, ControlKind::Label, std::move(name), index) {}

void Label::setCaption(std::string caption) {
    if (caption == caption_) return;
    caption_ = std::move(caption);
    requestFit();
    invalidate();
    if (accessibleRole_ && accessibleName_.empty()) form_.semanticsChanged();
}

void Label::setAutoSize(bool on) {
    autoSize_ = on;
    requestFit();
}

void Label::setFont(FontSpec font) {
    font_ = std::move(font);
    requestFit();
    invalidate();
}

void Label::setForeColor(OleColor c) {
    foreColor_ = c;
    invalidate();
}

void Label::setBackColor(OleColor c) {
    backColor_ = c;
    invalidate();
}

void Label::setBackStyle(int style) {
    backStyle_ = style;
    invalidate();
}

void Label::setAlignment(int alignment) {
    alignment_ = alignment;
    invalidate();
}

void Label::requestFit() {
    if (!autoSize_) return;
    sizePending_ = true;
    // A label on show takes its new size (and repaints) at once.
    if (visible_) settleSize();
    if (accessibleRole_) form_.semanticsChanged();
}

void Label::fitContent() {
    sizePending_ = false;
    Application& app = form_.app();
    const int w = app.text().textWidth(caption_, font_, app.dpi());
    const int h = app.text().lineHeight(font_, app.dpi());
    move(left_, top_, float(w) * twipsPerPixelX(), float(h) * twipsPerPixelY());
}

void Label::paint(Bitmap& frame, const Rect& clip) const {
    const Rect bounds = framePixelBounds().scaled(form_.scale());
    const Rect visible = bounds.intersect(clip);
    if (visible.empty()) return;
    if (backStyle_ == 1) frame.fill(visible, colourToPixel(backColor_));
    const TextAlignment align = alignment_ == 2   ? TextAlignment::Center
                                : alignment_ == 1 ? TextAlignment::Right
                                                  : TextAlignment::Left;
    drawTextIn(const_cast<Label&>(*this), frame, bounds, caption_, font_, foreColor_, align, visible,
               false);
}

// ------------------------------------------------------------------ Image

ImageControl::ImageControl(Form& form, std::string name, int index)
    : Control(form, ControlKind::Image, std::move(name), index) {}

void ImageControl::setPicture(PictureRef picture) {
    picture_ = std::move(picture);
    if (picture_)
        move(left_, top_, float(picture_->width()) * twipsPerPixelX(),
             float(picture_->height()) * twipsPerPixelY());
    invalidate();
}

void ImageControl::paint(Bitmap& frame, const Rect& clip) const {
    if (!picture_) return;
    const int s = form_.scale();
    const Rect bounds = framePixelBounds().scaled(s);
    const Rect visible = bounds.intersect(clip);
    if (visible.empty()) return;
    drawPicture(frame, Rect{0, 0, picture_->width(), picture_->height()}.scaled(s).offset(bounds.x, bounds.y),
                *picture_, picture_->bounds(), visible, true, s);
}

// ---------------------------------------------------------- CommandButton

CommandButton::CommandButton(Form& form, std::string name, int index)
    : Control(form, ControlKind::CommandButton, std::move(name), index) {}

void CommandButton::setCaption(std::string caption) {
    caption_ = std::move(caption);
    invalidate();
    if (accessibleRole_ && accessibleName_.empty()) form_.semanticsChanged();
}

void CommandButton::setBackColor(OleColor colour) {
    if (colour == backColor_) return;
    backColor_ = colour;
    invalidate();
}

void CommandButton::setStyle(int style) {
    style_ = style;
    invalidate();
}

void CommandButton::setFont(FontSpec font) {
    font_ = std::move(font);
    invalidate();
}

void CommandButton::paint(Bitmap& frame, const Rect& clip) const {
    const int s = form_.scale();
    const Rect bounds = framePixelBounds().scaled(s);
    const Rect visible = bounds.intersect(clip);
    if (visible.empty()) return;
    frame.fill(visible, colourToPixel(style_ == 1 ? backColor_ : kButtonFaceColour));
    drawEdge(frame, bounds, visible, true, 2, s);
    drawTextIn(const_cast<CommandButton&>(*this), frame, bounds, caption_, font_, kWindowTextColour,
               TextAlignment::Center, visible, true);
}

// ---------------------------------------------------------------- TextBox

TextBox::TextBox(Form& form, std::string name, int index)
    : Control(form, ControlKind::TextBox, std::move(name), index) {}

void TextBox::setText(std::string text) {
    text_ = std::move(text);
    invalidate();
}

void TextBox::setFont(FontSpec font) {
    font_ = std::move(font);
    invalidate();
}

void TextBox::paint(Bitmap& frame, const Rect& clip) const {
    const int s = form_.scale();
    const Rect bounds = framePixelBounds().scaled(s);
    const Rect visible = bounds.intersect(clip);
    if (visible.empty()) return;
    frame.fill(visible, rgbPixel(255, 255, 255));
    drawEdge(frame, bounds, visible, false, 2, s);
    const Rect inner{bounds.x + 4 * s, bounds.y + 3 * s, bounds.width - 8 * s, bounds.height - 6 * s};
    drawTextIn(const_cast<TextBox&>(*this), frame, inner, text_, font_, kWindowTextColour,
               TextAlignment::Left, visible, false);
}

// ------------------------------------------------------------------ Shape

Shape::Shape(Form& form, std::string name, int index)
    : Control(form, ControlKind::Shape, std::move(name), index) {}

void Shape::paint(Bitmap& frame, const Rect& clip) const {
    const int s = form_.scale();
    const Rect bounds = framePixelBounds().scaled(s);
    drawRectOutline(frame, bounds.x, bounds.y, bounds.right(), bounds.bottom(), colourToPixel(BorderColor),
                    clip, s);
}

// ------------------------------------------------------------------- Line

LineControl::LineControl(Form& form, std::string name, int index)
    : Control(form, ControlKind::Line, std::move(name), index) {}

void LineControl::setPoints(float x1, float y1, float x2, float y2) {
    invalidate();
    x1_ = x1;
    y1_ = y1;
    x2_ = x2;
    y2_ = y2;
    // The bounds cover both ends, at least one pixel wide and high.
    const float minX = std::min(x1, x2), minY = std::min(y1, y2);
    move(minX, minY, std::max(std::abs(x2 - x1), twipsPerPixelX()),
         std::max(std::abs(y2 - y1), twipsPerPixelY()));
    invalidate();
}

void LineControl::setBorderColor(OleColor colour) {
    borderColor_ = colour;
    invalidate();
}

void LineControl::paint(Bitmap& frame, const Rect& clip) const {
    const Rect origin = container_ ? container_->frameClientBounds() : form_.clientPixelBounds();
    const float tx = twipsPerPixelX(), ty = twipsPerPixelY();
    const int s = form_.scale();
    drawLine(frame, (origin.x + twipsToPixels(x1_, tx)) * s, (origin.y + twipsToPixels(y1_, ty)) * s,
             (origin.x + twipsToPixels(x2_, tx)) * s, (origin.y + twipsToPixels(y2_, ty)) * s,
             colourToPixel(borderColor_), clip, s);
}

// ------------------------------------------------------------------ Timer

TimerControl::TimerControl(Form& form, std::string name, int index)
    : Control(form, ControlKind::Timer, std::move(name), index) {
    visible_ = false;
}

TimerControl::~TimerControl() { form_.app().timerDestroyed(*this); }

void TimerControl::setInterval(int milliseconds) {
    if (milliseconds < 0 || milliseconds > 65535)
        throw RuntimeError(ErrorCode::InvalidProperty, "Invalid property value");
    if (milliseconds == interval_) return;
    interval_ = milliseconds;
    form_.app().timerChanged(*this);
}

void TimerControl::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    form_.app().timerChanged(*this);
}

}  // namespace rt

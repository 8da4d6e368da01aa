// Controls: the picture boxes, labels, images, buttons, text boxes, shapes,
// lines and timers that a window holds.
//
// Positions and sizes are single-precision twips relative to the client
// area of the container (the window, or the picture box that holds the
// control), and a read returns exactly the value last set. A change marks
// the affected pixels of the window dirty; the window's compositor redraws
// only those after the handler returns.
//
// Stacking: a container lists its children front first. Labels, images,
// shapes and lines have no window of their own; they are drawn on their
// container's surface, behind every windowed sibling (picture boxes,
// buttons, text boxes). ZOrder brings a control in front of the siblings of
// its own sort.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "canvas.h"
#include "graphics/errors.h"
#include "graphics/geometry.h"
#include "graphics/picture.h"
#include "graphics/text.h"
#include "platform/platform.h"
#include "units.h"

namespace rt {

class Form;

enum class ControlKind { PictureBox, Label, Image, CommandButton, TextBox, Shape, Line, Timer };

// MousePointer values: 0 the default (the standard arrow), 99 the cursor
// held in MouseIcon.
constexpr int kPointerDefault = 0;
constexpr int kPointerCustom = 99;

class Control {
public:
    Control(Form& form, ControlKind kind, std::string name, int index);
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    ControlKind kind() const { return kind_; }
    const std::string& Name() const { return name_; }
    int Index() const { return index_; }  // -1 outside a control array
    Form& form() const { return form_; }
    Control* container() const { return container_; }  // null: the window itself

    // True for controls with a window of their own: they stack in front of
    // windowless siblings and can hold other controls (picture boxes).
    bool windowed() const;
    bool isContainer() const { return kind_ == ControlKind::PictureBox; }

    float Left() const { return left_; }
    float Top() const { return top_; }
    float Width() const {
        settleSize();
        return width_;
    }
    float Height() const {
        settleSize();
        return height_;
    }
    void setLeft(float v) { move(v, top_, Width(), Height()); }
    void setTop(float v) { move(left_, v, Width(), Height()); }
    virtual void setWidth(float v) { move(left_, top_, v, Height()); }
    virtual void setHeight(float v) { move(left_, top_, Width(), v); }
    void move(float left, float top, float width, float height);

    bool Visible() const { return visible_; }
    void setVisible(bool visible);
    bool Enabled() const { return enabled_; }
    virtual void setEnabled(bool enabled) { enabled_ = enabled; }
    int TabIndex = 0;

    int MousePointer = kPointerDefault;
    PictureRef MouseIcon;

    // 0: in front of its siblings; 1: behind them.
    void ZOrder(int position = 0);

    // How assistive technology and the keyboard reach the control: a
    // control with a role is presented as a button or a link that can be
    // pressed, named by its accessible name, or by its caption when it has
    // none. The name alone, without a role, describes what the control
    // shows (the words painted into a picture) for the program to read out.
    const std::optional<platform::AccessibleRole>& accessibleRole() const { return accessibleRole_; }
    void setAccessibleRole(std::optional<platform::AccessibleRole> role);
    const std::string& accessibleName() const { return accessibleName_; }
    void setAccessibleName(std::string name);
    // What a screen reader says for the control: the accessible name, else
    // the caption of a label or button.
    std::string spokenName() const;
    // True when the control or one it holds has a role, so that moving or
    // hiding it changes what its window describes.
    bool describes() const;

    // Event handlers, bound by the window that owns the control.
    std::function<void()> Click;
    std::function<void()> DblClick;
    std::function<void(int button, int shift, float x, float y)> MouseMove;

    // Children, front first (containers only).
    const std::vector<Control*>& children() const { return children_; }

    // Placement in pixels: relative to the container's client area, and in
    // the window's framebuffer.
    Rect pixelBounds() const;
    Rect framePixelBounds() const;
    // Origin of the client area (inside any border) in the framebuffer.
    virtual int borderPixels() const { return 0; }
    Rect frameClientBounds() const;
    // True when the control and every container above it are visible.
    bool shownOnScreen() const;

    // Draws the control (and its children) into the window's framebuffer.
    virtual void paint(Bitmap& frame, const Rect& clip) const = 0;

protected:
    friend class Form;
    void invalidate() const;  // the control's whole area
    void invalidateClient(const Rect& clientArea) const;
    virtual void sizeChanged() {}
    // A control whose size follows its content (a label with AutoSize)
    // measures it only when the size is needed: when it is read, or the
    // control is drawn. Measuring text means finding a font, which a hidden
    // label never needs.
    void settleSize() const {
        if (sizePending_) const_cast<Control*>(this)->fitContent();
    }
    virtual void fitContent() { sizePending_ = false; }
    bool sizePending_ = false;
    float twipsPerPixelX() const;
    float twipsPerPixelY() const;

    Form& form_;
    ControlKind kind_;
    std::string name_;
    int index_;
    Control* container_ = nullptr;
    std::vector<Control*> children_;
    float left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    std::optional<platform::AccessibleRole> accessibleRole_;
    std::string accessibleName_;
};

// Options of PaintPicture after the destination point; an absent value takes
// the default: no scaling, source from (0, 0), the rest of the picture.
struct PaintArea {
    std::optional<float> width1, height1, x2, y2, width2, height2;
};

// Shared drawing methods of the surfaces that have a Canvas: picture boxes
// and windows. Coordinates are twips of the surface's client area.
class DrawingSurface {
public:
    virtual ~DrawingSurface() = default;

    // Copies (a part of) a picture onto the surface, scaled when a
    // destination size is given.
    void PaintPicture(const PictureRef& picture, float x1, float y1, std::optional<float> width1 = {},
                      std::optional<float> height1 = {}, std::optional<float> x2 = {},
                      std::optional<float> y2 = {}, std::optional<float> width2 = {},
                      std::optional<float> height2 = {});
    // The Line method. Option 22 draws the outline of the box with opposite
    // corners (x1, y1) and (x2, y2); any other option draws the line.
    static constexpr int kLineBox = 22;
    void Line(int option, float x1, float y1, float x2, float y2, OleColor colour);
    void Cls();

    OleColor BackColor() const { return canvas().backColor(); }
    void setBackColor(OleColor colour) { canvas().setBackColor(colour); }
    const PictureRef& Picture() const { return canvas().picture(); }
    bool AutoRedraw() const { return canvas().autoRedraw(); }
    void setAutoRedraw(bool on) { canvas().setAutoRedraw(on); }
    PictureRef Image() const { return canvas().image(); }

    virtual Canvas& canvas() = 0;
    virtual const Canvas& canvas() const = 0;

protected:
    virtual float surfaceTwipsPerPixelX() const = 0;
    virtual float surfaceTwipsPerPixelY() const = 0;
};

class PictureBox : public Control, public DrawingSurface {
public:
    PictureBox(Form& form, std::string name, int index);

    bool AutoSize() const { return autoSize_; }
    void setAutoSize(bool on);
    int BorderStyle() const { return borderStyle_; }  // 0 none, 1 fixed single
    void setBorderStyle(int style);
    int Appearance() const { return appearance_; }  // 0 flat, 1 3D
    void setAppearance(int appearance);
    OleColor ForeColor = kWindowTextColour;

    // Assigning a picture sizes the box to it when AutoSize is on.
    void setPicture(PictureRef picture);

    int borderPixels() const override;
    void paint(Bitmap& frame, const Rect& clip) const override;
    Canvas& canvas() override { return canvas_; }
    const Canvas& canvas() const override { return canvas_; }

protected:
    void sizeChanged() override;
    float surfaceTwipsPerPixelX() const override { return twipsPerPixelX(); }
    float surfaceTwipsPerPixelY() const override { return twipsPerPixelY(); }

private:
    void fitToPicture();
    Canvas canvas_;
    bool autoSize_ = false;
    int borderStyle_ = 1;
    int appearance_ = 1;
};

class Label : public Control {
public:
    Label(Form& form, std::string name, int index);

    const std::string& Caption() const { return caption_; }
    void setCaption(std::string caption);
    bool AutoSize() const { return autoSize_; }
    void setAutoSize(bool on);
    FontSpec font() const { return font_; }
    void setFont(FontSpec font);
    OleColor ForeColor() const { return foreColor_; }
    void setForeColor(OleColor c);
    OleColor BackColor() const { return backColor_; }
    void setBackColor(OleColor c);
    int BackStyle() const { return backStyle_; }  // 0 transparent, 1 opaque
    void setBackStyle(int style);
    int Alignment() const { return alignment_; }  // 0 left, 1 right, 2 centre
    void setAlignment(int alignment);

    void paint(Bitmap& frame, const Rect& clip) const override;

protected:
    void fitContent() override;

private:
    void requestFit();
    std::string caption_;
    bool autoSize_ = false;
    FontSpec font_;
    OleColor foreColor_ = kWindowTextColour;
    OleColor backColor_ = kButtonFaceColour;
    int backStyle_ = 1;
    int alignment_ = 0;
};

class ImageControl : public Control {
public:
    ImageControl(Form& form, std::string name, int index);
    const PictureRef& Picture() const { return picture_; }
    // The image takes its picture's size.
    void setPicture(PictureRef picture);
    void paint(Bitmap& frame, const Rect& clip) const override;

private:
    PictureRef picture_;
};

class CommandButton : public Control {
public:
    CommandButton(Form& form, std::string name, int index);
    const std::string& Caption() const { return caption_; }
    void setCaption(std::string caption);
    OleColor BackColor() const { return backColor_; }
    void setBackColor(OleColor colour);
    int Style() const { return style_; }  // 0 standard, 1 graphical (shows BackColor)
    void setStyle(int style);
    FontSpec font() const { return font_; }
    void setFont(FontSpec font);
    void paint(Bitmap& frame, const Rect& clip) const override;

private:
    std::string caption_;
    OleColor backColor_ = kButtonFaceColour;
    int style_ = 0;
    FontSpec font_;
};

class TextBox : public Control {
public:
    TextBox(Form& form, std::string name, int index);
    const std::string& Text() const { return text_; }
    void setText(std::string text);
    FontSpec font() const { return font_; }
    void setFont(FontSpec font);
    void paint(Bitmap& frame, const Rect& clip) const override;

private:
    std::string text_;
    FontSpec font_;
};

class Shape : public Control {
public:
    Shape(Form& form, std::string name, int index);
    OleColor BorderColor = kWindowTextColour;
    void paint(Bitmap& frame, const Rect& clip) const override;
};

class LineControl : public Control {
public:
    LineControl(Form& form, std::string name, int index);
    float X1() const { return x1_; }
    float Y1() const { return y1_; }
    float X2() const { return x2_; }
    float Y2() const { return y2_; }
    // Sets both end points (twips of the container); the control's bounds
    // follow them.
    void setPoints(float x1, float y1, float x2, float y2);
    OleColor BorderColor() const { return borderColor_; }
    void setBorderColor(OleColor colour);
    void paint(Bitmap& frame, const Rect& clip) const override;

private:
    float x1_ = 0, y1_ = 0, x2_ = 0, y2_ = 0;
    OleColor borderColor_ = kWindowTextColour;
};

// A timer ticks every Interval milliseconds while Enabled; it is never seen.
class TimerControl : public Control {
public:
    TimerControl(Form& form, std::string name, int index);
    ~TimerControl() override;
    int Interval() const { return interval_; }
    void setInterval(int milliseconds);
    void setEnabled(bool enabled) override;
    std::function<void()> Tick;  // the Timer event
    void paint(Bitmap&, const Rect&) const override {}

private:
    int interval_ = 0;
};

// The members of a control array, addressed by index.
template <class T>
class ControlArray {
public:
    T& operator()(int index) const {
        if (index < 0 || index >= int(members_.size()) || !members_[std::size_t(index)])
            throw RuntimeError(ErrorCode::ControlArrayElementMissing, "Control array element '" +
                                                                          std::to_string(index) +
                                                                          "' doesn't exist");
        return *members_[std::size_t(index)];
    }
    int count() const { return int(members_.size()); }
    void add(T& member) { members_.push_back(&member); }

private:
    std::vector<T*> members_;
};

}  // namespace rt

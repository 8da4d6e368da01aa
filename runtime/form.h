// Windows ("forms"): a top-level window with its controls, its drawing
// surface and its compositor.
//
// Width and Height are the window's outer size in single-precision twips;
// Left and Top of its controls are measured from its client area, which
// lies inside the window's frame. Every change marks framebuffer pixels
// dirty; compose() redraws just the dirty rectangle from the control tree
// and hands it to the platform.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "canvas.h"
#include "control.h"
#include "graphics/bitmap.h"
#include "graphics/region.h"
#include "platform/platform.h"

namespace rt {

class Application;

class Form : public DrawingSurface {
public:
    Form(Application& app, std::string name);
    ~Form() override;
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    Application& app() const { return app_; }
    const std::string& Name() const { return name_; }

    // Outer size in twips.
    float Width() const { return width_; }
    float Height() const { return height_; }
    void setWidth(float width);
    void setHeight(float height);
    // Position of the outer top-left corner on the screen, in twips.
    float Left() const;
    float Top() const;
    // The client area, in twips: its offset inside the window and its size.
    float ClientLeft() const;
    float ClientTop() const;
    float ScaleWidth() const;
    float ScaleHeight() const;

    int BorderStyle() const { return borderStyle_; }  // 0 none, 1 fixed single
    void setBorderStyle(int style);
    bool ShowInTaskbar = true;
    int StartUpPosition = 0;  // 2: centred on the screen at the first Show
    std::string Caption;
    PictureRef Icon;
    int MousePointer = kPointerDefault;

    platform::WindowHandle hWnd() const { return window_; }
    bool loaded() const { return loaded_; }
    bool isVisible() const { return visible_; }

    // Shows the window, loading it first if needed. Modal 1 waits in a
    // nested event loop until the window is unloaded; other windows' timers
    // keep ticking and their pointer input is blocked meanwhile.
    void Show(int modal = 0);
    void Hide();

    // Event handlers.
    std::function<void()> Load;
    std::function<void()> Activate;
    std::function<void()> Click;
    std::function<void(int button, int shift, float x, float y)> MouseMove;

    // Adds a control created by the catalogue into container (null: the
    // window), behind the controls already there.
    template <class T>
    T& add(std::unique_ptr<T> control, Control* container) {
        T& ref = *control;
        adopt(std::move(control), container);
        return ref;
    }
    // The control of that name and index (-1 outside an array), or null.
    Control* find(const std::string& name, int index = -1) const;
    const std::vector<Control*>& children() const { return children_; }
    const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }

    // Pixel geometry, in logical pixels. The window's pixels on screen are
    // device pixels, scale() x scale() of them to each logical pixel.
    int outerPixelWidth() const;
    int outerPixelHeight() const;
    int borderPixels() const { return borderStyle_ == 0 ? 0 : 1; }
    Rect clientPixelBounds() const;  // in the window
    int scale() const { return scale_; }

    // The window's shape in logical pixels, null for the plain rectangle;
    // the platform is given it at device size.
    void setShape(std::shared_ptr<const Region> shape);
    const std::shared_ptr<const Region>& shape() const { return shape_; }

    // Compositor: marks the window's (logical) pixels as needing a redraw,
    // redraws them and presents them. compose() does nothing when nothing is
    // dirty.
    void invalidate(const Rect& frameArea);
    void invalidateAll();
    // Marks a control's old and new places dirty after it moved with its
    // size unchanged (frame pixels). The first control moved since the last
    // compose is remembered, so that compose can move its pixels instead of
    // painting them afresh.
    void invalidateMove(const Control& control, const Rect& from, const Rect& to);
    const Rect& dirty() const { return dirty_; }
    void compose();
    // The window's pixels on screen: device pixels, scale() times the
    // logical size (empty until the window is first shown).
    const Bitmap& framebuffer() const { return framebuffer_; }
    // Paints the whole window into a fresh bitmap of the framebuffer's size
    // (for tests and captures).
    Bitmap renderAll() const;
    // A repaint is compared with what the window shows in bands of at most
    // this many pixels: the most the compositor keeps for comparing.
    static constexpr int kCompareBandPixels = 16384;
    std::size_t comparePixelsKept() const { return beforePaint_.capacity(); }

    // The topmost visible, enabled control at a logical pixel, or null for
    // the window itself.
    Control* controlAt(int x, int y) const;

    // What assistive technology hears of the window: its name, and text it
    // shows now that is worth reading aloud once (empty for none).
    const std::string& accessibleName() const { return accessibleName_; }
    void setAccessibleName(std::string name);
    const std::string& announcement() const { return announcement_; }
    void setAnnouncement(std::string text);
    // The window described from its controls: the name, whether it is shown
    // modally, the announcement, and every control with a role, front to
    // back, with its bounds in device pixels.
    platform::WindowSemantics semantics() const;
    // Hands the platform the window's description when something it
    // depends on has changed since the last one and the result differs
    // from what the platform was last given; the event loop calls it after
    // every handler, beside compose().
    void describe();
    // Something a description depends on has changed.
    void semanticsChanged() { semanticsDirty_ = true; }

    Canvas& canvas() override { return canvas_; }
    const Canvas& canvas() const override { return canvas_; }

protected:
    float surfaceTwipsPerPixelX() const override;
    float surfaceTwipsPerPixelY() const override;

private:
    friend class Application;
    friend class Control;
    void adopt(std::unique_ptr<Control> control, Control* container);
    void createWindow();
    void destroyWindow();
    void resizeFramebuffer();
    // Moves the pixels of the control moved since the last compose and
    // paints only what the move cannot carry; false when the case is not
    // that simple and the whole dirty area must be painted.
    bool composeMove();
    // Repaints an area of the framebuffer, returning the bounds of the
    // pixels that changed.
    Rect paintCompared(const Rect& area);
    // Paints into a device-sized target inside clip (device pixels).
    void paint(Bitmap& target, const Rect& clip) const;
    Rect logicalBounds() const { return {0, 0, outerPixelWidth(), outerPixelHeight()}; }

    Application& app_;
    std::string name_;
    float width_ = 4800, height_ = 3600;
    int borderStyle_ = 2;
    int scale_ = 1;
    int deviceWidth_ = 0, deviceHeight_ = 0;  // the window's size in device pixels
    int screenX_ = 0, screenY_ = 0;  // outer top-left, device pixels
    bool positioned_ = false;
    bool loaded_ = false;
    bool visible_ = false;
    platform::WindowHandle window_ = platform::kNoWindow;
    std::vector<std::unique_ptr<Control>> controls_;
    std::vector<Control*> children_;
    Canvas canvas_;
    Bitmap framebuffer_;
    Rect dirty_;
    // The framebuffer holds what the window shows, so a repaint can be
    // compared with it and only the pixels that changed presented.
    bool presented_ = false;
    std::vector<Pixel> beforePaint_;  // a band of the repainted area's pixels before the repaint
    Rect lastCompared_;               // the area of the last comparison
    int comparesToSkip_ = 0;          // composes of that area to present whole, uncompared
    std::shared_ptr<const Region> shape_;
    std::shared_ptr<const Region> deviceShape_;  // shape_ at device size
    bool modal_ = false;  // shown modally
    std::string accessibleName_;
    std::string announcement_;
    // Most changes (the card face shaking, the flame) touch no control with
    // a role: the description is built again only after one that may.
    bool semanticsDirty_ = true;
    std::optional<platform::WindowSemantics> described_;  // what the platform was last given
    // The control moved since the last compose and its place before the
    // first of those moves (frame pixels), and everything else made dirty
    // meanwhile: what the move does not account for.
    const Control* moved_ = nullptr;
    Rect movedFrom_;
    Rect otherDirty_;
    std::vector<Rect> exposed_;  // what a move presents besides; kept to spare allocations
};

// Painting helpers shared by the window and its container controls; frame
// and clip are in device pixels.
void paintChildren(const std::vector<Control*>& children, Bitmap& frame, const Rect& clip);
Control* hitTest(const std::vector<Control*>& children, int x, int y);

}  // namespace rt

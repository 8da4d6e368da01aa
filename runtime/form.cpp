#include "form.h"

#include <algorithm>

#include "application.h"
#include "graphics/draw.h"
#include "graphics/errors.h"
#include "graphics/region.h"

namespace rt {

Form::Form(Application& app, std::string name)
    : app_(app),
      name_(std::move(name)),
      scale_(app.scale()),
      canvas_(
          [this](const Rect& area) {
              const Rect client = clientPixelBounds();
              invalidate(area.offset(client.x, client.y).intersect(client));
          },
          app.scale()) {
    resizeFramebuffer();
}

Form::~Form() {
    // Controls go first: their timers leave the schedule while the
    // application still knows this window.
    children_.clear();
    controls_.clear();
    if (loaded_) app_.unloadForm(*this);
}

void Form::adopt(std::unique_ptr<Control> control, Control* container) {
    Control* c = control.get();
    c->container_ = container;
    (container ? container->children_ : children_).push_back(c);
    controls_.push_back(std::move(control));
    c->invalidate();
}

Control* Form::find(const std::string& name, int index) const {
    for (const auto& c : controls_)
        if (c->Name() == name && c->Index() == index) return c.get();
    return nullptr;
}

// ------------------------------------------------------------- geometry

void Form::setWidth(float width) {
    if (!(width >= 0)) throw RuntimeError(ErrorCode::InvalidProperty, "Invalid property value");
    if (width == width_) return;
    width_ = width;
    resizeFramebuffer();
}

void Form::setHeight(float height) {
    if (!(height >= 0)) throw RuntimeError(ErrorCode::InvalidProperty, "Invalid property value");
    if (height == height_) return;
    height_ = height;
    resizeFramebuffer();
}

void Form::setBorderStyle(int style) {
    if (style == borderStyle_) return;
    borderStyle_ = style;
    resizeFramebuffer();
}

float Form::Left() const { return float(deviceToLogical(screenX_, scale_)) * app_.twipsPerPixelX(); }
float Form::Top() const { return float(deviceToLogical(screenY_, scale_)) * app_.twipsPerPixelY(); }
float Form::ClientLeft() const { return float(borderPixels()) * app_.twipsPerPixelX(); }
float Form::ClientTop() const { return float(borderPixels()) * app_.twipsPerPixelY(); }
float Form::ScaleWidth() const { return float(clientPixelBounds().width) * app_.twipsPerPixelX(); }
float Form::ScaleHeight() const { return float(clientPixelBounds().height) * app_.twipsPerPixelY(); }

int Form::outerPixelWidth() const { return std::max(1, twipsToPixels(width_, app_.twipsPerPixelX())); }
int Form::outerPixelHeight() const { return std::max(1, twipsToPixels(height_, app_.twipsPerPixelY())); }

Rect Form::clientPixelBounds() const {
    const int b = borderPixels();
    return {b, b, std::max(0, outerPixelWidth() - 2 * b), std::max(0, outerPixelHeight() - 2 * b)};
}

void Form::resizeFramebuffer() {
    const int w = outerPixelWidth() * scale_, h = outerPixelHeight() * scale_;
    if (deviceWidth_ != w || deviceHeight_ != h) {
        deviceWidth_ = w;
        deviceHeight_ = h;
        // A window is sized several times while it loads; its framebuffer
        // is made when it is first shown.
        framebuffer_ = visible_ ? Bitmap(w, h) : Bitmap();
        presented_ = false;
        if (window_ != platform::kNoWindow)
            app_.platform().setWindowBounds(window_, {screenX_, screenY_, w, h});
    }
    const Rect client = clientPixelBounds();
    canvas_.resize(client.width, client.height);
    invalidateAll();
    semanticsDirty_ = true;
}

float Form::surfaceTwipsPerPixelX() const { return app_.twipsPerPixelX(); }
float Form::surfaceTwipsPerPixelY() const { return app_.twipsPerPixelY(); }

// ------------------------------------------------------- window lifecycle

void Form::createWindow() {
    platform::WindowOptions options;
    options.x = screenX_;
    options.y = screenY_;
    options.width = deviceWidth_;
    options.height = deviceHeight_;
    options.showInTaskbar = ShowInTaskbar;
    options.icon = Icon;
    options.title = Caption.empty() ? app_.options().title : Caption;
    window_ = app_.platform().createWindow(options);
    loaded_ = true;
}

void Form::destroyWindow() {
    if (window_ != platform::kNoWindow) app_.platform().destroyWindow(window_);
    window_ = platform::kNoWindow;
    loaded_ = false;
    visible_ = false;
    modal_ = false;
    // A window loaded again is a new window to the platform.
    described_.reset();
    semanticsDirty_ = true;
}

void Form::Show(int modal) {
    if (!loaded_) app_.loadForm(*this);
    if (!loaded_) return;  // unloaded again by its own load handler
    if (!visible_) {
        if (StartUpPosition == 2 && !positioned_) {
            // Centred on the monitor; a window larger than the monitor hangs
            // off at the right and bottom, so its top and left stay in reach.
            const Rect monitor = app_.platform().screen().monitor;
            const int w = deviceWidth_, h = deviceHeight_;
            screenX_ = monitor.x + std::max(0, (monitor.width - w) / 2);
            screenY_ = monitor.y + std::max(0, (monitor.height - h) / 2);
            app_.platform().setWindowBounds(window_, {screenX_, screenY_, w, h});
        }
        positioned_ = true;
        modal_ = modal == 1;
        semanticsDirty_ = true;
        // A modal window belongs to the window it blocks, so the desktop
        // keeps it above that window.
        app_.platform().setWindowOwner(window_, modal == 1 ? app_.modalOwnerFor(*this) : platform::kNoWindow);
        visible_ = true;
        if (framebuffer_.width() != deviceWidth_ || framebuffer_.height() != deviceHeight_)
            framebuffer_ = Bitmap(deviceWidth_, deviceHeight_);
        // A window being shown gets all its pixels, compared with nothing.
        presented_ = false;
        invalidateAll();
        compose();
        app_.platform().setWindowVisible(window_, true);
        if (Activate) Activate();
    }
    if (modal == 1) app_.runModal(*this);
}

void Form::Hide() {
    if (!visible_) return;
    visible_ = false;
    modal_ = false;
    semanticsDirty_ = true;
    app_.platform().setWindowVisible(window_, false);
}

void Form::setShape(std::shared_ptr<const Region> shape) {
    // The card sets the same shape anew on every shake tick: the device
    // shape is made again only when the shape changes.
    const bool same = shape && shape_ && deviceShape_ && *shape == *shape_ && shape->roundRect == shape_->roundRect;
    shape_ = std::move(shape);
    if (!shape_) deviceShape_ = nullptr;
    else if (scale_ == 1) deviceShape_ = shape_;
    else if (!same) deviceShape_ = std::make_shared<const Region>(scaleRegion(*shape_, scale_));
    if (window_ != platform::kNoWindow) app_.platform().setWindowShape(window_, deviceShape_.get());
}

// ------------------------------------------------------------ compositor

void Form::invalidate(const Rect& frameArea) {
    const Rect area = frameArea.intersect(logicalBounds());
    dirty_ = dirty_.unite(area);
    otherDirty_ = otherDirty_.unite(area);
}

void Form::invalidateAll() { dirty_ = otherDirty_ = logicalBounds(); }

void Form::invalidateMove(const Control& control, const Rect& from, const Rect& to) {
    const Rect client = clientPixelBounds();
    const Rect both = from.intersect(client).unite(to.intersect(client));
    if (!moved_) {
        moved_ = &control;
        movedFrom_ = from;
    } else if (moved_ != &control) {
        otherDirty_ = otherDirty_.unite(both);
    }
    dirty_ = dirty_.unite(both);
}

void Form::compose() {
    if (dirty_.empty()) moved_ = nullptr;
    if (dirty_.empty() || !loaded_ || !visible_) return;
    const bool carried = presented_ && composeMove();
    moved_ = nullptr;
    otherDirty_ = {};
    if (carried) {
        dirty_ = {};
        return;
    }
    Rect area = dirty_.scaled(scale_);
    dirty_ = {};
    // A property change marks a control's whole box dirty, however few of
    // its pixels change: a new flame frame repaints a band of the card in
    // which only a narrow strip differs. Only the bounding box of the pixels
    // that really changed goes to the screen. Comparing costs a copy of the
    // area, which pays only when it shrinks what is presented: after a
    // comparison that found almost all of an area changed (the card face
    // jumping sideways in the shake), the next few composes of that same
    // area present it whole.
    constexpr int kComparesToSkip = 3;
    bool compare = presented_;
    if (compare && area == lastCompared_ && comparesToSkip_ > 0) {
        --comparesToSkip_;
        compare = false;
    }
    if (!compare) {
        paint(framebuffer_, area);
        presented_ = true;
    } else {
        const Rect changed = paintCompared(area);
        const long whole = long(area.width) * area.height;
        lastCompared_ = area;
        comparesToSkip_ = long(changed.width) * changed.height * 10 >= whole * 9 ? kComparesToSkip : 0;
        area = changed;
        if (area.empty()) return;
    }
    app_.platform().present(window_, framebuffer_, std::span<const Rect>(&area, 1));
}

// The card face jumping sideways in the shake is a picture box of the
// window moved a few pixels with its pixels unchanged: the framebuffer's
// pixels are moved along with it, the backend is asked to move what it
// shows likewise, and only what the move cannot carry is painted and
// presented: the strips the box uncovered or newly covers, everything else
// made dirty, and the controls in front of the box, each where it is and
// where the move carried it.
bool Form::composeMove() {
    if (!moved_ || !moved_->Visible()) return false;
    const Control& control = *moved_;
    const int s = scale_;
    const Rect frame = framebuffer_.bounds();
    const Rect client = clientPixelBounds().scaled(s).intersect(frame);
    const Rect from = movedFrom_.scaled(s), to = control.framePixelBounds().scaled(s);
    const int dx = to.x - from.x, dy = to.y - from.y;
    // A box that jumps clear of its old place has nothing to carry that
    // painting it would not do as well.
    if (from.width != to.width || from.height != to.height || from.intersect(to).empty() ||
        (dx == 0 && dy == 0))
        return false;
    // Where the pixels shown of the box at its old place land.
    const Rect moved = from.intersect(client).offset(dx, dy).intersect(client);
    if (moved.empty()) return false;

    // Changed contents of the box and the controls in front of it spoil the
    // moved pixels both where they were shown and where they are carried to.
    const auto withMoved = [&](const Rect& r) { return r.unite(r.offset(dx, dy)).intersect(frame); };
    Rect front;
    for (const Control* sibling : children_) {
        if (sibling == &control) break;
        if (sibling->windowed() && sibling->Visible())
            front = front.unite(sibling->framePixelBounds().scaled(s).intersect(from.unite(to)));
    }
    const Rect spoilt[] = {withMoved(otherDirty_.scaled(s)), withMoved(front)};
    for (const Rect& r : spoilt)
        if (r.intersect(moved) == moved) return false;  // nothing left to carry

    // The box's old and new places without the moved pixels.
    const Rect around = from.unite(to).intersect(client);
    const Rect strips[] = {
        {around.x, around.y, around.width, moved.y - around.y},
        {around.x, moved.bottom(), around.width, around.bottom() - moved.bottom()},
        {around.x, moved.y, moved.x - around.x, moved.height},
        {moved.right(), moved.y, around.right() - moved.right(), moved.height},
    };

    framebuffer_.move(moved.offset(-dx, -dy), dx, dy);
    // The framebuffer now holds what the window shows once the backend has
    // moved its pixels: what painting leaves unchanged needs no present.
    std::vector<Rect>& exposed = exposed_;
    exposed.clear();
    const auto repaint = [&](const Rect& r) {
        if (r.empty()) return;
        const Rect changed = paintCompared(r);
        if (!changed.empty()) exposed.push_back(changed);
    };
    for (const Rect& r : strips) repaint(r);
    for (const Rect& r : spoilt) repaint(r);
    lastCompared_ = {};
    comparesToSkip_ = 0;
    app_.platform().presentMove(window_, framebuffer_, moved.offset(-dx, -dy), dx, dy, exposed);
    return true;
}

// Repaints the area in bands of whole rows, each kept before it is painted
// and compared after, so the copy kept for comparing stays a band's size
// however large the area (a whole window at twice the size would need
// 2.4 MB). The result is the bounding box of the changed pixels, the same
// as comparing the area at once.
Rect Form::paintCompared(const Rect& area) {
    const Rect a = area.intersect(framebuffer_.bounds());
    if (a.empty()) return {};
    const int rows = std::max(1, kCompareBandPixels / a.width);
    Rect changed;
    for (int y = a.y; y < a.bottom(); y += rows) {
        const Rect band{a.x, y, a.width, std::min(rows, a.bottom() - y)};
        copyPixels(framebuffer_, band, beforePaint_);
        paint(framebuffer_, band);
        changed = changed.unite(changedBounds(framebuffer_, band, beforePaint_));
    }
    return changed;
}

Bitmap Form::renderAll() const {
    Bitmap out(deviceWidth_, deviceHeight_);
    paint(out, out.bounds());
    return out;
}

void Form::paint(Bitmap& target, const Rect& clip) const {
    const int s = scale_;
    if (borderStyle_ != 0) {
        const Rect b = target.bounds();
        drawRectOutline(target, 0, 0, b.width, b.height, rgbPixel(0, 0, 0), clip, s);
    }
    const Rect client = clientPixelBounds().scaled(s);
    const Rect inner = client.intersect(clip);
    if (inner.empty()) return;
    // The window's own surface lies behind every control. A picture box
    // paints every pixel of its bounds, so the surface is drawn only around
    // the largest one: the card face covers the whole window, and filling
    // the window's background beneath it on every shake tick was a third of
    // the cost of recomposing the card.
    Rect cover;
    for (const Control* c : children_) {
        if (c->kind() != ControlKind::PictureBox || !c->Visible()) continue;
        const Rect r = c->framePixelBounds().scaled(s).intersect(inner);
        if (long(r.width) * r.height > long(cover.width) * cover.height) cover = r;
    }
    if (cover.empty()) {
        canvas_.render(target, client.x, client.y, inner);
    } else {
        // inner minus cover: the bands above and below it, and the parts
        // beside it.
        const Rect around[] = {
            {inner.x, inner.y, inner.width, cover.y - inner.y},
            {inner.x, cover.bottom(), inner.width, inner.bottom() - cover.bottom()},
            {inner.x, cover.y, cover.x - inner.x, cover.height},
            {cover.right(), cover.y, inner.right() - cover.right(), cover.height},
        };
        for (const Rect& r : around)
            if (!r.empty()) canvas_.render(target, client.x, client.y, r);
    }
    paintChildren(children_, target, inner);
}

// ------------------------------------------------------------- semantics

void Form::setAccessibleName(std::string name) {
    if (name == accessibleName_) return;
    accessibleName_ = std::move(name);
    semanticsDirty_ = true;
}

void Form::setAnnouncement(std::string text) {
    if (text == announcement_) return;
    announcement_ = std::move(text);
    semanticsDirty_ = true;
}

namespace {

// Lists the controls with a role among `children` and what they hold, in
// the order the pointer finds them: windowed controls before windowless
// ones, front first, and what a container holds before the container.
void collectItems(const std::vector<Control*>& children, const Rect& window, int scale,
                  std::vector<platform::AccessibleItem>& items) {
    for (int pass = 0; pass < 2; ++pass) {
        const bool windowed = pass == 0;
        for (const Control* c : children) {
            if (c->windowed() != windowed || !c->describes()) continue;
            collectItems(c->children(), window, scale, items);
            const auto& role = c->accessibleRole();
            if (!role) continue;
            const Rect bounds = c->framePixelBounds();
            bool shown = c->shownOnScreen();
            for (const Control* holder = c->container(); shown && holder; holder = holder->container())
                shown = !bounds.intersect(holder->frameClientBounds()).empty();
            shown = shown && !bounds.intersect(window).empty();
            items.push_back({*role, c->spokenName(), bounds.scaled(scale), shown});
        }
    }
}

}  // namespace

platform::WindowSemantics Form::semantics() const {
    platform::WindowSemantics s;
    s.name = accessibleName_.empty() ? Caption : accessibleName_;
    s.dialog = modal_;
    s.announcement = announcement_;
    collectItems(children_, clientPixelBounds(), scale_, s.items);
    return s;
}

void Form::describe() {
    if (!semanticsDirty_ || !loaded_ || !visible_) return;
    semanticsDirty_ = false;
    platform::WindowSemantics now = semantics();
    if (described_ && *described_ == now) return;
    app_.platform().describeWindow(window_, now);
    described_ = std::move(now);
}

Control* Form::controlAt(int x, int y) const {
    if (!clientPixelBounds().contains(x, y)) return nullptr;
    return hitTest(children_, x, y);
}

// Children are listed front first; windowed ones stand in front of the
// windowless. Painting goes from the back to the front.
void paintChildren(const std::vector<Control*>& children, Bitmap& frame, const Rect& clip) {
    for (int pass = 0; pass < 2; ++pass) {
        const bool windowed = pass == 1;
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            const Control* c = *it;
            if (c->windowed() != windowed || !c->Visible() || c->kind() == ControlKind::Timer) continue;
            c->paint(frame, clip);
        }
    }
}

Control* hitTest(const std::vector<Control*>& children, int x, int y) {
    for (int pass = 0; pass < 2; ++pass) {
        const bool windowed = pass == 0;
        for (Control* c : children) {
            if (c->windowed() != windowed || !c->Visible()) continue;
            // Timers, shapes and lines take no pointer input.
            if (c->kind() == ControlKind::Timer || c->kind() == ControlKind::Shape ||
                c->kind() == ControlKind::Line)
                continue;
            if (!c->framePixelBounds().contains(x, y)) continue;
            if (c->isContainer() && c->frameClientBounds().contains(x, y))
                if (Control* inner = hitTest(c->children(), x, y)) return inner;
            return c;
        }
    }
    return nullptr;
}

}  // namespace rt

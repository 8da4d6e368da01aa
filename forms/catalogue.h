// The catalogue: the design-time description of the program's two windows
// -- each window's own properties and the controls it holds, with their
// kinds, containers, array indices, stacking order, initial properties and
// pictures. It is data; buildForm turns it into a live window.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "pictures.h"
#include "runtime/control.h"
#include "runtime/graphics/errors.h"
#include "runtime/form.h"
#include "runtime/units.h"

namespace velmora {

struct FontDesign {
    std::string_view face = "MS Sans Serif";
    float points = 8.25f;
    bool italic = false;
};

// One control. Within one container, controls are listed front first.
struct ControlDesign {
    rt::ControlKind kind;
    std::string_view name;
    int index = -1;                 // array index, -1 outside an array
    std::string_view container;     // a picture box's name; empty: the window
    int containerIndex = -1;
    float left = 0, top = 0, width = 0, height = 0;
    bool visible = true;
    bool enabled = true;
    int tabIndex = 0;
    std::optional<rt::OleColor> backColor;
    std::optional<rt::OleColor> foreColor;
    int borderStyle = 1;            // picture boxes
    int appearance = 1;
    bool autoSize = false;          // picture boxes, labels
    bool autoRedraw = false;
    Asset picture = Asset::None;
    std::string_view caption;       // caption, or a text box's text
    std::optional<FontDesign> font;
    int alignment = 0;              // labels
    int backStyle = 1;
    int mousePointer = rt::kPointerDefault;
    Asset mouseIcon = Asset::None;
    int style = 0;                  // command buttons
    int interval = 0;               // timers
    float x2 = 0, y2 = 0;           // lines: the end point; left, top is the start
    // For assistive technology: a button or link to press (none: not
    // presented), and its name; an empty name reads the caption.
    std::optional<rt::platform::AccessibleRole> accessibleRole;
    std::string_view accessibleName;
};

struct FormDesign {
    std::string_view name;
    float width = 0, height = 0;    // outer size
    int borderStyle = 0;
    bool showInTaskbar = false;
    int startUpPosition = 0;
    rt::OleColor backColor = rt::kButtonFaceColour;
    Asset picture = Asset::None;
    Asset icon = Asset::None;
    bool autoRedraw = false;
    std::string_view accessibleName;  // what assistive technology calls the window
    std::span<const ControlDesign> controls;
};

const FormDesign& cardWindowDesign();
const FormDesign& aboutWindowDesign();

// Creates every control of the design on the window, with its properties.
void buildForm(rt::Form& form, const FormDesign& design);

// The window's control of that name and index, of the kind the caller
// expects; a missing control is the runtime's "Object required" error.
template <class T>
T& findControl(rt::Form& form, const char* name, int index = -1) {
    auto* found = dynamic_cast<T*>(form.find(name, index));
    if (!found) throw rt::RuntimeError(rt::ErrorCode::ObjectRequired, "Object required");
    return *found;
}

}  // namespace velmora

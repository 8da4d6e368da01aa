#include "system_calls.h"

#include <climits>
#include <string>

#include "application.h"
#include "graphics/region.h"

namespace rt {

RegionHandle CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth,
                                int ellipseHeight) {
    // Limits far beyond any screen keep the pixel arithmetic in range.
    constexpr int kLimit = 1 << 20;
    for (int v : {left, top, right, bottom})
        if (v < -kLimit || v > kLimit) return nullptr;
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    Region shape = roundRectRegion(right - left, bottom - top, std::abs(ellipseWidth), std::abs(ellipseHeight));
    for (Span& s : shape.spans) {
        s.y += top;
        s.x0 += left;
        s.x1 += left;
    }
    if (shape.roundRect) {
        shape.roundRect->left = left;
        shape.roundRect->top = top;
    }
    return std::make_shared<const Region>(std::move(shape));
}

int SetWindowRgn(platform::WindowHandle window, RegionHandle region, bool) {
    Application& app = Application::current();
    Form* form = app.formFor(window);
    if (!form) return 0;
    form->setShape(std::move(region));
    return 1;
}

long ShellExecute(platform::WindowHandle owner, std::string_view operation, std::string_view file,
                  std::string_view parameters, std::string_view directory, int showCommand) {
    if (operation != "open" || file.empty()) return 2;  // file not found
    Application::current().platform().openDocument({owner, std::string(operation), std::string(file),
                                                    std::string(parameters), std::string(directory), showCommand});
    return 42;
}

}  // namespace rt

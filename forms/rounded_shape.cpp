#include "rounded_shape.h"

#include <cmath>

#include "runtime/builtins.h"
#include "runtime/graphics/errors.h"
#include "runtime/system_calls.h"

namespace velmora {

namespace {

// A single-precision quotient; a zero, infinite or invalid result is the
// runtime's arithmetic error.
float divide(float numerator, float denominator) {
    if (denominator == 0.0f) throw rt::RuntimeError(rt::ErrorCode::DivisionByZero, "Division by zero");
    const float q = numerator / denominator;
    if (!std::isfinite(q)) throw rt::RuntimeError(rt::ErrorCode::Overflow, "Overflow");
    return q;
}

}  // namespace

void ApplyRoundedShape(rt::Form& form, std::int16_t diameter) {
    const float twipsPerPixelX = rt::TwipsPerPixelX();
    const float widthPixels = divide(form.Width(), twipsPerPixelX);
    const float twipsPerPixelY = rt::TwipsPerPixelY();
    const float heightPixels = divide(form.Height(), twipsPerPixelY);
    const auto window = form.hWnd();
    const std::int32_t width = rt::CLng(widthPixels);
    const std::int32_t height = rt::CLng(heightPixels);
    const std::int32_t corner = diameter;
    const rt::RegionHandle region = rt::CreateRoundRectRgn(0, 0, width, height, corner, corner);
    rt::SetWindowRgn(window, region, true);
}

}  // namespace velmora

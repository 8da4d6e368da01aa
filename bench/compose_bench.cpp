// Compositing costs of the card window, on the real card built by the
// program on the headless backend (whose present copies the rectangle into
// its kept screen, much as XPutImage copies it into the request buffer):
//
//   BM_ComposeWholeCard     every pixel of the 333 x 415 window, as on the
//                           first showing or a full Expose
//   BM_ComposeFlameBand     a frame change: the top 5/9 of a flame frame
//                           painted over the card face, then composed
//   BM_FlyAwayPaintPicture  the scaled PaintPicture of the whole greeting
//                           into the shrinking panel, at a given fly-away step
//   BM_FlyAwayStep          a whole fly-away step: move and shrink the
//                           panel, the scaled PaintPicture, then compose
//
// and, for the start-up budget,
//
//   BM_DecodePicture        decoding one built-in picture
//   BM_StartCard            the program's start on the headless backend up
//                           to the shown card, with the pictures already
//                           decoded (they are decoded once per process)
//
// The program is driven without its event loop: handlers' work is done by
// calling the form's methods directly, so no session thread is needed.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <span>

#include "app/module1.h"
#include "card/card_form.h"
#include "runtime/application.h"
#include "runtime/graphics/picture.h"
#include "runtime/platform/headless/headless_platform.h"

// The built-in pictures' bytes, as embedded by the build.
namespace embedded {
std::span<const std::uint8_t> assetCardFace();
std::span<const std::uint8_t> assetFlameFrame2();
std::span<const std::uint8_t> assetGreetingPanel();
std::span<const std::uint8_t> assetGreetingBanner();
std::span<const std::uint8_t> assetCloseGlyph();
std::span<const std::uint8_t> assetCardIcon();
std::span<const std::uint8_t> assetHandCursor();
}  // namespace embedded

namespace {

// The program, started as main() starts it, with the card window shown.
struct ShownCard {
    rt::platform::HeadlessPlatform platform;
    rt::Application app{platform, rt::ApplicationOptions{.title = "Velmora"}};
    velmora::Program program{app};

    ShownCard() { velmora::SubMain(program); }
    velmora::CardForm& card() { return program.Form1(); }
};

void BM_ComposeWholeCard(benchmark::State& state) {
    ShownCard shown;
    velmora::CardForm& card = shown.card();
    for (auto _ : state) {
        card.invalidateAll();
        card.compose();
        benchmark::DoNotOptimize(card.framebuffer().row(0));
    }
    const rt::Rect b = card.framebuffer().bounds();
    state.counters["width"] = b.width;
    state.counters["height"] = b.height;
    state.SetItemsProcessed(state.iterations() * b.width * b.height);  // pixels
}
BENCHMARK(BM_ComposeWholeCard)->Unit(benchmark::kMicrosecond);

void BM_ComposeFlameBand(benchmark::State& state) {
    ShownCard shown;
    velmora::CardForm& card = shown.card();
    rt::PictureBox& face = card.Picture1(0);
    // The band a frame change paints: the top 1/1.8 of the card face.
    const float bandHeight = float(double(face.Height()) / 1.8);
    int frame = 1;
    int bandRows = 0;
    for (auto _ : state) {
        face.PaintPicture(card.Picture1(frame).Picture(), 0, 0, {}, {}, {}, {}, {}, bandHeight);
        bandRows = card.dirty().height;
        card.compose();
        frame = frame % 5 + 1;
    }
    state.counters["band_rows"] = bandRows;
    state.SetItemsProcessed(state.iterations() * bandRows * card.framebuffer().width());
}
BENCHMARK(BM_ComposeFlameBand)->Unit(benchmark::kMicrosecond);

// The greeting panel as the unroll leaves it: as tall as the card face,
// centred on it, in front of everything.
void unrollPanel(velmora::CardForm& card) {
    rt::PictureBox& panel = card.Picture2;
    panel.setLeft(card.Width() / 2 - panel.Width() / 2);
    panel.setHeight(card.Picture1(0).Height());
    panel.setTop(card.Picture1(0).Height() / 2 - panel.Height() / 2);
    panel.setVisible(true);
    panel.ZOrder();
    card.compose();
}

struct PanelBounds {
    float left, width, height;
};

// The panel's bounds after `steps` fly-away steps, by the same arithmetic as
// Timer4_Timer.
PanelBounds panelAfter(const rt::PictureBox& panel, int steps) {
    PanelBounds b{panel.Left(), panel.Width(), panel.Height()};
    for (int i = 0; i < steps; ++i) {
        b.left += 130;
        b.width = float(double(b.width) * 0.9);
        b.height = float(double(b.height) * 0.9);
    }
    return b;
}

void place(rt::PictureBox& panel, const PanelBounds& b) {
    panel.setLeft(b.left);
    panel.setWidth(b.width);
    panel.setHeight(b.height);
}

void BM_FlyAwayPaintPicture(benchmark::State& state) {
    ShownCard shown;
    velmora::CardForm& card = shown.card();
    rt::PictureBox& panel = card.Picture2;
    unrollPanel(card);
    place(panel, panelAfter(panel, int(state.range(0))));
    card.compose();
    for (auto _ : state) {
        panel.PaintPicture(panel.Picture(), 0, 0, panel.Width(), panel.Height());
        benchmark::ClobberMemory();
    }
    const rt::Rect r = panel.framePixelBounds();
    state.counters["panel_w"] = r.width;
    state.counters["panel_h"] = r.height;
    state.SetItemsProcessed(state.iterations() * r.width * r.height);
}
BENCHMARK(BM_FlyAwayPaintPicture)->Arg(1)->Arg(12)->Arg(24)->Arg(35)->Unit(benchmark::kMicrosecond);

void BM_FlyAwayStep(benchmark::State& state) {
    ShownCard shown;
    velmora::CardForm& card = shown.card();
    rt::PictureBox& panel = card.Picture2;
    unrollPanel(card);
    const int step = int(state.range(0));
    const PanelBounds before = panelAfter(panel, step - 1);
    const PanelBounds after = panelAfter(panel, step);
    int dirtyPixels = 0;
    for (auto _ : state) {
        state.PauseTiming();
        place(panel, before);
        panel.PaintPicture(panel.Picture(), 0, 0, panel.Width(), panel.Height());
        card.compose();
        state.ResumeTiming();
        place(panel, after);
        panel.PaintPicture(panel.Picture(), 0, 0, panel.Width(), panel.Height());
        dirtyPixels = card.dirty().width * card.dirty().height;
        card.compose();
    }
    const rt::Rect r = panel.framePixelBounds();
    state.counters["panel_w"] = r.width;
    state.counters["panel_h"] = r.height;
    state.counters["dirty_px"] = dirtyPixels;
}
BENCHMARK(BM_FlyAwayStep)->Arg(1)->Arg(12)->Arg(24)->Arg(35)->Unit(benchmark::kMicrosecond);

void BM_DecodePicture(benchmark::State& state, std::span<const std::uint8_t> (*bytes)()) {
    const std::span<const std::uint8_t> data = bytes();
    int pixels = 0;
    for (auto _ : state) {
        rt::PictureRef picture = rt::decodePicture(data);
        pixels = picture->width() * picture->height();
        benchmark::DoNotOptimize(picture);
    }
    state.counters["bytes"] = double(data.size());
    state.counters["pixels"] = pixels;
}
// One of each kind the card decodes: a 333 x 415 JPEG (the card face, the
// three flame frames and the greeting panel are alike), the GIF banner, the
// BMP glyphs, the icon and the cursor.
BENCHMARK_CAPTURE(BM_DecodePicture, CardFace, embedded::assetCardFace)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_DecodePicture, FlameFrame2, embedded::assetFlameFrame2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_DecodePicture, GreetingPanel, embedded::assetGreetingPanel)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_DecodePicture, GreetingBanner, embedded::assetGreetingBanner)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_DecodePicture, CloseGlyph, embedded::assetCloseGlyph)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_DecodePicture, CardIcon, embedded::assetCardIcon)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_DecodePicture, HandCursor, embedded::assetHandCursor)->Unit(benchmark::kMicrosecond);

void BM_StartCard(benchmark::State& state) {
    { ShownCard warm; }  // decodes the pictures once, outside the timing
    for (auto _ : state) {
        ShownCard shown;
        benchmark::DoNotOptimize(shown.card().framebuffer().row(0));
    }
}
BENCHMARK(BM_StartCard)->Unit(benchmark::kMicrosecond);

}  // namespace

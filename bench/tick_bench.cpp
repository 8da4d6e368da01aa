// The cost of one tick of the card's show timer, Timer1, on the headless
// backend, followed by the compositor's pass that puts any change on
// screen: a tick with no frame due (the common case, 64 times a second), a
// tick that paints a new flame frame, and a tick of the shake, which moves
// the whole card face and applies the window shape anew. The idle and the
// frame-change ticks run at 96 dots per inch and at 192 (/96, /192), where
// every pixel is drawn as 2 x 2.
//
// Counters per tick: heap allocations, presents and (for the shake) shape
// requests, so that a tick that starts allocating or presenting shows up
// here as well as in its time.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "app/module1.h"
#include "card/card_form.h"
#include "runtime/application.h"
#include "runtime/platform/headless/headless_platform.h"

namespace {

std::atomic<long> allocations{0};

}  // namespace

// Counts every heap allocation of the process.
void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// The replaced new takes its memory from malloc, so free is the match; the
// compiler cannot see that the two replacements belong together.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

using velmora::CardForm;
using velmora::Program;

// The program started on a headless platform, without a session thread:
// the benchmark sets the virtual clock itself and calls the handler.
class Card {
public:
    explicit Card(double dpi = 96)
        : platform_(rt::platform::HeadlessOptions{.dpi = dpi}),
          app_(platform_, rt::ApplicationOptions{.title = "Velmora"}),
          program_(app_) {
        velmora::SubMain(program_);
        card_ = &program_.Form1();
    }

    CardForm& card() { return *card_; }
    const rt::platform::HeadlessWindow& window() { return platform_.window(card_->hWnd()); }

    // Moves the virtual clock to t seconds after start.
    void setTime(double t) {
        platform_.allowUntil(t);
        platform_.waitEvent(t);
    }

    // A tick as the event loop runs it: the handler, then the compositor
    // and the window's description for assistive technology.
    void tick() {
        card_->Timer1_Timer();
        card_->compose();
        card_->describe();
    }

private:
    rt::platform::HeadlessPlatform platform_;
    rt::Application app_;
    Program program_;
    CardForm* card_ = nullptr;
};

void reportPerTick(benchmark::State& state, long allocs, int presents, int shapes = 0) {
    const auto n = double(state.iterations());
    state.counters["allocs/tick"] = double(allocs) / n;
    state.counters["presents/tick"] = double(presents) / n;
    if (shapes) state.counters["shapes/tick"] = double(shapes) / n;
}

// No frame due: the clock stands where the last frame change was made, so
// every delay drawn is still ahead.
void BM_Timer1TickIdle(benchmark::State& state) {
    Card c(double(state.range(0)));
    c.setTime(5);
    c.tick();
    const int presents = c.window().presents;
    const long allocs = allocations.load();
    for (auto _ : state) c.tick();
    reportPerTick(state, allocations.load() - allocs, c.window().presents - presents);
}
BENCHMARK(BM_Timer1TickIdle)->Arg(96)->Arg(192);

// A frame change on every tick: the band is painted from the next frame
// and only the band is recomposed and presented.
void BM_Timer1TickFrameChange(benchmark::State& state) {
    Card c(double(state.range(0)));
    c.setTime(5);
    c.tick();
    const int presents = c.window().presents;
    const long allocs = allocations.load();
    for (auto _ : state) {
        c.card().LastFrameTime = 0;
        c.tick();
    }
    reportPerTick(state, allocations.load() - allocs, c.window().presents - presents);
}
BENCHMARK(BM_Timer1TickFrameChange)->Arg(96)->Arg(192);

// A shake tick, 20 s into the show: a new offset for the card face, the
// window's shape computed and applied again, the whole window recomposed.
// (The X11 backend sends the shape to the server only when it changed.)
void BM_Timer1TickShake(benchmark::State& state) {
    Card c;
    c.setTime(20);
    c.tick();
    const int presents = c.window().presents;
    const int shapes = c.window().shapeRequests;
    const int describes = c.window().describes;
    const long allocs = allocations.load();
    for (auto _ : state) {
        c.card().LastFrameTime = float(c.card().StartTime + 20);  // no frame due
        c.tick();
    }
    reportPerTick(state, allocations.load() - allocs, c.window().presents - presents,
                  c.window().shapeRequests - shapes);
    state.counters["describes/tick"] =
        benchmark::Counter(double(c.window().describes - describes), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_Timer1TickShake);

// For scale: recomposing and presenting the whole card window.
void BM_ComposeWholeCard(benchmark::State& state) {
    Card c;
    c.setTime(5);
    c.tick();
    for (auto _ : state) {
        c.card().invalidateAll();
        c.card().compose();
    }
}
BENCHMARK(BM_ComposeWholeCard);

}  // namespace

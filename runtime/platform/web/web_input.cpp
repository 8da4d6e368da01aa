// Input: the page's listeners write each pointer event as a record (the
// fields web_logic.h names) and call into the module at once, synchronously:
// the backend hit-tests the windows, queues the events and answers whether
// the card took it, so that the listener can keep it from the page
// (preventDefault) or leave it to the page beneath. Visibility changes stop
// and start the clock. The wait hands control back to the browser until
// input arrives, the page shows, or the deadline passes.
//
// Why the listeners call in rather than queue records for the wait to take:
// whether a press is the card's must be known before the listener returns,
// and the answer (a pure hit test on the backend's state) needs no
// Asyncify. The calls land while the program sleeps in velmora_web_wait,
// between two of its steps, and only touch the queue and the input state;
// the listener then ends the wait.
#include "web_internal.h"

#include <emscripten.h>

#include <cmath>

namespace {

// What velmora_web_pointer answers: bits the page tests.
constexpr int kTaken = 1;   // the card's event: preventDefault
constexpr int kQueued = 2;  // events wait for the program: end the wait

}  // namespace

// The module's exports the page's listeners call.
extern "C" {

// Takes the pointer record the page has just written; kTaken and kQueued bits.
EMSCRIPTEN_KEEPALIVE int velmora_web_pointer() {
    auto* platform = rt::platform::web::WebPlatform::current();
    return platform ? platform->takePointer() : 0;
}

// The page was hidden (1) or shown (0).
EMSCRIPTEN_KEEPALIVE void velmora_web_visibility(int hidden) {
    if (auto* platform = rt::platform::web::WebPlatform::current()) platform->setHidden(hidden != 0);
}

}  // extern "C"

// Listens on the document, capturing, for every kind of pointer event the
// record names, and for visibility changes. `record` is a PointerRecord:
// `fields` names its doubles in memory order, `kinds` the DOM events in the
// order of their numbers.
EM_JS(void, velmora_web_listen, (double* record, const char* fields, const char* kinds, int taken, int queued), {
    const backend = Module.velmoraBackend;
    const stage = Module.velmoraStage;
    const slot = {};
    UTF8ToString(fields).split(",").forEach((name, i) => { slot[name] = (record >> 3) + i; });
    // The one way a pointer record reaches the program, for these listeners
    // and for the keys on the described elements (web_semantics.cpp): x and
    // y in CSS pixels of the stage as laid out. Keeps the time of the card's
    // last press, which keyed clicks keep their distance from.
    backend.kinds = {};
    backend.queued = queued;
    backend.lastPress = -Infinity;
    backend.pointer = (kind, x, y, button, time, touch) => {
        HEAPF64[slot.kind] = kind;
        HEAPF64[slot.x] = x;
        HEAPF64[slot.y] = y;
        HEAPF64[slot.button] = button;
        HEAPF64[slot.time] = time;
        HEAPF64[slot.touch] = touch;
        const outcome = _velmora_web_pointer();
        if (kind === backend.kinds.pointerdown && (outcome & taken)) backend.lastPress = time;
        return outcome;
    };
    const on = (type, handler) => {
        document.addEventListener(type, handler, { capture: true });
        backend.listeners.push([type, handler]);
    };
    UTF8ToString(kinds).split(",").forEach((type, kind) => {
        backend.kinds[type] = kind;
        on(type, (event) => {
            const box = stage.getBoundingClientRect();
            const fit = box.width / stage.offsetWidth || 1;
            const outcome = backend.pointer(kind, (event.clientX - box.left) / fit, (event.clientY - box.top) / fit,
                                            event.button, event.timeStamp, event.pointerType === "touch" ? 1 : 0);
            if (outcome & taken) event.preventDefault();
            if (outcome & queued) backend.wake();
        });
    });
    on("visibilitychange", () => {
        _velmora_web_visibility(document.visibilityState === "hidden" ? 1 : 0);
        backend.wake();
    });
});

// The program has ended: its listeners go, so that a card opened again in
// the same page is the only one listening.
EM_JS(void, velmora_web_unlisten, (), {
    const backend = Module.velmoraBackend;
    backend.listeners.forEach((listener) => document.removeEventListener(listener[0], listener[1], { capture: true }));
    backend.listeners = [];
});

EM_JS(int, velmora_web_hidden, (), {
    return document.visibilityState === "hidden" ? 1 : 0;
});

// Yields to the browser until input arrives or the time passes (a
// negative time: until input): backend.wake ends it either way. Asyncify's
// own sleep, with one wake function for every wait, rather than an async
// function and a promise of its own: the program waits about 64 times a
// second, and each of those made a kilobyte of garbage for the page.
EM_JS(void, velmora_web_wait, (double milliseconds), {
    return Asyncify.handleSleep((wakeUp) => {
        const backend = Module.velmoraBackend;
        backend.sleeping = wakeUp;
        if (milliseconds >= 0) backend.timer = setTimeout(backend.wake, milliseconds);
    });
});

namespace rt::platform::web {

void WebPlatform::listen() {
    const std::string fields(pointerFieldNames()), kinds(pointerKindNames());
    velmora_web_listen(&record_.kind, fields.c_str(), kinds.c_str(), kTaken, kQueued);
}

void WebPlatform::unlisten() { velmora_web_unlisten(); }

bool WebPlatform::pageHidden() const { return velmora_web_hidden() != 0; }

int WebPlatform::takePointer() {
    const PointerOutcome outcome = pointer_.take(record_, windows_, queue_);
    showCursor();
    return (outcome.taken ? kTaken : 0) | (outcome.queued ? kQueued : 0);
}

void WebPlatform::setHidden(bool hidden) { clock_.setHidden(hidden, realMonotonicSeconds()); }

// Hands control back to the browser until input arrives or the deadline
// passes. A deadline already reached returns at once without yielding:
// a browser holds every timeout for at least 4 ms, so yielding for
// nothing would cost a whole tick. While the page is hidden the clock
// stands still: the wait lasts until the page shows or input arrives.
std::optional<Event> WebPlatform::waitEvent(double deadline) {
    for (;;) {
        pointer_.flush(queue_);
        if (auto e = queue_.pop()) return e;
        const double left = deadline - monotonicSeconds();
        if (left <= 0) return std::nullopt;
        // Whole milliseconds rounded up: a timeout never fires early, so
        // one wait reaches the deadline.
        velmora_web_wait(clock_.hidden() || std::isinf(left) ? -1.0 : std::ceil(left * 1000.0));
    }
}

}  // namespace rt::platform::web

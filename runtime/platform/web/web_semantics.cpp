// What the windows describe, kept in step in the page for the keyboard and
// for assistive technology, and the user's wish for less motion.
//
// Each window's canvas has an overlay beside it (web_windows.cpp places it
// on the canvas's box and stacks it with it): the program's buttons and
// links become real, transparent DOM elements at their rectangles there,
// shown or hidden as described. A window with a name and no dialog is an
// image with that name, and can take the focus (the card); a dialog's
// overlay is a modal dialog with its name, its canvas hidden from
// assistive technology. What a window announces goes once into a polite
// live region.
//
// The windows take no key: a key on a described element becomes a pointer
// press and release at that element's centre (Enter or Space on a window,
// a button's own click, Enter on a link, Escape in a dialog for its first
// button), written as a pointer record through the same path as the
// page's pointer listeners (web_input.cpp), so the program cannot tell
// the difference. Two such clicks stay further apart than a double-click,
// and none follows a user's press that closely. While the focus is on a
// window's button, a click on the window's centre every two seconds keeps
// its buttons shown: the card hides them three seconds after its last click.
#include "web_internal.h"

#include <emscripten.h>

namespace {

// More than the click trackers' double-click time, so that no key makes a
// double-click with the click before it (a double-click ends the card).
const int kKeyClickGapMs = int(rt::platform::ClickTracker().intervalMs()) + 200;
// Well within the three seconds after which the card hides its buttons.
constexpr int kRenewMs = 2000;

}  // namespace

EM_JS(void, velmora_web_semantics_start, (int gapMs, int renewMs), {
    const backend = Module.velmoraBackend;
    const live = document.createElement("div");
    live.className = "velmora-announcement";
    live.setAttribute("aria-live", "polite");
    live.style.cssText = "position:absolute;left:0;top:0;width:1px;height:1px;overflow:hidden;" +
                         "clip-path:inset(50%);white-space:nowrap;";
    Module.velmoraStage.appendChild(live);
    const state = { live: live, pending: 0, timer: 0, listeners: [] };
    backend.semantics = state;

    // A window's canvas, or one of its items: its centre on the stage, CSS pixels.
    const centreOf = (element) => {
        const entry = backend.canvases.get(element.velmoraWindow);
        if (!entry) return null;
        const style = entry.canvas.style;
        const box = element.velmoraBox || { x: 0, y: 0, w: parseFloat(style.width), h: parseFloat(style.height) };
        return { x: parseFloat(style.left) + box.x + box.w / 2, y: parseFloat(style.top) + box.y + box.h / 2 };
    };
    const click = (point) => {
        if (!point || !backend.pointer) return;
        const kinds = backend.kinds;
        const down = backend.pointer(kinds.pointerdown, point.x, point.y, 0, performance.now(), 0);
        const up = backend.pointer(kinds.pointerup, point.x, point.y, 0, performance.now(), 0);
        if ((down | up) & backend.queued) backend.wake();
    };
    // A click a key asked for: at once, or once the last press is far enough behind.
    const keyClick = (element) => {
        if (state.pending) return;
        const wait = backend.lastPress + gapMs - performance.now();
        if (!(wait > 0)) {
            click(centreOf(element));
            return;
        }
        state.pending = setTimeout(() => {
            state.pending = 0;
            click(centreOf(element));
        }, wait);
    };
    const openDialog = () => {
        let found = null;
        backend.canvases.forEach((entry) => {
            if (entry.dialog && entry.canvas.style.display === "block" &&
                (!found || Number(entry.canvas.style.zIndex) > Number(found.canvas.style.zIndex))) found = entry;
        });
        return found;
    };
    const shownItems = (entry) => (entry.items || []).filter((element) => !element.hidden);
    state.focusDialog = (entry) => {
        const items = shownItems(entry);
        const first = items.find((element) => element.velmoraLink) || items[0];
        if (first && !entry.overlay.contains(document.activeElement)) first.focus({ preventScroll: true });
    };
    // A window goes (hidden or removed): the focus in it goes to a window
    // that can take it, or leaves the stage.
    backend.leaving = (entry) => {
        const active = document.activeElement;
        if (active !== entry.canvas && !entry.overlay.contains(active)) return;
        let to = null;
        backend.canvases.forEach((other) => {
            if (other !== entry && other.canvas.tabIndex === 0 && other.canvas.style.display === "block") to = other.canvas;
        });
        if (to) to.focus({ preventScroll: true });
        else active.blur();
    };

    const on = (target, type, handler) => {
        target.addEventListener(type, handler);
        state.listeners.push([target, type, handler]);
    };
    on(document, "keydown", (event) => {
        if (event.defaultPrevented || event.altKey || event.ctrlKey || event.metaKey) return;
        const target = event.target;
        const activates = event.key === "Enter" || event.key === " ";
        const dialog = openDialog();
        if (dialog && event.key === "Escape") {
            event.preventDefault();
            const close = shownItems(dialog).find((element) => !element.velmoraLink);
            if (close && !event.repeat) keyClick(close);
            return;
        }
        if (dialog && event.key === "Tab") {
            const items = shownItems(dialog);
            if (!items.length) return;
            event.preventDefault();
            const n = items.length, i = items.indexOf(document.activeElement);
            items[i < 0 ? (event.shiftKey ? n - 1 : 0) : (i + (event.shiftKey ? n - 1 : 1)) % n].focus();
            return;
        }
        if (target.velmoraWindow === undefined || !activates) return;
        // A key held down repeats: one click, never a double-click.
        if (event.repeat) {
            event.preventDefault();
            return;
        }
        if (target.tagName === "CANVAS" || (target.velmoraLink && event.key === "Enter")) {
            event.preventDefault();
            keyClick(target);
        }
    });
    // A button's own click (Enter, Space, or assistive technology's), and a
    // link's from assistive technology: the pointer never reaches them.
    on(Module.velmoraStage, "click", (event) => {
        if (event.target.velmoraBox === undefined) return;
        event.preventDefault();
        keyClick(event.target);
    });
    state.timer = setInterval(() => {
        const active = document.activeElement;
        if (!active || active.velmoraBox === undefined || active.hidden || state.pending || openDialog()) return;
        const entry = backend.canvases.get(active.velmoraWindow);
        if (!entry || entry.dialog || performance.now() - backend.lastPress < renewMs) return;
        click(centreOf(entry.canvas));
    }, 200);
});

EM_JS(void, velmora_web_semantics_stop, (), {
    const backend = Module.velmoraBackend;
    const state = backend.semantics;
    if (!state) return;
    clearInterval(state.timer);
    clearTimeout(state.pending);
    state.listeners.forEach((listener) => listener[0].removeEventListener(listener[1], listener[2]));
    state.live.remove();
    backend.semantics = null;
    backend.leaving = null;
});

// The window's name and kind: an image that takes the focus, or a modal dialog.
EM_JS(void, velmora_web_describe, (int window, const char* name, int dialog), {
    const entry = Module.velmoraBackend.canvases.get(window);
    if (!entry) return;
    const canvas = entry.canvas, overlay = entry.overlay, text = UTF8ToString(name);
    entry.dialog = dialog !== 0;
    entry.items = entry.items || [];
    entry.hadFocus = overlay.contains(document.activeElement);
    canvas.velmoraWindow = window;
    if (entry.dialog || !text) {
        canvas.setAttribute("aria-hidden", "true");
        canvas.removeAttribute("role");
        canvas.removeAttribute("aria-label");
        canvas.removeAttribute("tabindex");
    } else {
        canvas.removeAttribute("aria-hidden");
        canvas.setAttribute("role", "img");
        canvas.setAttribute("aria-label", text);
        canvas.tabIndex = 0;
    }
    if (entry.dialog) {
        overlay.setAttribute("role", "dialog");
        overlay.setAttribute("aria-modal", "true");
        overlay.setAttribute("aria-label", text);
    } else {
        overlay.removeAttribute("role");
        overlay.removeAttribute("aria-modal");
        overlay.removeAttribute("aria-label");
    }
});

// Item `index` of the window: a button or a link with its name, at its
// rectangle in the window (CSS pixels), shown or hidden.
EM_JS(void, velmora_web_describe_item,
      (int window, int index, int link, const char* name, double x, double y, double width, double height, int shown), {
    const entry = Module.velmoraBackend.canvases.get(window);
    if (!entry) return;
    let element = entry.items[index];
    if (!element || !!element.velmoraLink !== (link !== 0)) {
        const made = document.createElement(link ? "a" : "button");
        if (link) {
            made.setAttribute("role", "link");
            made.tabIndex = 0;
        } else {
            made.type = "button";
        }
        made.className = "velmora-item";
        made.velmoraLink = link !== 0;
        made.velmoraWindow = window;
        if (element) element.replaceWith(made);
        else entry.overlay.appendChild(made);
        element = made;
        entry.items[index] = element;
    }
    element.velmoraBox = { x: x, y: y, w: width, h: height };
    element.setAttribute("aria-label", UTF8ToString(name));
    const style = element.style;
    style.left = x + "px";
    style.top = y + "px";
    style.width = width + "px";
    style.height = height + "px";
    element.hidden = !shown;
});

// The window has `count` items: the rest go. A dialog just shown takes the
// focus on its first link; a window whose focused item went hidden keeps
// the focus on itself.
EM_JS(void, velmora_web_describe_end, (int window, int count), {
    const backend = Module.velmoraBackend;
    const entry = backend.canvases.get(window);
    if (!entry) return;
    entry.items.splice(count).forEach((element) => element.remove());
    const shown = entry.canvas.style.display === "block";
    if (entry.dialog && shown && backend.semantics) backend.semantics.focusDialog(entry);
    else if (entry.hadFocus && !entry.overlay.contains(document.activeElement) && entry.canvas.tabIndex === 0 && shown)
        entry.canvas.focus({ preventScroll: true });
});

EM_JS(void, velmora_web_announce, (const char* text), {
    const state = Module.velmoraBackend.semantics;
    if (state) state.live.textContent = UTF8ToString(text);
});

EM_JS(int, velmora_web_reduced_motion, (), {
    return window.matchMedia && window.matchMedia("(prefers-reduced-motion: reduce)").matches ? 1 : 0;
});

namespace rt::platform::web {

void WebPlatform::startSemantics() { velmora_web_semantics_start(kKeyClickGapMs, kRenewMs); }

void WebPlatform::stopSemantics() { velmora_web_semantics_stop(); }

void WebPlatform::describeWindow(WindowHandle window, const WindowSemantics& semantics) {
    WindowState* w = find(window);
    if (!w) return;
    velmora_web_describe(int(window), semantics.name.c_str(), semantics.dialog ? 1 : 0);
    const double s = scale_;
    int index = 0;
    for (const AccessibleItem& item : semantics.items) {
        velmora_web_describe_item(int(window), index++, item.role == AccessibleRole::Link ? 1 : 0, item.name.c_str(),
                                  item.bounds.x / s, item.bounds.y / s, item.bounds.width / s, item.bounds.height / s,
                                  item.shown ? 1 : 0);
    }
    velmora_web_describe_end(int(window), index);
    // Said once as it becomes something to say; emptied when it goes, so
    // that the same words said again later are news again.
    if (semantics.announcement != w->announced) {
        w->announced = semantics.announcement;
        velmora_web_announce(w->announced.c_str());
    }
}

bool WebPlatform::prefersReducedMotion() { return velmora_web_reduced_motion() != 0; }

}  // namespace rt::platform::web

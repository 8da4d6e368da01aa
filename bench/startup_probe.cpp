// Measures how long a program takes from exec to its first frame on screen,
// and optionally its resident memory while it runs.
//
//   startup_probe [--timeout S] [--at X,Y] [--memory T1,T2,...] [--class NAME] -- program [args...]
//
// The probe watches the root window for new top-level windows, takes the
// monotonic time, forks and execs the program, and waits for the MapNotify
// of a window whose _NET_WM_PID is the child's. From then on it reads one
// pixel of that window (--at, default 166,300: the card's middle) every
// millisecond until the pixel is no longer the window's black background:
// the program's pixels have reached the screen. It prints
//
//   map_ms=<exec to mapped> frame_ms=<exec to first pixels> cpu_ms=<..> wait_ms=<..>
//
// With --class, the window is the first mapped one whose WM_CLASS holds
// NAME instead: a program under Wine ("wine velmora.exe", class
// "velmora.exe") sets no _NET_WM_PID of the child's.
//
// where cpu_ms is the processor time the program's main thread had used by
// then and wait_ms the time it spent ready but waiting for a processor
// (both from /proc/<pid>/schedstat): on a busy machine frame_ms grows by
// about wait_ms, while cpu_ms stays the program's own cost.
//
// and with --memory, for each time T (seconds after exec, ascending)
//
//   at=<T>s rss_kb=<VmRSS> hwm_kb=<VmHWM>
//
// then ends the program with SIGTERM. Exit status 0 on success, 1 on a
// timeout or when the program ended early, 2 on bad usage.
//
// With a window manager that reparents, the client window's own MapNotify
// goes to its frame, not to the root; the probe therefore also watches
// every new top-level window's structure itself.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

double nowSeconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

void sleepSeconds(double s) {
    if (s <= 0) return;
    timespec t{};
    t.tv_sec = time_t(s);
    t.tv_nsec = long((s - double(t.tv_sec)) * 1e9);
    while (nanosleep(&t, &t) != 0) {
    }
}

int gErrors = 0;
int ignoreErrors(Display*, XErrorEvent*) {
    ++gErrors;  // a window gone between the event and our request
    return 0;
}

long windowPid(Display* d, Window w, Atom netWmPid) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(d, w, netWmPid, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
            Success &&
        data != nullptr && format == 32 && count == 1)
        pid = *reinterpret_cast<long*>(data);
    if (data) XFree(data);
    return pid;
}

bool windowHasClass(Display* d, Window w, const std::string& name) {
    XClassHint hint{};
    if (!XGetClassHint(d, w, &hint)) return false;
    const bool match = (hint.res_name && name == hint.res_name) || (hint.res_class && name == hint.res_class);
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    return match;
}

// One pixel of the window as 0xRRGGBB, or -1 when it cannot be read.
long pixelAt(Display* d, Window w, int x, int y) {
    XImage* image = XGetImage(d, w, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return -1;
    const long p = long(XGetPixel(image, 0, 0) & 0xFFFFFF);
    XDestroyImage(image);
    return p;
}

// The "Vm...:" line of /proc/<pid>/status, in kB, or -1.
long statusKb(pid_t pid, const char* field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.compare(0, key.size(), key) == 0) return std::strtol(line.c_str() + key.size(), nullptr, 10);
    return -1;
}

// The main thread's time on a processor and time waiting for one, in
// seconds, from /proc/<pid>/schedstat; negative when unavailable.
void schedTimes(pid_t pid, double& running, double& waiting) {
    running = waiting = -1;
    std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
    unsigned long long run = 0, wait = 0;
    if (in >> run >> wait) {
        running = double(run) * 1e-9;
        waiting = double(wait) * 1e-9;
    }
}

bool childRunning(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == 0;
}

void stopChild(pid_t pid) {
    kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, &status, WNOHANG) != 0) return;
        sleepSeconds(0.01);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
}

[[noreturn]] void usage() {
    std::fputs("usage: startup_probe [--timeout S] [--at X,Y] [--memory T1,T2,...] [--class NAME] -- program [args...]\n",
               stderr);
    std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
    double timeout = 10;
    int px = 166, py = 300;
    std::vector<double> memoryAt;
    std::string windowClass;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--") {
            ++i;
            break;
        }
        if (i + 1 >= argc) usage();
        if (a == "--timeout") {
            timeout = std::atof(argv[++i]);
        } else if (a == "--at") {
            if (std::sscanf(argv[++i], "%d,%d", &px, &py) != 2) usage();
        } else if (a == "--class") {
            windowClass = argv[++i];
        } else if (a == "--memory") {
            std::stringstream list(argv[++i]);
            std::string item;
            while (std::getline(list, item, ',')) memoryAt.push_back(std::atof(item.c_str()));
        } else {
            usage();
        }
    }
    if (i >= argc) usage();
    char** program = argv + i;

    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::fputs("startup_probe: cannot open the X display\n", stderr);
        return 1;
    }
    XSetErrorHandler(ignoreErrors);
    const Window root = DefaultRootWindow(d);
    const Atom netWmPid = XInternAtom(d, "_NET_WM_PID", False);
    XSelectInput(d, root, SubstructureNotifyMask);
    XSync(d, False);

    const double start = nowSeconds();
    const pid_t child = fork();
    if (child < 0) {
        std::perror("startup_probe: fork");
        return 1;
    }
    if (child == 0) {
        close(ConnectionNumber(d));
        execvp(program[0], program);
        std::perror("startup_probe: exec");
        _exit(127);
    }

    // Wait for the child's window to be mapped.
    Window window = None;
    double mapped = 0;
    std::set<Window> watched;
    auto isChilds = [&](Window w) {
        return windowClass.empty() ? windowPid(d, w, netWmPid) == long(child) : windowHasClass(d, w, windowClass);
    };
    while (window == None) {
        while (XPending(d) > 0 && window == None) {
            XEvent e;
            XNextEvent(d, &e);
            // Wine may make a frameless tool window override-redirect, so by
            // class any top-level window counts.
            if (e.type == CreateNotify && e.xcreatewindow.parent == root &&
                (!e.xcreatewindow.override_redirect || !windowClass.empty())) {
                const Window w = e.xcreatewindow.window;
                watched.insert(w);
                XSelectInput(d, w, StructureNotifyMask);
                // It may have been mapped before we asked to hear of it.
                XWindowAttributes attributes{};
                if (XGetWindowAttributes(d, w, &attributes) && attributes.map_state == IsViewable && isChilds(w)) {
                    window = w;
                    mapped = nowSeconds();
                }
            } else if (e.type == MapNotify && watched.count(e.xmap.window) && isChilds(e.xmap.window)) {
                window = e.xmap.window;
                mapped = nowSeconds();
            }
        }
        if (window != None) break;
        if (nowSeconds() - start > timeout || !childRunning(child)) {
            std::fputs("startup_probe: no window of the program was mapped\n", stderr);
            if (childRunning(child)) stopChild(child);
            return 1;
        }
        pollfd fd{ConnectionNumber(d), POLLIN, 0};
        poll(&fd, 1, 1);
    }

    // Wait for its pixels.
    double framed = 0, running = -1, waiting = -1;
    for (;;) {
        const long p = pixelAt(d, window, px, py);
        if (p > 0) {  // not the black background, and readable
            framed = nowSeconds();
            schedTimes(child, running, waiting);
            break;
        }
        if (nowSeconds() - start > timeout || !childRunning(child)) {
            std::fputs("startup_probe: the program's pixels never appeared\n", stderr);
            if (childRunning(child)) stopChild(child);
            return 1;
        }
        sleepSeconds(0.001);
    }
    std::printf("map_ms=%.1f frame_ms=%.1f cpu_ms=%.1f wait_ms=%.1f\n", (mapped - start) * 1e3,
                (framed - start) * 1e3, running * 1e3, waiting * 1e3);
    std::fflush(stdout);

    for (const double at : memoryAt) {
        sleepSeconds(start + at - nowSeconds());
        if (!childRunning(child)) {
            std::fputs("startup_probe: the program ended early\n", stderr);
            return 1;
        }
        std::printf("at=%gs rss_kb=%ld hwm_kb=%ld\n", at, statusKb(child, "VmRSS"), statusKb(child, "VmHWM"));
        std::fflush(stdout);
    }
    stopChild(child);
    XCloseDisplay(d);
    return 0;
}

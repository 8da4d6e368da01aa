// Makes the README's pictures with the real program on the headless
// backend: the card, the About window over the card, and every frame of the
// show on the virtual clock. The pictures are what the windows presented,
// cut to their window shapes (transparent outside).
//
// Usage: velmora_pictures <output folder> [frames per second]
//        velmora_pictures --poster <output folder>
// Writes card.png, about.png and show/NNNN.png with show/frames.txt (one
// "file milliseconds show-seconds" line a frame), which
// tools/pictures/assemble.py turns into the README's animation; and
// og-image.jpg, the picture a shared link to the web card shows: the card
// at rest on the web page's backdrop, 1200 x 630. With --poster it writes
// only poster.png and poster@2x.png: the card window's very first frame at
// device scale 1 and 2, which the web page shows until the module has
// drawn that same frame.
#include <cerrno>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include "about/about_form.h"
#include "app/module1.h"
#include "card/card_form.h"
#include "runtime/application.h"
#include "runtime/platform/headless/headless_platform.h"

namespace {

namespace fs = std::filesystem;
using rt::platform::HeadlessOptions;
using rt::platform::HeadlessWindow;

// The whole program on a headless platform, started the way the executable
// starts it; the caller moves the virtual clock and clicks.
class Run {
public:
    explicit Run(HeadlessOptions options = {}) : session_(options) {
        session_.start([this](rt::platform::Platform& platform) {
            rt::Application app(platform, rt::ApplicationOptions{.title = "Velmora"});
            velmora::Program program(app);
            program_ = &program;
            const int code = app.run([&program] { velmora::SubMain(program); });
            program_ = nullptr;
            return code;
        });
        if (!program_) throw std::runtime_error("the program ended at start-up");
    }

    rt::platform::HeadlessSession& session() { return session_; }
    velmora::CardForm& card() { return program_->Form1(); }
    velmora::AboutForm* about() { return program_ ? program_->Form2.ifLoaded() : nullptr; }
    const HeadlessWindow& window(rt::platform::WindowHandle handle) {
        return session_.platform().window(handle);
    }
    const HeadlessWindow& cardWindow() { return window(card().hWnd()); }

    void advanceTo(double t) {
        session_.advanceTo(t);
        if (session_.finished()) throw std::runtime_error("the program ended during the show");
    }
    void clickCentreOf(rt::platform::WindowHandle window, const rt::Control& control) {
        const rt::Rect r = control.framePixelBounds();
        if (!session_.click(window, r.x + r.width / 2, r.y + r.height / 2))
            throw std::runtime_error("a click fell outside the window's shape");
    }

private:
    rt::platform::HeadlessSession session_;
    velmora::Program* program_ = nullptr;
};

// An RGBA picture, 8 bits a channel, rows top to bottom.
struct Rgba {
    int width = 0, height = 0;
    std::vector<unsigned char> bytes;
    Rgba(int w, int h) : width(w), height(h), bytes(std::size_t(w) * std::size_t(h) * 4, 0) {}
};

// Paints a window's presented pixels onto the picture with its top-left
// corner at (left, top), leaving out what lies outside its shape.
void paintWindow(Rgba& out, const HeadlessWindow& w, int left, int top) {
    const rt::Bitmap& screen = w.screen;
    auto put = [&](int x, int y) {
        const int ox = left + x, oy = top + y;
        if (ox < 0 || oy < 0 || ox >= out.width || oy >= out.height) return;
        const rt::Pixel p = screen.at(x, y);
        unsigned char* d = &out.bytes[(std::size_t(oy) * std::size_t(out.width) + std::size_t(ox)) * 4];
        d[0] = static_cast<unsigned char>(rt::pixelRed(p));
        d[1] = static_cast<unsigned char>(rt::pixelGreen(p));
        d[2] = static_cast<unsigned char>(rt::pixelBlue(p));
        d[3] = 255;
    };
    if (!w.shape) {
        for (int y = 0; y < screen.height(); ++y)
            for (int x = 0; x < screen.width(); ++x) put(x, y);
        return;
    }
    for (const rt::Span& s : w.shape->spans)
        if (s.y >= 0 && s.y < screen.height())
            for (int x = std::max(s.x0, 0); x < std::min(s.x1, screen.width()); ++x) put(x, s.y);
}

void writePng(const fs::path& path, const Rgba& picture) {
    if (!stbi_write_png(path.string().c_str(), picture.width, picture.height, 4, picture.bytes.data(),
                        picture.width * 4))
        throw std::runtime_error("cannot write " + path.string() + ": " + std::strerror(errno));
}

// The card window alone.
Rgba cardPicture(Run& run) {
    const HeadlessWindow& w = run.cardWindow();
    Rgba out(w.bounds.width, w.bounds.height);
    paintWindow(out, w, 0, 0);
    return out;
}

// The card at rest, a few seconds into the show.
void writeCard(const fs::path& folder) {
    Run run;
    run.advanceTo(6.0);
    writePng(folder / "card.png", cardPicture(run));
}

// The web page's backdrop (app/web/index.html's body): a radial gradient,
// an ellipse at 50 % 45 % reaching the farthest corner, from #3a1a12 at its
// centre through #1f0d09 at 45 % to #0c0504 at its edge, as browsers draw it.
Rgba pageBackdrop(int width, int height) {
    Rgba out(width, height);
    const double cx = width * 0.5, cy = height * 0.45;
    // The farthest-corner ellipse keeps the closest-side ellipse's aspect.
    const double sideX = std::min(cx, width - cx), sideY = std::min(cy, height - cy);
    const double cornerX = std::max(cx, width - cx), cornerY = std::max(cy, height - cy);
    const double grow = std::hypot(cornerX / sideX, cornerY / sideY);
    const double rx = sideX * grow, ry = sideY * grow;
    struct Stop { double at; double rgb[3]; };
    const Stop stops[] = {{0.0, {0x3a, 0x1a, 0x12}}, {0.45, {0x1f, 0x0d, 0x09}}, {1.0, {0x0c, 0x05, 0x04}}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
            const double t = std::min(1.0, std::sqrt(dx * dx + dy * dy));
            const Stop& a = t < stops[1].at ? stops[0] : stops[1];
            const Stop& b = t < stops[1].at ? stops[1] : stops[2];
            const double f = (t - a.at) / (b.at - a.at);
            unsigned char* d = &out.bytes[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4];
            for (int c = 0; c < 3; ++c) d[c] = static_cast<unsigned char>(std::lround(a.rgb[c] + (b.rgb[c] - a.rgb[c]) * f));
            d[3] = 255;
        }
    return out;
}

// The picture a shared link to the web card shows: the card at rest in the
// middle of the page's backdrop, at the size a link preview takes.
void writeLinkPreview(const fs::path& folder) {
    Run run;
    run.advanceTo(6.0);
    const HeadlessWindow& w = run.cardWindow();
    Rgba out = pageBackdrop(1200, 630);
    paintWindow(out, w, (out.width - w.bounds.width) / 2, (out.height - w.bounds.height) / 2);
    const fs::path path = folder / "og-image.jpg";
    if (!stbi_write_jpg(path.string().c_str(), out.width, out.height, 4, out.bytes.data(), 88))
        throw std::runtime_error("cannot write " + path.string() + ": " + std::strerror(errno));
}

// The card window as the program presents its very first frame, before
// the clock moves, at device scale 1 and 2.
void writePosters(const fs::path& folder) {
    for (const int scale : {1, 2}) {
        Run run(HeadlessOptions{.dpi = 96.0 * scale, .scale = scale});
        if (run.cardWindow().presents == 0) throw std::runtime_error("the card presented no first frame");
        writePng(folder / (scale == 1 ? "poster.png" : "poster@2x.png"), cardPicture(run));
    }
}

// The About window over the card, as the desktop shows them: a click on the
// card face shows the two buttons, a click on the question mark opens it.
void writeAbout(const fs::path& folder) {
    Run run;
    run.advanceTo(6.0);
    velmora::CardForm& card = run.card();
    // A point on the card face below the candle.
    if (!run.session().click(card.hWnd(), 166, 330)) throw std::runtime_error("the card face took no click");
    run.advanceTo(6.2);
    run.clickCentreOf(card.hWnd(), card.PictureAbout);
    velmora::AboutForm* about = run.about();
    if (!about) throw std::runtime_error("the About window did not open");
    run.advanceTo(6.6);
    const HeadlessWindow& cardWindow = run.cardWindow();
    const HeadlessWindow& aboutWindow = run.window(about->hWnd());
    Rgba out = cardPicture(run);
    paintWindow(out, aboutWindow, aboutWindow.bounds.x - cardWindow.bounds.x,
                aboutWindow.bounds.y - cardWindow.bounds.y);
    writePng(folder / "about.png", out);
}

// The show at a steady frame rate on the virtual clock. The quiet flicker
// between the opening seconds and the run-up to the shake is left out, so
// the animation stays short: it shows the flicker, then jumps to two
// seconds before the shake and runs through the panel's unroll, hold and
// fly-away into the flicker that follows.
void writeShow(const fs::path& folder, int fps) {
    const fs::path frames = folder / "show";
    fs::remove_all(frames);
    fs::create_directories(frames);
    std::ofstream list(frames / "frames.txt");
    const std::vector<std::pair<double, double>> parts = {{0.5, 2.5}, {16.0, 36.5}};
    Run run;
    int index = 0;
    int writtenMs = 0;
    for (const auto& [from, to] : parts) {
        const int count = int(std::lround((to - from) * fps));
        for (int k = 0; k < count; ++k) {
            const double t = from + double(k) / fps;
            run.advanceTo(t);
            char name[32];
            std::snprintf(name, sizeof name, "%04d.png", index);
            writePng(frames / name, cardPicture(run));
            // Whole milliseconds that add up to the frame rate's time.
            const int endMs = int(std::lround(double(index + 1) * 1000.0 / fps));
            list << name << ' ' << (endMs - writtenMs) << ' ' << t << '\n';
            writtenMs = endMs;
            ++index;
        }
    }
    if (!list) throw std::runtime_error("cannot write " + (frames / "frames.txt").string());
    std::printf("%d frames of the show at %d per second\n", index, fps);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--poster") == 0) {
        try {
            fs::create_directories(argv[2]);
            writePosters(argv[2]);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "velmora_pictures: %s\n", e.what());
            return 1;
        }
        return 0;
    }
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s <output folder> [frames per second]\n       %s --poster <output folder>\n",
                     argv[0], argv[0]);
        return 2;
    }
    const int fps = argc == 3 ? std::atoi(argv[2]) : 10;
    if (fps < 1 || fps > 64) {
        std::fprintf(stderr, "frames per second: 1 to 64\n");
        return 2;
    }
    try {
        const fs::path folder = argv[1];
        fs::create_directories(folder);
        writeCard(folder);
        writeAbout(folder);
        writeLinkPreview(folder);
        writePosters(folder);
        writeShow(folder, fps);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmora_pictures: %s\n", e.what());
        return 1;
    }
    return 0;
}

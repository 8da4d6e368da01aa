#include "builtins.h"

#include <array>
#include <cmath>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "graphics/errors.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace rt {

namespace {

// A PCG32 generator with a fixed start: small, fast, well distributed and
// the same on every platform, which is all a greeting card's flicker needs.
constexpr std::uint64_t kRndSeed = 0x853C49E6748FEA9Bull;
constexpr std::uint64_t kRndIncrement = 0xDA3E39CB94B95BDBull;
std::uint64_t rndState = kRndSeed;

#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
// The executable's absolute path from the path it was started by: a path
// with a separator is taken against the working folder; a bare name is
// looked for on PATH, where a shell found it. Empty when it cannot be told.
std::filesystem::path startedFrom(const std::string& programPath) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (programPath.empty()) return {};
    if (programPath.find('/') != std::string::npos) {
        fs::path path = fs::absolute(programPath, error);
        return error ? fs::path() : path;
    }
    const char* search = std::getenv("PATH");
    if (search == nullptr) return {};
    for (std::string_view rest = search;;) {
        const std::size_t colon = rest.find(':');
        const std::string_view entry = rest.substr(0, colon);
        // An empty entry stands for the working folder.
        const fs::path candidate = fs::path(entry.empty() ? "." : entry) / programPath;
        if (::access(candidate.c_str(), X_OK) == 0 && fs::is_regular_file(candidate, error)) {
            fs::path path = fs::absolute(candidate, error);
            if (!error) return path;
        }
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return {};
}
#endif

}  // namespace

float Timer() { return Application::current().timer(); }

float Rnd() {
    const std::uint64_t old = rndState;
    rndState = old * 6364136223846793005ull + kRndIncrement;
    const auto xorshifted = std::uint32_t(((old >> 18u) ^ old) >> 27u);
    const auto rot = std::uint32_t(old >> 59u);
    const std::uint32_t bits = (xorshifted >> rot) | (xorshifted << ((32u - rot) & 31u));
    // 24 random bits: every value is exact in single precision and below 1.
    return float(bits >> 8) / 16777216.0f;
}

void resetRnd() { rndState = kRndSeed; }

std::int16_t CInt(double value) {
    const double r = std::nearbyint(value);
    if (!(r >= -32768.0 && r <= 32767.0)) throw RuntimeError(ErrorCode::Overflow, "Overflow");
    return std::int16_t(r);
}

std::int32_t CLng(double value) {
    const double r = std::nearbyint(value);
    if (!(r >= double(INT32_MIN) && r <= double(INT32_MAX)))
        throw RuntimeError(ErrorCode::Overflow, "Overflow");
    return std::int32_t(r);
}

platform::LocalDateTime Date() { return Application::current().platform().localNow(); }
platform::LocalDateTime Time() { return Application::current().platform().localNow(); }

std::string Format(const platform::LocalDateTime& v, std::string_view pattern) {
    std::string out;
    bool afterHour = false;  // the last field written was an hour
    auto two = [&](int n) {
        out += char('0' + (n / 10) % 10);
        out += char('0' + n % 10);
    };
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = char(std::tolower(static_cast<unsigned char>(pattern[i])));
        std::size_t run = 1;
        while (i + run < pattern.size() &&
               std::tolower(static_cast<unsigned char>(pattern[i + run])) == c)
            ++run;
        switch (c) {
            case 'd':
                if (run >= 2) two(v.day);
                else out += std::to_string(v.day);
                afterHour = false;
                break;
            case 'y':
                if (run >= 4) out += std::to_string(v.year);
                else two(v.year % 100);
                afterHour = false;
                break;
            case 'h':
                if (run >= 2) two(v.hour);
                else out += std::to_string(v.hour);
                afterHour = true;
                break;
            case 'm':
            case 'n': {
                const bool minutes = c == 'n' || afterHour;
                const int n = minutes ? v.minute : v.month;
                if (run >= 2) two(n);
                else out += std::to_string(n);
                afterHour = false;
                break;
            }
            case 's':
                if (run >= 2) two(v.second);
                else out += std::to_string(v.second);
                afterHour = false;
                break;
            default:
                out.append(run, pattern[i]);  // separators keep an hour's claim on "mm"
                break;
        }
        i += run;
    }
    return out;
}

std::string windowsFolderOf(const std::string& executable) {
    const auto cut = executable.find_last_of("\\/");
    std::string folder = cut == std::string::npos ? std::string() : executable.substr(0, cut);
    if (folder.size() == 2 && folder[1] == ':') folder += '\\';  // a drive's root keeps its backslash
    return folder;
}

std::string AppPath() {
    // Windows names the executable through its backend (in UTF-8).
    const std::string executable = Application::current().platform().executablePath();
    if (!executable.empty()) return windowsFolderOf(executable);
#ifdef _WIN32
    // Without a desktop backend (the headless tests): the C runtime's copy
    // of the program's path.
    const char* program = _pgmptr;
    if (program == nullptr || *program == 0) throw RuntimeError(ErrorCode::PathNotFound, "Path not found");
    return windowsFolderOf(program);
#elif defined(__EMSCRIPTEN__)
    // A web page's program is no file: it runs from the root of the page's
    // empty file system, which it never looks into.
    return "/";
#else
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (error || !exe.is_absolute()) exe = startedFrom(Application::current().options().programPath);
    if (exe.empty()) {
        const fs::path here = fs::current_path(error);
        if (error) throw RuntimeError(ErrorCode::PathNotFound, "Path not found");
        return here.string();
    }
    return exe.lexically_normal().parent_path().string();  // "/" for a program at the root
#endif
}

float TwipsPerPixelX() { return Application::current().twipsPerPixelX(); }
float TwipsPerPixelY() { return Application::current().twipsPerPixelY(); }

void DoEvents() { Application::current().doEvents(); }
void End() { Application::current().end(); }
void Unload(Form& form) { form.app().unloadForm(form); }

}  // namespace rt

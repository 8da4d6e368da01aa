// The pack of files the backend has the page fetch at start-up (the
// pictures drawn at twice the size, on a screen that draws them): fetched
// by the page, handed to the module once, read here (readPack) and kept in
// the module's memory for the life of the program.
#include "web_internal.h"

#include <emscripten.h>

#include <map>
#include <string>

// Has the page fetch the file (Module.velmoraFetch(name), resolving to its
// bytes) and holds them until velmora_web_fetched_take copies them; the
// number of bytes, or -1 when the page could not fetch it.
EM_ASYNC_JS(int, velmora_web_fetch, (const char* name), {
    const backend = Module.velmoraBackend;
    const file = UTF8ToString(name);
    let bytes = null;
    try {
        bytes = Module.velmoraFetch ? await Module.velmoraFetch(file) : null;
    } catch (error) {
        console.warn(file + ": " + error.message);
    }
    backend.fetched = bytes ? new Uint8Array(bytes) : null;
    return backend.fetched ? backend.fetched.length : -1;
});

// Copies the fetched bytes into the module's memory and lets them go.
EM_JS(void, velmora_web_fetched_take, (std::uint8_t* to), {
    const backend = Module.velmoraBackend;
    if (backend.fetched) HEAPU8.set(backend.fetched, to);
    backend.fetched = null;
});

namespace rt::platform {

namespace {

struct Pack {
    std::vector<std::uint8_t> bytes;
    web::PackFiles files;
};

Pack& pack() {
    static Pack p;
    return p;
}

}  // namespace

namespace web {

void fetchPack(const char* name) {
    const int size = velmora_web_fetch(name);
    if (size < 0) return;
    Pack& p = pack();
    p.bytes.resize(std::size_t(size));
    velmora_web_fetched_take(p.bytes.data());
    p.files = readPack(p.bytes);
}

}  // namespace web

std::span<const std::uint8_t> webFetchedFile(const char* name) {
    const Pack& p = pack();
    const auto it = p.files.find(std::string_view(name));
    if (it == p.files.end()) return {};
    return it->second;
}

}  // namespace rt::platform

// libFuzzer entry point for the picture decoder: any bytes must either decode
// to a picture of sane size or throw the "Invalid picture" error -- never
// crash, hang or read outside the input.
//
// Not part of the default build. From the source root:
//
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined \
//       -I. -isystem /usr/include/stb \
//       tests/fuzz/fuzz_picture.cpp runtime/graphics/picture.cpp \
//       -o fuzz_picture
//   mkdir -p corpus && ./fuzz_picture corpus assets -max_len=65536
//
// The assets folder makes a good seed corpus (JPEG, BMP, GIF, ICO, CUR).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "runtime/graphics/errors.h"
#include "runtime/graphics/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const rt::PictureRef picture = rt::decodePicture(std::span<const std::uint8_t>(data, size));
        if (!picture || picture->width() <= 0 || picture->height() <= 0 || picture->width() > 4096 ||
            picture->height() > 4096 ||
            picture->image().pixels().size() != std::size_t(picture->width()) * std::size_t(picture->height()))
            std::abort();
    } catch (const rt::RuntimeError& e) {
        if (e.code() != rt::ErrorCode::InvalidPicture) std::abort();
    }
    return 0;
}

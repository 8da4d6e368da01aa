// A fresh folder under the system's temporary folder for one test, removed
// with everything in it afterwards. Portable: made with std::filesystem and
// a random name, as Windows has no mkdtemp.
#pragma once

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace velmora::testing {

struct TempFolder {
    explicit TempFolder(const std::string& prefix = "velmora-test-") {
        namespace fs = std::filesystem;
        std::random_device device;
        std::mt19937_64 random(std::uint64_t(device()) << 32 ^ device());
        for (int attempt = 0; attempt < 100; ++attempt) {
            const fs::path candidate = fs::temp_directory_path() / (prefix + std::to_string(random() % 1000000000000ull));
            std::error_code error;
            // create_directory reports false for a folder that already exists,
            // so a name another test took is never shared.
            if (fs::create_directory(candidate, error)) {
                path = candidate;
                return;
            }
        }
        throw std::runtime_error("cannot create a temporary folder");
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::filesystem::path path;
};

}  // namespace velmora::testing

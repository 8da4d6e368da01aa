// Formatting of dates and times, the fixed random sequence, and SavePicture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include "runtime/builtins.h"
#include "runtime/save_picture.h"
#include "runtime_fixture.h"
#include "temp_folder.h"

namespace rt::testing {
namespace {

namespace fs = std::filesystem;
using platform::LocalDateTime;

LocalDateTime at(int year, int month, int day, int hour, int minute, int second) {
    return {year, month, day, hour, minute, second, hour * 3600.0 + minute * 60.0 + second};
}

TEST(Format, DatesAndTimesWithTwoDigitFields) {
    EXPECT_EQ(Format(at(2026, 12, 7, 14, 5, 9), "mm-dd-yy"), "12-07-26");
    EXPECT_EQ(Format(at(2026, 12, 7, 14, 5, 9), "hh-mm-ss"), "14-05-09");
    EXPECT_EQ(Format(at(2007, 1, 5, 9, 3, 2), "mm-dd-yy"), "01-05-07");
    EXPECT_EQ(Format(at(2007, 1, 5, 9, 3, 2), "hh-mm-ss"), "09-03-02");
    EXPECT_EQ(Format(at(2000, 10, 31, 0, 0, 0), "mm-dd-yy"), "10-31-00");
    EXPECT_EQ(Format(at(2000, 10, 31, 0, 0, 0), "hh-mm-ss"), "00-00-00");
    EXPECT_EQ(Format(at(2099, 2, 28, 23, 59, 58), "hh-mm-ss"), "23-59-58");  // no AM/PM: 23, not 11
    // "mm" names the minutes right after an hour, the month elsewhere.
    EXPECT_EQ(Format(at(2026, 3, 4, 5, 6, 7), "mm hh:mm yyyy"), "03 05:06 2026");
}

TEST(Rnd, EveryApplicationDrawsTheSameUniformSequence) {
    std::vector<float> first, second;
    for (std::vector<float>* draws : {&first, &second}) {
        platform::HeadlessPlatform platform;
        Application app(platform);
        for (int i = 0; i < 20000; ++i) draws->push_back(Rnd());
    }
    EXPECT_EQ(first, second);
    EXPECT_TRUE(std::all_of(first.begin(), first.end(), [](float v) { return v >= 0.0f && v < 1.0f; }));
    // Spread evenly over [0, 1): each tenth holds about a tenth of the draws.
    int tenths[10] = {};
    for (float v : first) ++tenths[int(v * 10)];
    for (int count : tenths) {
        EXPECT_GT(count, 1800);
        EXPECT_LT(count, 2200);
    }
    EXPECT_GT(std::set<float>(first.begin(), first.end()).size(), 19900u);
}

// ------------------------------------------------------------- AppPath

// Windows paths of the executable, as the Win32 backend reports them: the
// folder loses its trailing separator unless it is a drive's root.
TEST(AppPath, WindowsFolderKeepsTheBackslashOnlyAtADriveRoot) {
    EXPECT_EQ(windowsFolderOf("C:\\velmora.exe"), "C:\\");
    EXPECT_EQ(windowsFolderOf("C:\\Cards\\Velmora\\velmora.exe"), "C:\\Cards\\Velmora");
    EXPECT_EQ(windowsFolderOf("Z:\\work\\build-windows\\velmora.exe"), "Z:\\work\\build-windows");
    EXPECT_EQ(windowsFolderOf("\\\\server\\share\\velmora.exe"), "\\\\server\\share");
    EXPECT_EQ(windowsFolderOf("D:/Cards/velmora.exe"), "D:/Cards");
    // UTF-8 folder names pass through byte for byte.
    EXPECT_EQ(windowsFolderOf("C:\\Gr\xc3\xbc\xc3\x9f""e\\velmora.exe"), "C:\\Gr\xc3\xbc\xc3\x9f""e");
}

// ------------------------------------------------------------- SavePicture

struct TempFolder : velmora::testing::TempFolder {
    TempFolder() : velmora::testing::TempFolder("velmora-runtime-") {}
    std::set<std::string> entries() const {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(path)) names.insert(e.path().filename().string());
        return names;
    }
};

std::vector<std::uint8_t> readBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t(b.at(at)) | std::uint32_t(b.at(at + 1)) << 8 | std::uint32_t(b.at(at + 2)) << 16 |
           std::uint32_t(b.at(at + 3)) << 24;
}

int errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

// The reason in words an error gives, or "" when nothing was raised.
std::string reasonOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const RuntimeError& e) {
        return e.reason();
    }
    return {};
}

TEST(SavePicture, WritesAnUncompressed24BitBitmap) {
    TempFolder temp;
    const fs::path file = temp.path / "three.bmp";
    std::ofstream(file) << "an older file of that name";
    const PictureRef picture = makePicture(3, 2, patternAt);
    SavePicture(picture, file.string());

    const std::vector<std::uint8_t> b = readBytes(file);
    const std::size_t stride = 12;  // 3 pixels x 3 bytes, padded to 4
    ASSERT_EQ(b.size(), 54 + 2 * stride);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(le32(b, 2), b.size());
    EXPECT_EQ(le32(b, 10), 54u);  // pixels follow the headers
    EXPECT_EQ(le32(b, 14), 40u);  // BITMAPINFOHEADER
    EXPECT_EQ(le32(b, 18), 3u);
    EXPECT_EQ(le32(b, 22), 2u);   // positive: bottom-up rows
    EXPECT_EQ(b[26] | b[27] << 8, 1);
    EXPECT_EQ(b[28] | b[29] << 8, 24);
    EXPECT_EQ(le32(b, 30), 0u);   // BI_RGB
    // Rows bottom-up, pixels blue, green, red.
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const std::size_t at = 54 + std::size_t(1 - y) * stride + std::size_t(x) * 3;
            const Pixel p = patternAt(x, y);
            EXPECT_EQ(b[at], pixelBlue(p));
            EXPECT_EQ(b[at + 1], pixelGreen(p));
            EXPECT_EQ(b[at + 2], pixelRed(p));
        }
    EXPECT_EQ(temp.entries(), std::set<std::string>{"three.bmp"});
}

TEST(SavePicture, AFailureRaisesAnErrorAndLeavesNothingBehind) {
    TempFolder temp;
    const PictureRef picture = makePicture(4, 4, patternAt);
    EXPECT_EQ(errorOf([&] { SavePicture(picture, (temp.path / "missing" / "a.bmp").string()); }),
              int(ErrorCode::PathNotFound));
    EXPECT_TRUE(temp.entries().empty());

    EXPECT_EQ(reasonOf([&] { SavePicture(picture, (temp.path / "missing" / "a.bmp").string()); }),
              "no such folder");

    std::ofstream(temp.path / "plain") << "a file, not a folder";
    EXPECT_EQ(errorOf([&] { SavePicture(picture, (temp.path / "plain" / "a.bmp").string()); }),
              int(ErrorCode::PathNotFound));
    EXPECT_EQ(reasonOf([&] { SavePicture(picture, (temp.path / "plain" / "a.bmp").string()); }), "not a folder");

    // The name is taken by a folder: the bytes are written, then cannot
    // take the name, and the temporary file goes again.
    fs::create_directory(temp.path / "taken.bmp");
    EXPECT_NE(errorOf([&] { SavePicture(picture, (temp.path / "taken.bmp").string()); }), 0);
    EXPECT_EQ(reasonOf([&] { SavePicture(picture, (temp.path / "taken.bmp").string()); }),
              "a folder has that name");
    EXPECT_EQ(temp.entries(), (std::set<std::string>{"plain", "taken.bmp"}));
    EXPECT_TRUE(fs::is_empty(temp.path / "taken.bmp"));

    EXPECT_EQ(errorOf([&] { SavePicture(nullptr, (temp.path / "none.bmp").string()); }),
              int(ErrorCode::InvalidPicture));
    EXPECT_EQ(temp.entries(), (std::set<std::string>{"plain", "taken.bmp"}));
}

// A capture that fails says why in words, not by the runtime's error number.
TEST(SavePicture, FileErrorsAreDescribedInPlainWords) {
    EXPECT_EQ(describeFileError(ENOSPC), "no space left on the device");
    EXPECT_EQ(describeFileError(EACCES), "permission denied");
    EXPECT_EQ(describeFileError(EROFS), "read-only file system");
    // The rarer ones in the system's words, in the middle of a sentence.
    const std::string rare = describeFileError(EMFILE);
    ASSERT_FALSE(rare.empty());
    EXPECT_EQ(rare, std::string(1, char(std::tolower(rare[0]))) + rare.substr(1));
    EXPECT_NE(rare.find("files"), std::string::npos) << rare;
}

}  // namespace
}  // namespace rt::testing

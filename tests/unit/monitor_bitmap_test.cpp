// The checked-in pictures, decoded here independently of the script that
// draws them: the monitor bitmap's format, palette and every mask row, and
// the icons' sizes and colour depth.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kResources = GYREL_RESOURCES_DIR;

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t U32(const std::vector<uint8_t>& data, size_t at) {
    return data.at(at) | data.at(at + 1) << 8 | data.at(at + 2) << 16 |
           static_cast<uint32_t>(data.at(at + 3)) << 24;
}
uint16_t U16(const std::vector<uint8_t>& data, size_t at) {
    return static_cast<uint16_t>(data.at(at) | data.at(at + 1) << 8);
}

struct Bitmap {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    uint32_t compression = 0;
    std::vector<std::array<uint8_t, 3>> palette;   // red, green, blue
    std::vector<std::vector<int>> rows;            // top row first, palette indices
};

// Decodes a 4-bit run-length bitmap: encoded runs (count, two alternating
// indices), absolute runs (0, count, packed indices, padded to 16 bits), end
// of line (0, 0), end of bitmap (0, 1) and delta (0, 2, dx, dy). Rows are
// stored bottom-up. Throws on a malformed stream or a pixel outside the
// picture.
Bitmap DecodeRle4(const std::vector<uint8_t>& file) {
    Bitmap bitmap;
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') throw std::runtime_error("not BMP");
    uint32_t offset = U32(file, 10);
    uint32_t headerSize = U32(file, 14);
    bitmap.width = static_cast<int32_t>(U32(file, 18));
    bitmap.height = static_cast<int32_t>(U32(file, 22));
    bitmap.bitsPerPixel = U16(file, 28);
    bitmap.compression = U32(file, 30);
    uint32_t imageSize = U32(file, 34);
    uint32_t coloursUsed = U32(file, 46);
    size_t paletteAt = 14 + headerSize;
    for (uint32_t i = 0; i < (coloursUsed ? coloursUsed : 16); ++i) {
        size_t at = paletteAt + 4 * i;
        bitmap.palette.push_back({file.at(at + 2), file.at(at + 1), file.at(at)});
    }
    if (offset + imageSize != file.size()) throw std::runtime_error("image size");

    std::vector<std::vector<int>> bottomUp(bitmap.height, std::vector<int>(bitmap.width, -1));
    int x = 0, y = 0;
    size_t at = offset;
    auto put = [&](int index) {
        if (y >= bitmap.height || x >= bitmap.width) throw std::runtime_error("pixel outside");
        bottomUp[y][x++] = index;
    };
    for (;;) {
        uint8_t first = file.at(at), second = file.at(at + 1);
        at += 2;
        if (first > 0) {
            for (int i = 0; i < first; ++i) put(i % 2 == 0 ? second >> 4 : second & 15);
        } else if (second == 0) {
            x = 0;
            ++y;
        } else if (second == 1) {
            break;
        } else if (second == 2) {
            x += file.at(at);
            y += file.at(at + 1);
            at += 2;
        } else {
            for (int i = 0; i < second; ++i) {
                uint8_t packed = file.at(at + i / 2);
                put(i % 2 == 0 ? packed >> 4 : packed & 15);
            }
            size_t bytes = (second + 1) / 2;
            at += bytes + (bytes % 2);
        }
    }
    if (at != file.size()) throw std::runtime_error("data after the end of the bitmap");
    for (int row = bitmap.height - 1; row >= 0; --row) bitmap.rows.push_back(bottomUp[row]);
    return bitmap;
}

// Opaque (first, last) columns of each mask row, or (-1, -1) for none.
std::pair<int, int> ExpectedMaskSpan(int row) {
    if (row <= 145) return {0, 183};
    if (row == 146) return {1, 182};
    if (row <= 162) return {-2, -2};  // the neck, checked separately
    if (row == 163 || row == 168) return {37, 145};
    if (row <= 167) return {36, 146};
    return {-1, -1};
}

constexpr int kHalf = 184;
constexpr int kBlack = 0, kDarkCyan = 6, kWhite = 15;

class g_monitorBitmap : public ::testing::Test {
protected:
    static void SetUpTestSuite() { bitmap_ = DecodeRle4(ReadFile(kResources + "/monitor.bmp")); }
    static int Picture(int x, int y) { return bitmap_.rows[y][x]; }
    static int Mask(int x, int y) { return bitmap_.rows[y][kHalf + x]; }
    // The columns where the mask row is black, as one span; (-1, -1) when
    // none, (-3, -3) when the black is not one unbroken span.
    static std::pair<int, int> MaskSpan(int y) {
        int first = -1, last = -1;
        for (int x = 0; x < kHalf; ++x) {
            if (Mask(x, y) != kBlack) continue;
            if (first < 0) first = x;
            if (last >= 0 && last != x - 1) return {-3, -3};
            last = x;
        }
        return {first, last};
    }
    static Bitmap bitmap_;
};
Bitmap g_monitorBitmap::bitmap_;

TEST_F(g_monitorBitmap, IsA368By170FourBitRunLengthBitmapWithTheStandardPalette) {
    EXPECT_EQ(bitmap_.width, 368);
    EXPECT_EQ(bitmap_.height, 170);
    EXPECT_EQ(bitmap_.bitsPerPixel, 4);
    EXPECT_EQ(bitmap_.compression, 2u);  // BI_RLE4
    const std::array<uint8_t, 3> standard[16] = {
        {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
        {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
        {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
        {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
    };
    ASSERT_EQ(bitmap_.palette.size(), 16u);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(bitmap_.palette[i], standard[i]) << "index " << i;
    for (const auto& row : bitmap_.rows) {
        for (int index : row) ASSERT_NE(index, -1) << "a pixel the stream never set";
    }
}

TEST_F(g_monitorBitmap, MaskRowsAreBlackOnlyWhereTheMonitorStands) {
    for (int y = 0; y < 170; ++y) {
        for (int x = 0; x < kHalf; ++x) {
            ASSERT_TRUE(Mask(x, y) == kBlack || Mask(x, y) == kWhite) << x << "," << y;
        }
        std::pair<int, int> expected = ExpectedMaskSpan(y);
        if (expected.first == -2) continue;
        EXPECT_EQ(MaskSpan(y), expected) << "row " << y;
    }
    // The neck narrows from columns 48..135 to 56..127, never widening.
    EXPECT_EQ(MaskSpan(147), std::make_pair(48, 135));
    EXPECT_EQ(MaskSpan(162), std::make_pair(56, 127));
    for (int y = 148; y <= 162; ++y) {
        std::pair<int, int> above = MaskSpan(y - 1), here = MaskSpan(y);
        EXPECT_GE(here.first, above.first) << "row " << y;
        EXPECT_LE(here.second, above.second) << "row " << y;
        EXPECT_GE(here.first, 48);
        EXPECT_LE(here.second, 135);
    }
}

TEST_F(g_monitorBitmap, PictureIsBlackWhereTheMaskIsWhiteAndHasADarkCyanScreen) {
    for (int y = 0; y < 170; ++y) {
        for (int x = 0; x < kHalf; ++x) {
            if (Mask(x, y) == kWhite) {
                ASSERT_EQ(Picture(x, y), kBlack) << x << "," << y;
            }
            bool screen = x >= 16 && x < 168 && y >= 17 && y < 129;
            ASSERT_EQ(Picture(x, y) == kDarkCyan, screen) << x << "," << y;
        }
    }
    // Light-grey casing with a green power light on the stand.
    EXPECT_EQ(Picture(6, 6), 7);
    bool light = false;
    for (int y = 147; y < 170; ++y) {
        for (int x = 0; x < kHalf; ++x) light = light || Picture(x, y) == 10;
    }
    EXPECT_TRUE(light);
}

// The images of an icon file as (width, height, bits per pixel).
std::vector<std::array<int, 3>> IconImages(const std::string& name) {
    std::vector<uint8_t> file = ReadFile(kResources + "/" + name);
    std::vector<std::array<int, 3>> images;
    if (file.size() < 6 || U16(file, 0) != 0 || U16(file, 2) != 1) return images;
    for (int i = 0; i < U16(file, 4); ++i) {
        size_t entry = 6 + 16 * i;
        uint32_t size = U32(file, entry + 8), at = U32(file, entry + 12);
        if (at + size > file.size()) return {};
        // The image's own header: 40 bytes, height doubled for the AND mask.
        int width = static_cast<int32_t>(U32(file, at + 4));
        int height = static_cast<int32_t>(U32(file, at + 8)) / 2;
        int bits = U16(file, at + 14);
        size_t stride = ((width * bits + 31) / 32) * 4, maskStride = ((width + 31) / 32) * 4;
        size_t expected = 40 + (bits <= 8 ? 4u << bits : 0) + (stride + maskStride) * height;
        if (expected != size || file.at(entry) != width || file.at(entry + 1) != height) return {};
        images.push_back({width, height, bits});
    }
    return images;
}

TEST(Icons, AreSixteenColoursAtTheirSizes) {
    using Images = std::vector<std::array<int, 3>>;
    EXPECT_EQ(IconImages("gyrel.ico"), (Images{{32, 32, 4}, {16, 16, 4}}));
    EXPECT_EQ(IconImages("pinwheel.ico"), (Images{{32, 32, 4}}));
}

}  // namespace

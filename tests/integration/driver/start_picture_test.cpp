// What the full-screen saver starts from (the screen it covers, or the
// wallpaper when the screen is blank) and the draw worker's step budget, on
// the real module. The screen is set by a full-screen window of the driver's
// own; the saver's pixels are read back from the screen.
#include <gtest/gtest.h>
#include <windows.h>
#include <wincodec.h>

#include <functional>
#include <string>
#include <vector>

#include "effect/control_messages.h"
#include "tests/integration/driver/driver_util.h"
#include "tests/integration/driver/screen_picture.h"
#include "tests/integration/driver/sheet_util.h"

namespace {

int ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

// The middle of the screen, well inside the spiral and away from the corner
// triangles that the colour floods.
RECT Middle() {
    return RECT{ScreenWidth() / 4, ScreenHeight() / 3, ScreenWidth() * 3 / 4,
                ScreenHeight() * 2 / 3};
}

struct Saver {
    driver::ModuleProcess process;
    HWND window = nullptr;
    bool Start(const char* arguments = "/s", DWORD limitMs = 5000) {
        if (!process.Start(arguments)) return false;
        window = driver::FindProcessWindow(process.Id(), "GyrelClass", limitMs);
        return window != nullptr;
    }
    bool EndsOnAKeyWithZero() {
        PostMessageA(window, WM_KEYDOWN, VK_SPACE, 0x00390001);
        return process.WaitForExit(10000) && process.ExitCode() == 0;
    }
};

size_t CountFullChannelPixels(const std::vector<uint32_t>& pixels) {
    size_t count = 0;
    for (uint32_t p : pixels) {
        if ((p & 0xFF) == 0xFF || (p & 0xFF00) == 0xFF00 || (p & 0xFF0000) == 0xFF0000) ++count;
    }
    return count;
}

class StartPicture : public ::testing::Test {
protected:
    void SetUp() override {
        driver::ClearSection();
        driver::DeleteDesktopValue("Wallpaper");
    }
    void TearDown() override {
        driver::ClearSection();
        driver::DeleteDesktopValue("Wallpaper");
        EXPECT_TRUE(driver::WaitUntilNoProcessNamed("Gyrel.scr", 10000));
    }
};

TEST_F(StartPicture, TheSaverStartsFromTheScreenItCoversPixelForPixelAtEachScale) {
    // Blocks of no size: the picture holds still, so it must be the screen's.
    driver::StoreValue("Resolution", "0");
    for (DWORD dotsPerInch : {96u, 144u}) {
        SCOPED_TRACE(dotsPerInch);
        driver::DesktopScale scale(dotsPerInch);
        driver::ScreenPicture screen(driver::StripesAt);
        ASSERT_TRUE(screen.Shown(Middle()));
        Saver still;
        ASSERT_TRUE(still.Start());
        RECT covered{};
        GetWindowRect(still.window, &covered);
        EXPECT_EQ(covered.left, 0);
        EXPECT_EQ(covered.top, 0);
        EXPECT_EQ(covered.right, ScreenWidth());
        EXPECT_EQ(covered.bottom, ScreenHeight());
        driver::PumpMessagesFor(1500);
        EXPECT_EQ(driver::CountDifferences(driver::CaptureScreen(Middle()), screen.Expected(Middle())), 0u);
        EXPECT_TRUE(still.EndsOnAKeyWithZero());
    }
}

TEST_F(StartPicture, TheScreensColoursAreDraggedRound) {
    driver::ScreenPicture screen(driver::StripesAt);
    ASSERT_TRUE(screen.Shown(Middle()));
    Saver turning;
    ASSERT_TRUE(turning.Start());
    driver::PumpMessagesFor(3000);
    std::vector<uint32_t> middle = driver::CaptureScreen(Middle());
    EXPECT_GT(driver::CountDifferences(middle, screen.Expected(Middle())), middle.size() / 10);
    EXPECT_GT(CountFullChannelPixels(middle), middle.size() / 4) << "the screen's colours are gone";
    EXPECT_TRUE(turning.EndsOnAKeyWithZero());
}

// Writes a picture of four quadrants (red, green, blue, white) through the
// platform's encoders, as BMP or JPEG.
bool WriteQuadrants(const std::wstring& path, const GUID& container) {
    constexpr UINT kWidth = 64, kHeight = 48;
    // Blue, green, red bytes: the one layout every encoder takes.
    std::vector<BYTE> pixels;
    for (UINT y = 0; y < kHeight; ++y) {
        for (UINT x = 0; x < kWidth; ++x) {
            uint32_t rgb = y < kHeight / 2 ? (x < kWidth / 2 ? 0xFF0000 : 0x00FF00)
                                           : (x < kWidth / 2 ? 0x0000FF : 0xFFFFFF);
            pixels.insert(pixels.end(), {BYTE(rgb), BYTE(rgb >> 8), BYTE(rgb >> 16)});
        }
    }
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IWICImagingFactory* factory = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    bool written =
        SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
        SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
        SUCCEEDED(factory->CreateEncoder(container, nullptr, &encoder)) &&
        SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
        SUCCEEDED(frame->SetSize(kWidth, kHeight)) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
        IsEqualGUID(format, GUID_WICPixelFormat24bppBGR) &&
        SUCCEEDED(frame->WritePixels(kHeight, kWidth * 3, static_cast<UINT>(pixels.size()), pixels.data())) &&
        SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    if (frame != nullptr) frame->Release();
    if (encoder != nullptr) encoder->Release();
    if (stream != nullptr) stream->Release();
    if (factory != nullptr) factory->Release();
    CoUninitialize();
    return written;
}

void WriteBytes(const std::string& path, const std::string& bytes, LONGLONG sparseSize = 0) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    if (sparseSize > 0) {
        LARGE_INTEGER end;
        end.QuadPart = sparseSize;
        SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
    }
    CloseHandle(file);
}

std::string TempPath(const char* name) {
    char directory[MAX_PATH];
    GetTempPathA(sizeof directory, directory);
    return std::string(directory) + name;
}

bool Near(uint32_t actual, uint32_t expected) {
    for (int shift = 0; shift < 24; shift += 8) {
        int a = (actual >> shift) & 0xFF, e = (expected >> shift) & 0xFF;
        if (a - e > 48 || e - a > 48) return false;
    }
    return true;
}

TEST_F(StartPicture, ABlankScreenStartsFromTheWallpaper) {
    driver::ScreenPicture blank([](int, int) { return 0x336699u; });
    ASSERT_TRUE(blank.Shown(Middle()));
    driver::StoreValue("Resolution", "0");
    const struct {
        const char* name;
        GUID container;
    } formats[] = {{"wallpaper.bmp", GUID_ContainerFormatBmp}, {"wallpaper.jpg", GUID_ContainerFormatJpeg}};
    for (const auto& format : formats) {
        SCOPED_TRACE(format.name);
        std::string path = TempPath(format.name);
        ASSERT_TRUE(WriteQuadrants(std::wstring(path.begin(), path.end()), format.container));
        driver::SetDesktopText("Wallpaper", path.c_str());
        Saver saver;
        ASSERT_TRUE(saver.Start());
        driver::PumpMessagesFor(1000);
        // The screen has the wallpaper's proportions: it fills it exactly.
        int w = ScreenWidth(), h = ScreenHeight();
        const struct {
            int x, y;
            uint32_t colour;
        } samples[] = {{w * 3 / 8, h * 3 / 8, 0xFF0000}, {w * 5 / 8, h * 3 / 8, 0x00FF00},
                       {w * 3 / 8, h * 5 / 8, 0x0000FF}, {w * 5 / 8, h * 5 / 8, 0xFFFFFF}};
        for (const auto& s : samples) {
            uint32_t seen = driver::CaptureScreen(RECT{s.x, s.y, s.x + 1, s.y + 1})[0];
            EXPECT_TRUE(Near(seen, s.colour)) << std::hex << seen << " at " << std::dec << s.x << "," << s.y;
        }
        EXPECT_TRUE(saver.EndsOnAKeyWithZero());
        DeleteFileA(path.c_str());
    }
}

TEST_F(StartPicture, AWallpaperThatCannotBeReadLeavesTheBlankScreen) {
    driver::ScreenPicture blank([](int, int) { return 0x336699u; });
    ASSERT_TRUE(blank.Shown(Middle()));
    driver::StoreValue("Resolution", "0");
    // A bitmap header that claims 30000 by 30000 pixels and holds none.
    std::string hugeBitmap("BM\0\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x30\x75\0\0\x30\x75\0\0\x01\0\x18\0", 30);
    hugeBitmap.resize(54, '\0');
    const struct {
        const char* name;
        std::string bytes;
        LONGLONG sparseSize;
    } cases[] = {
        {"missing.jpg", "", -1},
        {"empty.jpg", "", 0},
        {"truncated.jpg", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF\0", 11), 0},
        {"not-a-picture.bmp", "This is not a picture.\r\n", 0},
        {"enormous.bmp", hugeBitmap, 0},
        {"enormous-file.jpg", std::string("\xFF\xD8\xFF", 3), 1ll << 32},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = TempPath(c.name);
        DeleteFileA(path.c_str());
        if (c.sparseSize >= 0) WriteBytes(path, c.bytes, c.sparseSize);
        driver::SetDesktopText("Wallpaper", path.c_str());
        Saver saver;
        ASSERT_TRUE(saver.Start());
        driver::PumpMessagesFor(500);
        EXPECT_EQ(driver::CountDifferences(driver::CaptureScreen(Middle()), blank.Expected(Middle())), 0u);
        EXPECT_TRUE(saver.EndsOnAKeyWithZero());
        DeleteFileA(path.c_str());
    }
}

// The draw worker's step budget, seen in the processor time of a preview's
// busiest thread (its draw worker).
class DrawBudget : public ::testing::Test {
protected:
    void SetUp() override { driver::ClearSection(); }
    void TearDown() override {
        if (IsWindow(parent_)) DestroyWindow(parent_);
        process_.WaitForExit(10000);
        driver::ClearSection();
        EXPECT_TRUE(driver::WaitUntilNoProcessNamed("Gyrel.scr", 10000));
    }
    HWND StartPreview() {
        parent_ = driver::CreateDriverWindow("preview parent", 800, 600);
        if (!process_.Start("/p " + std::to_string(reinterpret_cast<UINT_PTR>(parent_)))) return nullptr;
        process_.WaitForIdle(15000);
        return GetWindow(parent_, GW_CHILD);
    }
    HWND parent_ = nullptr;
    driver::ModuleProcess process_;
};

TEST_F(DrawBudget, TheDefaultBudgetLeavesTheProcessorMostlyIdle) {
    const struct {
        const char* stepsPerSecond;  // null: the default
        double minimumShare, maximumShare;
    } cases[] = {{nullptr, 0.002, 0.35}, {"0", 0.6, 1.01}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stepsPerSecond ? c.stepsPerSecond : "default");
        if (c.stepsPerSecond != nullptr) driver::StoreValue("StepsPerSecond", c.stepsPerSecond);
        ASSERT_NE(StartPreview(), nullptr);
        double share = driver::BusiestThreadCpuGrowth(process_.Id(), 3000) / 3000;
        EXPECT_GT(share, c.minimumShare);
        EXPECT_LT(share, c.maximumShare);
        DestroyWindow(parent_);
        EXPECT_TRUE(process_.WaitForExit(10000));
        EXPECT_EQ(process_.ExitCode(), 0u);
    }
}

TEST_F(DrawBudget, ACloseDuringAWaitEndsThePreviewPromptly) {
    // One step a second: after its first call the worker waits 1000 s.
    driver::StoreValue("StepsPerSecond", "1");
    HWND preview = StartPreview();
    ASSERT_NE(preview, nullptr);
    driver::PumpMessagesFor(300);
    DWORD start = GetTickCount();
    PostMessageA(preview, WM_CLOSE, 0, 0);
    EXPECT_TRUE(process_.WaitForExit(10000));
    EXPECT_LT(GetTickCount() - start, 2000u);
    EXPECT_EQ(process_.ExitCode(), 0u);
}

TEST_F(DrawBudget, SuspendAndResumeStillNestDuringTheWaits) {
    HWND preview = StartPreview();
    ASSERT_NE(preview, nullptr);
    for (LRESULT count = 0; count < 3; ++count) {
        EXPECT_EQ(SendMessageA(preview, WM_SPIRAL_SUSPEND, 0, 0), count);
        driver::PumpMessagesFor(40);
    }
    EXPECT_LT(driver::BusiestThreadCpuGrowth(process_.Id(), 500), 5);
    for (LRESULT count = 3; count > 0; --count) EXPECT_EQ(SendMessageA(preview, WM_SPIRAL_RESUME, 0, 0), count);
    EXPECT_GT(driver::BusiestThreadCpuGrowth(process_.Id(), 1000), 1);
}

}  // namespace

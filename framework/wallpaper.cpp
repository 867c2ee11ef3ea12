#include "framework/wallpaper.h"

#include <windows.h>
#include <wincodec.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/system_library.h"

namespace {

// The saver's first step waits for the wallpaper; a file on a share that no
// longer answers, or one that takes long to decode, must not hold it up.
constexpr DWORD kDecodeTimeLimitMs = 1500;
// Beyond these a file is not a wallpaper worth the wait or the memory.
constexpr ULONGLONG kMaxFileBytes = 256ull << 20;
constexpr UINT kMaxSide = 32768;
constexpr uint64_t kMaxPixels = 64ull << 20;

using CoInitializeExProc = HRESULT(WINAPI*)(void*, DWORD);
using CoUninitializeProc = void(WINAPI*)();
using CoCreateInstanceProc = HRESULT(WINAPI*)(REFCLSID, IUnknown*, DWORD, REFIID, void**);

// Shared by the caller and the decoding thread; whichever lets go last
// frees it, so a caller that gives up waiting leaves nothing dangling.
struct WallpaperJob {
    volatile LONG references = 2;
    std::wstring path;
    UINT width = 0;
    UINT height = 0;
    std::vector<uint32_t> pixels;
    bool decoded = false;
};

void Release(WallpaperJob* job) {
    if (InterlockedDecrement(&job->references) == 0) delete job;
}

template <typename T>
void ReleaseCom(T*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

bool ReadableSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    ULONGLONG bytes = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return bytes > 0 && bytes <= kMaxFileBytes;
}

// The size the picture takes when scaled to cover width by height with its
// proportions kept; false for proportions so extreme that it would be vast.
bool CoveringSize(UINT pictureWidth, UINT pictureHeight, UINT width, UINT height,
                  UINT* scaledWidth, UINT* scaledHeight) {
    uint64_t w = width, h = height;
    if (uint64_t{width} * pictureHeight >= uint64_t{height} * pictureWidth) {
        h = (uint64_t{pictureHeight} * width + pictureWidth - 1) / pictureWidth;
    } else {
        w = (uint64_t{pictureWidth} * height + pictureHeight - 1) / pictureHeight;
    }
    if (w > 4 * uint64_t{kMaxSide} || h > 4 * uint64_t{kMaxSide}) return false;
    *scaledWidth = static_cast<UINT>(w);
    *scaledHeight = static_cast<UINT>(h);
    return true;
}

bool Decode(IWICImagingFactory* factory, WallpaperJob* job) {
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* converter = nullptr;
    IWICBitmapScaler* scaler = nullptr;
    bool painted = false;
    UINT pictureWidth = 0, pictureHeight = 0, scaledWidth = 0, scaledHeight = 0;
    if (SUCCEEDED(factory->CreateDecoderFromFilename(job->path.c_str(), nullptr, GENERIC_READ,
                                                     WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) &&
        SUCCEEDED(frame->GetSize(&pictureWidth, &pictureHeight)) && pictureWidth > 0 &&
        pictureHeight > 0 && pictureWidth <= kMaxSide && pictureHeight <= kMaxSide &&
        uint64_t{pictureWidth} * pictureHeight <= kMaxPixels &&
        CoveringSize(pictureWidth, pictureHeight, job->width, job->height, &scaledWidth,
                     &scaledHeight) &&
        SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppBGR,
                                        WICBitmapDitherTypeNone, nullptr, 0.0,
                                        WICBitmapPaletteTypeCustom)) &&
        SUCCEEDED(factory->CreateBitmapScaler(&scaler)) &&
        SUCCEEDED(scaler->Initialize(converter, scaledWidth, scaledHeight,
                                     WICBitmapInterpolationModeFant))) {
        const UINT stride = job->width * 4;
        WICRect crop{static_cast<INT>((scaledWidth - job->width) / 2),
                     static_cast<INT>((scaledHeight - job->height) / 2),
                     static_cast<INT>(job->width), static_cast<INT>(job->height)};
        job->pixels.resize(size_t{job->width} * job->height);
        painted = SUCCEEDED(scaler->CopyPixels(&crop, stride, stride * job->height,
                                               reinterpret_cast<BYTE*>(job->pixels.data())));
    }
    ReleaseCom(scaler);
    ReleaseCom(converter);
    ReleaseCom(frame);
    ReleaseCom(decoder);
    return painted;
}

DWORD WINAPI DecodeWallpaper(LPVOID context) {
    auto* job = static_cast<WallpaperJob*>(context);
    HMODULE ole = LoadSystemLibrary("OLE32.DLL");
    auto initialise = SystemEntry<CoInitializeExProc>(ole, "CoInitializeEx");
    auto uninitialise = SystemEntry<CoUninitializeProc>(ole, "CoUninitialize");
    auto create = SystemEntry<CoCreateInstanceProc>(ole, "CoCreateInstance");
    // Even the file's size is asked for here: a file on a share that has gone
    // can keep the question waiting.
    if (ReadableSize(job->path) && initialise != nullptr && uninitialise != nullptr &&
        create != nullptr && SUCCEEDED(initialise(nullptr, COINIT_MULTITHREADED))) {
        IWICImagingFactory* factory = nullptr;
        if (SUCCEEDED(create(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IWICImagingFactory, reinterpret_cast<void**>(&factory)))) {
            job->decoded = Decode(factory, job);
            ReleaseCom(factory);
        }
        uninitialise();
    }
    Release(job);
    return 0;
}

std::wstring WallpaperPath() {
    wchar_t path[MAX_PATH + 1] = L"";
    if (!SystemParametersInfoW(SPI_GETDESKWALLPAPER, MAX_PATH, path, 0)) return std::wstring();
    path[MAX_PATH] = L'\0';
    return path;
}

}  // namespace

bool PaintWallpaper(int32_t width, int32_t height, uint32_t* pixels) {
    if (width <= 0 || height <= 0 || width > static_cast<int32_t>(kMaxSide) ||
        height > static_cast<int32_t>(kMaxSide)) {
        return false;
    }
    std::wstring path = WallpaperPath();
    if (path.empty()) return false;

    auto* job = new WallpaperJob;
    job->path = path;
    job->width = static_cast<UINT>(width);
    job->height = static_cast<UINT>(height);
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, DecodeWallpaper, job, 0, &threadId);
    if (thread == nullptr) {
        delete job;
        return false;
    }
    bool painted = WaitForSingleObject(thread, kDecodeTimeLimitMs) == WAIT_OBJECT_0 && job->decoded;
    CloseHandle(thread);
    if (painted) std::memcpy(pixels, job->pixels.data(), job->pixels.size() * sizeof(uint32_t));
    Release(job);
    return painted;
}

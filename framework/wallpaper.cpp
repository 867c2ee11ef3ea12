#include "framework/wallpaper.h"

#include <windows.h>
#include <wincodec.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "framework/system_library.h"

namespace {

// The saver's first step waits for the wallpaper, once for every monitor; a
// file on a share that no longer answers, or one that takes long to decode,
// must not hold it up.
constexpr DWORD kDecodeTimeLimitMs = 1500;
// Beyond these a file is not a wallpaper worth the wait or the memory.
constexpr ULONGLONG kMaxFileBytes = 256ull << 20;
constexpr UINT kMaxSide = 32768;
constexpr uint64_t kMaxPixels = 64ull << 20;

using CoInitializeExProc = HRESULT(WINAPI*)(void*, DWORD);
using CoUninitializeProc = void(WINAPI*)();
using CoCreateInstanceProc = HRESULT(WINAPI*)(REFCLSID, IUnknown*, DWORD, REFIID, void**);

// One picture the job makes.
struct JobPicture {
    UINT width = 0;
    UINT height = 0;
    std::vector<uint32_t> pixels;
};

// Shared by the caller and the decoding thread; whichever lets go last
// frees it, so a caller that gives up waiting leaves nothing dangling.
struct WallpaperJob {
    volatile LONG references = 2;
    std::wstring path;
    std::vector<JobPicture> pictures;  // sized by the caller, filled by the thread
    bool decoded = false;              // the thread's, read once it has ended
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
bool CoveringSize(UINT pictureWidth, UINT pictureHeight, UINT width, UINT height, UINT* scaledWidth,
                  UINT* scaledHeight) {
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

// One picture from the decoded frame, scaled to cover it and cut to its size.
bool ScaleInto(IWICImagingFactory* factory, IWICBitmapSource* source, UINT pictureWidth,
               UINT pictureHeight, JobPicture* picture) {
    UINT scaledWidth = 0, scaledHeight = 0;
    if (!CoveringSize(pictureWidth, pictureHeight, picture->width, picture->height, &scaledWidth,
                      &scaledHeight)) {
        return false;
    }
    IWICBitmapScaler* scaler = nullptr;
    bool painted = false;
    if (SUCCEEDED(factory->CreateBitmapScaler(&scaler)) &&
        SUCCEEDED(scaler->Initialize(source, scaledWidth, scaledHeight,
                                     WICBitmapInterpolationModeFant))) {
        const UINT stride = picture->width * 4;
        WICRect crop{static_cast<INT>((scaledWidth - picture->width) / 2),
                     static_cast<INT>((scaledHeight - picture->height) / 2),
                     static_cast<INT>(picture->width), static_cast<INT>(picture->height)};
        picture->pixels.resize(size_t{picture->width} * picture->height);
        painted = SUCCEEDED(scaler->CopyPixels(&crop, stride, stride * picture->height,
                                               reinterpret_cast<BYTE*>(picture->pixels.data())));
    }
    ReleaseCom(scaler);
    return painted;
}

// The file is read and converted once; each picture is scaled from the
// converted frame, which the converter keeps.
bool Decode(IWICImagingFactory* factory, WallpaperJob* job) {
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* converter = nullptr;
    bool painted = false;
    UINT pictureWidth = 0, pictureHeight = 0;
    if (SUCCEEDED(factory->CreateDecoderFromFilename(job->path.c_str(), nullptr, GENERIC_READ,
                                                     WICDecodeMetadataCacheOnDemand, &decoder)) &&
        SUCCEEDED(decoder->GetFrame(0, &frame)) &&
        SUCCEEDED(frame->GetSize(&pictureWidth, &pictureHeight)) && pictureWidth > 0 &&
        pictureHeight > 0 && pictureWidth <= kMaxSide && pictureHeight <= kMaxSide &&
        uint64_t{pictureWidth} * pictureHeight <= kMaxPixels &&
        SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
        SUCCEEDED(converter->Initialize(frame, GUID_WICPixelFormat32bppBGR, WICBitmapDitherTypeNone,
                                        nullptr, 0.0, WICBitmapPaletteTypeCustom))) {
        painted = true;
        for (JobPicture& picture : job->pictures) {
            painted =
                painted && ScaleInto(factory, converter, pictureWidth, pictureHeight, &picture);
        }
    }
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
            // A picture too large for the memory left is no reason to end
            // the process: the saver then starts from the blank screen.
            try {
                job->decoded = Decode(factory, job);
            } catch (const std::bad_alloc&) {
                job->decoded = false;
            }
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

bool PaintWallpaper(const std::vector<WallpaperTarget>& targets) {
    if (targets.empty()) return false;
    for (const WallpaperTarget& target : targets) {
        if (target.width <= 0 || target.height <= 0 ||
            target.width > static_cast<int32_t>(kMaxSide) ||
            target.height > static_cast<int32_t>(kMaxSide)) {
            return false;
        }
    }
    std::wstring path = WallpaperPath();
    if (path.empty()) return false;

    auto* job = new (std::nothrow) WallpaperJob;
    if (job == nullptr) return false;
    job->path = path;
    job->pictures.resize(targets.size());
    for (size_t i = 0; i < targets.size(); ++i) {
        job->pictures[i].width = static_cast<UINT>(targets[i].width);
        job->pictures[i].height = static_cast<UINT>(targets[i].height);
    }
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, DecodeWallpaper, job, 0, &threadId);
    if (thread == nullptr) {
        delete job;
        return false;
    }
    bool painted = WaitForSingleObject(thread, kDecodeTimeLimitMs) == WAIT_OBJECT_0 && job->decoded;
    CloseHandle(thread);
    for (size_t i = 0; painted && i < targets.size(); ++i) {
        const std::vector<uint32_t>& pixels = job->pictures[i].pixels;
        std::memcpy(targets[i].pixels, pixels.data(), pixels.size() * sizeof(uint32_t));
    }
    Release(job);
    return painted;
}

#include "tools/render/image_files.h"

#include <gif_lib.h>
#include <png.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool ReadPng(const std::string& path, Picture* picture, std::string* error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        *error = image.message;
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    if (image.width == 0 || image.height == 0 || image.width > 16384 || image.height > 16384) {
        png_image_free(&image);
        *error = "picture is larger than 16384 pixels on a side";
        return false;
    }
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        *error = image.message;
        png_image_free(&image);
        return false;
    }
    picture->width = static_cast<int32_t>(image.width);
    picture->height = static_cast<int32_t>(image.height);
    picture->pixels.resize(static_cast<size_t>(image.width) * image.height);
    for (size_t i = 0; i < picture->pixels.size(); ++i) {
        picture->pixels[i] = rgb[3 * i] | (rgb[3 * i + 1] << 8) | (uint32_t{rgb[3 * i + 2]} << 16);
    }
    return true;
}

bool WritePng(const std::string& path, int32_t width, int32_t height, const uint32_t* pixels,
              std::string* error) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        rgb[3 * i] = pixels[i] & 0xFF;
        rgb[3 * i + 1] = (pixels[i] >> 8) & 0xFF;
        rgb[3 * i + 2] = (pixels[i] >> 16) & 0xFF;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr)) {
        *error = image.message;
        return false;
    }
    return true;
}

struct GifWriter {
    GifFileType* file;
    int32_t width;
    int32_t height;
    int delay;
    std::vector<GifByteType> red, green, blue, indices;
};

namespace {

std::string GifMessage(int code) {
    const char* text = GifErrorString(code);
    return text != nullptr ? text : "unknown GIF error";
}

}  // namespace

GifWriter* GifOpen(const std::string& path, int32_t width, int32_t height, int delayCentiseconds,
                   std::string* error) {
    // Opened here rather than by giflib, which would make the file
    // readable by its owner only.
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (descriptor < 0) {
        *error = std::strerror(errno);
        return nullptr;
    }
    int code = 0;
    GifFileType* file = EGifOpenFileHandle(descriptor, &code);
    if (file == nullptr) {
        close(descriptor);
        *error = GifMessage(code);
        return nullptr;
    }
    EGifSetGifVersion(file, true);
    if (EGifPutScreenDesc(file, width, height, 8, 0, nullptr) == GIF_ERROR) {
        *error = GifMessage(file->Error);
        EGifCloseFile(file, &code);
        return nullptr;
    }
    // Loop for ever: the NETSCAPE2.0 application extension.
    static const GifByteType kLoop[3] = {1, 0, 0};
    if (EGifPutExtensionLeader(file, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(file, 11, "NETSCAPE2.0") == GIF_ERROR ||
        EGifPutExtensionBlock(file, 3, kLoop) == GIF_ERROR ||
        EGifPutExtensionTrailer(file) == GIF_ERROR) {
        *error = GifMessage(file->Error);
        EGifCloseFile(file, &code);
        return nullptr;
    }
    const size_t area = static_cast<size_t>(width) * height;
    return new GifWriter{file,
                         width,
                         height,
                         delayCentiseconds,
                         std::vector<GifByteType>(area),
                         std::vector<GifByteType>(area),
                         std::vector<GifByteType>(area),
                         std::vector<GifByteType>(area)};
}

bool GifAddFrame(GifWriter* writer, const uint32_t* pixels, std::string* error) {
    const size_t area = writer->indices.size();
    for (size_t i = 0; i < area; ++i) {
        writer->red[i] = pixels[i] & 0xFF;
        writer->green[i] = (pixels[i] >> 8) & 0xFF;
        writer->blue[i] = (pixels[i] >> 16) & 0xFF;
    }
    GifColorType colours[256];
    int colourCount = 256;
    if (GifQuantizeBuffer(static_cast<unsigned>(writer->width),
                          static_cast<unsigned>(writer->height), &colourCount, writer->red.data(),
                          writer->green.data(), writer->blue.data(), writer->indices.data(),
                          colours) == GIF_ERROR) {
        *error = "cannot reduce the frame to 256 colours";
        return false;
    }
    ColorMapObject* map = GifMakeMapObject(256, colours);
    if (map == nullptr) {
        *error = "out of memory";
        return false;
    }
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.DelayTime = writer->delay;
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&control, extension);
    bool ok = EGifPutExtension(writer->file, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length),
                               extension) != GIF_ERROR &&
              EGifPutImageDesc(writer->file, 0, 0, writer->width, writer->height, false, map) !=
                  GIF_ERROR;
    for (int32_t row = 0; ok && row < writer->height; ++row) {
        ok = EGifPutLine(writer->file,
                         writer->indices.data() + static_cast<size_t>(row) * writer->width,
                         writer->width) != GIF_ERROR;
    }
    GifFreeMapObject(map);
    if (!ok) *error = GifMessage(writer->file->Error);
    return ok;
}

bool GifClose(GifWriter* writer, std::string* error) {
    int code = 0;
    const bool ok = EGifCloseFile(writer->file, &code) != GIF_ERROR;
    if (!ok) *error = GifMessage(code);
    delete writer;
    return ok;
}

#include "x11/pixel_format.h"

#include <algorithm>
#include <cstring>

namespace {

bool HostOrder(const XImage* image) {
    const uint16_t probe = 1;
    unsigned char first;
    std::memcpy(&first, &probe, 1);
    return image->byte_order == (first == 1 ? LSBFirst : MSBFirst);
}

// 32-bit pixels in this machine's byte order can be written as words; any
// other layout goes through Xlib's per-pixel calls.
bool WordPixels(const XImage* image) { return image->bits_per_pixel == 32 && HostOrder(image); }

// Likewise 16-bit pixels (the 15- and 16-bit depths) as half words.
bool HalfWordPixels(const XImage* image) { return image->bits_per_pixel == 16 && HostOrder(image); }

// One row of surface pixels as image pixels of the given width in bytes.
template <typename Pixel>
void ConvertRow(const uint32_t* from, int width, const uint32_t* red, const uint32_t* green,
                const uint32_t* blue, char* row) {
    for (int x = 0; x < width; ++x) {
        const uint32_t c = from[x];
        const Pixel pixel =
            static_cast<Pixel>(red[c & 0xFF] | green[c >> 8 & 0xFF] | blue[c >> 16 & 0xFF]);
        std::memcpy(row + sizeof(Pixel) * static_cast<size_t>(x), &pixel, sizeof(Pixel));
    }
}

}  // namespace

PixelFormat::Channel PixelFormat::MakeChannel(unsigned long mask) {
    Channel channel{mask, 0, 0};
    if (mask == 0) return channel;
    while (((mask >> channel.shift) & 1UL) == 0) ++channel.shift;
    channel.max = mask >> channel.shift;
    return channel;
}

unsigned long PixelFormat::Place(const Channel& channel, uint32_t eight) {
    if (channel.max == 0) return 0;
    return ((eight * channel.max + 127) / 255) << channel.shift & channel.mask;
}

uint32_t PixelFormat::Take(const Channel& channel, unsigned long pixel) {
    if (channel.max == 0) return 0;
    const unsigned long value = (pixel & channel.mask) >> channel.shift;
    return static_cast<uint32_t>((value * 255 + channel.max / 2) / channel.max);
}

PixelFormat::PixelFormat(unsigned long redMask, unsigned long greenMask, unsigned long blueMask,
                         int depth)
    : red_(MakeChannel(redMask)), green_(MakeChannel(greenMask)), blue_(MakeChannel(blueMask)) {
    const unsigned long depthBits = (depth >= 32 || depth < 0) ? 0xFFFFFFFFUL : (1UL << depth) - 1;
    opaqueBits_ = depthBits & ~(redMask | greenMask | blueMask);
    for (uint32_t i = 0; i < 256; ++i) {
        redBits_[i] = static_cast<uint32_t>(Place(red_, i) | opaqueBits_);
        greenBits_[i] = static_cast<uint32_t>(Place(green_, i));
        blueBits_[i] = static_cast<uint32_t>(Place(blue_, i));
    }
}

unsigned long PixelFormat::PixelOf(uint32_t colorref) const {
    return Place(red_, colorref & 0xFF) | Place(green_, colorref >> 8 & 0xFF) |
           Place(blue_, colorref >> 16 & 0xFF) | opaqueBits_;
}

uint32_t PixelFormat::ColorrefOf(unsigned long pixel) const {
    return Take(red_, pixel) | Take(green_, pixel) << 8 | Take(blue_, pixel) << 16;
}

void PixelFormat::SurfaceToImage(const SoftSurface& surface, XImage* image) const {
    const int width = std::min(surface.width, image->width);
    const int height = std::min(surface.height, image->height);
    const bool words = WordPixels(image);
    const bool halfWords = HalfWordPixels(image);
    for (int y = 0; y < height; ++y) {
        const uint32_t* from = surface.pixels.data() + static_cast<size_t>(y) * surface.width;
        char* row = image->data + static_cast<size_t>(y) * image->bytes_per_line;
        if (words) {
            ConvertRow<uint32_t>(from, width, redBits_, greenBits_, blueBits_, row);
        } else if (halfWords) {
            ConvertRow<uint16_t>(from, width, redBits_, greenBits_, blueBits_, row);
        } else {
            for (int x = 0; x < width; ++x) XPutPixel(image, x, y, PixelOf(from[x]));
        }
    }
}

void PixelFormat::ImageToSurface(const XImage* image, int x, int y, SoftSurface* surface) const {
    const bool words = WordPixels(image);
    XImage* readable = const_cast<XImage*>(image);  // XGetPixel takes no const
    for (int row = 0; row < image->height; ++row) {
        const int64_t sy = int64_t{y} + row;
        if (sy < 0 || sy >= surface->height) continue;
        uint32_t* to = surface->pixels.data() + static_cast<size_t>(sy) * surface->width;
        const char* line = image->data + static_cast<size_t>(row) * image->bytes_per_line;
        for (int column = 0; column < image->width; ++column) {
            const int64_t sx = int64_t{x} + column;
            if (sx < 0 || sx >= surface->width) continue;
            unsigned long pixel;
            if (words) {
                uint32_t word;
                std::memcpy(&word, line + 4 * static_cast<size_t>(column), 4);
                pixel = word;
            } else {
                pixel = XGetPixel(readable, column, row);
            }
            to[sx] = ColorrefOf(pixel);
        }
    }
}

// Pixels between the software surface (0x00BBGGRR) and XImages of a
// TrueColor or DirectColor visual of any depth.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>

#include "effect/soft_surface.h"

class PixelFormat {
public:
    // The channel masks and depth of the visual the images belong to. Bits
    // of the depth outside the three masks (an alpha channel) are set in
    // every pixel, so that a compositor shows the picture opaque.
    PixelFormat(unsigned long redMask, unsigned long greenMask, unsigned long blueMask, int depth);

    // The surface's top-left part that fits the image, onto the image.
    void SurfaceToImage(const SoftSurface& surface, XImage* image) const;
    // The whole image onto the surface with its top-left corner at (x, y);
    // what falls outside the surface is dropped.
    void ImageToSurface(const XImage* image, int x, int y, SoftSurface* surface) const;

    unsigned long PixelOf(uint32_t colorref) const;
    uint32_t ColorrefOf(unsigned long pixel) const;

private:
    struct Channel {
        unsigned long mask;
        int shift;
        unsigned long max;  // the mask shifted down
    };
    static Channel MakeChannel(unsigned long mask);
    static unsigned long Place(const Channel& channel, uint32_t eight);
    static uint32_t Take(const Channel& channel, unsigned long pixel);

    Channel red_;
    Channel green_;
    Channel blue_;
    unsigned long opaqueBits_;
    // Each channel's 256 intensities as pixel bits, OR-ed together per pixel.
    uint32_t redBits_[256];
    uint32_t greenBits_[256];
    uint32_t blueBits_[256];
};

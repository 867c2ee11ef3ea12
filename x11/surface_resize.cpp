#include "x11/surface_resize.h"

#include <cstddef>
#include <utility>
#include <vector>

void ResizeKeepingPicture(SoftSurface* surface, int32_t width, int32_t height) {
    const int32_t oldWidth = surface->width;
    const int32_t oldHeight = surface->height;
    std::vector<uint32_t> old = std::move(surface->pixels);
    // Initialising keeps the buffers' capacity; a window that shrinks must
    // give back the memory of its largest size.
    std::vector<uint32_t>().swap(surface->scratch);
    std::vector<int64_t>().swap(surface->columnSources);
    SoftSurfaceInit(surface, width, height);
    if (oldWidth <= 0 || oldHeight <= 0) return;
    for (int32_t y = 0; y < surface->height; ++y) {
        const int64_t fromY = int64_t{y} * oldHeight / surface->height;
        for (int32_t x = 0; x < surface->width; ++x) {
            const int64_t fromX = int64_t{x} * oldWidth / surface->width;
            surface->pixels[static_cast<size_t>(y) * surface->width + x] =
                old[static_cast<size_t>(fromY) * oldWidth + fromX];
        }
    }
}

// The user's desktop wallpaper as pictures of given sizes.
#pragma once

#include <cstdint>
#include <vector>

// Where one picture of the wallpaper goes: width by height pixels,
// 0x00RRGGBB, top row first.
struct WallpaperTarget {
    int32_t width;
    int32_t height;
    uint32_t* pixels;
};

// Paints the wallpaper into every target, scaled to fill each: it keeps its
// proportions, is centred, and what overhangs is cut off. The platform's own
// decoders read it (BMP, JPEG, PNG, GIF and whatever else the system knows)
// once for all the targets, in a thread of its own, within one time limit.
// False, with every target untouched, when no wallpaper is set or it cannot
// be read in time: a missing, empty, truncated, enormous or foreign file. A
// decoder still at work when the time is up finishes alone and frees what it
// made.
bool PaintWallpaper(const std::vector<WallpaperTarget>& targets);

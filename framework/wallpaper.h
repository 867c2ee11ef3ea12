// The user's desktop wallpaper as a picture of a given size.
#pragma once

#include <cstdint>

// Paints the wallpaper into `pixels` (width by height, 0x00RRGGBB, top row
// first) scaled to fill the area: it keeps its proportions, is centred, and
// what overhangs is cut off. The platform's own decoders read it (BMP, JPEG,
// PNG, GIF and whatever else the system knows), in a thread of its own with a
// time limit. False, with the pixels untouched, when no wallpaper is set or
// it cannot be read in time: a missing, empty, truncated, enormous or foreign
// file.
bool PaintWallpaper(int32_t width, int32_t height, uint32_t* pixels);

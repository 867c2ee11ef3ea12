// The picture a run starts from when it is given none: a small
// desktop of its own, colourful enough that the spiral's drag shows.
#pragma once

#include <cstdint>
#include <vector>

// Fills width x height pixels (0x00BBGGRR, top row first).
void PaintBuiltinPicture(int32_t width, int32_t height, std::vector<uint32_t>* pixels);

// Reading and writing the renderer's pictures with libpng and giflib.
// Pixels are 0x00BBGGRR, top row first, as on the software surface.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
};

// Reads a PNG of any colour type; false with a message on failure.
bool ReadPng(const std::string& path, Picture* picture, std::string* error);

// Writes an 8-bit RGB PNG; false with a message on failure.
bool WritePng(const std::string& path, int32_t width, int32_t height, const uint32_t* pixels,
              std::string* error);

// An animated GIF written a frame at a time, looping for ever. Each frame
// gets its own palette of up to 256 colours.
struct GifWriter;
GifWriter* GifOpen(const std::string& path, int32_t width, int32_t height, int delayCentiseconds,
                   std::string* error);
bool GifAddFrame(GifWriter* writer, const uint32_t* pixels, std::string* error);
bool GifClose(GifWriter* writer, std::string* error);

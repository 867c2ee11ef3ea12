// gyrel-render: runs the spiral engine on the software surface and writes
// what it draws as PNG frames and an animated GIF.
//
// The run itself is the engine's (effect/soft_run), on a simulated machine's
// clock, as the web page's still frames run it.
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "effect/builtin_picture.h"
#include "effect/settings.h"
#include "effect/soft_run.h"
#include "effect/soft_surface.h"
#include "tools/render/image_files.h"

namespace {

constexpr const char* kUsage =
    "usage: gyrel-render [options]\n"
    "\n"
    "Runs the Gyrel spiral on a picture and writes what it draws.\n"
    "\n"
    "  --input FILE.png   start picture (default: a built-in one)\n"
    "  --size WxH         picture size in pixels (default 800x600, or the\n"
    "                     input's size); the input is scaled to it\n"
    "  --seed N           random seed (default 1)\n"
    "  --rate N           simulated spiral steps per second (default 20000)\n"
    "  --seconds S        simulated time to run (default 60)\n"
    "  --frames N         frames to write, evenly spaced, the start included\n"
    "                     (default 61)\n"
    "  --gif FILE         write an animated GIF\n"
    "  --gif-delay CS     hundredths of a second between GIF frames (default 10)\n"
    "  --png-dir DIR      write frame-0000.png, frame-0001.png ... into DIR\n"
    "  --set KEY=VALUE    a setting, as the Options page shows it: MaxBkColour,\n"
    "                     ColChangePer, DeltaTheta, Gradient, Randomness,\n"
    "                     Resolution (may be repeated)\n"
    "  --quiet            no progress report\n"
    "  --help             this text\n";

struct Options {
    std::string input;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t seed = 1;
    int64_t rate = 20000;
    double seconds = 60.0;
    int64_t frames = 61;
    std::string gif;
    int gifDelay = 10;
    std::string pngDir;
    bool quiet = false;
    SpiralSettings settings{};  // the dialog's defaults unless --set
};

int Usage(const std::string& problem) {
    std::fprintf(stderr, "gyrel-render: %s\n\n%s", problem.c_str(), kUsage);
    return 2;
}

bool ParseInteger(const std::string& text, int64_t low, int64_t high, int64_t* value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
    *value = parsed;
    return true;
}

bool ParseSize(const std::string& text, int32_t* width, int32_t* height) {
    const size_t x = text.find('x');
    if (x == std::string::npos) return false;
    int64_t w, h;
    if (!ParseInteger(text.substr(0, x), 1, kSoftSurfaceMaxSide, &w) ||
        !ParseInteger(text.substr(x + 1), 1, kSoftSurfaceMaxSide, &h)) {
        return false;
    }
    *width = static_cast<int32_t>(w);
    *height = static_cast<int32_t>(h);
    return true;
}

// KEY=VALUE for one of the six settings, stored through the same conversion
// the Options page uses. Any 32-bit value is accepted, as from the file.
bool ApplySetting(const std::string& text, SpiralSettings* settings) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos) return false;
    const std::string key = text.substr(0, equals);
    int64_t value;
    if (!ParseInteger(text.substr(equals + 1), INT32_MIN, INT32_MAX, &value)) return false;
    for (int row = 0; row < kSettingsRows; ++row) {
        if (key == kSettingDefinitions[row].key) {
            ApplyDialogValue(settings, row, static_cast<int32_t>(value));
            return true;
        }
    }
    return false;
}

// Nearest-neighbour scaling of the input to the surface.
void Scale(const Picture& from, SoftSurface* to) {
    for (int32_t y = 0; y < to->height; ++y) {
        const int64_t fy = static_cast<int64_t>(y) * from.height / to->height;
        for (int32_t x = 0; x < to->width; ++x) {
            const int64_t fx = static_cast<int64_t>(x) * from.width / to->width;
            to->pixels[static_cast<size_t>(y) * to->width + x] =
                from.pixels[static_cast<size_t>(fy) * from.width + fx];
        }
    }
}

class Progress {
public:
    Progress(bool quiet, int64_t total) : quiet_(quiet), total_(total), tty_(isatty(2) != 0) {}
    void Show(int64_t done, int64_t framesWritten, int64_t frames) {
        if (quiet_ || total_ <= 0) return;
        const int percent = static_cast<int>(done * 100 / total_);
        if (tty_) {
            std::fprintf(stderr, "\rgyrel-render: %3d%%  %lld of %lld steps, frame %lld of %lld", percent,
                         static_cast<long long>(done), static_cast<long long>(total_),
                         static_cast<long long>(framesWritten), static_cast<long long>(frames));
            if (done == total_) std::fputc('\n', stderr);
        } else if (percent >= nextPercent_) {
            std::fprintf(stderr, "gyrel-render: %3d%%  frame %lld of %lld\n", percent,
                         static_cast<long long>(framesWritten), static_cast<long long>(frames));
            nextPercent_ = percent / 10 * 10 + 10;
        }
        std::fflush(stderr);
    }

private:
    bool quiet_;
    int64_t total_;
    bool tty_;
    int nextPercent_ = 0;
};

int Fail(const std::string& message) {
    std::fprintf(stderr, "gyrel-render: %s\n", message.c_str());
    return 1;
}

int Render(int argc, char** argv);

}  // namespace

int main(int argc, char** argv) {
    try {
        return Render(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "gyrel-render: not enough memory for a picture of that size\n");
        return 1;
    }
}

namespace {

// Reads the command line into options: -1 to go on, or the exit code to end
// with (after the help text or a usage error).
int ReadOptions(int argc, char** argv, Options* out) {
    Options& options = *out;
    for (int row = 0; row < kSettingsRows; ++row) {
        ApplyDialogValue(&options.settings, row, kSettingDefinitions[row].defaultValue);
    }
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        const size_t equals = name.find('=');
        if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
            hasValue = true;
        }
        auto take = [&](std::string* taken) {
            if (hasValue) {
                *taken = value;
                return true;
            }
            if (i + 1 >= args.size()) return false;
            *taken = args[++i];
            return true;
        };
        std::string text;
        int64_t number;
        if (name == "--help" || name == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (name == "--quiet") {
            options.quiet = true;
        } else if (name == "--input") {
            if (!take(&options.input) || options.input.empty()) return Usage("--input needs a file");
        } else if (name == "--size") {
            if (!take(&text) || !ParseSize(text, &options.width, &options.height)) {
                return Usage("--size needs WxH, each 1 to 16384");
            }
        } else if (name == "--seed") {
            if (!take(&text) || !ParseInteger(text, 0, UINT32_MAX, &number)) {
                return Usage("--seed needs a number from 0 to 4294967295");
            }
            options.seed = static_cast<uint32_t>(number);
        } else if (name == "--rate") {
            if (!take(&text) || !ParseInteger(text, 1, 1000000000, &number)) {
                return Usage("--rate needs steps per second, 1 to 1000000000");
            }
            options.rate = number;
        } else if (name == "--seconds") {
            char* end = nullptr;
            if (!take(&text) || text.empty()) return Usage("--seconds needs a time");
            options.seconds = std::strtod(text.c_str(), &end);
            if (*end != '\0' || !(options.seconds >= 0.0) || options.seconds > 1e7) {
                return Usage("--seconds needs a time from 0 to 10000000");
            }
        } else if (name == "--frames") {
            if (!take(&text) || !ParseInteger(text, 1, 100000, &number)) {
                return Usage("--frames needs a count from 1 to 100000");
            }
            options.frames = number;
        } else if (name == "--gif") {
            if (!take(&options.gif) || options.gif.empty()) return Usage("--gif needs a file");
        } else if (name == "--gif-delay") {
            if (!take(&text) || !ParseInteger(text, 1, 65535, &number)) {
                return Usage("--gif-delay needs hundredths of a second, 1 to 65535");
            }
            options.gifDelay = static_cast<int>(number);
        } else if (name == "--png-dir") {
            if (!take(&options.pngDir) || options.pngDir.empty()) return Usage("--png-dir needs a directory");
        } else if (name == "--set") {
            if (!take(&text) || !ApplySetting(text, &options.settings)) {
                return Usage("--set needs KEY=VALUE with a known key and a 32-bit value, not '" + text + "'");
            }
        } else {
            return Usage("unknown option '" + args[i] + "'");
        }
    }
    if (options.gif.empty() && options.pngDir.empty()) {
        return Usage("nothing to write: give --gif FILE, --png-dir DIR or both");
    }
    return -1;
}

// Puts the start picture on the surface, sized as the options say (the
// input's size, or 800 by 600, when they give none): -1 to go on, or the
// exit code.
int LoadStartPicture(Options* options, SoftSurface* surface) {
    Picture input;
    if (!options->input.empty()) {
        std::FILE* probe = std::fopen(options->input.c_str(), "rb");
        if (probe == nullptr) {
            return Fail("cannot open '" + options->input + "': " + std::strerror(errno));
        }
        std::fclose(probe);
        std::string error;
        if (!ReadPng(options->input, &input, &error)) {
            return Fail("cannot read '" + options->input + "' as a PNG: " + error);
        }
        if (options->width == 0) {
            options->width = input.width;
            options->height = input.height;
        }
    }
    if (options->width == 0) {
        options->width = LOGICAL_WIDTH;
        options->height = LOGICAL_HEIGHT;
    }
    SoftSurfaceInit(surface, options->width, options->height);
    if (input.pixels.empty()) {
        PaintBuiltinPicture(surface->width, surface->height, &surface->pixels);
    } else {
        Scale(input, surface);
    }
    return -1;
}

// Runs the spiral on the run's picture for the options' simulated time,
// writing the frames as it goes.
int RunAndWrite(const Options& options, SoftRun* run) {
    const SoftSurface& surface = run->surface;
    GifWriter* gif = nullptr;
    std::string error;
    if (!options.gif.empty()) {
        gif = GifOpen(options.gif, surface.width, surface.height, options.gifDelay, &error);
        if (gif == nullptr) return Fail("cannot write '" + options.gif + "': " + error);
    }
    if (!SoftRunStart(run, options.settings, options.seed)) return Fail("not enough memory for the spiral");
    const int64_t calls = SimulatedDrawCalls(options.seconds, options.rate);
    const double msPerCall = SimulatedMsPerCall(options.rate);
    Progress progress(options.quiet, calls * kStepsPerDrawCall);
    int64_t framesWritten = 0;

    // Writes the surface as the next frame; false, with a message, when a
    // file cannot be written.
    auto writeFrame = [&]() {
        if (gif != nullptr && !GifAddFrame(gif, surface.pixels.data(), &error)) {
            Fail("cannot write '" + options.gif + "': " + error);
            return false;
        }
        if (!options.pngDir.empty()) {
            char name[32];
            std::snprintf(name, sizeof name, "/frame-%04lld.png", static_cast<long long>(framesWritten));
            const std::string path = options.pngDir + name;
            if (!WritePng(path, surface.width, surface.height, surface.pixels.data(), &error)) {
                Fail("cannot write '" + path + "': " + error);
                return false;
            }
        }
        ++framesWritten;
        return true;
    };

    bool ok = writeFrame();
    for (int64_t call = 1; ok && call <= calls; ++call) {
        SoftRunDraw(run);
        SoftRunMoveClock(run, msPerCall);
        // Frame k of the rest is due after k / (frames - 1) of the calls.
        while (ok && options.frames > 1 && framesWritten < options.frames &&
               call * (options.frames - 1) >= framesWritten * calls) {
            ok = writeFrame();
        }
        progress.Show(call * kStepsPerDrawCall, framesWritten, options.frames);
    }
    SoftRunEnd(run);
    if (gif != nullptr && !GifClose(gif, &error) && ok) {
        ok = false;
        Fail("cannot write '" + options.gif + "': " + error);
    }
    return ok ? 0 : 1;
}

int Render(int argc, char** argv) {
    Options options;
    int code = ReadOptions(argc, argv, &options);
    if (code >= 0) return code;
    SoftRun run;
    code = LoadStartPicture(&options, &run.surface);
    if (code >= 0) return code;
    return RunAndWrite(options, &run);
}

}  // namespace

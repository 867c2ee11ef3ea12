// A table of drawing operations that logs every call, with its arguments and
// whether DrawLock was held, and then performs it on the software surface.
// Tests read the log to check which calls the engine makes, in what order and
// under what lock, and the surface to check what they drew.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "effect/draw_ops.h"
#include "effect/soft_surface.h"

enum class Op {
    CopyBlock,       // args: dx, dy, w, h, sx, sy
    BlackOut,        // args: x, y, w, h
    CreateBrush,     // args: colorref
    DeleteBrush,     // args: colorref
    CreateRect,      // args: left, top, right, bottom
    CreateTriangle,  // args: x0, y0, x1, y1, x2, y2
    Union,           // region: destination, other: the region added
    DeleteRegion,    // region
    PointInRegion,   // args: x, y, answer
    FillRegion,      // region; args: colorref of the brush
};

struct RecordedCall {
    Op op;
    std::vector<int64_t> args;
    DrawRegion region;
    DrawRegion other;
    bool lockHeld;
};

extern const DrawOps kRecordingDrawOps;

std::vector<RecordedCall>& Recorded();
std::vector<RecordedCall> RecordedOf(Op op);
// A short description, for failure messages.
std::string Describe(const RecordedCall& call);

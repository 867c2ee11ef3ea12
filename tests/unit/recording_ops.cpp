#include "tests/unit/recording_ops.h"

#include <sstream>

#include "base/draw_lock.h"
#include "effect/effect_platform_host.h"

namespace {

const char* Name(Op op) {
    switch (op) {
        case Op::CopyBlock: return "CopyBlock";
        case Op::BlackOut: return "BlackOut";
        case Op::CreateBrush: return "CreateBrush";
        case Op::DeleteBrush: return "DeleteBrush";
        case Op::CreateRect: return "CreateRect";
        case Op::CreateTriangle: return "CreateTriangle";
        case Op::Union: return "Union";
        case Op::DeleteRegion: return "DeleteRegion";
        case Op::PointInRegion: return "PointInRegion";
        case Op::FillRegion: return "FillRegion";
    }
    return "?";
}

void Log(Op op, std::vector<int64_t> args, DrawRegion region = nullptr, DrawRegion other = nullptr) {
    Recorded().push_back(RecordedCall{op, std::move(args), region, other, DrawLocksHeldHere() > 0});
}

int64_t BrushColour(DrawBrush brush) {
    return static_cast<int64_t>(reinterpret_cast<uintptr_t>(brush) & 0x00FFFFFFu);
}

void CopyBlock(DrawContext dc, int32_t dx, int32_t dy, int32_t w, int32_t h, int32_t sx, int32_t sy) {
    Log(Op::CopyBlock, {dx, dy, w, h, sx, sy});
    kSoftDrawOps.copyBlock(dc, dx, dy, w, h, sx, sy);
}
void BlackOut(DrawContext dc, int32_t x, int32_t y, int32_t w, int32_t h) {
    Log(Op::BlackOut, {x, y, w, h});
    kSoftDrawOps.blackOut(dc, x, y, w, h);
}
DrawBrush CreateBrush(uint32_t colorref) {
    Log(Op::CreateBrush, {colorref});
    return kSoftDrawOps.createSolidBrush(colorref);
}
void DeleteBrush(DrawBrush brush) {
    Log(Op::DeleteBrush, {BrushColour(brush)});
    kSoftDrawOps.deleteBrush(brush);
}
DrawRegion CreateRect(int32_t l, int32_t t, int32_t r, int32_t b) {
    DrawRegion region = kSoftDrawOps.createRectRegion(l, t, r, b);
    Log(Op::CreateRect, {l, t, r, b}, region);
    return region;
}
DrawRegion CreateTriangle(const DrawPoint p[3]) {
    DrawRegion region = kSoftDrawOps.createTriangleRegion(p);
    Log(Op::CreateTriangle, {p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y}, region);
    return region;
}
void Union(DrawRegion destination, DrawRegion other) {
    Log(Op::Union, {}, destination, other);
    kSoftDrawOps.unionRegion(destination, other);
}
void DeleteRegion(DrawRegion region) {
    Log(Op::DeleteRegion, {}, region);
    kSoftDrawOps.deleteRegion(region);
}
bool PointInRegion(DrawRegion region, int32_t x, int32_t y) {
    const bool inside = kSoftDrawOps.pointInRegion(region, x, y);
    Log(Op::PointInRegion, {x, y, inside ? 1 : 0}, region);
    return inside;
}
void FillRegion(DrawContext dc, DrawRegion region, DrawBrush brush) {
    Log(Op::FillRegion, {BrushColour(brush)}, region);
    kSoftDrawOps.fillRegion(dc, region, brush);
}

}  // namespace

const DrawOps kRecordingDrawOps = {
    CopyBlock,      BlackOut,     CreateBrush,  DeleteBrush,   CreateRect,
    CreateTriangle, Union, DeleteRegion, PointInRegion, FillRegion,
};

std::vector<RecordedCall>& Recorded() {
    static std::vector<RecordedCall> calls;
    return calls;
}

std::vector<RecordedCall> RecordedOf(Op op) {
    std::vector<RecordedCall> selected;
    for (const RecordedCall& call : Recorded()) {
        if (call.op == op) selected.push_back(call);
    }
    return selected;
}

std::string Describe(const RecordedCall& call) {
    std::ostringstream text;
    text << Name(call.op) << '(';
    for (size_t i = 0; i < call.args.size(); ++i) text << (i ? ", " : "") << call.args[i];
    text << ')' << (call.lockHeld ? " locked" : "");
    return text.str();
}

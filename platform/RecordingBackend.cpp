#include "platform/RecordingBackend.h"

#include <cstdio>

namespace zun {

const char* PrimitiveName(Primitive p) {
    switch (p) {
    case Primitive::TriangleList: return "TriangleList";
    case Primitive::TriangleStrip: return "TriangleStrip";
    case Primitive::LineList: return "LineList";
    case Primitive::PointList: return "PointList";
    }
    return "?";
}

RecordingBackend::RecordingBackend(int32_t backBufferWidth, int32_t backBufferHeight)
    : bbW_(backBufferWidth), bbH_(backBufferHeight) {}

static std::string Sized(const char* what, TextureId id, int32_t w, int32_t h) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s %u %dx%d", what, unsigned(id), int(w), int(h));
    return buf;
}

TextureId RecordingBackend::CreateTexture(int32_t w, int32_t h, const uint8_t*) {
    if (FailTextures || w < 1 || h < 1 || w > kMaxTextureSide || h > kMaxTextureSide) {
        Calls.push_back(Sized("CreateTexture", 0, w, h));
        return 0;
    }
    TextureId id = next_++;
    textures_[id] = Tex{w, h, false};
    Calls.push_back(Sized("CreateTexture", id, w, h));
    return id;
}

bool RecordingBackend::UpdateTexture(TextureId tex, int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t*) {
    auto it = textures_.find(tex);
    bool ok = it != textures_.end() && x >= 0 && y >= 0 && w >= 0 && h >= 0 && int64_t(x) + w <= it->second.W &&
              int64_t(y) + h <= it->second.H;
    Calls.push_back(Sized("UpdateTexture", tex, w, h) + (ok ? "" : " refused"));
    return ok;
}

void RecordingBackend::DeleteTexture(TextureId tex) {
    Calls.push_back("DeleteTexture " + std::to_string(tex));
    if (textures_.erase(tex) && target_ == tex) target_ = 0;
}

bool RecordingBackend::TextureSize(TextureId tex, int32_t& w, int32_t& h) const {
    auto it = textures_.find(tex);
    if (it == textures_.end()) return false;
    w = it->second.W;
    h = it->second.H;
    return true;
}

bool RecordingBackend::IsRenderTarget(TextureId tex) const {
    auto it = textures_.find(tex);
    return it != textures_.end() && it->second.Target;
}

TextureId RecordingBackend::CreateRenderTarget(int32_t side) {
    if (side < 1 || side > kMaxTargetSide || side > FailTargetsAbove) {
        Calls.push_back(Sized("CreateRenderTarget", 0, side, side));
        return 0;
    }
    TextureId id = next_++;
    textures_[id] = Tex{side, side, true};
    Calls.push_back(Sized("CreateRenderTarget", id, side, side));
    return id;
}

bool RecordingBackend::SetRenderTarget(TextureId target) {
    if (target != 0 && !IsRenderTarget(target)) {
        Calls.push_back("SetRenderTarget " + std::to_string(target) + " refused");
        return false;
    }
    target_ = target;
    Calls.push_back("SetRenderTarget " + std::to_string(target));
    return true;
}

void RecordingBackend::CurrentTargetSize(int32_t& w, int32_t& h) const {
    if (target_ == 0 || !TextureSize(target_, w, h)) {
        w = bbW_;
        h = bbH_;
    }
}

void RecordingBackend::Clear(bool color, uint32_t argb, bool depth, float z) {
    char buf[96];
    if (color)
        std::snprintf(buf, sizeof buf, "Clear color=%08X depth=%d", unsigned(argb), depth ? 1 : 0);
    else
        std::snprintf(buf, sizeof buf, "Clear depth=%d", depth ? 1 : 0);
    Calls.push_back(buf);
}

void RecordingBackend::DrawTextured(const DrawState& state, Primitive prim, const TLVertex* v, int32_t count,
                                    TextureId texture) {
    count = v ? WholePrimitiveCount(prim, count) : 0;
    Calls.push_back(std::string("Draw ") + PrimitiveName(prim) + " " + std::to_string(count) +
                    " tex=" + std::to_string(texture));
    RecordedDraw d;
    d.State = state;
    d.Prim = prim;
    d.Textured = true;
    d.Texture = texture;
    d.Target = target_;
    if (count > 0) {
        d.Vertices = TakeVertexStore();
        d.Vertices.assign(v, v + count);
    }
    Draws.push_back(std::move(d));
}

std::vector<TLVertex> RecordingBackend::TakeVertexStore() {
    if (spare_.empty()) return {};
    std::vector<TLVertex> v = std::move(spare_.back());
    spare_.pop_back();
    v.clear();
    return v;
}

void RecordingBackend::DrawColored(const DrawState& state, Primitive prim, const ColorVertex* v, int32_t count) {
    count = v ? WholePrimitiveCount(prim, count) : 0;
    Calls.push_back(std::string("DrawColored ") + PrimitiveName(prim) + " " + std::to_string(count));
    RecordedDraw d;
    d.State = state;
    d.Prim = prim;
    d.Target = target_;
    if (count > 0) d.Vertices = TakeVertexStore();
    d.Vertices.reserve(size_t(count));
    for (int32_t i = 0; i < count; ++i) d.Vertices.push_back(TLVertex{v[i].X, v[i].Y, v[i].Z, v[i].RHW, v[i].Color, 0, 0});
    Draws.push_back(std::move(d));
}

bool RecordingBackend::ReadPixels(int32_t x, int32_t y, int32_t w, int32_t h, std::vector<uint8_t>& rgba) {
    int32_t tw, th;
    CurrentTargetSize(tw, th);
    bool ok = x >= 0 && y >= 0 && w >= 0 && h >= 0 && int64_t(x) + w <= tw && int64_t(y) + h <= th;
    Calls.push_back("ReadPixels " + std::to_string(w) + "x" + std::to_string(h) + (ok ? "" : " refused"));
    if (!ok) return false;
    rgba.assign(size_t(w) * size_t(h) * 4, 0);
    return true;
}

void RecordingBackend::Present(int32_t srcW, int32_t srcH) {
    Calls.push_back("Present " + std::to_string(srcW) + "x" + std::to_string(srcH));
}

bool RecordingBackend::Reset() {
    Calls.push_back("Reset");
    NextStatus = DeviceStatus::Ok;
    return true;
}

}  // namespace zun

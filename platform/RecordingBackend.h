// A drawing backend that draws nothing and remembers everything: each call as
// a line of text, and each draw with its state, target, texture and vertices.
// Logic tests of the device run on it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/RenderBackend.h"

namespace zun {

struct RecordedDraw {
    DrawState State;
    Primitive Prim = Primitive::TriangleList;
    bool Textured = false;           // textured vertex records (even when Texture is 0)
    TextureId Texture = 0;           // as asked for
    TextureId Target = 0;            // the render target drawn into; 0 = back buffer
    std::vector<TLVertex> Vertices;  // coloured vertices come with TU = TV = 0
};

class RecordingBackend final : public RenderBackend {
public:
    explicit RecordingBackend(int32_t backBufferWidth = 1024, int32_t backBufferHeight = 768);

    // Every call in order, e.g. "CreateTexture 1 16x16", "SetRenderTarget 3",
    // "Clear color=FF102030 depth=1", "Draw TriangleList 6 tex=1",
    // "DrawColored LineList 2", "Present 640x480".
    std::vector<std::string> Calls;
    std::vector<RecordedDraw> Draws;

    // Knobs for tests.
    int32_t FailTargetsAbove = kMaxTargetSide;  // CreateRenderTarget of a larger side fails
    bool FailTextures = false;                   // CreateTexture fails
    DeviceStatus NextStatus = DeviceStatus::Ok;  // what Status() reports until Reset()

    // The vertex stores of the cleared draws are kept for the next ones: a
    // benchmark that clears the log every frame would otherwise measure fresh
    // memory being faulted in rather than the drawing it records.
    void ClearLog() {
        Calls.clear();
        for (auto& d : Draws)
            if (d.Vertices.capacity() > 0) spare_.push_back(std::move(d.Vertices));
        Draws.clear();
    }

    const char* Name() const override { return "recording"; }
    TextureId CreateTexture(int32_t w, int32_t h, const uint8_t* rgba) override;
    bool UpdateTexture(TextureId tex, int32_t x, int32_t y, int32_t w, int32_t h, const uint8_t* rgba) override;
    void DeleteTexture(TextureId tex) override;
    bool TextureSize(TextureId tex, int32_t& w, int32_t& h) const override;
    TextureId CreateRenderTarget(int32_t side) override;
    bool SetRenderTarget(TextureId target) override;
    TextureId CurrentTarget() const override { return target_; }
    void CurrentTargetSize(int32_t& w, int32_t& h) const override;
    void Clear(bool color, uint32_t argb, bool depth, float z = 1.0f) override;
    void DrawTextured(const DrawState& state, Primitive prim, const TLVertex* v, int32_t count,
                      TextureId texture) override;
    void DrawColored(const DrawState& state, Primitive prim, const ColorVertex* v, int32_t count) override;
    bool ReadPixels(int32_t x, int32_t y, int32_t w, int32_t h, std::vector<uint8_t>& rgba) override;
    void Present(int32_t srcW, int32_t srcH) override;
    int32_t BackBufferWidth() const override { return bbW_; }
    int32_t BackBufferHeight() const override { return bbH_; }
    DeviceStatus Status() override { return NextStatus; }
    bool Reset() override;

    bool IsTexture(TextureId tex) const { return textures_.count(tex) != 0; }
    bool IsRenderTarget(TextureId tex) const;
    size_t LiveTextures() const { return textures_.size(); }

private:
    // An empty vertex store, reusing one a cleared draw left when there is one.
    std::vector<TLVertex> TakeVertexStore();
    std::vector<std::vector<TLVertex>> spare_;

    struct Tex {
        int32_t W = 0, H = 0;
        bool Target = false;
    };
    std::map<TextureId, Tex> textures_;
    TextureId next_ = 1;
    TextureId target_ = 0;
    int32_t bbW_, bbH_;
};

const char* PrimitiveName(Primitive p);

}  // namespace zun

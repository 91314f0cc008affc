// The set-up of the layer tests: a device on the recording backend, the scene
// classes registered, a folder for textures, and readers that turn what the
// backend recorded back into quads and covered pixels.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/zCore.h"
#include "core/zRegistry.h"
#include "devices/DeviceTestSupport.h"
#include "scene/zCamera.h"
#include "scene/zSceneClasses.h"
#include "scene/zSceneHooks.h"
#include "support/TestSupport.h"

namespace zun::test::layers {

// One queued quad as the flush handed it over, with the flush's half-pixel
// shift and depth scale taken out again. Corners in queue order (for a plain
// blit: top-left, top-right, bottom-right, bottom-left).
struct Quad {
    float X[4], Y[4], U[4], V[4];
    float Z;
    uint32_t Color;
    TextureId Texture;
    float Left() const { return std::min(std::min(X[0], X[1]), std::min(X[2], X[3])); }
    float Top() const { return std::min(std::min(Y[0], Y[1]), std::min(Y[2], Y[3])); }
    float Width() const { return std::max(std::max(X[0], X[1]), std::max(X[2], X[3])) - Left(); }
    float Height() const { return std::max(std::max(Y[0], Y[1]), std::max(Y[2], Y[3])) - Top(); }
};

class LayerTest : public RecordingDevice {
protected:
    TempDir dir;

    void SetUp() override {
        RecordingDevice::SetUp();
        RegisterCoreClasses();
        RegisterSceneClasses();
        zDDraw.TexturePath = dir.Path();
        zCore.FrameCounter = 0;
        gSceneHooks = SceneHooks{};
        gCameraViewport = CameraViewport{};
    }
    void TearDown() override {
        gSceneHooks = SceneHooks{};
        zCore.FrameCounter = 0;
        RecordingDevice::TearDown();
    }

    // A plain PNG in the texture folder.
    void WriteTexture(const std::string& name, int32_t w, int32_t h) {
        WritePng(dir.HostPath(name), w, h, std::vector<uint8_t>(size_t(w) * size_t(h) * 4, 255));
    }

    static zCamera Camera(float x, float y, int32_t w, int32_t h) {
        zCamera cam;
        cam.x = x;
        cam.y = y;
        cam.W = w;
        cam.H = h;
        return cam;
    }

    // Flushes the batches and returns every textured quad drawn since the last call.
    std::vector<Quad> Quads() {
        zDDraw.EndScene(false);
        std::vector<Quad> out;
        for (const auto& d : rec->Draws) {
            if (!d.Textured || d.Prim != Primitive::TriangleList) continue;
            for (size_t i = 0; i + 6 <= d.Vertices.size(); i += 6) {
                const TLVertex* v = &d.Vertices[i];
                const TLVertex* corner[4] = {&v[0], &v[1], &v[2], &v[5]};
                Quad q{};
                for (int k = 0; k < 4; ++k) {
                    q.X[k] = corner[k]->X + 0.5f;
                    q.Y[k] = corner[k]->Y + 0.5f;
                    q.U[k] = corner[k]->TU;
                    q.V[k] = corner[k]->TV;
                }
                q.Z = float(double(v[0].Z) / 0.999999);
                q.Color = v[0].Color;
                q.Texture = d.Texture;
                out.push_back(q);
            }
        }
        rec->ClearLog();
        return out;
    }
};

// Paints the untextured triangles the backend recorded into a w x h picture,
// later draws over earlier ones. A pixel (px, py) is covered when the point
// just right of and below its whole-number position lies inside a triangle, so
// a rectangle [a, b) covers the pixels a..b-1. 0 = never painted.
struct Raster {
    int32_t W, H;
    std::vector<uint32_t> Pixels;
    std::vector<uint8_t> Hits;  // how many primitives covered each pixel

    Raster(int32_t w, int32_t h) : W(w), H(h), Pixels(size_t(w) * size_t(h), 0), Hits(size_t(w) * size_t(h), 0) {}

    uint32_t At(int32_t x, int32_t y) const { return Pixels[size_t(y) * size_t(W) + size_t(x)]; }

    void Triangle(const TLVertex& a, const TLVertex& b, const TLVertex& c) {
        const double area = (double(b.X) - a.X) * (double(c.Y) - a.Y) - (double(b.Y) - a.Y) * (double(c.X) - a.X);
        if (std::fabs(area) < 1e-9) return;
        const double minX = std::floor(std::min({a.X, b.X, c.X})), maxX = std::ceil(std::max({a.X, b.X, c.X}));
        const double minY = std::floor(std::min({a.Y, b.Y, c.Y})), maxY = std::ceil(std::max({a.Y, b.Y, c.Y}));
        auto edge = [](const TLVertex& p, const TLVertex& q, double x, double y) {
            return (double(q.X) - p.X) * (y - p.Y) - (double(q.Y) - p.Y) * (x - p.X);
        };
        for (int32_t py = std::max(0, int32_t(minY) - 1); py <= std::min(H - 1, int32_t(maxY)); ++py) {
            for (int32_t px = std::max(0, int32_t(minX) - 1); px <= std::min(W - 1, int32_t(maxX)); ++px) {
                const double sx = px + 0.01, sy = py + 0.013;
                const double e0 = edge(a, b, sx, sy), e1 = edge(b, c, sx, sy), e2 = edge(c, a, sx, sy);
                const bool inside = area > 0 ? (e0 > 0 && e1 > 0 && e2 > 0) : (e0 < 0 && e1 < 0 && e2 < 0);
                if (!inside) continue;
                Pixels[size_t(py) * size_t(W) + size_t(px)] = a.Color;
                Hits[size_t(py) * size_t(W) + size_t(px)] += 1;
            }
        }
    }

    // Every untextured strip and triangle list of a recording.
    void Paint(const std::vector<RecordedDraw>& draws) {
        for (const auto& d : draws) {
            if (d.Textured) continue;
            const auto& v = d.Vertices;
            if (d.Prim == Primitive::TriangleList) {
                for (size_t i = 0; i + 3 <= v.size(); i += 3) Triangle(v[i], v[i + 1], v[i + 2]);
            } else if (d.Prim == Primitive::TriangleStrip) {
                for (size_t i = 0; i + 3 <= v.size(); ++i) Triangle(v[i], v[i + 1], v[i + 2]);
            }
        }
    }
};

}  // namespace zun::test::layers

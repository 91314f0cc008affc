// The device calls the host built-ins make (drawing, colours, scenes, images,
// the mouse and the view size), as slots that the device layer fills when it is
// linked. An empty slot does nothing and answers 0, so scripts also run where
// nothing is drawn (tools, tests).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zun {

struct ScriptDevices {
    std::function<void(float x, float y, int32_t color)> BltPoint;
    std::function<void(float x1, float y1, float x2, float y2, int32_t color1, int32_t color2)> BltLine;
    std::function<void(float x, float y, float w, float h, int32_t color)> BltSurface;
    std::function<void(float x, float y, float radius, int32_t lineColor, int32_t fillColor, float quality)>
        BltCircle;
    std::function<void(int32_t texture, float x, float y, float w, float h, int32_t srcX, int32_t srcY,
                       int32_t srcW, int32_t srcH, int32_t color, float srcScale)>
        Blt;
    std::function<void(int32_t texture, float x, float y, float w, float h, int32_t srcX, int32_t srcY,
                       int32_t srcW, int32_t srcH, int32_t color, float angle, float centerX, float centerY,
                       float srcScale, uint8_t flip)>
        BltRotate;
    std::function<bool(int32_t clearColor, int32_t renderTarget)> BeginScene;
    std::function<void(bool present)> EndScene;
    std::function<int32_t(int32_t size)> CreateRenderTarget;
    std::function<void()> EndTextureScene;
    std::function<void(float gamma)> ApplyGamma;
    std::function<void(float r, float g, float b)> ApplyTint;
    std::function<bool(const std::string& file, int32_t left, int32_t top, int32_t right, int32_t bottom,
                       int32_t format)>
        SaveScreenShot;
    std::function<int32_t(const std::string& file, bool smooth, int32_t colorKey, int32_t mipLevels,
                          int32_t format)>
        LoadTexture;
    std::function<int32_t(float r, float g, float b, float a)> GetColorRGBA;
    std::function<int32_t(float r, float g, float b)> GetColorRGB;
    std::function<int32_t(float v)> GetGrayColor;
    // Drawing state.
    std::function<void(float z)> SetRenderZ;
    std::function<void(int32_t color)> SetDiffuseColor;
    std::function<void(int32_t color)> SetBackColor;
    std::function<int32_t()> GetBackColor;
    std::function<void(int32_t color)> SetGreyscaleColor;
    // Input and view.
    std::function<float()> MouseX;
    std::function<float()> MouseY;
    std::function<int32_t()> ViewW;
    std::function<int32_t()> ViewH;
    std::function<int32_t()> ScreenW;
    std::function<int32_t()> ScreenH;
};
extern ScriptDevices gScriptDevices;

}  // namespace zun

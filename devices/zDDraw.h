// The graphics device: one drawing device for the whole program, its scenes and
// render targets, the texture table, the batched 2-D drawing, blend modes,
// filters and colours.
//
// Everything is in logical screen pixels (ScreenW x ScreenH); the batch flush
// scales positions to the back buffer by RenderZoom (or to the render target by
// its side). Drawing is queued per texture and drawn one call per texture when
// a state change, a target change or the end of a scene flushes; the shared
// depth buffer restores the order between the texture groups.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/zHostFile.h"
#include "devices/ByRef.h"
#include "platform/RenderBackend.h"

namespace zun {

class zStream;
class Window;

struct TextureEntry {
    int32_t ColorKey = 0;   // ARGB made fully transparent at load; 0 = none
    bool Smooth = false;    // resampling filter asked for at load
    int32_t MipLevels = 0;
    int32_t Format = 0;     // pixel format asked for; 0 = the file's own
    std::string FileName;   // as given to LoadTexture; empty for targets and the placeholder
    TextureId Texture = 0;  // the drawing surface's texture; 0 = none
    int32_t W = 0, H = 0;   // image size in pixels (a render target's side)
    bool Loaded = false;
    uint32_t Scenes = 0;    // scenes begun into it (a render target): one drawing told from the next
    // What a render target's last scene drew on: one flag per tile of
    // zDDrawModule::DrawnTile pixels square, rows top to bottom; and the colour
    // the scene cleared everything else to. No flags: not known (also after a
    // lost device took what the target held).
    std::vector<uint8_t> Drawn;
    int32_t DrawnCleared = 0;
};

template <class V>
struct PolyBuffer {
    int32_t Texture = 0;
    int32_t Capacity = 0;  // highest usable index of Vertices
    int32_t Count = 0;     // vertices in use
    std::vector<V> Vertices = std::vector<V>(1);
};

struct DisplayModeRecord {
    int32_t Width = 0, Height = 0, RefreshRate = 0, Format = 0;
};

struct PresentParameters {
    int32_t BackBufferWidth = 0, BackBufferHeight = 0, BackBufferFormat = 0, BackBufferCount = 0;
    int32_t MultiSampleType = 0, SwapEffect = 0;
    Window* hDeviceWindow = nullptr;
    int32_t Windowed = 0, EnableAutoDepthStencil = 0, AutoDepthStencilFormat = 0;
    int32_t Flags = 0, FullScreen_RefreshRateInHz = 0, FullScreen_PresentationInterval = 0;
};

struct RECT {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// What the adapter offers, for the format searches. The desktop mode comes
// from the window system; the format lists describe the drawing backend.
struct AdapterDescription {
    DisplayModeRecord DesktopMode;
    std::vector<int32_t> DepthFormats{80, 75, 77};  // D16, D24S8, D24X8
    std::vector<int32_t> StencilFormats{75};        // D24S8
    std::vector<int32_t> RenderTargetFormats{21, 22};
    std::vector<int32_t> MultiSampleTypes;          // none: the back buffer is single-sampled
    std::vector<int32_t> MultiSampleTried;          // every candidate the last search tried
};

struct zDDrawModule {
    // ---- device --------------------------------------------------------
    bool D3D = false, D3DX = false;         // the device system and its helper exist
    std::unique_ptr<RenderBackend> Device;  // null: no drawing
    int32_t Adapter = -1;
    int32_t DeviceType = 0;
    DisplayModeRecord DisplayMode;
    PresentParameters PresentParams;
    AdapterDescription AdapterInfo;
    bool UseStencil = false;
    DrawState State;  // render and texture-stage states of the device

    int32_t ScreenW = 0, ScreenH = 0;
    int32_t ViewW = 0, ViewH = 0;
    float RenderZoom = 1.0f;
    int32_t BackColor = 0;
    bool RenderTargetActive = false;
    int32_t RenderTarget = 0;
    int32_t SceneDepth = 0;  // begun and not yet ended scenes
    // A rectangle of the current target in its own pixels; no width: no limit.
    struct DrawArea {
        int32_t X = 0, Y = 0, W = 0, H = 0;
    };
    DrawArea Limit;  // what drawing into the current target is limited to now

    int32_t BltCount = 0, LineCount = 0, PointCount = 0;
    int32_t FPS = 0, FPSStart = 0, FPSFrames = 0;

    // The disk the screenshots in the program folder took after the last
    // one saved (this run's and earlier runs'), and the disk they may take
    // together: past it a screenshot is refused.
    uint64_t ScreenshotBytes = 0;
    uint64_t ScreenshotBudget = uint64_t(256) << 20;

    // How a device is made; the default opens the OpenGL backend for the
    // window (offscreen when there is none). Tests put a recorder here.
    std::function<std::unique_ptr<RenderBackend>(const GlBackendConfig&)> BackendFactory;
    // The millisecond clock of UpdateFrameRate; the default is the system's.
    std::function<int32_t()> TickSource;

    // ---- textures ------------------------------------------------------
    std::vector<TextureEntry> Textures;  // 0..TextureCount; entry 0 is the placeholder
    int32_t TextureCount = 0;
    std::string TexturePath;
    // Graphics memory the live textures and render targets take (4 bytes a
    // texel), and the most they may: a script that makes a new render target
    // or a new colour-keyed copy of an image every frame is refused with a
    // logged error before it takes the machine's memory.
    int64_t TextureBytes = 0;
    int64_t TextureBudget = int64_t(512) << 20;
    // Counts w x h texels against the budget and under the program's memory
    // ceiling (core/zMemory.h); logs and answers False when they do not fit.
    bool ReserveTextureBytes(int64_t iW, int64_t iH, const std::string& iWhat);
    void ReleaseTextureBytes(int64_t iW, int64_t iH);

    // ---- batches -------------------------------------------------------
    std::vector<PolyBuffer<TLVertex>> PolyBuffers{1};  // 1..PolyBufferSize
    int32_t PolyBufferCount = 0;
    int32_t PolyBufferSize = 0;
    PolyBuffer<ColorVertex> LineBuffer;
    PolyBuffer<ColorVertex> PointBuffer;
    int32_t CurrentTexture = 0;
    int32_t VertexSize = 0, ColorVertexSize = 0;
    float RenderZ = 0;
    int32_t DiffuseColor = 0;

    // ---- blend modes and colours ---------------------------------------
    float GlobalAlpha = 0;
    int32_t GreyscaleColor = 0;

    // Device, display and scenes.
    bool Device_Initialize();
    int32_t FindAdapter();
    bool Device_InitWindowed(Window* hWnd, int32_t Width, int32_t Height, float Zoom, int32_t MaxMultiSample,
                             bool UseStencil);
    bool Device_CreateDevice(Window* hWnd, int32_t Adapter, PresentParameters& PresentParams);
    int32_t FindDepthBufferFormat(int32_t Adapter);
    int32_t FindStencilBufferFormat(int32_t Adapter);
    int32_t FindRenderTargetFormat(int32_t Adapter);
    int32_t FindMultiSampleType(int32_t Adapter, int32_t MaxMultiSample);
    void SetScreenSize(int32_t Width, int32_t Height, float Zoom, bool SetViewSize);
    bool BeginScene(int32_t ClearColor, int32_t RenderTarget);
    void EndScene(bool Present);
    void EndTextureScene();
    // Drawing into the current target stays inside this rectangle (logical
    // pixels, widened by a pixel) until the next scene: for passes that know
    // nothing outside it would change what they leave behind. Returns the
    // limit now set.
    DrawArea SetDrawArea(float X, float Y, float Width, float Height);
    // Narrows the limit now set to a rectangle of the target's own pixels
    // until RestoreDrawArea gives the earlier one back. False, and no change,
    // when nothing of the target would be left to draw on.
    bool NarrowDrawArea(const DrawArea& iPixels);
    void RestoreDrawArea(const DrawArea& iArea);
    // Target pixels per logical pixel.
    void Scale(double& sx, double& sy) const;
    // The side of the tiles in which a target's scene records what it drew on.
    static constexpr int32_t DrawnTile = 16;
    // The parts of a render target its last scene drew on (rectangles of its
    // pixels, whole tiles, none overlapping) and the colour that scene cleared
    // all the rest to. False when that is not known: the scene kept the pixels
    // it found, or no scene drew into the target since it was made.
    bool DrawnParts(int32_t Target, std::vector<DrawArea>& oParts, int32_t& oCleared) const;
    // The tiles of a mask (cols x rows flags, rows top to bottom) merged into
    // rectangles that do not overlap, cut to w x h pixels.
    static std::vector<DrawArea> TileRects(const std::vector<uint8_t>& iTiles, int32_t iCols, int32_t iRows,
                                           int32_t iTile, int32_t iW, int32_t iH);
    // Sets the depth of every pixel of the current target to what a primitive
    // drawn at this depth would leave there, at the cost of a clear.
    void ClearDepth(float Z);
    // Without depth: the target takes no share of the depth buffer, and
    // drawing into it tests and keeps no depth.
    int32_t CreateRenderTarget(int32_t Size, bool iDepth = true);
    void UpdateFrameRate();
    // Only into the program folder itself, as a new file or over a screenshot
    // (never over any other file, never through a link), within the run's
    // screenshot budget.
    bool SaveScreenShot(const std::string& FileName, RECT& Area, int32_t Format);
    bool SaveScreenShot(const std::string& FileName, RECT&& Area, int32_t Format) {
        return SaveScreenShot(FileName, Area, Format);
    }
    void Device_Release();

    // Texture table.
    // A picture named by content or a script: a name that leads out of the
    // program folder is refused (logged) and gives 0.
    int32_t LoadTexture(const std::string& FileName, bool Smooth, int32_t ColorKey, int32_t MipLevels, int32_t Format);
    // LoadTexture for a name the framework made itself, which may be a whole
    // path (a font's picture in the font folder).
    int32_t LoadTextureFile(const std::string& FileName, bool Smooth, int32_t ColorKey, int32_t MipLevels,
                            int32_t Format);
    void Texture_Export(zStream& Stream, int32_t Texture);
    int32_t Texture_Import(zStream& Stream, ByRef<int32_t> Texture);
    // Frees the texture object of an entry but keeps the entry (a render
    // target rebuilt at another size, for example); drawing with the handle
    // afterwards is untextured, and BeginScene with it draws to the back buffer.
    void ReleaseTextureObject(int32_t Texture);

    // Batched and immediate drawing.
    void Blt(int32_t Texture, float X, float Y, ByRef<float> Width, ByRef<float> Height, int32_t SrcX, int32_t SrcY,
             ByRef<int32_t> SrcWidth, ByRef<int32_t> SrcHeight, int32_t Color, float SrcScale);
    void BltRotate(int32_t Texture, float X, float Y, ByRef<float> Width, ByRef<float> Height, int32_t SrcX,
                   int32_t SrcY, ByRef<int32_t> SrcWidth, ByRef<int32_t> SrcHeight, int32_t Color, float Angle,
                   float CenterX, float CenterY, float SrcScale, uint8_t Flip);
    void BltDirection(int32_t Texture, float X, float Y, ByRef<float> Width, ByRef<float> Height, int32_t SrcX,
                      int32_t SrcY, ByRef<int32_t> SrcWidth, ByRef<int32_t> SrcHeight, int32_t Color,
                      uint8_t Direction, float SrcScale);
    void BltEx(int32_t Texture, float X1, float Y1, float X2, float Y2, float X3, float Y3, float X4, float Y4,
               float SrcX, float SrcY, ByRef<float> SrcWidth, ByRef<float> SrcHeight, int32_t Color, float SrcScale);
    void BltRect(int32_t Texture, float X1, float Y1, float X2, float Y2, float X3, float Y3, float X4, float Y4,
                 int32_t Color, float U, float V, float UWidth, float VHeight);
    void BltPolygon(int32_t Texture, float X1, float Y1, float X2, float Y2, float X3, float Y3, int32_t Color,
                    float U1, float V1, float U2, float V2, float U3, float V3);
    void BltLine(float X1, float Y1, float X2, float Y2, int32_t Color1, int32_t Color2);
    void BltPoint(float X, float Y, int32_t Color);
    void BltNow(int32_t Texture, float X, float Y, ByRef<float> Width, ByRef<float> Height, int32_t SrcX, int32_t SrcY,
                ByRef<int32_t> SrcWidth, ByRef<int32_t> SrcHeight, int32_t Color, float Angle, float CenterX,
                float CenterY, float SrcScale);
    void BltSurface(float X, float Y, float Width, float Height, int32_t Color);
    // BltSurface between edges: the right one at X2 (X + Width worked out
    // by the caller), the bottom one at Y2.
    void BltSurfaceEdges(double X1, double Y1, double X2, double Y2, int32_t Color);
    // Where an edge at logical X falls on the current target: surfaces whose
    // edges fall on the same place meet without a gap or an overlap.
    float TargetX(double X) const;
    void BltPolygonFlat(float X1, float Y1, float X2, float Y2, float X3, float Y3, int32_t Color);
    void BltCircle(float X, float Y, float Radius, int32_t LineColor, int32_t FillColor, float Quality);
    void BltEllipse(float X, float Y, float RadiusX, float RadiusY, int32_t LineColor, int32_t FillColor,
                    float Quality);
    int32_t GetPolyBufferIndex(int32_t Texture);
    void FlushPolyBuffer();
    void FlushLineBuffer();
    void FlushPointBuffer();

    // Blend modes, filters and colours.
    void SetAlphaMode(int32_t Mode);
    void SetAlphaValue(ByRef<float> Value, float Steps);
    void SetTextureFilter(int32_t Filter);
    // Depth test and depth writes on or off for what is drawn from now on.
    void SetDepthTest(bool On);
    static int32_t GetColorRGB(float Red, float Green, float Blue);
    static int32_t GetColorRGBA(ByRef<float> Red, ByRef<float> Green, ByRef<float> Blue, ByRef<float> Alpha);
    static int32_t GetGrayColor(ByRef<float> Value);
    void ApplyGamma(ByRef<float> Gamma);
    void ApplyTint(float Red, float Green, float Blue);

    // True when the alpha test turns away every vertex of these untextured
    // vertices: drawn, they would change nothing.
    bool DiscardedWhole(const ColorVertex* v, int32_t n) const;

    // The most a circle or ellipse is cut into.
    static constexpr int32_t MaxSegments = 4096;

private:
    // Content names are looked up in the program's folders only; a path the
    // framework built itself is taken as it stands.
    int32_t LoadTextureNamed(const std::string& FileName, bool ContentName, bool Smooth, int32_t ColorKey,
                             int32_t MipLevels, int32_t Format);
    void FlushAll();
    // Marks the tiles of the current render target these vertices (in its
    // pixels) can reach.
    template <class V>
    void MarkDrawn(Primitive iPrim, const V* v, int32_t n);
    // Scales, draws and empties a buffer of lines or points.
    void FlushColored(PolyBuffer<ColorVertex>& b, Primitive iPrim);
    // The rectangle of target pixels SetDrawArea makes of logical ones.
    DrawArea AreaOf(float X, float Y, float Width, float Height) const;
    const TextureEntry& Entry(int32_t Texture) const;
    RenderBackend& Dev() const;
    TextureId TextureObject(int32_t Texture) const;
    void SourceRect(int32_t Texture, float& Width, float& Height, bool setSize, float SrcX, float SrcY,
                    float& SrcWidth, float& SrcHeight, float SrcScale, float& U0, float& V0, float& DU,
                    float& DV) const;
    TLVertex* QueueVertices(int32_t Texture, int32_t n);
    void QueueQuad(int32_t Texture, const float (&pos)[4][2], const float (&uv)[4][2], int32_t Color);
    bool ReloadTextures();
    // One version of a file on disk: it changes when the file is written or
    // replaced.
    struct FileStamp {
        uint64_t Device = 0, Inode = 0;
        int64_t Size = 0, Modified = 0, Changed = 0;
        bool operator==(const FileStamp&) const = default;
    };
    struct FailedFile {
        FileStamp Stamp;
        std::string Reason;  // the decoder's refusal
    };
    // Files whose bytes made no texture, by host path: asked for again
    // unchanged, they fail at once instead of being read and decoded anew.
    std::unordered_map<std::string, FailedFile> FailedTextureFiles;
    // False when the file cannot be looked at.
    static bool StampOf(const std::string& iHostPath, FileStamp& oStamp);
    // Keeps the file as failed by the decoder's refusal iError, unless that
    // was no fault of the bytes. The list is bounded: when full it starts
    // over, and a forgotten file is only read once more.
    void RememberFailedFile(const std::string& iHostPath, const FileStamp& iStamp, const std::string& iError);
    // The one way a load fails: a line names the file with iWhy (unless
    // iTold, when the log has it already), then the stated "ERR" line, whose
    // box shows iWhy in the place of the graphics library's error text.
    static void LogLoadFailure(const std::string& FileName, const std::string& iWhy, bool iTold = false);
    bool DecodeInto(const TextureEntry& e, const std::string& path, int32_t& w, int32_t& h,
                    std::vector<uint8_t>& rgba) const;
    // The program's screenshots in the program folder as last looked at:
    // the folder is listed, and its pictures looked into, again only when it
    // has changed, so a call refused at the budget costs no walk of it.
    struct ShotFile {
        std::string HostName;
        std::string Key;  // the name as the program compares it, in lower case
        uint64_t Size = 0;
    };
    struct ShotFolder {
        std::string HostDir;
        HostFolderStamp Stamp;
        std::vector<ShotFile> Shots;
    };
    ShotFolder Screenshots;
    ShotFolder& ScreenshotsIn(const std::string& iHostDir);
};
extern zDDrawModule zDDraw;

// The draw-state changes of one blend mode on top of the previous state: blend
// op and factors persist when a mode does not set them. SetAlphaMode flushes
// and applies this to the device's state.
void ApplyBlendMode(DrawState& s, int32_t Mode, uint32_t GreyscaleFactor);

// Packs four components 0..1 into a 32-bit ARGB colour: each becomes
// floor(c * 255 + 0.5), held to 0..255 (a component that is not a number gives 0).
int32_t ColorFromComponents(float Red, float Green, float Blue, float Alpha);

}  // namespace zun

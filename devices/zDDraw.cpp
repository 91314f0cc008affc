// The device half of zDDraw: creation, display formats, screen size, scenes,
// render targets, the frame clock, screenshots and release.
#include "devices/zDDraw.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "core/zMemory.h"
#include "core/zRuntime.h"
#include "core/zHostFile.h"
#include "platform/Image.h"
#include "platform/Window.h"

namespace zun {

zDDrawModule zDDraw;

namespace {

std::string ModeText(const DisplayModeRecord& m) {
    return FormatLong(m.Width) + " x " + FormatLong(m.Height) + " x " + FormatLong(m.RefreshRate) + " x " +
           FormatLong(m.Format);
}

bool Offers(const std::vector<int32_t>& list, int32_t v) { return std::find(list.begin(), list.end(), v) != list.end(); }

// Screenshots are pictures: a name with any other ending could stand for a
// program, a script, a document or a setting the program reads. A name with
// no ending is written as it stands.
bool IsScreenshotName(const std::string& iName) {
    const size_t dot = iName.rfind('.');
    if (dot == std::string::npos) return true;
    const std::string ext = LCase(iName.substr(dot + 1));
    return ext == "bmp" || ext == "dib" || ext == "jpg" || ext == "jpeg" || ext == "tga" || ext == "png";
}

// A file is one of this program's screenshots only when its whole header is
// what the program writes: that of a one-pixel picture of the same format,
// but for the fields that give the picture's size, which must agree with the
// file's length. A picture of another program, or another file that merely
// starts as a picture does, is never taken for one.
struct ScreenshotHeader {
    ImageFileFormat Format;
    std::vector<uint8_t> Bytes;  // the header of a one-pixel picture
};

const std::vector<ScreenshotHeader>& ScreenshotHeaders() {
    static const std::vector<ScreenshotHeader> headers = [] {
        std::vector<ScreenshotHeader> out;
        const uint8_t pixel[4] = {0, 0, 0, 255};
        for (ImageFileFormat f : {ImageFileFormat::Bmp, ImageFileFormat::Jpeg, ImageFileFormat::Tga,
                                  ImageFileFormat::Png}) {
            std::vector<uint8_t> bytes;
            if (!EncodeImage(int32_t(f), pixel, 1, 1, bytes)) continue;
            size_t n = 0;
            switch (f) {
                case ImageFileFormat::Bmp: n = 54; break;
                case ImageFileFormat::Tga: n = 18; break;
                // The signature, the header chunk, the length and name of the
                // data chunk and the first bytes of its stream (how it is packed).
                case ImageFileFormat::Png: n = 43; break;
                default: {
                    // Everything up to the end of the start-of-scan segment.
                    const uint8_t sos[2] = {0xFF, 0xDA};
                    const size_t at =
                        size_t(std::search(bytes.begin(), bytes.end(), sos, sos + 2) - bytes.begin());
                    if (at + 4 < bytes.size()) n = at + 2 + (size_t(bytes[at + 2]) << 8 | bytes[at + 3]);
                }
            }
            if (n == 0 || n > bytes.size()) continue;
            bytes.resize(n);
            out.push_back({f, std::move(bytes)});
        }
        return out;
    }();
    return headers;
}

// The longest header of the formats above.
constexpr size_t kScreenshotHeadBytes = 1024;

bool IsOwnScreenshot(const std::vector<uint8_t>& iHead, uint64_t iFileSize) {
    auto le = [&](size_t at, int bytes) {
        uint64_t v = 0;
        for (int i = bytes - 1; i >= 0; --i) v = v << 8 | iHead[at + size_t(i)];
        return v;
    };
    auto be = [&](size_t at, int bytes) {
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i) v = v << 8 | iHead[at + size_t(i)];
        return v;
    };
    for (const ScreenshotHeader& h : ScreenshotHeaders()) {
        const std::vector<uint8_t>& ref = h.Bytes;
        if (iHead.size() < ref.size() || iFileSize <= ref.size()) continue;
        // The fields that vary from picture to picture, as [from, to).
        std::vector<std::pair<size_t, size_t>> sized;
        uint64_t w = 0, ht = 0;
        bool agrees = false;
        switch (h.Format) {
            case ImageFileFormat::Bmp: {
                sized = {{2, 6}, {18, 26}, {34, 38}};
                w = le(18, 4), ht = le(22, 4);
                const uint64_t image = ((w * 3 + 3) & ~uint64_t(3)) * ht;
                agrees = le(34, 4) == image && le(2, 4) == iFileSize && iFileSize == ref.size() + image;
                break;
            }
            case ImageFileFormat::Tga:
                sized = {{12, 16}};
                w = le(12, 2), ht = le(14, 2);
                agrees = iFileSize == ref.size() + w * ht * 4;
                break;
            case ImageFileFormat::Png:
                // The sum of the header chunk follows from the size.
                sized = {{16, 24}, {29, 37}};
                w = be(16, 4), ht = be(20, 4);
                // The picture data in one chunk, then the closing chunk.
                agrees = iFileSize == 33 + 12 + be(33, 4) + 12;
                break;
            default: {
                // The frame segment gives the size; the length is the coded data's own.
                const uint8_t sof[2] = {0xFF, 0xC0};
                const size_t at = size_t(std::search(ref.begin(), ref.end(), sof, sof + 2) - ref.begin());
                if (at + 9 > ref.size()) continue;
                sized = {{at + 5, at + 9}};
                ht = be(at + 5, 2), w = be(at + 7, 2);
                agrees = true;
            }
        }
        if (!agrees || w < 1 || ht < 1 || w > uint64_t(kMaxTextureSide) || ht > uint64_t(kMaxTextureSide))
            continue;
        bool same = true;
        for (size_t i = 0; i < ref.size() && same; ++i) {
            const bool varies = std::any_of(sized.begin(), sized.end(),
                                            [&](const auto& r) { return i >= r.first && i < r.second; });
            same = varies || iHead[i] == ref[i];
        }
        if (same) return true;
    }
    return false;
}

// A file takes at least a block of the disk, however small the picture.
constexpr uint64_t kDiskBlock = 4096;

}  // namespace

RenderBackend& zDDrawModule::Dev() const {
    if (!Device) Raise(errObjectNotSet);
    return *Device;
}

bool zDDrawModule::Device_Initialize() {
    zCore.CurrentProc = "Device_Initialize";
    try {
        VertexSize = 28;
        ColorVertexSize = 20;
        BackColor = GetColorRGB(0, 0.5f, 1);
        DiffuseColor = GetColorRGB(1, 1, 1);
        GreyscaleColor = GetColorRGB(0.4f, 0.35f, 0.25f);
        // The device system and its helper are parts of this program: they
        // are always there.
        D3D = true;
        D3DX = true;
        if (D3D && D3DX) {
            Adapter = FindAdapter();
            if (Adapter >= 0) {
                TextureEntry placeholder;
                placeholder.W = 256;
                placeholder.H = 256;
                Textures.assign(1, placeholder);
                TextureCount = 0;
                Unhold(HeldKind::Graphics, TextureBytes);
                TextureBytes = 0;
                Log("OK", "Device_Initialize");
                return true;
            }
        }
    } catch (const std::exception&) {
    }
    return false;
}

int32_t zDDrawModule::FindAdapter() {
    // One adapter: the desktop the window lives on.
    try {
        if (AdapterInfo.DesktopMode.Width <= 0) {
            DisplayModeInfo m = DesktopDisplayMode();
            AdapterInfo.DesktopMode = {m.Width, m.Height, m.RefreshRate, 22};
        }
        DisplayMode = AdapterInfo.DesktopMode;
        DeviceType = 1;
        return 0;
    } catch (const std::exception&) {
    }
    DeviceType = 0;
    return -1;
}

int32_t zDDrawModule::FindDepthBufferFormat(int32_t) {
    DisplayMode = AdapterInfo.DesktopMode;
    for (int32_t f : {71, 80, 79, 75, 77, 73})
        if (Offers(AdapterInfo.DepthFormats, f)) return f;
    Log("ERR", "No working Depth Buffer format found");
    return 0;
}

int32_t zDDrawModule::FindStencilBufferFormat(int32_t) {
    DisplayMode = AdapterInfo.DesktopMode;
    for (int32_t f : {75, 79, 73})
        if (Offers(AdapterInfo.StencilFormats, f)) return f;
    Log("ERR", "No working Stencil Buffer format found");
    return 0;
}

int32_t zDDrawModule::FindRenderTargetFormat(int32_t) {
    DisplayMode = AdapterInfo.DesktopMode;
    for (int32_t f : {21, 22, 24, 23})
        if (Offers(AdapterInfo.RenderTargetFormats, f)) return f;
    return 0;
}

int32_t zDDrawModule::FindMultiSampleType(int32_t, int32_t MaxMultiSample) {
    DisplayMode = AdapterInfo.DesktopMode;
    AdapterInfo.MultiSampleTried.clear();
    for (int32_t n = 8; n >= 2; --n) {
        if (n > MaxMultiSample) continue;
        AdapterInfo.MultiSampleTried.push_back(n);
        if (Offers(AdapterInfo.MultiSampleTypes, n)) return n;
    }
    return 0;
}

bool zDDrawModule::Device_InitWindowed(Window* hWnd, int32_t Width, int32_t Height, float Zoom,
                                       int32_t MaxMultiSample, bool iUseStencil) {
    zCore.CurrentProc = "Device_InitWindowed";
    try {
        PresentParams = PresentParameters{};
        PresentParams.Windowed = 1;
        PresentParams.hDeviceWindow = hWnd;
        PresentParams.BackBufferCount = 1;
        PresentParams.BackBufferFormat = DisplayMode.Format;
        // The back buffer takes the desktop mode, and never less than the
        // window or the logical screen, so a view can always be presented whole.
        int32_t bw = DisplayMode.Width, bh = DisplayMode.Height;
        if (hWnd) {
            int32_t cw = 0, ch = 0;
            hWnd->ClientSize(cw, ch);
            bw = std::max(bw, cw);
            bh = std::max(bh, ch);
        }
        bw = std::max(bw, Width);
        bh = std::max(bh, Height);
        PresentParams.BackBufferWidth = bw;
        PresentParams.BackBufferHeight = bh;
        Log("INF", "RequestMode", ModeText(DisplayMode));

        PresentParams.EnableAutoDepthStencil = 1;
        if (iUseStencil) {
            PresentParams.AutoDepthStencilFormat = FindStencilBufferFormat(Adapter);
            UseStencil = true;
        } else {
            PresentParams.AutoDepthStencilFormat = FindDepthBufferFormat(Adapter);
        }
        PresentParams.SwapEffect = 1;
        PresentParams.MultiSampleType = FindMultiSampleType(Adapter, MaxMultiSample);
        Log("INF", "DisplaySetup",
            FormatLong(PresentParams.AutoDepthStencilFormat) + ", " + FormatLong(PresentParams.SwapEffect) + ", " +
                FormatLong(PresentParams.MultiSampleType));

        Device_CreateDevice(hWnd, Adapter, PresentParams);
        SetScreenSize(Width, Height, Zoom, true);

        Dev();  // a device that was not created fails here
        State = DrawState{};
        State.AlphaRef = 0;
        State.AlphaFunc = Cmp::Greater;
        State.AlphaTestEnable = true;
        State.AlphaBlendEnable = false;
        State.ZEnable = true;
        Log("OK", "Device_InitWindowed");
        return true;
    } catch (const std::exception&) {
    }
    return false;
}

bool zDDrawModule::Device_CreateDevice(Window* hWnd, int32_t, PresentParameters& pp) {
    // The drawing backend has a single kind of device; a failure is final.
    if (!Device) {
        DeviceType = 1;
        try {
            GlBackendConfig cfg;
            cfg.window = hWnd;
            cfg.backBufferWidth = pp.BackBufferWidth;
            cfg.backBufferHeight = pp.BackBufferHeight;
            std::string error;
            if (BackendFactory) Device = BackendFactory(cfg);
            else Device = CreateGlBackend(cfg, &error);
            if (!Device && !error.empty()) Log("INF", "Device_CreateDevice", error);
        } catch (const std::exception&) {
            Device.reset();
        }
    }
    if (!Device) return false;
    DisplayMode = AdapterInfo.DesktopMode;
    Log("INF", "Device DisplayMode", ModeText(DisplayMode));
    Log("OK", "Device_CreateDevice");
    return true;
}

void zDDrawModule::SetScreenSize(int32_t Width, int32_t Height, float Zoom, bool SetViewSize) {
    zCore.CurrentProc = "SetScreenSize";
    ScreenW = Width;
    ScreenH = Height;
    if (SetViewSize) {
        ViewW = Width;
        ViewH = Height;
    }
    RenderZoom = Zoom;
    Log("INF", "Screen size", FormatLong(Width) + " x " + FormatLong(Height) + " x " + FormatSingle(Zoom));
}

bool zDDrawModule::BeginScene(int32_t ClearColor, int32_t iRenderTarget) {
    zCore.CurrentProc = "BeginScene";
    if (!zCore.Initialized || !Device) return false;

    DeviceStatus status = Device->Status();
    if (status != DeviceStatus::Ok) {
        // A lost context comes back by rebuilding it and uploading the
        // textures again; only when that fails is the frame skipped.
        bool back = Device->Reset() && ReloadTextures() && Device->Status() == DeviceStatus::Ok;
        // Whatever the targets held is gone with the device.
        for (TextureEntry& e : Textures) e.Drawn.clear();
        if (!back) {
            Log("ERR", status == DeviceStatus::Lost ? "Device lost!" : "Device could not be reset!");
            return false;
        }
    }

    // Whatever a script queued for the old target is drawn there, not into
    // the new one.
    FlushAll();

    RenderTargetActive = false;
    TextureId target = 0;
    if (iRenderTarget > 0) {
        const TextureEntry& e = Entry(iRenderTarget);
        RenderTarget = iRenderTarget;
        if (e.Texture != 0) {
            target = e.Texture;
            RenderTargetActive = true;
        }
    }
    Limit = {};
    if (!Device->SetRenderTarget(target)) {
        RenderTargetActive = false;
        Device->SetRenderTarget(0);
        Raise(errInvalidCall, "Invalid procedure call or argument");
    }
    if (RenderTargetActive) {
        TextureEntry& e = Textures[size_t(iRenderTarget)];
        e.Scenes += 1;
        // A clear leaves nothing drawn; pixels kept from before are unknown.
        const int32_t cols = (e.W + DrawnTile - 1) / DrawnTile, rows = (e.H + DrawnTile - 1) / DrawnTile;
        e.Drawn.assign(size_t(std::max(cols, 0)) * size_t(std::max(rows, 0)), ClearColor != 0 ? 0 : 1);
        e.DrawnCleared = ClearColor;
    }
    // A window shows only the view's corner of the back buffer (see EndScene):
    // nothing drawn outside it is ever seen.
    if (target == 0 && PresentParams.Windowed == 1) RestoreDrawArea({0, 0, ViewW, ViewH});

    Device->Clear(ClearColor != 0, uint32_t(ClearColor), true, 1.0f);
    BackColor = ClearColor;
    // Scenes may nest (a script beginning its own scene inside the frame's);
    // the count only pairs them up.
    SceneDepth += 1;
    return true;
}

void zDDrawModule::EndScene(bool Present) {
    Trap("EndScene", 0, [&] {
        if (RenderTargetActive) {
            EndTextureScene();
            return 0;
        }
        FlushAll();
        if (SceneDepth > 0) SceneDepth -= 1;
        if (Present && Device) {
            if (PresentParams.Windowed == 1) Device->Present(ViewW, ViewH);
            else Device->Present(Device->BackBufferWidth(), Device->BackBufferHeight());
        }
        return 0;
    });
}

zDDrawModule::DrawArea zDDrawModule::AreaOf(float X, float Y, float Width, float Height) const {
    double sx, sy;
    Scale(sx, sy);
    const double x0 = std::floor(double(X) * sx) - 1, y0 = std::floor(double(Y) * sy) - 1;
    const double x1 = std::ceil((double(X) + Width) * sx) + 1, y1 = std::ceil((double(Y) + Height) * sy) + 1;
    // A rectangle beyond any target's reach (or not a number) limits nothing.
    constexpr double kFar = 1 << 20;
    if (!(x0 > -kFar && y0 > -kFar && x1 < kFar && y1 < kFar && x1 > x0 && y1 > y0)) return {};
    return {int32_t(x0), int32_t(y0), int32_t(x1 - x0), int32_t(y1 - y0)};
}

zDDrawModule::DrawArea zDDrawModule::SetDrawArea(float X, float Y, float Width, float Height) {
    zCore.CurrentProc = "SetDrawArea";
    RestoreDrawArea(AreaOf(X, Y, Width, Height));
    return Limit;
}

bool zDDrawModule::NarrowDrawArea(const DrawArea& iPixels) {
    zCore.CurrentProc = "NarrowDrawArea";
    int32_t tw = 0, th = 0;
    Dev().CurrentTargetSize(tw, th);
    const DrawArea limit = Limit.W > 0 && Limit.H > 0 ? Limit : DrawArea{0, 0, tw, th};
    const int64_t x0 = std::max({int64_t(iPixels.X), int64_t(limit.X), int64_t(0)});
    const int64_t y0 = std::max({int64_t(iPixels.Y), int64_t(limit.Y), int64_t(0)});
    const int64_t x1 = std::min({int64_t(iPixels.X) + iPixels.W, int64_t(limit.X) + limit.W, int64_t(tw)});
    const int64_t y1 = std::min({int64_t(iPixels.Y) + iPixels.H, int64_t(limit.Y) + limit.H, int64_t(th)});
    // The device reads an empty rectangle as no limit at all.
    if (x1 <= x0 || y1 <= y0) return false;
    RestoreDrawArea({int32_t(x0), int32_t(y0), int32_t(x1 - x0), int32_t(y1 - y0)});
    return true;
}

bool zDDrawModule::DrawnParts(int32_t Target, std::vector<DrawArea>& oParts, int32_t& oCleared) const {
    oParts.clear();
    oCleared = 0;
    if (Target <= 0 || Target > TextureCount || size_t(Target) >= Textures.size()) return false;
    const TextureEntry& e = Textures[size_t(Target)];
    if (e.Texture == 0 || e.Drawn.empty() || e.DrawnCleared == 0) return false;
    const int32_t cols = (e.W + DrawnTile - 1) / DrawnTile, rows = (e.H + DrawnTile - 1) / DrawnTile;
    oParts = TileRects(e.Drawn, cols, rows, DrawnTile, e.W, e.H);
    oCleared = e.DrawnCleared;
    return true;
}

std::vector<zDDrawModule::DrawArea> zDDrawModule::TileRects(const std::vector<uint8_t>& iTiles, int32_t iCols,
                                                            int32_t iRows, int32_t iTile, int32_t iW, int32_t iH) {
    std::vector<DrawArea> out;
    if (iCols <= 0 || iRows <= 0 || iTile <= 0 || iTiles.size() < size_t(iCols) * size_t(iRows)) return out;
    // Runs along each row; a run the next row repeats grows down.
    struct Run {
        int32_t c0, c1, r0;
    };
    std::vector<Run> open, next;
    auto close = [&](const Run& o, int32_t r1) {
        const int32_t x = o.c0 * iTile, y = o.r0 * iTile;
        const int32_t w = std::min(o.c1 * iTile, iW) - x, h = std::min(r1 * iTile, iH) - y;
        if (w > 0 && h > 0) out.push_back({x, y, w, h});
    };
    for (int32_t r = 0; r <= iRows; ++r) {
        next.clear();
        for (int32_t c = 0; r < iRows && c < iCols;) {
            const uint8_t* row = &iTiles[size_t(r) * size_t(iCols)];
            if (!row[c]) {
                ++c;
                continue;
            }
            const int32_t c0 = c;
            while (c < iCols && row[c]) ++c;
            const auto same =
                std::find_if(open.begin(), open.end(), [&](const Run& o) { return o.c0 == c0 && o.c1 == c; });
            next.push_back({c0, c, same != open.end() ? same->r0 : r});
        }
        for (const Run& o : open)
            if (std::none_of(next.begin(), next.end(), [&](const Run& n) { return n.c0 == o.c0 && n.c1 == o.c1; }))
                close(o, r);
        std::swap(open, next);
    }
    return out;
}

void zDDrawModule::ClearDepth(float Z) {
    zCore.CurrentProc = "ClearDepth";
    FlushAll();
    // The depth a flushed primitive carries (see FlushPolyBuffer).
    Dev().Clear(false, 0, true, static_cast<float>(double(Z) * 0.999999));
}

void zDDrawModule::RestoreDrawArea(const DrawArea& iArea) {
    FlushAll();  // what was queued is drawn under the limit it was queued with
    Limit = iArea;
    Dev().SetDrawArea(Limit.X, Limit.Y, Limit.W, Limit.H);
}

void zDDrawModule::EndTextureScene() {
    zCore.CurrentProc = "EndTextureScene";
    if (!RenderTargetActive) return;
    FlushAll();
    if (SceneDepth > 0) SceneDepth -= 1;
    Dev().SetRenderTarget(0);
    Limit = {};
    RenderTargetActive = false;
}

int32_t zDDrawModule::CreateRenderTarget(int32_t Size, bool iDepth) {
    return Trap("CreateRenderTarget", int32_t(0), [&]() -> int32_t {
        if (Size < 16) return 0;
        RenderBackend& dev = Dev();
        // The smallest power of two not below Size.
        int64_t side = 16;
        while (side < Size) side *= 2;
        if (side <= kMaxTargetSide && !ReserveTextureBytes(side, side, "RenderTarget " + FormatLong(Size)))
            return 0;

        TextureEntry entry;
        entry.W = int32_t(std::min<int64_t>(side, INT32_MAX));
        entry.H = entry.W;
        Textures.resize(size_t(TextureCount) + 1);
        Textures.push_back(entry);
        TextureCount += 1;
        const int32_t index = TextureCount;

        TextureId tex = 0;
        if (side <= kMaxTargetSide && FindRenderTargetFormat(Adapter) != 0)
            tex = iDepth ? dev.CreateRenderTarget(int32_t(side)) : dev.CreateRenderTargetWithoutDepth(int32_t(side));
        if (tex == 0) {
            if (side <= kMaxTargetSide) ReleaseTextureBytes(side, side);
            int32_t result = CreateRenderTarget(int32_t(side / 2), iDepth);
            zCore.CurrentProc = "CreateRenderTarget";
            Log("ERR", "Could not create RenderTarget", Size);
            return result;
        }
        Textures[size_t(index)].Texture = tex;
        int32_t w = 0, h = 0;
        if (!dev.TextureSize(tex, w, h)) w = h = int32_t(side);
        Log("OK", "RenderTarget created:", FormatLong(w) + " x " + FormatLong(h));
        return index;
    });
}

void zDDrawModule::UpdateFrameRate() {
    zCore.Ticks = TickSource ? TickSource() : GetTickCount();
    zCore.FrameCounter += 1;
    const int64_t elapsed = int64_t(zCore.Ticks) - int64_t(FPSStart);
    if (elapsed <= 1000 && FPSFrames <= FPS) {
        FPSFrames += 1;
    } else {
        if (elapsed > 0) FPS = int32_t(RoundHalfEven(double(FPSFrames) * 1000.0 / double(elapsed)));
        FPSStart = zCore.Ticks;
        FPSFrames = 1;
    }
    BltCount = 0;
    LineCount = 0;
    PointCount = 0;
}

namespace {

// A screenshot is a plain file of one name holding a picture as written
// here. Anything else is not ours to replace or count.
bool IsOwnScreenshotFile(const std::string& iHostPath, HostEntry& oEntry) {
    oEntry = StatHostEntry(iHostPath);
    return oEntry.Regular && oEntry.Links == 1 &&
           IsOwnScreenshot(ReadHostFileHead(iHostPath, kScreenshotHeadBytes), oEntry.Size);
}

}  // namespace

zDDrawModule::ShotFolder& zDDrawModule::ScreenshotsIn(const std::string& iHostDir) {
    // Taken before the listing: a change while it is made is a change after it.
    const HostFolderStamp stamp = StampHostFolder(iHostDir.empty() ? "." : iHostDir);
    if (Screenshots.HostDir == iHostDir && Screenshots.Stamp.StillHolds(stamp)) return Screenshots;
    Screenshots = ShotFolder{iHostDir, stamp, {}};
    for (const std::string& entry : ListHostFolder(iHostDir)) {
        const std::string name = Utf8ToCp1252(entry);
        HostEntry e;
        if (IsScreenshotName(name) && IsOwnScreenshotFile(iHostDir + entry, e))
            Screenshots.Shots.push_back({entry, LCase(name), std::max<uint64_t>(e.Size, kDiskBlock)});
    }
    return Screenshots;
}

bool zDDrawModule::SaveScreenShot(const std::string& FileName, RECT& Area, int32_t Format) {
    return Trap("SaveScreenShot", false, [&] {
        if (Area.Right == 0) Area.Right = ScreenW;
        if (Area.Bottom == 0) Area.Bottom = ScreenH;

        // Screenshots go into the program folder only: the name comes from
        // scripts, so no folder may be named in it.
        std::string name = FileName;
        const std::string& app = zFileSystem.AppPath;
        if (!app.empty() && name.size() > app.size() && UCase(name.substr(0, app.size())) == UCase(app))
            name = name.substr(app.size());
        if (name.empty() || name.find('\\') != std::string::npos || name.find('/') != std::string::npos ||
            name.find("..") != std::string::npos || name.find(':') != std::string::npos)
            Raise(errInvalidCall, "Invalid file name");
        if (std::any_of(name.begin(), name.end(), [](char ch) { return uint8_t(ch) < 0x20; }))
            Raise(errInvalidCall, "Invalid file name");
        if (!IsSavableImageFormat(Format)) Raise(errInvalidCall, "Unsupported image format " + std::to_string(Format));
        if (!IsScreenshotName(name)) Raise(errInvalidCall, "Not a picture's name");

        // The folder is searched without regard to case, as the program finds
        // its own files: "ZSC" is the compiler, "Story.TXT" the story. The
        // budget holds for the screenshots the folder keeps, of this run and
        // of earlier ones; the one replaced gives its room to the new one.
        std::string hostDir = app.empty() ? std::string() : ToHostPath(app);
        if (!hostDir.empty() && hostDir.back() != '/') hostDir += '/';
        const std::string hostName = Cp1252ToUtf8(name);
        const std::string wanted = LCase(name);
        ShotFolder& folder = ScreenshotsIn(hostDir);
        ShotFile* replaced = nullptr;
        for (ShotFile& shot : folder.Shots) {
            if (shot.Key == wanted && (!replaced || shot.HostName == hostName)) replaced = &shot;
        }
        std::string target = replaced ? replaced->HostName : hostName;
        HostEntry existing;
        if (replaced) {
            // Looked at again as it is now, as the one file written over.
            if (!IsOwnScreenshotFile(hostDir + target, existing))
                Raise(errInvalidCall, "Not replacing " + name + ": it is no screenshot");
        } else {
            // A file of that name that is none of ours (another's picture, a
            // program, a link) is never written over.
            const std::string there = ToHostPath(FromHostPath(hostDir) + name);
            if (StatHostEntry(there).Exists || StatHostEntry(hostDir + hostName).Exists)
                Raise(errInvalidCall, "Not replacing " + name + ": it is no screenshot");
        }
        uint64_t kept = 0;
        for (const ShotFile& shot : folder.Shots)
            if (&shot != replaced) kept += shot.Size;
        // Refused before a pixel is read when not even the smallest picture fits.
        auto refuseOver = [&](uint64_t size) {
            if (kept + size > ScreenshotBudget)
                Raise(errInvalidCall, "The screenshots in the program folder fill their " +
                                          std::to_string(ScreenshotBudget) + " bytes");
        };
        refuseOver(kDiskBlock);

        RenderBackend& dev = Dev();
        int32_t left = std::max(Area.Left, 0), top = std::max(Area.Top, 0);
        int32_t right = std::min(Area.Right, dev.BackBufferWidth());
        int32_t bottom = std::min(Area.Bottom, dev.BackBufferHeight());
        if (right <= left || bottom <= top) Raise(errInvalidCall, "Empty area");

        std::vector<uint8_t> rgba;
        TextureId was = dev.CurrentTarget();
        if (was != 0) dev.SetRenderTarget(0);
        bool ok = dev.ReadPixels(left, top, right - left, bottom - top, rgba);
        if (was != 0) dev.SetRenderTarget(was);
        if (!ok) Raise(errInvalidCall, "Back buffer not readable");
        // What a frame left in the back buffer's alpha (less where something
        // was drawn half transparent) is no part of the picture on screen.
        for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 255;

        std::vector<uint8_t> bytes;
        std::string error;
        if (!EncodeImage(Format, rgba.data(), right - left, bottom - top, bytes, &error))
            Raise(errInvalidCall, error.empty() ? std::string("Could not encode the picture") : error);
        const uint64_t size = std::max<uint64_t>(bytes.size(), kDiskBlock);
        refuseOver(size);
        if (!WriteHostFileNoFollow(hostDir + target, bytes, existing, error)) {
            // The file and the cause, for the player to act on.
            Raise(errPathNotFound, "Cannot save " + FileName + ": " + error);
        }
        if (replaced) {
            // Written over in place, which leaves the folder as it was.
            replaced->Size = size;
        } else {
            Screenshots.Stamp = HostFolderStamp{};
        }
        ScreenshotBytes = kept + size;
        Log("INF", "Screenshot saved", FileName);
        return true;
    });
}

void zDDrawModule::Device_Release() {
    zCore.CurrentProc = "Device_Release";
    if (Device) {
        for (int32_t i = 1; i <= TextureCount && size_t(i) < Textures.size(); ++i)
            if (Textures[size_t(i)].Texture != 0) Device->DeleteTexture(Textures[size_t(i)].Texture);
    }
    Textures.clear();
    TextureCount = 0;
    Unhold(HeldKind::Graphics, TextureBytes);
    TextureBytes = 0;
    FailedTextureFiles.clear();
    // Nothing queued can be drawn any more.
    for (auto& b : PolyBuffers) b.Count = 0;
    PolyBufferCount = 0;
    LineBuffer.Count = 0;
    PointBuffer.Count = 0;
    RenderTargetActive = false;
    SceneDepth = 0;
    Device.reset();
    D3DX = false;
    D3D = false;
}

}  // namespace zun

// The texture table of zDDraw: a cache over image files keyed by name and
// colour key, render targets as further entries, and texture references in
// streams.
#include <sys/stat.h>

#include <algorithm>

#include "core/zCore.h"
#include "core/zFileSystem.h"
#include "core/zMemory.h"
#include "core/zRuntime.h"
#include "core/zStream.h"
#include "devices/zDDraw.h"
#include "platform/Image.h"

namespace zun {

const TextureEntry& zDDrawModule::Entry(int32_t Texture) const {
    if (Texture < 0 || Texture > TextureCount || size_t(Texture) >= Textures.size()) Raise(errSubscript);
    return Textures[size_t(Texture)];
}

TextureId zDDrawModule::TextureObject(int32_t Texture) const {
    if (Texture <= 0 || Texture > TextureCount || size_t(Texture) >= Textures.size()) return 0;
    return Textures[size_t(Texture)].Texture;
}

namespace {
// A first load and a reload make the same texels: the key made transparent,
// also where it lay under texels that were transparent already.
void PrepareTexels(Image& img, int32_t colorKey) {
    ApplyColorKey(img, uint32_t(colorKey));
}
}  // namespace

bool zDDrawModule::DecodeInto(const TextureEntry& e, const std::string& path, int32_t& w, int32_t& h,
                              std::vector<uint8_t>& rgba) const {
    std::string error;
    Image img;
    if (!LoadImageFile(ToHostPath(path), img, &error)) {
        if (!error.empty()) Log("WARN", "LoadTexture", error, "<" + e.FileName + ">");
        return false;
    }
    PrepareTexels(img, e.ColorKey);
    w = img.Width;
    h = img.Height;
    rgba = std::move(img.Pixels);
    return w >= 1 && h >= 1;
}

bool zDDrawModule::StampOf(const std::string& iHostPath, FileStamp& oStamp) {
    struct stat st {};
    if (::stat(iHostPath.c_str(), &st) != 0) return false;
    oStamp.Device = uint64_t(st.st_dev);
    oStamp.Inode = uint64_t(st.st_ino);
    oStamp.Size = int64_t(st.st_size);
    oStamp.Modified = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    oStamp.Changed = int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return true;
}

void zDDrawModule::RememberFailedFile(const std::string& iHostPath, const FileStamp& iStamp,
                                      const std::string& iError) {
    // Only what the file's own bytes caused: a machine short of memory
    // decodes the same file well later.
    if (iError == "out of memory") return;
    // Each entry is a broken file on disk, and a game has few: colour keys and
    // names in other cases share the entry of their file.
    constexpr size_t kMaxFailedFiles = 1024;
    if (FailedTextureFiles.size() >= kMaxFailedFiles) FailedTextureFiles.clear();
    FailedTextureFiles[iHostPath] = FailedFile{iStamp, iError};
}

void zDDrawModule::LogLoadFailure(const std::string& FileName, const std::string& iWhy, bool iTold) {
    const std::string name = "<" + FileName + ">";
    if (!iWhy.empty() && !iTold) Log("WARN", "LoadTexture", iWhy, name);
    Log("ERR", zCore.CurrentProc, LogValue::Showing(GetDXErrorText(0), iWhy), name);
}

bool zDDrawModule::ReserveTextureBytes(int64_t iW, int64_t iH, const std::string& iWhat) {
    const int64_t bytes = iW * iH * 4;
    if (bytes > TextureBudget - TextureBytes) {
        Log("ERR", "Graphics memory budget used up", iWhat,
            FormatLong(int32_t(TextureBytes >> 20)) + " of " + FormatLong(int32_t(TextureBudget >> 20)) + " MB");
        return false;
    }
    if (!HoldUnderCeiling(HeldKind::Graphics, bytes)) {
        Log("ERR", "Memory ceiling reached", iWhat, CeilingRefusal(HeldKind::Graphics, bytes));
        return false;
    }
    TextureBytes += bytes;
    return true;
}

void zDDrawModule::ReleaseTextureBytes(int64_t iW, int64_t iH) {
    const int64_t bytes = std::min(iW * iH * 4, TextureBytes);
    TextureBytes -= bytes;
    Unhold(HeldKind::Graphics, bytes);
}

int32_t zDDrawModule::LoadTexture(const std::string& FileName, bool Smooth, int32_t ColorKey, int32_t MipLevels,
                                  int32_t Format) {
    if (!IsInnerFileName(FileName)) {
        zCore.CurrentProc = "LoadTexture";
        LogOutsideName("LoadTexture", FileName);
        return 0;
    }
    return LoadTextureNamed(FileName, true, Smooth, ColorKey, MipLevels, Format);
}

int32_t zDDrawModule::LoadTextureFile(const std::string& FileName, bool Smooth, int32_t ColorKey, int32_t MipLevels,
                                      int32_t Format) {
    return LoadTextureNamed(FileName, false, Smooth, ColorKey, MipLevels, Format);
}

int32_t zDDrawModule::LoadTextureNamed(const std::string& FileName, bool ContentName, bool Smooth, int32_t ColorKey,
                                       int32_t MipLevels, int32_t Format) {
    zCore.CurrentProc = "LoadTexture";
    if (FileName.empty()) {
        LogContentWarning("LoadTexture", "No filename given");
        return 0;
    }
    const std::string key = UCase(FileName);
    for (int32_t i = 1; i <= TextureCount && size_t(i) < Textures.size(); ++i) {
        const TextureEntry& e = Textures[size_t(i)];
        if (e.ColorKey == ColorKey && e.FileName.size() == FileName.size() && UCase(e.FileName) == key) return i;
    }
    std::string path;
    try {
        path = ContentName ? GetAssetPath(FileName, TexturePath, "LoadTexture") : GetFilePath(FileName, TexturePath);
    } catch (const std::exception&) {
        path.clear();
    }
    if (path.empty()) {
        // What stands in the picture's place may be no file at all (a
        // folder, a loop of links): the door tells what it is.
        if (const std::string refused = RefusedInPlace(FileName, TexturePath); !refused.empty())
            LogLoadFailure(FileName, refused);
        else
            Log("ERR", "LoadTexture", "File not found", "<" + FileName + ">");
        return 0;
    }

    // A file that failed and has not changed since fails again at once: its
    // bytes are not read nor decoded on every call.
    const std::string hostPath = ToHostPath(path);
    FileStamp stamp;
    const bool stamped = StampOf(hostPath, stamp);
    if (stamped) {
        const auto known = FailedTextureFiles.find(hostPath);
        if (known != FailedTextureFiles.end() && known->second.Stamp == stamp) {
            LogLoadFailure(FileName, known->second.Reason, true);
            return 0;
        }
    }

    const int32_t countBefore = TextureCount;
    const size_t sizeBefore = Textures.size();
    std::string why;
    try {
        TextureEntry entry;
        entry.FileName = FileName;
        entry.Smooth = Smooth;
        entry.ColorKey = ColorKey;
        entry.MipLevels = MipLevels;
        entry.Format = Format;
        Textures.resize(size_t(countBefore) + 1);  // a failed load left its slot behind
        Textures.push_back(entry);
        TextureCount = countBefore + 1;
        Log("INF", "LoadTexture", "<" + FileName + ">");

        RenderBackend& dev = Dev();
        // The size is read from the header first: a texture the budget
        // refuses costs no decoding, however often a script asks for it.
        std::vector<uint8_t> bytes;
        std::string error;
        int32_t w = 0, h = 0;
        TextureId tex = 0;
        if (!ReadImageFileBytes(hostPath, bytes, &error)) {
            // Not the bytes' fault (a FIFO in the file's place, too many
            // open files, a read error): tried again on the next load.
            why = error;
        } else if (!ReadImageSize(bytes.data(), bytes.size(), w, h, &error)) {
            why = error;
            if (stamped) RememberFailedFile(hostPath, stamp, error);
        } else if (!ReserveTextureBytes(w, h, "<" + FileName + ">")) {
            TextureCount = countBefore;
            Textures.resize(std::min(sizeBefore, size_t(countBefore) + 1));
            return 0;
        } else {
            // The image goes up at its own size: coordinates 0..1 span the
            // whole image either way, and nothing is lost to resampling.
            Image img;
            if (DecodeImage(bytes.data(), bytes.size(), img, &error) && img.Width == w && img.Height == h) {
                std::vector<uint8_t>().swap(bytes);
                PrepareTexels(img, ColorKey);
                tex = dev.CreateTexture(w, h, img.Pixels.data());
                if (tex == 0) why = "the graphics device made no texture of it";
            } else {
                why = error.empty() ? "damaged image file" : error;
                if (stamped) RememberFailedFile(hostPath, stamp, why);
            }
            if (tex == 0) ReleaseTextureBytes(w, h);
        }
        if (tex != 0) {
            TextureEntry& e = Textures[size_t(TextureCount)];
            e.Texture = tex;
            e.W = w;
            e.H = h;
            e.Loaded = true;
            return TextureCount;
        }
    } catch (const std::bad_alloc&) {
        why = "out of memory";
    } catch (const std::exception& e) {
        why = e.what();
    }
    LogLoadFailure(FileName, why);
    TextureCount = countBefore;
    Textures.resize(std::min(sizeBefore, size_t(countBefore) + 1));
    return 0;
}

bool zDDrawModule::ReloadTextures() {
    bool ok = true;
    for (int32_t i = 1; i <= TextureCount && size_t(i) < Textures.size(); ++i) {
        const TextureEntry& e = Textures[size_t(i)];
        if (e.Texture == 0 || !e.Loaded || e.FileName.empty()) continue;
        std::string path = GetFilePath(e.FileName, TexturePath);
        std::vector<uint8_t> rgba;
        int32_t w = 0, h = 0;
        if (path.empty() || !DecodeInto(e, path, w, h, rgba) || w != e.W || h != e.H ||
            !Device->UpdateTexture(e.Texture, 0, 0, w, h, rgba.data()))
            ok = false;
    }
    return ok;
}

void zDDrawModule::ReleaseTextureObject(int32_t Texture) {
    zCore.CurrentProc = "ReleaseTextureObject";
    if (Texture <= 0 || Texture > TextureCount || size_t(Texture) >= Textures.size()) return;
    TextureEntry& e = Textures[size_t(Texture)];
    if (e.Texture == 0) return;
    FlushAll();  // queued drawing still needs it
    e.Drawn.clear();
    if (Device) Device->DeleteTexture(e.Texture);
    e.Texture = 0;
    ReleaseTextureBytes(e.W, e.H);
    if (RenderTargetActive && RenderTarget == Texture) {
        if (Device) Device->SetRenderTarget(0);
        RenderTargetActive = false;
    }
}

void zDDrawModule::Texture_Export(zStream& Stream, int32_t Texture) {
    zCore.CurrentProc = "Texture_Export";
    if (Texture >= 0) {
        const TextureEntry& e = Entry(Texture);
        Stream.WriteString(e.FileName);
        Stream.WriteLong(e.ColorKey);
        Stream.WriteBool(e.Smooth);
    } else {
        Stream.WriteString("");
        Stream.WriteLong(0);
        Stream.WriteBool(false);
    }
}

int32_t zDDrawModule::Texture_Import(zStream& Stream, ByRef<int32_t> Texture) {
    zCore.CurrentProc = "Texture_Import";
    std::string name;
    int32_t key = 0;
    bool smooth = false;
    Stream.ReadString(name);
    Stream.ReadLong(key);
    Stream.ReadBool(smooth);
    Texture = LoadTexture(name, smooth, key, 1, 0);
    return Texture;
}

}  // namespace zun

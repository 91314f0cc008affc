#include "core/zFile.h"

#include "core/zCore.h"
#include "core/zRegistry.h"
#include "core/zValues.h"

namespace zun {

namespace {

// String name, Byte version, String GUID, Long flags, Long size, Long length:
// the least a chunk record can take.
constexpr int64_t kMinChunkRecord = 21;

constexpr const char* kImportProc = "File_ImportFromStreams";

std::string Describe(const std::exception& e) {
    if (auto* r = dynamic_cast<const RuntimeError*>(&e)) return r->Description;
    if (dynamic_cast<const std::bad_alloc*>(&e)) return "Out of memory";
    return e.what();
}

}  // namespace

void zFile::CheckIndex(int32_t Index) const {
    if (Index < 1 || Index > ChunkCount()) Raise(errSubscript);
}

std::shared_ptr<iChunk> zFile::FindInstance(const std::string& iName) const {
    for (const auto& c : chunks_) {
        if (!c->Instance || !c->Instance->Meta) continue;
        if (c->Instance->Meta->GetString("__Name") == iName) return c->Instance;
    }
    return nullptr;
}

bool zFile::Load(const std::string& iFilename, const std::string& iPassword, int64_t iMaxBytes) {
    FileName = iFilename;
    zStream data;
    if (!data.FileImport(iFilename, iPassword, iMaxBytes)) return false;
    return LoadFromStream(&data);
}

bool zFile::LoadFromStream(zStream* iStream) {
    zCore.CurrentProc = "File_LoadFromStream";
    if (!iStream) return false;
    iStream->Cursor = 0;
    // The table is read into a list of its own, so a failure keeps what the file held.
    std::vector<std::shared_ptr<zFileChunk>> chunks;
    int32_t flags = 0;
    int64_t trailing = 0;
    bool ok = false;
    try {
        int32_t count = 0;
        iStream->ReadLong(flags);
        iStream->ReadLong(count);
        const int64_t left = static_cast<int64_t>(iStream->GetLength()) - iStream->Cursor;
        if (count < 0 || static_cast<int64_t>(count) * kMinChunkRecord > left) {
            Log("ERR", "File_LoadFromStream", "Chunk count error", count);
        } else {
            chunks.reserve(static_cast<size_t>(count));
            for (int32_t i = 0; i < count; ++i) {
                auto c = std::make_shared<zFileChunk>();
                iStream->ReadString(c->ContentName);
                iStream->ReadByte(c->ContentVersion);
                iStream->ReadString(c->GUID);
                iStream->ReadLong(c->Flags);
                iStream->ReadLong(c->Size);
                iStream->ReadStream(c->Data);
                chunks.push_back(std::move(c));
            }
            trailing = static_cast<int64_t>(iStream->GetLength()) - iStream->Cursor;
            ok = true;
        }
    } catch (const std::exception& e) {
        Log("ERR", "File_LoadFromStream", Describe(e));
    }
    iStream->Cursor = 0;
    if (!ok) return false;
    Flags = flags;
    TrailingBytes = trailing;
    chunks_ = std::move(chunks);
    return true;
}

bool zFile::Save(const std::string& iFilename, bool iZipped, const std::string& iPassword) {
    zStream data;
    if (!SaveToStream(&data)) return false;
    return data.FileExport(iFilename, iZipped, iPassword);
}

bool zFile::SaveToStream(zStream* iStream) {
    zCore.CurrentProc = "File_SaveToStream";
    if (!iStream) return false;
    iStream->Cursor = 0;
    iStream->WriteLong(Flags);
    iStream->WriteLong(ChunkCount());
    for (const auto& c : chunks_) {
        iStream->WriteString(c->ContentName);
        iStream->WriteByte(c->ContentVersion);
        iStream->WriteString(c->GUID);
        iStream->WriteLong(c->Flags);
        c->Size = c->Data.GetLength();
        iStream->WriteLong(c->Size);
        iStream->WriteStream(c->Data);
    }
    iStream->Cursor = 0;
    return true;
}

void zFile::ImportFromStreams() {
    zCore.CurrentProc = kImportProc;
    // Walk a snapshot: an object's code may change the list while it runs.
    const auto chunks = chunks_;
    // The file's own name (a level's "village"), for the warnings below.
    const size_t slash = FileName.find_last_of("\\/");
    const std::string file = slash == std::string::npos ? FileName : FileName.substr(slash + 1);
    for (const auto& c : chunks) {
        c->Instance = CreateClass(c->ContentName, false);
        if (!c->Instance) continue;
        // A chunk's name comes last, with its meta data: what its content
        // warns about waits for it, so that the warning says where to look.
        std::vector<std::pair<std::string, std::string>> held;
        struct Hold {
            std::vector<std::pair<std::string, std::string>>* was;
            explicit Hold(std::vector<std::pair<std::string, std::string>>* h) : was(zCore.HeldContentWarnings) {
                zCore.HeldContentWarnings = h;
            }
            ~Hold() { zCore.HeldContentWarnings = was; }
        };
        {
            Hold hold(&held);
            try {
                c->Instance->SetGUID(c->GUID);
                c->Data.Cursor = 0;
                if (!c->Instance->Import(c->Data)) Raise(errInvalidCall, "Import failed");
                if (!c->Instance->Meta) Raise(errObjectNotSet);
                if (!c->Instance->Meta->Import(c->Data)) Raise(errInvalidCall, "Meta import failed");
            } catch (const std::exception& e) {
                // One unreadable chunk must not cost the others their objects.
                Log("ERR", kImportProc, c->ContentName, Describe(e));
                c->Instance.reset();
            }
        }
        std::string chunk = c->Instance && c->Instance->Meta ? c->Instance->Meta->GetString("__Name") : "";
        if (chunk.empty()) chunk = c->ContentName;
        for (const auto& [proc, text] : held) {
            if (file.empty()) Log("WARN", proc, text, chunk);
            else Log("WARN", proc, text, "<" + file + ">", chunk);
        }
    }
    for (const auto& c : chunks) {
        if (!c->Instance) continue;
        try {
            c->Instance->ImportInstances(*this);
        } catch (const std::exception& e) {
            Log("ERR", kImportProc, c->ContentName, Describe(e));
        }
    }
}

int32_t zFile::AddInstance(const std::shared_ptr<iChunk>& iInstance) {
    if (!iInstance) Raise(errObjectNotSet);
    // Without a GUID it would match (and replace) any other GUID-less chunk.
    if (iInstance->GUID.empty()) iInstance->SetGUID(CreateGUID());
    int32_t i = FindChunk(iInstance->GUID);
    if (i == 0) {
        chunks_.push_back(std::make_shared<zFileChunk>());
        i = ChunkCount();
    }
    auto& c = chunks_[static_cast<size_t>(i - 1)];
    c->Instance = iInstance;
    c->ContentName = iInstance->ClassName();
    c->ContentVersion = iInstance->ClassVersion();
    c->GUID = iInstance->GUID;
    return i;
}

void zFile::ExportToStreams(bool iExportInstances) {
    zCore.CurrentProc = "File_ExportToStreams";
    if (iExportInstances) {
        // Each chunk is asked once, those added on the way too, so references of
        // references (a template's template) are saved as well.
        for (size_t i = 0; i < chunks_.size(); ++i) {
            auto obj = chunks_[i]->Instance;
            if (obj) obj->ExportInstances(*this);
        }
    }
    for (size_t i = 0; i < chunks_.size(); ++i) {
        auto c = chunks_[i];
        if (!c->Instance) continue;
        c->Data.Reset();
        c->Instance->Export(c->Data);
        if (c->Instance->Meta) {
            c->Instance->Meta->Export(c->Data);
        } else {
            // An object made outside the factory has no meta record yet; store an
            // empty one so the chunk reads back like any other.
            zValues empty;
            empty.Export(c->Data);
        }
    }
}

void zFile::SwapChunks(int32_t Index1, int32_t Index2) {
    CheckIndex(Index1);
    CheckIndex(Index2);
    std::swap(chunks_[static_cast<size_t>(Index1 - 1)], chunks_[static_cast<size_t>(Index2 - 1)]);
}

int32_t zFile::FindChunk(const std::string& iGUID) const {
    for (size_t i = 0; i < chunks_.size(); ++i) {
        if (chunks_[i]->GUID == iGUID) return static_cast<int32_t>(i + 1);
    }
    return 0;
}

std::shared_ptr<zFileChunk> zFile::GetChunk(int32_t iChunk) const {
    CheckIndex(iChunk);
    return chunks_[static_cast<size_t>(iChunk - 1)];
}

std::shared_ptr<iChunk> zFile::GetInstance(const std::string& iGUID) const {
    const int32_t i = FindChunk(iGUID);
    if (i == 0) return nullptr;
    return chunks_[static_cast<size_t>(i - 1)]->Instance;
}

void zFile::RemoveChunk(const std::string& iGUID) {
    RemoveChunkIndex(FindChunk(iGUID));
}

void zFile::RemoveChunkIndex(int32_t Index) {
    zCore.CurrentProc = "File_RemoveChunkIndex";
    if (Index == 0) return;
    CheckIndex(Index);
    chunks_.erase(chunks_.begin() + (Index - 1));
}

}  // namespace zun

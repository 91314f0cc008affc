#include "core/zFileSystem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "core/zCore.h"
#include "core/zHostFile.h"

namespace zun {

zFileSystemState zFileSystem;

namespace {
std::string gAppFolderOverride;  // host path

bool HostExists(const std::string& p, struct stat* st = nullptr) {
    struct stat s;
    return ::stat(p.c_str(), st ? st : &s) == 0;
}

std::string ApplicationFolder() {
    if (!gAppFolderOverride.empty()) return gAppFolderOverride;
    // A folder named without its closing slash ("square-bin") is still that
    // folder, not a file name whose folder is the current one.
    if (const char* env = std::getenv("ZUN_APP_PATH"); env && *env) {
        std::string folder = env;
        if (folder.back() != '/') folder += '/';
        return folder;
    }
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string exe(buf, size_t(n));
    auto slash = exe.rfind('/');
    return slash == std::string::npos ? "." : exe.substr(0, slash + 1);
}

// The names of the folders looked in without regard to case, as last
// listed, by a hash of their lower-case program form: a folder is listed
// again only when it has changed, so a missing name costs a look-up, not a
// listing of the whole folder. What is kept is bounded; a folder of more
// names than that is listed on every look-up, as before.
struct FolderNames {
    HostFolderStamp Stamp;
    std::string Names;                                 // each host name and a 0
    std::vector<std::pair<size_t, uint32_t>> Index;    // (hash, offset), by hash, then listing order
};
std::unordered_map<std::string, FolderNames> gFolderNames;
size_t gFolderNamesKept = 0;
constexpr size_t kMaxFolderNamesKept = size_t(1) << 18;

size_t NameKey(const std::string& lower) { return std::hash<std::string>()(lower); }

// Finds `name` in the host folder `dir` without regard to case (ASCII letters and
// the letters of the code page alike, compared in the program's own text form).
bool FindInsensitive(const std::string& dir, const std::string& name, std::string& found) {
    const std::string want = LCase(Utf8ToCp1252(name));
    // Taken before the listing: a change while it is made is a change after it.
    const HostFolderStamp stamp = StampHostFolder(dir);
    if (!stamp.Exists) return false;
    auto kept = gFolderNames.find(dir);
    if (kept == gFolderNames.end() || !kept->second.Stamp.StillHolds(stamp)) {
        if (kept != gFolderNames.end()) {
            gFolderNamesKept -= kept->second.Index.size();
            gFolderNames.erase(kept);
        }
        const std::vector<std::string> entries = ListHostFolder(dir);
        if (entries.size() > kMaxFolderNamesKept || entries.size() >= UINT32_MAX) {
            for (const std::string& entry : entries) {
                if (LCase(Utf8ToCp1252(entry)) == want) {
                    found = entry;
                    return true;
                }
            }
            return false;
        }
        if (gFolderNamesKept + entries.size() > kMaxFolderNamesKept) {
            gFolderNames.clear();
            gFolderNamesKept = 0;
        }
        FolderNames listed;
        listed.Stamp = stamp;
        listed.Index.reserve(entries.size());
        for (const std::string& entry : entries) {
            listed.Index.emplace_back(NameKey(LCase(Utf8ToCp1252(entry))), uint32_t(listed.Names.size()));
            listed.Names += entry;
            listed.Names += '\0';
        }
        std::sort(listed.Index.begin(), listed.Index.end());
        gFolderNamesKept += listed.Index.size();
        kept = gFolderNames.emplace(dir, std::move(listed)).first;
    }
    const FolderNames& names = kept->second;
    const size_t key = NameKey(want);
    auto at = std::lower_bound(names.Index.begin(), names.Index.end(), std::make_pair(key, uint32_t(0)));
    for (; at != names.Index.end() && at->first == key; ++at) {
        const std::string entry(names.Names.c_str() + at->second);
        if (LCase(Utf8ToCp1252(entry)) == want) {
            found = entry;
            return true;
        }
    }
    return false;
}
}  // namespace

std::string ToHostPath(const std::string& Path) {
    std::string p = Cp1252ToUtf8(Path);
    for (auto& c : p)
        if (c == '\\') c = '/';
    if (p.empty() || HostExists(p)) return p;
    // Assets were named on a file system that ignores case: resolve one
    // component at a time, keeping the exact spelling wherever it matches.
    std::string out;
    size_t i = 0;
    if (p[0] == '/') {
        out = "/";
        i = 1;
    }
    while (i <= p.size()) {
        size_t j = p.find('/', i);
        if (j == std::string::npos) j = p.size();
        std::string part = p.substr(i, j - i);
        if (!part.empty()) {
            std::string candidate = out + part;
            if (part == "." || part == ".." || HostExists(candidate)) {
                out = candidate;
            } else {
                std::string found;
                if (!FindInsensitive(out, part, found)) return p;  // missing: the literal path
                out += found;
            }
        }
        if (j < p.size()) out += '/';
        i = j + 1;
    }
    return out;
}

std::string FromHostPath(const std::string& HostPath) {
    std::string p = Utf8ToCp1252(HostPath);
    for (auto& c : p)
        if (c == '/') c = '\\';
    return p;
}

void SetApplicationFolder(const std::string& hostPath) { gAppFolderOverride = hostPath; }

std::string ApplicationFolderHost() {
    // A relative folder ("." from ZUN_APP_PATH) is taken against the current
    // folder, which is the one the program started in until it starts.
    std::string folder = ApplicationFolder();
    if (folder.empty() || folder[0] != '/') {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(folder.empty() ? "." : folder, ec);
        if (!ec) folder = absolute.string() + "/";
    }
    return folder;
}

void FileSystem_Initialize() {
    // Read once: every asset path is built from this one.
    zFileSystem.AppPath = CleanPath(FromHostPath(ApplicationFolderHost()), false);
    zFileSystem.SystemPath = CleanPath(zFileSystem.AppPath + "System", false);
    Log("INF", "Path", zFileSystem.AppPath);
}

void FileSystem_Release() {}

std::string NormalizePath(const std::string& Path) {
    if (Path.empty()) return "";
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t k = Path.find('\\', start);
        parts.push_back(Path.substr(start, k == std::string::npos ? std::string::npos : k - start));
        if (k == std::string::npos) break;
        start = k + 1;
    }
    if (parts.size() == 1) return "";
    std::vector<std::string> kept;
    for (auto& p : parts) {
        if (p.empty() || p == ".") continue;
        if (p == "..") {
            // Going above the first folder is not supported; stay at the root.
            if (!kept.empty()) kept.pop_back();
            continue;
        }
        kept.push_back(p);
    }
    std::string result;
    for (auto& k : kept) {
        result += k;
        result += '\\';
    }
    if (Path.rfind("\\\\", 0) == 0) return "\\\\" + result;
    // A single leading separator is the root of an absolute path.
    if (Path[0] == '\\') return "\\" + result;
    return result;
}

std::string CleanPath(const std::string& Path, bool CreateFolders) {
    std::string s;
    s.reserve(Path.size());
    for (char c : Path)
        if (c != '\0') s += c;
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) s.clear();
    else s = s.substr(b, s.find_last_not_of(' ') - b + 1);
    for (auto& c : s)
        if (c == '/') c = '\\';
    s = NormalizePath(s);
    if (CreateFolders) s = CreateFolder(s);
    return s;
}

std::string CreateFolder(const std::string& Path) {
    std::string rest = Path;
    if (rest.empty() || rest.back() != '\\') rest += '\\';
    std::string done;
    while (!rest.empty()) {
        size_t k = rest.find('\\');
        done += rest.substr(0, k + 1);
        rest.erase(0, k + 1);
        std::string host = ToHostPath(done);
        if (host.empty() || host == "/" || host == "//") continue;
        if (!FolderExists(done)) {
            if (::mkdir(host.c_str(), 0777) != 0 && !FolderExists(done)) return "";
        }
    }
    return done;
}

std::string GetFilePath(const std::string& FileName, const std::string& Folder) {
    if (FileName.rfind("\\\\", 0) == 0) Log("WARN", "Network path may cause trouble", FileName);
    if (FileName.find(':') != std::string::npos) return FileName;
    if (FileExists(Folder + FileName)) return Folder + FileName;
    if (FileExists(zFileSystem.AppPath + FileName)) return zFileSystem.AppPath + FileName;
    if (FileExists(FileName)) return FileName;
    return "";
}

bool IsInnerFileName(const std::string& Name) {
    if (!Name.empty() && (Name[0] == '\\' || Name[0] == '/')) return false;
    if (Name.find(':') != std::string::npos) return false;
    int32_t depth = 0;
    size_t start = 0;
    while (start <= Name.size()) {
        size_t end = Name.find_first_of("\\/", start);
        if (end == std::string::npos) end = Name.size();
        const std::string_view part = std::string_view(Name).substr(start, end - start);
        if (part == "..") {
            if (--depth < 0) return false;
        } else if (!part.empty() && part != ".") {
            ++depth;
        }
        start = end + 1;
    }
    return true;
}

void LogOutsideName(const char* Proc, const std::string& FileName) {
    Log("ERR", Proc, "File name outside the program folder", "<" + FileName + ">");
}

std::string GetAssetPath(const std::string& FileName, const std::string& Folder, const char* Proc) {
    if (!IsInnerFileName(FileName)) {
        LogOutsideName(Proc, FileName);
        return "";
    }
    // A name that passed the check holds no ":" and no leading separator, so
    // this is the full lookup: the folder, the program folder, then the name
    // relative to the folder the program was started from.
    if (FileName.empty()) return "";
    return GetFilePath(FileName, Folder);
}

std::string RefusedInPlace(const std::string& FileName, const std::string& Folder) {
    if (FileName.empty()) return "";
    for (const std::string& place : {Folder + FileName, zFileSystem.AppPath + FileName, FileName}) {
        const std::string host = ToHostPath(place);
        if (!StatHostEntry(host).Exists) continue;
        HostFile file;
        std::string why;
        if (OpenHostFile(host, file, why)) return "";
        // A link to nothing is as good as no file there.
        if (why != "file not found") return why;
    }
    return "";
}

bool FileExists(const std::string& FileName) {
    if (FileName.empty()) return false;
    struct stat st;
    if (!HostExists(ToHostPath(FileName), &st)) return false;
    return !S_ISDIR(st.st_mode);
}

bool FolderExists(const std::string& Path) {
    if (Path.empty()) return false;
    struct stat st;
    if (!HostExists(ToHostPath(Path), &st)) return false;
    return S_ISDIR(st.st_mode);
}

bool DeleteFile(const std::string& FileName) {
    if (!FileExists(FileName)) return true;
    // Removing a name needs no rights on the file itself here, so its mode is
    // left alone: changing it would change what a link there points at.
    return ::unlink(ToHostPath(FileName).c_str()) == 0;
}

bool OpenFile(const std::string& FileName, HostFile& File, std::string& Error) {
    if (FileName.empty()) {
        Error = "file not found";
        return false;
    }
    return OpenHostFile(ToHostPath(FileName), File, Error);
}

std::string HostPathForWrite(const std::string& FileName) {
    if (FileExists(FileName)) return ToHostPath(FileName);
    std::string host = Cp1252ToUtf8(FileName);
    for (auto& c : host)
        if (c == '\\') c = '/';
    const auto slash = host.rfind('/');
    if (slash == std::string::npos) return host;
    const std::string dir = host.substr(0, slash);
    return ToHostPath(FromHostPath(dir.empty() ? "/" : dir)) + host.substr(slash);
}

void LogRefusedFile(const char* Proc, const std::string& FileName, const std::string& Why) {
    Log("ERR", Proc, "File refused: " + Why, "<" + FileName + ">");
}

std::string GetSystemFolder() { return ""; }

bool LoadFileBytes(const std::string& FileName, std::vector<uint8_t>& Data, std::string* Error) {
    constexpr size_t kMaxBytes = size_t(256) << 20;
    Data.clear();
    HostFile file;
    std::string why;
    bool ok = OpenFile(FileName, file, why) && ReadHostFileRest(file, kMaxBytes, Data, why);
    if (ok && Data.empty()) {
        why = "file is empty";
        ok = false;
    }
    if (!ok) {
        Data.clear();
        if (Error) *Error = why;
    }
    return ok;
}

}  // namespace zun

#include "core/zHostFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/zFileSystem.h"

namespace zun {

namespace {

constexpr int kReadFlags = O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC;

std::string NotAFile(mode_t mode) {
    if (S_ISFIFO(mode)) return "a FIFO, not a file";
    if (S_ISDIR(mode)) return "a folder, not a file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device, not a file";
    if (S_ISSOCK(mode)) return "a socket, not a file";
    if (S_ISLNK(mode)) return "a link, not a file";
    return "not a regular file";
}

std::string OpenFailure(int err) {
    if (err == ENOENT || err == ENOTDIR) return "file not found";
    if (err == ELOOP) return "a loop of links, not a file";
    return std::string("cannot open the file (") + std::strerror(err) + ")";
}

// The path with every link resolved; false with errno set when it cannot be.
bool RealPath(const std::string& hostPath, std::string& resolved) {
    char* real = ::realpath(hostPath.empty() ? "." : hostPath.c_str(), nullptr);
    if (!real) return false;
    resolved = real;
    std::free(real);
    return true;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens again, with `flags`, the very file open at `fd` (through its
// descriptor, never a name that could have changed hands meanwhile) and
// checks that it is still the plain file `seen`. The new descriptor, with
// what it holds in `now`; or -1 with the reason, and errno that of a failed
// open (0 for a file that changed).
int ReopenSameFile(int fd, int flags, const struct stat& seen, struct stat& now, std::string& error) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const int again = ::open(self.c_str(), flags | O_CLOEXEC);
    if (again < 0) {
        const int err = errno;
        error = OpenFailure(err);
        errno = err;
        return -1;
    }
    if (::fstat(again, &now) != 0 || !S_ISREG(now.st_mode) || !SameFile(now, seen)) {
        ::close(again);
        error = "the file changed while it was opened";
        errno = 0;
        return -1;
    }
    return again;
}

HostEntry FromStat(const struct stat& st) {
    HostEntry e;
    e.Exists = true;
    e.Regular = S_ISREG(st.st_mode);
    e.Links = uint64_t(st.st_nlink);
    e.Size = uint64_t(st.st_size);
    e.Device = uint64_t(st.st_dev);
    e.Inode = uint64_t(st.st_ino);
    return e;
}

bool SameFile(const HostEntry& a, const HostEntry& b) {
    return a.Device == b.Device && a.Inode == b.Inode;
}

// ---- opening beneath a folder ---------------------------------------------------
//
// A file inside a folder is reached name by name from the folder's own
// descriptor: each name is taken as it stands (a link is read, never
// followed by the system), so what is checked is what is opened, and a
// folder swapped for a link to elsewhere half way is met as a link and
// judged like any other.

constexpr int kMaxLinksFollowed = 40;

// The names of a path, without empty ones and ".".
void AppendNames(const std::string& path, std::vector<std::string>& names) {
    size_t i = 0;
    while (i <= path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        if (j > i && path.compare(i, j - i, ".") != 0) names.push_back(path.substr(i, j - i));
        i = j + 1;
    }
}

// The path made absolute against the current folder, with "//" and "."
// taken out (".." is left for the walk to judge); no trailing "/" but on "/".
std::string AbsoluteText(const std::string& path) {
    std::string p = path;
    if (p.empty() || p[0] != '/') {
        char cwd[4096];
        if (!::getcwd(cwd, sizeof cwd)) return "";
        p = std::string(cwd) + "/" + p;
    }
    std::vector<std::string> names;
    AppendNames(p, names);
    std::string out;
    for (const std::string& n : names) out += "/" + n;
    return out.empty() ? "/" : out;
}

// `path` below `folder` as text: the rest after the folder, or false.
bool TextBelow(const std::string& path, const std::string& folder, std::string& rest) {
    if (path.empty() || folder.empty()) return false;
    if (folder == "/") {
        rest = path.substr(1);
        return true;
    }
    if (path == folder) {
        rest.clear();
        return true;
    }
    if (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/') {
        rest = path.substr(folder.size() + 1);
        return true;
    }
    return false;
}

// Why a path that leads out of its folder is refused: what stands at its end,
// looked at without opening it, when that is no file at all.
std::string OutsideReason(const std::string& hostPath) {
    struct stat st {};
    if (::stat(hostPath.c_str(), &st) != 0) return OpenFailure(errno);
    if (!S_ISREG(st.st_mode)) return NotAFile(st.st_mode);
    return "a link that leads out of its folder";
}

struct FolderChain {
    std::vector<int> Fds;  // the folder, then each folder walked into
    ~FolderChain() {
        for (int fd : Fds) ::close(fd);
    }
    void PopTo(size_t n) {
        while (Fds.size() > n) {
            ::close(Fds.back());
            Fds.pop_back();
        }
    }
};

// Opens the regular file `rel` below the folder `root` (whose own path is
// trusted), never leaving it. The descriptor, or -1 with the reason.
int OpenBeneath(const std::string& root, const std::string& rel, const std::string& hostPath, int64_t& size,
                std::string& error) {
    FolderChain chain;
    const int top = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (top < 0) {
        error = OpenFailure(errno);
        return -1;
    }
    chain.Fds.push_back(top);
    std::vector<std::string> names;
    AppendNames(rel, names);
    std::reverse(names.begin(), names.end());  // the next name at the back
    std::string rootText, rootReal;
    int links = 0;
    while (!names.empty()) {
        const std::string name = std::move(names.back());
        names.pop_back();
        if (name == "..") {
            if (chain.Fds.size() == 1) {
                error = OutsideReason(hostPath);
                return -1;
            }
            chain.PopTo(chain.Fds.size() - 1);
            continue;
        }
        const int fd = ::openat(chain.Fds.back(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            error = OpenFailure(errno);
            return -1;
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0) {
            error = OpenFailure(errno);
            ::close(fd);
            return -1;
        }
        if (S_ISLNK(st.st_mode)) {
            // The link's text takes the name's place; one that names a place
            // outside the folder is refused.
            std::string target(4096, '\0');
            const ssize_t n = ::readlinkat(fd, "", target.data(), target.size());
            ::close(fd);
            if (n <= 0 || size_t(n) >= target.size() || ++links > kMaxLinksFollowed) {
                error = OpenFailure(n <= 0 ? ENOENT : ELOOP);
                return -1;
            }
            target.resize(size_t(n));
            std::string rest = target;
            if (target[0] == '/') {
                if (rootText.empty()) {
                    rootText = AbsoluteText(root);
                    if (!RealPath(root, rootReal)) rootReal.clear();
                }
                const std::string absolute = AbsoluteText(target);
                if (!TextBelow(absolute, rootText, rest) && !TextBelow(absolute, rootReal, rest)) {
                    error = OutsideReason(hostPath);
                    return -1;
                }
                chain.PopTo(1);
            }
            std::vector<std::string> more;
            AppendNames(rest, more);
            names.insert(names.end(), more.rbegin(), more.rend());
            continue;
        }
        if (S_ISDIR(st.st_mode) && !names.empty()) {
            chain.Fds.push_back(fd);
            continue;
        }
        if (!names.empty()) {
            ::close(fd);
            error = "file not found";
            return -1;
        }
        if (!S_ISREG(st.st_mode)) {
            ::close(fd);
            error = NotAFile(st.st_mode);
            return -1;
        }
        // The very file looked at is opened to read, through its descriptor:
        // nothing put at the name meanwhile can take its place. (Without
        // /proc the name is opened and must still hold that file.)
        struct stat now {};
        int rd = ReopenSameFile(fd, kReadFlags & ~O_NOFOLLOW, st, now, error);
        if (rd < 0 && errno == ENOENT) {
            rd = ::openat(chain.Fds.back(), name.c_str(), kReadFlags);
            if (rd < 0) {
                error = OpenFailure(errno);
            } else if (::fstat(rd, &now) != 0 || !S_ISREG(now.st_mode) || !SameFile(now, st)) {
                ::close(rd);
                rd = -1;
                error = "the file changed while it was opened";
            }
        }
        ::close(fd);
        if (rd < 0) return -1;
        size = int64_t(now.st_size);
        return rd;
    }
    error = "a folder, not a file";
    return -1;
}

}  // namespace

// ---- reading -----------------------------------------------------------------

HostFile::~HostFile() { Close(); }

HostFile::HostFile(HostFile&& other) noexcept : fd_(other.fd_), size_(other.size_) { other.fd_ = -1; }

HostFile& HostFile::operator=(HostFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        size_ = other.size_;
        other.fd_ = -1;
    }
    return *this;
}

int64_t HostFile::Read(void* to, size_t n) {
    if (fd_ < 0) return -1;
    while (true) {
        const ssize_t got = ::read(fd_, to, n);
        if (got < 0 && errno == EINTR) continue;
        return int64_t(got);
    }
}

int64_t HostFile::ReadFull(void* to, size_t n) {
    auto* p = static_cast<uint8_t*>(to);
    size_t done = 0;
    while (done < n) {
        const int64_t got = Read(p + done, n - done);
        if (got < 0) return -1;
        if (got == 0) break;
        done += size_t(got);
    }
    return int64_t(done);
}

int64_t HostFile::Seek(int64_t offset, int whence) {
    if (fd_ < 0) return -1;
    return int64_t(::lseek(fd_, off_t(offset), whence));
}

int HostFile::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void HostFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
}

std::string ConfiningFolder(const std::string& hostPath) {
    if (!zFileSystem.AppPath.empty()) {
        std::string app = ToHostPath(zFileSystem.AppPath);
        if (!app.empty() && app.back() != '/') app += '/';
        if (hostPath.size() > app.size() && hostPath.compare(0, app.size(), app) == 0) return app;
    }
    const size_t slash = hostPath.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : hostPath.substr(0, slash);
}

bool OpenHostFile(const std::string& hostPath, HostFile& file, std::string& error) {
    return OpenHostFileWithin(hostPath, ConfiningFolder(hostPath), file, error);
}

bool OpenHostFileWithin(const std::string& hostPath, const std::string& hostFolder, HostFile& file,
                        std::string& error) {
    file.Close();
    if (hostPath.empty()) {
        error = "file not found";
        return false;
    }
    int fd = -1;
    int64_t size = 0;
    if (hostFolder.empty()) {
        // The system's own files, named by the program: resolved by the
        // system, looked at before anything is opened (a FIFO or a device is
        // refused without the open that could wait or act), then opened
        // without following a link and looked at again.
        std::string resolved;
        if (!RealPath(hostPath, resolved)) {
            error = OpenFailure(errno);
            return false;
        }
        struct stat seen {};
        if (::stat(resolved.c_str(), &seen) != 0) {
            error = OpenFailure(errno);
            return false;
        }
        if (!S_ISREG(seen.st_mode)) {
            error = NotAFile(seen.st_mode);
            return false;
        }
        fd = ::open(resolved.c_str(), kReadFlags);
        if (fd < 0) {
            error = OpenFailure(errno);
            return false;
        }
        struct stat now {};
        if (::fstat(fd, &now) != 0 || !S_ISREG(now.st_mode) || !SameFile(now, seen)) {
            ::close(fd);
            error = "the file changed while it was opened";
            return false;
        }
        size = int64_t(now.st_size);
    } else {
        // The path is taken below its folder as written; a path that names
        // the folder otherwise (through a link above it) is placed by the
        // folder that holds it, resolved, and walked from there all the same.
        std::string rel;
        if (!TextBelow(AbsoluteText(hostPath), AbsoluteText(hostFolder), rel)) {
            const size_t slash = hostPath.rfind('/');
            const std::string dir =
                slash == std::string::npos ? std::string(".") : hostPath.substr(0, slash == 0 ? 1 : slash);
            std::string realDir, realRoot;
            if (!RealPath(dir, realDir)) {
                error = OpenFailure(errno);
                return false;
            }
            if (!RealPath(hostFolder, realRoot) || !TextBelow(realDir, realRoot, rel)) {
                error = OutsideReason(hostPath);
                return false;
            }
            rel += "/" + hostPath.substr(slash == std::string::npos ? 0 : slash + 1);
        }
        fd = OpenBeneath(hostFolder, rel, hostPath, size, error);
        if (fd < 0) return false;
    }
    // A plain file never makes a read wait; the libraries handed the
    // descriptor get it in its usual mode all the same.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    file.fd_ = fd;
    file.size_ = size;
    return true;
}

bool ReadHostFileRest(HostFile& file, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& error) {
    bytes.clear();
    if (!file.IsOpen()) {
        error = "cannot read the file";
        return false;
    }
    if (file.Size() > 0 && uint64_t(file.Size()) > maxBytes) {
        error = "file is too large";
        return false;
    }
    try {
        // The size said at opening is a guess: a file that grows meanwhile,
        // and the system's own files that say 0, are read to their end.
        bytes.resize(file.Size() > 0 ? size_t(file.Size()) : 4096);
        size_t done = 0;
        while (true) {
            if (done == bytes.size()) {
                if (bytes.size() > maxBytes) {
                    bytes.clear();
                    error = "file is too large";
                    return false;
                }
                bytes.resize(std::min(maxBytes + 1, bytes.size() * 2 + 4096));
            }
            const int64_t got = file.Read(bytes.data() + done, bytes.size() - done);
            if (got < 0) {
                bytes.clear();
                error = "cannot read the file";
                return false;
            }
            if (got == 0) break;
            done += size_t(got);
        }
        if (done > maxBytes) {
            bytes.clear();
            error = "file is too large";
            return false;
        }
        bytes.resize(done);
    } catch (const std::bad_alloc&) {
        bytes.clear();
        error = "out of memory";
        return false;
    }
    return true;
}

bool ReadHostFileBytes(const std::string& hostPath, size_t maxBytes, std::vector<uint8_t>& bytes,
                       std::string& error) {
    bytes.clear();
    HostFile file;
    return OpenHostFile(hostPath, file, error) && ReadHostFileRest(file, maxBytes, bytes, error);
}

HostEntry StatHostEntry(const std::string& hostPath) {
    struct stat st;
    if (::lstat(hostPath.c_str(), &st) != 0) return {};
    return FromStat(st);
}

namespace {
std::atomic<uint64_t> gFolderListings{0};
}  // namespace

uint64_t HostFolderListings() { return gFolderListings; }

bool HostFolderStamp::StillHolds(const HostFolderStamp& now) const {
    // Far wider than the step of the clock file times are taken from.
    constexpr int64_t kSettled = 100000000;
    return Exists && now.Exists && Device == now.Device && Inode == now.Inode && Modified == now.Modified &&
           Changed == now.Changed && Modified < TakenAt - kSettled;
}

HostFolderStamp StampHostFolder(const std::string& hostDir) {
    HostFolderStamp stamp;
    timespec clock {};
    ::clock_gettime(CLOCK_REALTIME, &clock);
    stamp.TakenAt = int64_t(clock.tv_sec) * 1000000000 + clock.tv_nsec;
    struct stat st {};
    if (::stat(hostDir.empty() ? "." : hostDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return stamp;
    stamp.Exists = true;
    stamp.Device = uint64_t(st.st_dev);
    stamp.Inode = uint64_t(st.st_ino);
    stamp.Modified = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.Changed = int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return stamp;
}

std::vector<std::string> ListHostFolder(const std::string& hostDir, size_t most) {
    ++gFolderListings;
    std::vector<std::string> names;
    // opendir opens with O_DIRECTORY and without waiting: a FIFO in place of
    // the folder is refused, not waited on.
    DIR* d = ::opendir(hostDir.empty() ? "." : hostDir.c_str());
    if (!d) return names;
    while (names.size() < most) {
        const dirent* e = ::readdir(d);
        if (!e) break;
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(d);
    return names;
}

std::vector<uint8_t> ReadHostFileHead(const std::string& hostPath, size_t n) {
    std::vector<uint8_t> head;
    const int fd = ::open(hostPath.c_str(), kReadFlags);
    if (fd < 0) return head;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        head.resize(n);
        const ssize_t got = ::read(fd, head.data(), n);
        head.resize(got > 0 ? size_t(got) : 0);
    }
    ::close(fd);
    return head;
}

// ---- writing -----------------------------------------------------------------

bool WriteHostDescriptor(int fd, const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (done < n) {
        const ssize_t put = ::write(fd, p + done, n - done);
        if (put < 0 && errno == EINTR) continue;
        if (put == 0) errno = ENOSPC;
        if (put <= 0) return false;
        done += size_t(put);
    }
    return true;
}

bool WriteHostFileNoFollow(const std::string& hostPath, const std::vector<uint8_t>& bytes,
                           const HostEntry& replacing, std::string& error) {
    const int flags =
        O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC | O_NONBLOCK | (replacing.Exists ? 0 : O_CREAT | O_EXCL);
    const int fd = ::open(hostPath.c_str(), flags, 0644);
    // Each failure says its cause, as the system gives it ("No space left
    // on device"): the player can act on that.
    auto because = [](const char* what, int err) { return std::string(what) + " (" + std::strerror(err) + ")"; };
    if (fd < 0) {
        error = errno == ELOOP    ? "the name is a link"
                : errno == EEXIST ? "the file exists"
                                  : because("cannot create the file", errno);
        return false;
    }
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && replacing.Exists) {
        // The name may have changed hands since it was looked at.
        const HostEntry now = FromStat(st);
        ok = now.Regular && now.Links == 1 && SameFile(now, replacing) && ::ftruncate(fd, 0) == 0;
        if (!ok) error = "the file changed";
    }
    if (ok && !WriteHostDescriptor(fd, bytes.data(), bytes.size())) {
        ok = false;
        error = because("cannot write the file", errno ? errno : EIO);
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = because("cannot write the file", errno);
    }
    // A new file that failed is not left behind half written.
    if (!ok && !replacing.Exists) ::unlink(hostPath.c_str());
    return ok;
}

bool ReplaceHostFile(const std::string& hostPath, const std::vector<uint8_t>& bytes, std::string& error) {
    // A name left by an earlier failure (or put there as a link) goes first:
    // unlink takes the name away, never what a link points at.
    const std::string temp = hostPath + ".tmp";
    ::unlink(temp.c_str());
    if (!WriteHostFileNoFollow(temp, bytes, HostEntry{}, error)) return false;
    if (::rename(temp.c_str(), hostPath.c_str()) != 0) {
        error = std::string("cannot replace the file (") + std::strerror(errno) + ")";
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

int OpenHostLogFile(const std::string& hostPath, std::string& error) {
    struct stat seen {};
    if (::lstat(hostPath.c_str(), &seen) != 0) {
        error = OpenFailure(errno);
        return -1;
    }
    if (!S_ISREG(seen.st_mode)) {
        error = NotAFile(seen.st_mode);
        return -1;
    }
    if (seen.st_nlink != 1) {
        error = "a file with other names (hard links)";
        return -1;
    }
    // Opened to read first, which never waits nor feeds a reader, and
    // checked; the descriptor is then reopened to append, so the file
    // written is the very file checked: nothing put in its place meanwhile
    // (a FIFO) is ever opened for writing.
    const int probe = ::open(hostPath.c_str(), kReadFlags);
    if (probe < 0) {
        error = OpenFailure(errno);
        return -1;
    }
    struct stat now {};
    if (::fstat(probe, &now) != 0 || !S_ISREG(now.st_mode) || now.st_nlink != 1 || !SameFile(now, seen)) {
        ::close(probe);
        error = "the file changed while it was opened";
        return -1;
    }
    struct stat written {};
    const int fd = ReopenSameFile(probe, O_WRONLY | O_APPEND | O_NOCTTY, seen, written, error);
    ::close(probe);
    return fd;
}

void ReadHostFileEnd(int fd, size_t n, int64_t& size, std::string& tail) {
    size = 0;
    tail.clear();
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
    size = int64_t(st.st_size);
    // The descriptor may be open only to write: the very file is opened
    // again to read.
    struct stat again {};
    std::string why;
    const int rd = ReopenSameFile(fd, kReadFlags & ~O_NOFOLLOW, st, again, why);
    if (rd < 0) return;
    const int64_t from = std::max<int64_t>(0, size - int64_t(n));
    tail.resize(size_t(size - from));
    const ssize_t got = ::pread(rd, tail.data(), tail.size(), off_t(from));
    tail.resize(got > 0 ? size_t(got) : 0);
    ::close(rd);
}

}  // namespace zun

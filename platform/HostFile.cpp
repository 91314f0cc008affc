#include "platform/HostFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace zun {

bool ReadHostFileBytes(const std::string& hostPath, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& error) {
    bytes.clear();
    std::FILE* f = std::fopen(hostPath.c_str(), "rb");
    if (!f) {
        error = "cannot open the file";
        return false;
    }
    const long len = std::fseek(f, 0, SEEK_END) == 0 ? std::ftell(f) : -1;
    if (len < 0 || size_t(len) > maxBytes) {
        std::fclose(f);
        error = len < 0 ? "cannot read the file" : "file is too large";
        return false;
    }
    std::rewind(f);
    bytes.resize(size_t(len));
    const size_t got = len > 0 ? std::fread(bytes.data(), 1, bytes.size(), f) : 0;
    std::fclose(f);
    if (got != bytes.size()) {
        bytes.clear();
        error = "cannot read the file";
        return false;
    }
    return true;
}

namespace {

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

bool SameFile(const HostEntry& a, const HostEntry& b) { return a.Device == b.Device && a.Inode == b.Inode; }

}  // namespace

HostEntry StatHostEntry(const std::string& hostPath) {
    struct stat st;
    if (::lstat(hostPath.c_str(), &st) != 0) return {};
    return FromStat(st);
}

std::vector<std::string> ListHostFolder(const std::string& hostDir) {
    std::vector<std::string> names;
    DIR* d = ::opendir(hostDir.empty() ? "." : hostDir.c_str());
    if (!d) return names;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(d);
    return names;
}

std::vector<uint8_t> ReadHostFileHead(const std::string& hostPath, size_t n) {
    std::vector<uint8_t> head;
    const int fd = ::open(hostPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
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

bool WriteHostFileNoFollow(const std::string& hostPath, const std::vector<uint8_t>& bytes, const HostEntry& replacing,
                           std::string& error) {
    const int flags = O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | (replacing.Exists ? 0 : O_CREAT | O_EXCL);
    const int fd = ::open(hostPath.c_str(), flags, 0644);
    if (fd < 0) {
        error = errno == ELOOP ? "the name is a link" : errno == EEXIST ? "the file exists" : "cannot create the file";
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
    size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            error = "cannot write the file";
        } else {
            done += size_t(n);
        }
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = "cannot write the file";
    }
    // A new file that failed is not left behind half written.
    if (!ok && !replacing.Exists) ::unlink(hostPath.c_str());
    return ok;
}

}  // namespace zun

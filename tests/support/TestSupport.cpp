#include "support/TestSupport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "core/zFileSystem.h"

namespace zun::test {

LogCapture::LogCapture() : previous_(gCoreHooks.OnLogEntry) {
    gCoreHooks.OnLogEntry = [this](const std::string& line, const std::vector<LogValue>&) {
        lines_.push_back(line);
    };
}

LogCapture::~LogCapture() { gCoreHooks.OnLogEntry = previous_; }

bool LogCapture::Contains(const std::string& fragment) const {
    for (auto& l : lines_)
        if (l.find(fragment) != std::string::npos) return true;
    return false;
}

TempDir::TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "zun-XXXXXX").string();
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    host_ = std::string(buf.data()) + "/";
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(host_, ec);
}

std::string TempDir::Path(const std::string& name) const { return FromHostPath(host_) + name; }

std::vector<uint8_t> Hex(const std::string& hex) {
    std::vector<uint8_t> out;
    int nib = -1;
    for (char c : hex) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else continue;
        if (nib < 0) nib = v;
        else {
            out.push_back(uint8_t(nib * 16 + v));
            nib = -1;
        }
    }
    return out;
}

std::string ToHex(const std::vector<uint8_t>& bytes) {
    static const char* d = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) s += ' ';
        s += d[bytes[i] >> 4];
        s += d[bytes[i] & 15];
    }
    return s;
}

std::vector<uint8_t> ReadHostFile(const std::string& hostPath) {
    std::vector<uint8_t> out;
    std::FILE* f = std::fopen(hostPath.c_str(), "rb");
    if (!f) return out;
    int c;
    while ((c = std::fgetc(f)) != EOF) out.push_back(uint8_t(c));
    std::fclose(f);
    return out;
}

void WriteHostFile(const std::string& hostPath, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(hostPath.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + hostPath);
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

void PlaceHostile(const std::string& hostPath, Hostile kind, const std::string& outsideFile) {
    std::error_code ec;
    std::filesystem::remove_all(hostPath, ec);
    bool ok = false;
    switch (kind) {
        case Hostile::Fifo: ok = ::mkfifo(hostPath.c_str(), 0644) == 0; break;
        case Hostile::Folder: ok = std::filesystem::create_directory(hostPath, ec); break;
        case Hostile::DeviceLink: ok = ::symlink("/dev/zero", hostPath.c_str()) == 0; break;
        case Hostile::OutsideLink: ok = ::symlink(outsideFile.c_str(), hostPath.c_str()) == 0; break;
    }
    if (!ok) throw std::runtime_error("cannot place a " + std::string(HostileName(kind)) + " at " + hostPath);
}

const char* HostileName(Hostile kind) {
    switch (kind) {
        case Hostile::Fifo: return "FIFO";
        case Hostile::Folder: return "folder";
        case Hostile::DeviceLink: return "link to /dev/zero";
        case Hostile::OutsideLink: return "link out of the folder";
    }
    return "";
}

const char* HostileReason(Hostile kind) {
    switch (kind) {
        case Hostile::Fifo: return "a FIFO, not a file";
        case Hostile::Folder: return "a folder, not a file";
        case Hostile::DeviceLink: return "a device, not a file";
        case Hostile::OutsideLink: return "a link that leads out of its folder";
    }
    return "";
}

}  // namespace zun::test

// The one door through which the program and its tools open files on the
// host. A game folder is downloaded content: any name in it may be a FIFO, a
// folder, a device or a link to anywhere. Every read goes through
// OpenHostFile, which never blocks and takes only a regular file that lies
// inside its folder; every write goes through a writer here that never
// follows a link.
//
// "Inside": with every link resolved, the file lies within the program folder
// when its path names a file there, else within the folder that holds the
// name (or within a folder the caller names). Links that stay inside are
// followed, so a game maker may share one picture under two names; a link
// out of the folder is refused, as is a path that climbs out with "..". The
// path is resolved and opened as one act, name by name from the folder's own
// descriptor: no check stands apart from its open, so a folder swapped for a
// link to elsewhere meanwhile is met as that link and refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zun {

// A regular file opened for reading by the door; closed with the object.
class HostFile {
public:
    HostFile() = default;
    ~HostFile();
    HostFile(HostFile&& other) noexcept;
    HostFile& operator=(HostFile&& other) noexcept;
    HostFile(const HostFile&) = delete;
    HostFile& operator=(const HostFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // The file's size when it was opened.
    int64_t Size() const { return size_; }
    // Up to n bytes from the current position: the count, 0 at the end, -1
    // on a read error.
    int64_t Read(void* to, size_t n);
    // n bytes, or fewer only at the end of the file: the count, -1 on a
    // read error.
    int64_t ReadFull(void* to, size_t n);
    // As lseek: the new position, or -1.
    int64_t Seek(int64_t offset, int whence);
    // The descriptor, for a library that reads from one; it stays ours.
    int Descriptor() const { return fd_; }
    // Hands the descriptor over to a caller that closes it.
    int Release();
    void Close();

private:
    friend bool OpenHostFileWithin(const std::string&, const std::string&, HostFile&, std::string&);
    int fd_ = -1;
    int64_t size_ = 0;
};

// Opens a file to read, confined to its folder (see above). False with the
// reason in `error`: "file not found", "a FIFO, not a file", "a folder, not a
// file", "a device, not a file", "a link that leads out of its folder",
// "a loop of links, not a file", "cannot open the file (...)". The caller's
// message names the file.
bool OpenHostFile(const std::string& hostPath, HostFile& file, std::string& error);
// The same, confined to `hostFolder` ("" for no bound: the system files the
// program names itself, such as the sound font).
bool OpenHostFileWithin(const std::string& hostPath, const std::string& hostFolder, HostFile& file,
                        std::string& error);
// The folder a file of that path must stay in.
std::string ConfiningFolder(const std::string& hostPath);

// Reads the rest of an open file; more than `maxBytes` is refused ("file is
// too large"), as is a read error ("cannot read the file").
bool ReadHostFileRest(HostFile& file, size_t maxBytes, std::vector<uint8_t>& bytes, std::string& error);
// OpenHostFile, then the whole file.
bool ReadHostFileBytes(const std::string& hostPath, size_t maxBytes, std::vector<uint8_t>& bytes,
                       std::string& error);

// A folder entry as it is, not what a link at it points to.
struct HostEntry {
    bool Exists = false;
    bool Regular = false;  // a plain file: no link, folder or device
    uint64_t Links = 0;    // names the file has
    uint64_t Size = 0;
    uint64_t Device = 0, Inode = 0;
};
HostEntry StatHostEntry(const std::string& hostPath);
// The names in a host folder (the first `most` of them), without "." and
// ".."; none when it cannot be read (or is no folder).
std::vector<std::string> ListHostFolder(const std::string& hostDir, size_t most = SIZE_MAX);
// How many folders ListHostFolder has listed in this run.
uint64_t HostFolderListings();
// What a folder's listing depends on: a name added, removed or renamed
// changes it. A listing kept with the stamp taken before it still holds
// while the folder's stamp stays the same (StillHolds), but for a folder
// changed just before the stamp was taken: the system's clock for file
// times moves in steps, so a second change in the same step could keep the
// stamp, and such a listing is taken again.
struct HostFolderStamp {
    bool Exists = false;
    uint64_t Device = 0, Inode = 0;
    int64_t Modified = 0, Changed = 0;  // nanoseconds
    int64_t TakenAt = 0;                // the clock when the stamp was taken
    bool StillHolds(const HostFolderStamp& now) const;
};
HostFolderStamp StampHostFolder(const std::string& hostDir);
// At most `n` first bytes of a plain file; none for a link or anything else.
std::vector<uint8_t> ReadHostFileHead(const std::string& hostPath, size_t n);

// Writes `bytes` as the file `hostPath`, never through a link at that name.
// When `replacing` does not exist the file must be new (a name that appeared
// meanwhile fails); otherwise the name must still hold that very plain file
// with no other name. False with a reason in `error`.
bool WriteHostFileNoFollow(const std::string& hostPath, const std::vector<uint8_t>& bytes,
                           const HostEntry& replacing, std::string& error);
// Writes `bytes` beside `hostPath` and renames the new file over that name:
// whatever stood there (a file, a link) is replaced, never written through,
// and a failure leaves it as it was. False with a reason in `error`.
bool ReplaceHostFile(const std::string& hostPath, const std::vector<uint8_t>& bytes, std::string& error);

// Opens an existing log file to append to: only a plain file of one name,
// never through a link and never a FIFO (the file is known to be plain
// before it is opened for writing). The descriptor, or -1 with the reason.
int OpenHostLogFile(const std::string& hostPath, std::string& error);
// The size of the file open at `fd` and its last `n` bytes (none where they
// cannot be read).
void ReadHostFileEnd(int fd, size_t n, int64_t& size, std::string& tail);
// Writes all of `n` bytes to a descriptor; false on an error.
bool WriteHostDescriptor(int fd, const void* data, size_t n);

}  // namespace zun

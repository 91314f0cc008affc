// Program folders and the small file operations of the framework. Paths inside
// the program use "\" as separator; every call into the operating system goes
// through ToHostPath.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zun {

class HostFile;

struct zFileSystemState {
    std::string AppPath;     // cleaned, ends in "\"
    std::string SystemPath;  // AppPath & "System\"
};
extern zFileSystemState zFileSystem;

void FileSystem_Initialize();
void FileSystem_Release();
// Overrides the application folder (tests and tools; normally the executable's folder).
void SetApplicationFolder(const std::string& hostPath);
// The program folder as a host path ending in "/", found as FileSystem_Initialize
// finds it (the override, else ZUN_APP_PATH, else the executable's folder),
// for what must run in it before the framework has started.
std::string ApplicationFolderHost();

std::string NormalizePath(const std::string& Path);
std::string CleanPath(const std::string& Path, bool CreateFolders);
std::string CreateFolder(const std::string& Path);
std::string GetFilePath(const std::string& FileName, const std::string& Folder);
// A file name read from content or handed in by a script names a file inside
// the folder it is looked up in: not an absolute path (a leading "\" or "/"),
// no drive or other ":" form, and no ".." that climbs above where the name
// starts. "\" and "/" both separate folders. Level, picture, sound, music and
// font names all pass this one check.
bool IsInnerFileName(const std::string& Name);
// The path of an asset, looked up as GetFilePath does (in Folder, in the
// program folder, then relative to the folder the program was started from);
// "" when none exists. A name that IsInnerFileName refuses gives "" and a
// logged error naming the file (Proc is the loader asking).
std::string GetAssetPath(const std::string& FileName, const std::string& Folder, const char* Proc);
// The error line of a file name refused by IsInnerFileName.
void LogOutsideName(const char* Proc, const std::string& FileName);
// Why the door refuses what stands where GetFilePath finds no file of that
// name (a folder, a loop of links): its reason for the first place looked at
// that holds something; "" when none does.
std::string RefusedInPlace(const std::string& FileName, const std::string& Folder);
bool FileExists(const std::string& FileName);
bool FolderExists(const std::string& Path);
bool DeleteFile(const std::string& FileName);
// Opens a file to read through the one door (zHostFile.h): a regular file
// inside its folder, opened without waiting. False with the reason in Error
// ("file not found" for a missing one).
bool OpenFile(const std::string& FileName, HostFile& File, std::string& Error);
// Where a file of that name is written: an existing one where ToHostPath
// finds it, a new one in its folder looked up without regard to case, under
// the name as given.
std::string HostPathForWrite(const std::string& FileName);
// The error line of a file the door refused (a FIFO, a folder, a link out of
// its folder...): Proc is the loader asking.
void LogRefusedFile(const char* Proc, const std::string& FileName, const std::string& Why);
std::string GetSystemFolder();
// Reads a whole file (up to 256 MB) through OpenFile; an empty or missing
// file gives False and an empty Data, with the reason in Error when given.
bool LoadFileBytes(const std::string& FileName, std::vector<uint8_t>& Data, std::string* Error = nullptr);

// "\" -> "/", Windows-1252 -> UTF-8; when the exact path does not exist, each
// component is looked up without regard to case.
std::string ToHostPath(const std::string& Path);
// Host path (UTF-8, "/") -> program path (Windows-1252, "\").
std::string FromHostPath(const std::string& HostPath);

}  // namespace zun

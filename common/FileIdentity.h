// Whether two names reach one file or folder, and whether a file or folder
// lies inside a folder, decided by what the file system says about the object
// itself: its volume serial number and file id, read from an open handle.
// Path text cannot decide it: drive letters, substituted and mapped drives,
// junctions, links and short names all give one object many names, and the
// final path the system gives back is one more spelling among them.
// Every question may answer "can't tell"; wherever something is deleted,
// overwritten or committed, the caller treats that as the unsafe answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace Ostra {

// Longest path, in UTF-16 units, this module hands to the system. Longer
// paths are not opened: the answer is "can't tell".
constexpr size_t kMaxIdentityPathUnits = 32767;

enum class IdentityAnswer { No, Yes, CantTell };

struct FileIdentity {
    uint64_t volumeSerial = 0;
    uint64_t idLow = 0;
    uint64_t idHigh = 0;
    // The 64-bit serial and 128-bit id of FileIdInfo; otherwise the 32-bit
    // serial and 64-bit index of GetFileInformationByHandle.
    bool fullId = false;
};

// Equal serials and ids. An identity of each kind is compared by what both
// kinds hold: the low 32 bits of the serial and the low 64 bits of the id.
bool IsSameIdentity(const FileIdentity& a, const FileIdentity& b);

// Equal volume serial numbers, compared as IsSameIdentity compares them.
bool IsSameVolume(const FileIdentity& a, const FileIdentity& b);

enum class IdentityRead {
    Read,
    Missing,   // nothing of that name (the file, or a folder on its path, does not exist)
    Unreadable // there may be something, but its identity cannot be read
};

// The identity of what path names, links followed. The open asks for no
// access rights and shares everything, so it disturbs no one else's use.
IdentityRead ReadIdentity(const std::wstring& path, FileIdentity* identity);

// The same from a handle the caller holds (a HANDLE).
bool ReadHandleIdentity(void* handle, FileIdentity* identity);

// The file's index on its volume alone (the same for every link to the file),
// without asking the volume for its serial number, which can cost
// milliseconds where the volume is served by another process. False when the
// file system gives none.
bool ReadFileIndex(void* handle, uint64_t* index);

// The index of what path names, read as ReadFileIndex reads it.
IdentityRead ReadIndex(const std::wstring& path, uint64_t* index);

// The object's own identity first, then each real folder above its final
// location, up to that volume's root. False when any step cannot be read.
bool ReadAncestry(const std::wstring& path, std::vector<FileIdentity>* chain);

// Whether a and b name one object. Missing on either side: No.
IdentityAnswer IsSameObject(const std::wstring& a, const std::wstring& b);

// Whether path names folder or something inside it (folder's identity given).
// A path that does not exist: No.
IdentityAnswer IsSameOrInside(const std::wstring& path, const FileIdentity& folder);
// The same with folder named by a path. A folder that does not exist: No.
IdentityAnswer IsSameOrInside(const std::wstring& path, const std::wstring& folder);

// The same question asked of many paths against one folder: a folder above
// one path that has been found not to be the folder is not opened again for
// the next path. One object per question and thread.
class SameOrInsideQuestion {
public:
    explicit SameOrInsideQuestion(const FileIdentity& folder) : folder_{folder} {}
    IdentityAnswer Ask(const std::wstring& path);

private:
    std::vector<FileIdentity> folder_;
    std::set<std::wstring> apart_; // final paths of folders that are not it, in upper case
};

// Whether the object path names is the root of its volume (a drive's root
// under any name, or a link to one).
IdentityAnswer IsVolumeRootObject(const std::wstring& path);

// Whether path names one of the objects in chain. The identity is read only
// when the file index alone matches one of them, which keeps the question
// cheap where the volume serial is slow to ask.
IdentityAnswer IsOneOf(const std::wstring& path, const std::vector<FileIdentity>& chain);

} // namespace Ostra

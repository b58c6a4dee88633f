// Matching running processes against what the installer asks about, over a
// list of snapshot entries. The system calls that produce the entries and
// open the processes or files are passed in.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ProcessEntry {
    uint32_t id = 0;
    uint32_t parentId = 0;
    std::wstring exeName; // executable file name as the snapshot reports it
};

constexpr uint32_t kNoProcessId = 0xFFFFFFFFu;

// Compares unit by unit after mapping A-Z to a-z; other units must be identical.
bool EqualsIgnoringAsciiCase(const std::wstring& a, const std::wstring& b);

// The queries never look at the caller itself, the idle process (0) or the system process (4).
bool IsSkippedProcess(uint32_t id, uint32_t ownId);

// D:\dir\app.exe with the device name of D: becomes <device>\dir\app.exe.
std::wstring DeviceFormPath(const std::wstring& path, const std::wstring& deviceName);

// One spelling per path for comparing program paths: without a \\?\ prefix,
// with "\" between names and "." and ".." resolved. Paths that are not absolute
// (device forms among them) lose only their prefix.
std::wstring ComparablePath(const std::wstring& path);

bool AnyProcessNamed(const std::vector<ProcessEntry>& entries, uint32_t ownId, const std::wstring& name);

// imagePathOf returns a process's image path, or nothing when it cannot be
// opened; both it and target are compared in their comparable spelling. When
// the spellings differ, runsTarget (when given) decides whether the process's
// image is the target file under another name.
bool AnyProcessWithImagePath(const std::vector<ProcessEntry>& entries, uint32_t ownId, const std::wstring& target,
                             const std::function<bool(uint32_t id, std::wstring& path)>& imagePathOf,
                             const std::function<bool(uint32_t id)>& runsTarget = nullptr);

// What an exclusive open of a program file found.
enum class ProgramFileState {
    Missing, // no file of that name (or a folder)
    Free,    // opened exclusively
    Locked,  // refused for a sharing or lock violation: someone has it open
    Refused, // refused otherwise, such as for lack of rights
};

// Candidates are directory + executable name. A candidate is in use when it is
// locked, or when it is refused and that process's image is the candidate itself.
bool AnyProgramInUseInDirectory(const std::vector<ProcessEntry>& entries, uint32_t ownId, const std::wstring& directory,
                                const std::function<ProgramFileState(const std::wstring& candidate)>& probe,
                                const std::function<bool(uint32_t id, std::wstring& path)>& imagePathOf);

// The entry with that id, or an entry with id kNoProcessId and no name.
ProcessEntry FindProcessEntry(const std::vector<ProcessEntry>& entries, uint32_t id);

// Executable name of ownId's parent; empty when either is not in the list.
std::wstring ParentProcessName(const std::vector<ProcessEntry>& entries, uint32_t ownId);

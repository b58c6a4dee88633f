// Path, volume and privilege helpers of the copy engine. The text helpers
// (JoinPath, AddLongPathPrefix, GetVolumeRoot) are pure; the others are thin
// layers over the Windows file, volume and token calls.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FileIdentity.h"

// Capacity, in UTF-16 units with the terminator, of every path buffer the
// engine composes paths in.
constexpr size_t kCopyPathCapacity = 33028;
// Deepest folder nesting the tree walks follow. Far beyond any real tree; it
// stops a directory link that points back up from recursing until the stack
// runs out.
constexpr int kMaxTreeDepth = 256;
// Capacity of a volume root buffer.
constexpr size_t kVolumeRootCapacity = 130;

// out = dir + "\" + name (no backslash added when dir ends with one; just name
// when dir is empty). Returns false, leaving out empty, when the result does
// not fit in capacity units.
bool JoinPath(wchar_t* out, size_t capacity, const wchar_t* dir, const wchar_t* name);

// Gives a path the long-path prefix in place: \\server\share becomes
// \\?\UNC\server\share (returns 7), any other path gets \\?\ in front
// (returns 4). A path that already starts with \\?\ or \\.\ is left alone and
// 0 is returned; so is a path that would not fit in capacity units.
uint32_t AddLongPathPrefix(wchar_t* path, size_t capacity);

// The path without a long-path prefix: \\?\UNC\server\share becomes
// \\server\share, \\?\C:\x becomes C:\x; other paths are copied as they are.
// Returns false, leaving out empty, when the result does not fit.
bool RemoveLongPathPrefix(const wchar_t* path, wchar_t* out, size_t capacity);

// Writes the volume root of a full path into root (kVolumeRootCapacity
// units): "C:\" for C:\Users\x, "\\server\share\" for \\server\share\dir.
// Returns 1, or 0 for a null pointer or a root that does not fit.
int GetVolumeRoot(const wchar_t* path, wchar_t* root);

// 1 when two roots from GetVolumeRoot name the same volume.
int IsSameVolume(const wchar_t* root1, const wchar_t* root2);

// Bytes per sector of the volume; 2048 when the volume cannot be asked.
uint32_t GetSectorSize(const wchar_t* root);

// 1 NTFS, 2 any other local file system (or unknown), 3 network.
uint32_t GetFileSystemKind(const wchar_t* root);

// Enables a privilege such as "SeBackupPrivilege" in the process token.
// Non-zero when the token was adjusted (whether it held the privilege or not).
int EnablePrivilege(const wchar_t* name);

int GetFileSize64(const wchar_t* path, uint64_t* size);

// True when path equals dir or lies below it. Both are full paths written the
// same way (both prefixed or neither); case is ignored as the file system does.
bool IsSameOrInsidePath(const wchar_t* path, const wchar_t* dir);

// Adds the bytes and files below directory to *bytes and *files, walking
// subdirectories. A folder that is one of `excluded` (the identities of a
// destination and of the folders above it), when given, is left out with
// everything below it. Stops early when *cancel becomes non-zero. With
// longest, also keeps there the length of the longest path of an entry
// relative to directory (at least what it held). Returns 1, or 0 when a
// directory cannot be enumerated, its path does not fit, it lies deeper than
// kMaxTreeDepth or it cannot be told apart from `excluded`; the totals then
// hold what was counted before.
int CountTree(const wchar_t* directory, uint64_t* bytes, uint32_t* files, const std::atomic<uint32_t>* cancel,
              const std::vector<Ostra::FileIdentity>* excluded = nullptr, size_t* longest = nullptr);

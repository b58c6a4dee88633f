// How the system reads the spelling of an absolute path: device prefixes,
// either separator, doubled separators, "." and "..", drive and share roots.
// Plain text work on values; no system calls.
#pragma once

#include <cstddef>
#include <string>

// Removes the device prefixes \\?\, \??\ and \\.\ (repeatedly); \\?\UNC\server\share
// becomes \\server\share. literal, when given, tells whether \\?\ or \??\ was
// among them: the system then takes the rest of the path as it is written,
// without trimming dots and spaces at the end of a name.
std::wstring StripDevicePrefix(const std::wstring& path, bool* literal = nullptr);

// Length of the root of an absolute path ("D:\" or "\\server\share" with the
// separator after it, if any). 0 when the path is not absolute: relative ("sub",
// ".", ".."), drive-relative ("D:", "D:sub"), rooted on the current drive ("\sub")
// or a share without server or share name.
size_t AbsoluteRootLength(const std::wstring& path);

// The absolute path with "\" between names, "." dropped and ".." taking away the
// name before it but never the root. The root is "D:\" or "\\server\share\"; no
// other name is followed by a separator. With trimNameEnd, trailing dots and spaces
// of the last name go, as the system trims them. Empty when path is not absolute.
std::wstring NormaliseAbsolutePath(const std::wstring& path, bool trimNameEnd);

// normalised (from NormaliseAbsolutePath) is a drive root or a share root.
bool IsVolumeRoot(const std::wstring& normalised);

// folder is other or one of the folders that hold it; both normalised, compared exactly.
bool IsSameOrHoldingFolder(const std::wstring& folder, const std::wstring& other);

// normalised in the \\?\ form (\\?\UNC\server\share\... for shares).
std::wstring LiteralPath(const std::wstring& normalised);

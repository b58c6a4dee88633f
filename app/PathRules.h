// Path text rules of the migration: comparison, folder-chooser results, the
// bounded 260-character buffers the window works in. No Windows calls here.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Size of the fixed path buffers, terminator included (MAX_PATH).
constexpr std::size_t kPathBufferChars = 260;

// Each run of consecutive separators ("\" or "/") reduced to its first character.
std::wstring CollapseSeparatorRuns(const std::wstring& path);

// Same path under the process-matching rule: separator runs collapsed, then
// compared whole ignoring the case of A to Z. False when either is missing.
bool SamePath(const wchar_t* a, const wchar_t* b);

// The folder chooser's answer with one trailing separator removed (D:\ -> D:).
std::wstring StripOneTrailingSeparator(const std::wstring& path);

// The migration destination for a chosen folder: folder + "\Profiles".
std::wstring DestinationForFolder(const std::wstring& folder);

// The search pattern that tells whether a directory exists: "path\*.*", or
// "path*.*" when the path already ends in a separator. Empty when the pattern
// would not fit a 260-character buffer.
std::wstring DirectorySearchPattern(const std::wstring& path);

// True when a destination can be searched, created and copied into within the
// 260-character buffers (its search pattern fits).
bool FitsPathBuffers(const std::wstring& destination);

// The directories CreateDirectoryPath creates, in order, for a path that ends
// in a separator: the accumulated path after each component. Empty pieces
// (doubled or leading separators) add nothing; the "\\server\share\" root of a
// network path is kept whole and not listed, since it cannot be created.
// A last component without a trailing separator is not listed.
std::vector<std::wstring> DirectoryPrefixes(const std::wstring& path);

// True when candidate names the directory itself or a place inside it, ignoring
// the case of A to Z and treating "/" like "\" and separator runs as one.
bool IsSameOrInside(const std::wstring& candidate, const std::wstring& directory);

// True when both name the same directory under the rule of IsSameOrInside.
bool IsSameDirectory(const std::wstring& a, const std::wstring& b);

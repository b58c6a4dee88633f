// Cutting the path the system gives for an open file (GetFinalPathNameByHandle)
// into the paths of the folders above it. Pure text: no system calls.
#pragma once

#include <cstddef>
#include <string>

namespace Ostra {

// Units of the volume's root at the start of a final path, its backslash
// included: "\\?\C:\" (7), "\\?\UNC\server\share\", "\\?\Volume{guid}\".
// A path without the \\?\ prefix is taken the same way ("C:\", "\\server\share\").
// 0 when the path has no root this can tell.
size_t FinalPathRootLength(const std::wstring& path);

// Replaces path by the folder that holds it: "\\?\C:\a\b" becomes "\\?\C:\a",
// "\\?\C:\a" becomes "\\?\C:\". False, leaving path alone, for a root or a
// path without one.
bool CutToParent(std::wstring* path);

} // namespace Ostra

// Removing a folder tree as far as the system allows now; what refuses is
// moved aside and deleted at the next restart.
#pragma once

#include <cstdint>
#include <string>

// 1 if path named an existing directory when the call began, else 0 (and
// nothing is touched). A bare drive-relative "X:" is refused with 0.
int DeleteFolder(const std::wstring& path);

// Deletes the contents of folder (which ends in a separator) and then the
// folder. A directory junction or symbolic link is removed itself, never
// followed. With scheduleInPlace, a file that can be neither deleted nor
// moved aside is scheduled for deletion at restart under its own name.
int DeleteTree(const std::wstring& folder, bool scheduleInPlace);

// folder + name + "_d_" + tick count in lower-case hexadecimal.
std::wstring AsideName(const std::wstring& folder, const std::wstring& name, uint32_t tickCount);

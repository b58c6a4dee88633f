// Removing a folder tree as far as the system allows now; what refuses is
// moved aside and deleted at the next restart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// 1 if path named an existing directory when the call began, else 0 (and
// nothing is touched). Paths that DeletableFolder refuses give 0.
int DeleteFolder(const std::wstring& path);

// The folder a deletion of path would remove, spelled as it is deleted, or
// empty when the path must not be deleted: a path that is not absolute (it
// would depend on the current directory), the root of a drive or share in any
// spelling, and any of the system's top folders or a folder holding one.
std::wstring DeletableFolder(const std::wstring& path);

// The Windows, system, Program Files, program data and users folders, the
// public and the current user's profile and its Desktop, Documents, Downloads
// and AppData folders (with Roaming and Local), as the system names them.
std::vector<std::wstring> SystemTopFolders();

// Deletes the contents of folder (which ends in a separator) and then the
// folder. A directory junction or symbolic link is removed itself, never
// followed. With scheduleInPlace, a file that can be neither deleted nor
// moved aside is scheduled for deletion at restart under its own name.
int DeleteTree(const std::wstring& folder, bool scheduleInPlace);

// folder + name + "_d_" + tick count in lower-case hexadecimal.
std::wstring AsideName(const std::wstring& folder, const std::wstring& name, uint32_t tickCount);

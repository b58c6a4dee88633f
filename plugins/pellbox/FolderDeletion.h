// Removing a folder tree as far as the system allows now; what refuses is
// moved aside and deleted at the next restart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Ostra {
struct FileIdentity;
}

// 1 if path named an existing directory when the call began, else 0 (and
// nothing is touched). Paths that DeletableFolder refuses give 0.
int DeleteFolder(const std::wstring& path);

// The folder a deletion of path would remove, spelled as it is deleted, or
// empty when the path must not be deleted: a path that is not absolute (it
// would depend on the current directory), the root of a drive or share in any
// spelling, and any of the system's top folders or a folder holding one,
// whatever name reaches them (another drive letter on the same folder, a link,
// a short name). A folder that cannot be told apart from them is refused too.
// When checked is given, it receives the identity of the folder the checks judged.
std::wstring DeletableFolder(const std::wstring& path, Ostra::FileIdentity* checked = nullptr);

// The Windows, system, Program Files, program data and users folders, the
// public and the current user's profile and its Desktop, Documents, Downloads
// and AppData folders (with Roaming and Local), as the system names them.
std::vector<std::wstring> SystemTopFolders();

// Deletes the contents of folder (which ends in a separator) and then the
// folder, reaching every entry through its folder's open handle. A directory
// junction or symbolic link is removed itself, never followed; where the
// system cannot open a link as itself (Wine), the link is left in place. A
// file with other hard links keeps its attributes under those names. A file in
// use is moved aside and scheduled for deletion at restart (with
// scheduleInPlace, under its own name when it cannot be moved), and each
// folder it keeps is scheduled after it, deepest first.
// With checked, a folder that is no longer that object when it is reached
// again is left untouched and the result is 0.
int DeleteTree(const std::wstring& folder, bool scheduleInPlace, const Ostra::FileIdentity* checked = nullptr);

// folder + name + "_d_" + tick count in lower-case hexadecimal.
std::wstring AsideName(const std::wstring& folder, const std::wstring& name, uint32_t tickCount);

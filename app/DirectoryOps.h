// Existence tests, creation and inspection of the migration's folders.
#pragma once

#include "MigrationController.h"

#include <string>

// The file a copy leaves in its destination until it is complete.
extern const wchar_t kUnfinishedMarkName[];

// True when a search inside path finds at least one entry (an existing
// directory always has "."). False for a plain file and for a path whose
// search pattern does not fit 260 characters.
bool DirectoryExists(const std::wstring& path);

// Creates every missing directory along path, which ends in a separator; a
// last component without one is not created. False at the first failure.
bool CreateDirectoryPath(const std::wstring& path);

// True for an existing folder, or a link to one.
bool IsExistingFolder(const std::wstring& path);

// The full path: relative parts and "." / ".." resolved, "/" as "\", short
// names of the existing part made long, no long-path prefix, no trailing
// separator except a drive root's. The path as given when it cannot be resolved.
std::wstring FullPath(const std::wstring& path);

// What a destination folder holds; reads the mark of an unfinished copy.
DestinationContents InspectDestination(const std::wstring& destination);

// Writes the mark (the source's path as UTF-8 text) into destination.
bool MarkUnfinishedCopy(const std::wstring& destination, const std::wstring& source);
// Removes the mark; true when it is gone.
bool ClearUnfinishedMark(const std::wstring& destination);

// Removes from copy (a marked, unfinished copy of source made by an earlier
// run) every file, folder and link that source no longer has, so that the
// copy holds exactly what source holds; the mark stays. The copy's folder is
// writable by the user's other programs while Movara runs elevated: nothing
// is followed through a link (a link is removed itself), and each entry is
// removed through its own handle only when it lies inside copy by identity.
MirrorOutcome RemoveWhatSourceLacks(const std::wstring& source, const std::wstring& copy);

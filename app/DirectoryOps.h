// Existence test and creation of the migration's destination directory.
#pragma once

#include <string>

// True when a search inside path finds at least one entry (an existing
// directory always has "."). False for a plain file and for a path whose
// search pattern does not fit 260 characters.
bool DirectoryExists(const std::wstring& path);

// Creates every missing directory along path, which ends in a separator; a
// last component without one is not created. False at the first failure.
bool CreateDirectoryPath(const std::wstring& path);

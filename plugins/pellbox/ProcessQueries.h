// Process questions of the installer: WOW64, whether a program is running
// (by image path, file name or directory) and the parent's name.
#pragma once

#include "ProcessMatch.h"

#include <string>
#include <vector>

// Non-zero when the process runs under WOW64; computed once.
int IsWow64();

// Binds GetModuleFileNameExW and GetProcessImageFileNameW from Psapi.dll.
bool BindProcessNameFunctions();

// The Tool Help process snapshot as entries; false when none could be taken.
bool TakeProcessSnapshot(std::vector<ProcessEntry>& entries);

int IsProcessRunningByFilePath(const std::wstring& path);
int IsProcessRunningByFileName(const std::wstring& name);
int IsProcessRunningByDirectory(const std::wstring& directory);

std::wstring GetParentProcessName();

// The shell's folder browser, as the migration window uses it.
#pragma once

#include <windows.h>

#include <string>

// Lets the user pick a file-system folder; false when cancelled or when the
// folder has no file-system path. The folder comes without a trailing
// separator (the drive root D:\ as D:).
bool ChooseFolder(HWND owner, std::wstring* folder);

// The exported operations of Pellbox: each NSIS export takes its argument
// from the installer's stack and pushes one result; each DLL twin takes and
// returns plain values. Text results of the twins are new[]'d and owned by
// the caller.
#pragma once

#include "PluginFrame.h"

#define PELLBOX_NSIS_EXPORT(name)                                                                                      \
    void __cdecl name(HWND hwndParent, int string_size, wchar_t* variables, stack_t** stacktop, extra_parameters* extra)

extern "C" {

PELLBOX_NSIS_EXPORT(NSISDeleteFolder);
PELLBOX_NSIS_EXPORT(NSISIsWow64);
PELLBOX_NSIS_EXPORT(NSISIsProcessRunningByFilePath);
PELLBOX_NSIS_EXPORT(NSISIsProcessRunningByFileName);
PELLBOX_NSIS_EXPORT(NSISIsProcessRunningByDirectory);
PELLBOX_NSIS_EXPORT(NSISGetHardSNW);
PELLBOX_NSIS_EXPORT(NSISGetAppUUID);
PELLBOX_NSIS_EXPORT(NSISUrlEncode);
PELLBOX_NSIS_EXPORT(NSISGetMacAddress);
PELLBOX_NSIS_EXPORT(NSISGetParentProcessName);
PELLBOX_NSIS_EXPORT(NSISGetLocalTimeString);
PELLBOX_NSIS_EXPORT(NSISRebuildIconCache);

int __cdecl DLLDeleteFolder(const wchar_t* path);
int __cdecl DLLIsWow64();
int __cdecl DLLIsProcessRunningByFilePath(const wchar_t* path);
int __cdecl DLLIsProcessRunningByFileName(const wchar_t* name);
int __cdecl DLLIsProcessRunningByDirectory(const wchar_t* directory);
wchar_t* __cdecl DLLGetHardSNW();
wchar_t* __cdecl DLLGetAppUUID();
wchar_t* __cdecl DLLUrlEncode(const wchar_t* text);
wchar_t* __cdecl DLLGetMacAddress();
wchar_t* __cdecl DLLGetParentProcessName();
wchar_t* __cdecl DLLGetLocalTimeString();

} // extern "C"

// Stopping and starting the mail client that lies beside this program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The command line the client is started with after a migration.
extern const wchar_t kClientCommandLine[];

// Full path of fileName in this program's own directory; empty when the module
// path cannot be read whole or holds no "\".
std::wstring ProgramDirectoryPath(const wchar_t* fileName);

// Ids of every running process; empty when the listing fails.
std::vector<DWORD> ListProcessIds();

// The path a process was started from, read from its module list; empty when
// the list cannot be read, as for a 64-bit process seen from a 32-bit one.
std::wstring ModuleListPath(HANDLE process);

// How the client checks read a process's module list. They fall back to the
// image path the system keeps when it answers nothing, so a reader that never
// answers shows how a client of the other architecture is handled.
using ModulePathReader = std::wstring (*)(HANDLE process);

// True when another process (not this one) runs from imagePath.
bool IsClientRunning(const std::wstring& imagePath, ModulePathReader readModules = ModuleListPath);

// Terminates every other process running from imagePath and waits (up to 5 s
// each) for it to end; true when at least one was found and all of them ended.
bool TerminateClient(const std::wstring& imagePath, ModulePathReader readModules = ModuleListPath);

// True when no client of imagePath runs, or once TerminateClient has ended
// them; otherwise retries four times, retryDelayMs apart.
bool EnsureClientStopped(const std::wstring& imagePath, DWORD retryDelayMs = 5000,
                         ModulePathReader readModules = ModuleListPath);

// Mandatory integrity level of a process (0x2000 medium, 0x3000 high); 0x3000
// whenever the level cannot be read. Returns a result code.
std::int32_t GetIntegrityLevel(DWORD processId, DWORD* level);

// Starts the client with kClientCommandLine: with the desktop shell's token
// when this program is elevated and the shell is not, else with its own.
std::int32_t LaunchClient(const std::wstring& imagePath);

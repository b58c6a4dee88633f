// A program that meets a fault no handler takes ends with its own exit code
// and one line saying where, never with a code a caller could read as
// success (Wine, for one, has been seen to give 0 for a page fault).
#pragma once

namespace Ostra {

// The exit code of a process ended by a fault.
constexpr int kExitCrashed = 6;

// Installs the filter for unhandled exceptions and the handler for C++
// termination. On a fault the line
//   <before>0xC0000005<between><module>+0x<offset><after>
// is written to the report file (UTF-8, appended) or, while none is set, to
// standard error, and the process ends with kExitCrashed. The texts are
// copied (at most 255 units each).
void InstallCrashExit(const wchar_t* before, const wchar_t* between, const wchar_t* after);

// Where the line goes from now on: a file to append to; null or empty for
// standard error. The path is copied (at most 32,767 units; a longer one is
// ignored).
void SetCrashReportFile(const wchar_t* path);

} // namespace Ostra

// Movara's command line. Without switches the window opens (stray arguments
// make no difference). The unattended form follows the installer habit:
//   Movara.exe /S [/RUN] /D=<folder>
// with /D= last and the rest of the line, spaces included, the folder. No Windows calls here.
#pragma once

#include <string>

struct MovaraOptions {
    enum class Mode {
        Window,       // no switch at all
        Unattended,   // /S with an absolute /D= folder
        Usage,        // /? anywhere
        BadArguments, // switches that do not make an unattended run
    };
    Mode mode = Mode::Window;
    bool relaunch = false; // /RUN: start the mail client after a completed migration
    bool verify = true;    // /NOVERIFY turns off reading the copy back before the redirect
    std::wstring folder;   // the folder a user would pick; the copy goes into its Profiles
};

MovaraOptions ParseCommandLine(const std::wstring& arguments);

// True for "X:", "X:\..." and "\\server\share..." paths.
bool IsAbsoluteFolder(const std::wstring& path);

extern const wchar_t kUsageText[];

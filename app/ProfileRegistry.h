// The mail client's per-user profile registry: %APPDATA%\harbec\Tarn\profiles.ini,
// section "Profile0" only. Paths are composed in UTF-16 so that names outside
// code page 936 survive; a composed path longer than MAX_PATH is refused (empty).
#pragma once

#include <functional>
#include <string>

// The roaming application-data folder, or empty when it cannot be obtained.
std::wstring GetAppDataFolder();

// %APPDATA% followed by suffix, or empty when the folder cannot be obtained or
// the result does not fit MAX_PATH.
std::wstring GetAppDataPath(const std::wstring& suffix);

// The profile directory named by Profile0, or empty when the registry gives
// none. An absolute profile (IsRelative other than 1) must name an absolute
// path; a relative one would be resolved against whatever folder the program
// runs in, so it counts as none.
std::wstring ReadProfileDirectory();
// Same, with the application-data folder given (tests use their own folder).
std::wstring ReadProfileDirectory(const std::wstring& appDataFolder);

// The steps of a rewrite, for a test that fails one of them.
enum class RewriteStep { ReadOriginal, CreateCopy, WriteValues, ReadBack, KeepBackup, Replace };

// Points Profile0 at newDirectory (absolute): Path, IsRelative=0, Default=1,
// in one step. The three values are written into a copy beside profiles.ini
// by the private-profile functions (which keep the file's encoding), read
// back, and the copy then takes profiles.ini's place in a single rename; the
// previous file stays as profiles.ini.movara-backup. True when profiles.ini
// now holds the new values; otherwise it is byte for byte what it was. Writes
// nothing when the file is missing or Profile0 is not the default profile.
// failStep, when given, is asked before each step and fails it by answering true.
bool RewriteProfilePath(const std::wstring& newDirectory);
bool RewriteProfilePath(const std::wstring& appDataFolder, const std::wstring& newDirectory,
                        const std::function<bool(RewriteStep)>& failStep = nullptr);

// The registry file's path under appDataFolder, or empty when it cannot be composed.
std::wstring ProfileRegistryPath(const std::wstring& appDataFolder);

// True when profiles.ini can store path exactly: always for a UTF-16 file;
// for an ANSI one only when path survives a round trip through the system's
// code page.
bool RegistryCanHold(const std::wstring& iniPath, const std::wstring& path);

// A value of the INI file, empty when absent; values longer than 1,023
// characters arrive cut to 1,023.
std::wstring ReadIniValue(const std::wstring& iniPath, const std::wstring& section, const std::wstring& key);

// Writes one key of section "Profile0"; true when the system call succeeded.
bool WriteProfile0Value(const std::wstring& iniPath, const std::wstring& key, const std::wstring& value);

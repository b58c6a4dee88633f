// The mail client's per-user profile registry: %APPDATA%\harbec\Tarn\profiles.ini,
// section "Profile0" only. Paths are composed in UTF-16 so that names outside
// code page 936 survive; a composed path longer than MAX_PATH is refused (empty).
#pragma once

#include <string>

// The roaming application-data folder, or empty when it cannot be obtained.
std::wstring GetAppDataFolder();

// %APPDATA% followed by suffix, or empty when the folder cannot be obtained or
// the result does not fit MAX_PATH.
std::wstring GetAppDataPath(const std::wstring& suffix);

// The profile directory named by Profile0, or empty when the registry gives none.
std::wstring ReadProfileDirectory();
// Same, with the application-data folder given (tests use their own folder).
std::wstring ReadProfileDirectory(const std::wstring& appDataFolder);

// Points Profile0 at newDirectory (absolute): Path, IsRelative=0, Default=1.
// Writes nothing when the file is missing or Profile0 is not the default profile.
void RewriteProfilePath(const std::wstring& newDirectory);
void RewriteProfilePath(const std::wstring& appDataFolder, const std::wstring& newDirectory);

// A value of the INI file, empty when absent; values longer than 1,023
// characters arrive cut to 1,023.
std::wstring ReadIniValue(const std::wstring& iniPath, const std::wstring& section, const std::wstring& key);

// Writes one key of section "Profile0"; true when the system call succeeded.
bool WriteProfile0Value(const std::wstring& iniPath, const std::wstring& key, const std::wstring& value);

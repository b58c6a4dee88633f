// The migration log: a UTF-8 text file with a byte-order mark (so Notepad
// shows the Chinese), named after the time of its first line. Each line is
// appended and the file closed again, so a run that ends abruptly still leaves
// everything it wrote. The newest log of the process is also where a fault
// that ends it is reported (CrashExit.h).
#pragma once

#include <string>

class MigrationLogFile {
public:
    // folder empty: %LOCALAPPDATA%\Ostra Mail\Movara.
    explicit MigrationLogFile(std::wstring folder = std::wstring()) : folder_(std::move(folder)) {}

    // Creates the file on the first call; false when it cannot be written.
    bool Append(const std::wstring& line);
    // Empty until the file exists.
    const std::wstring& path() const { return path_; }

private:
    bool Create();

    std::wstring folder_;
    std::wstring path_;
    bool failed_ = false;
    // What the created file is, so that every append goes to it and nowhere else.
    unsigned long volumeSerial_ = 0;
    unsigned long long fileIndex_ = 0;
};

// "migration-20261207-173005.log" for the given local time.
std::wstring LogFileName(int year, int month, int day, int hour, int minute, int second);

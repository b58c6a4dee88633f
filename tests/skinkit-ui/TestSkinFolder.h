// A throw-away skin folder in the temporary directory that the process-wide
// skin store reads from while the object lives.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class TestSkinFolder {
public:
    TestSkinFolder();
    ~TestSkinFolder();
    TestSkinFolder(const TestSkinFolder&) = delete;
    TestSkinFolder& operator=(const TestSkinFolder&) = delete;

    const std::wstring& Path() const { return m_path; }
    void WriteText(const std::wstring& name, const std::wstring& utf16);
    void WriteBytes(const std::wstring& name, const std::vector<uint8_t>& bytes);

private:
    std::wstring m_path;
    std::vector<std::wstring> m_files;
};

#include "TestSkinFolder.h"

#include "SkinResources.h"

#include <atomic>

TestSkinFolder::TestSkinFolder() {
    static std::atomic<int> counter{0};
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    m_path = std::wstring(temp) + L"skinkit-ui-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
             std::to_wstring(counter++) + L"\\";
    ::CreateDirectoryW(m_path.c_str(), nullptr);
    SkinKit::SkinStore().ClearResourceZip();
    SkinKit::SkinStore().SetResourcePath(m_path.c_str());
}

TestSkinFolder::~TestSkinFolder() {
    for (const std::wstring& f : m_files)
        ::DeleteFileW((m_path + f).c_str());
    ::RemoveDirectoryW(m_path.c_str());
    SkinKit::SkinStore().SetResourcePath(L"");
}

void TestSkinFolder::WriteText(const std::wstring& name, const std::wstring& utf16) {
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, utf16.c_str(), static_cast<int>(utf16.size()), nullptr, 0, nullptr, nullptr);
    std::vector<uint8_t> bytes(static_cast<size_t>(n));
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.c_str(), static_cast<int>(utf16.size()),
                          reinterpret_cast<char*>(bytes.data()), n, nullptr, nullptr);
    WriteBytes(name, bytes);
}

void TestSkinFolder::WriteBytes(const std::wstring& name, const std::vector<uint8_t>& bytes) {
    HANDLE file = ::CreateFileW((m_path + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    m_files.push_back(name);
}

// An installer string stack built the way the NSIS host builds it, for
// calling the NSIS exports directly.
#pragma once

#include "PellboxExports.h"

#include <string>
#include <vector>

class FakeInstallerStack {
public:
    explicit FakeInstallerStack(int stringSize = 1024);
    ~FakeInstallerStack();
    FakeInstallerStack(const FakeInstallerStack&) = delete;
    FakeInstallerStack& operator=(const FakeInstallerStack&) = delete;

    void Push(const std::wstring& text);
    std::wstring Pop();
    size_t Depth() const;

    // Calls an NSIS export with this stack and a host that records callback registrations.
    void Call(decltype(&NSISIsWow64) exportFunction);

    stack_t* top = nullptr;
    int stringSize;
    wchar_t variables[16] = {};
    extra_parameters extra = {};

    static int registrations;
    static HMODULE registeredModule;
    static NSISPLUGINCALLBACK registeredCallback;
};

// Calls an NSIS export that takes one argument and returns what it pushed.
std::wstring CallWithArgument(decltype(&NSISIsWow64) exportFunction, const std::wstring& argument);
std::wstring CallWithoutArgument(decltype(&NSISIsWow64) exportFunction);

// A fresh empty directory under the temporary folder, ending in "\".
std::wstring MakeScratchDirectory(const std::wstring& label);
void WriteTextFile(const std::wstring& path, const char* text);
bool PathExists(const std::wstring& path);

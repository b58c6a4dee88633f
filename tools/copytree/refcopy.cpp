// refcopy SOURCE DESTINATION: the plainest sequential copy of a tree with the
// Win32 file calls (1 MiB reads and writes, times and attributes applied),
// used as the yardstick for copytree. Prints its own elapsed seconds.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "UniqueHandle.h"

namespace {

struct Totals {
    unsigned long long files = 0;
    unsigned long long bytes = 0;
    unsigned long long errors = 0;
};

constexpr DWORD kPiece = 1024 * 1024;

void CopyOne(const std::wstring& source, const std::wstring& destination, const WIN32_FIND_DATAW& data,
             std::vector<char>& buffer, Totals& totals) {
    Ostra::UniqueFile in(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    Ostra::UniqueFile out(
        CreateFileW(destination.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in || !out) {
        ++totals.errors;
        return;
    }
    for (;;) {
        DWORD got = 0, put = 0;
        if (!ReadFile(in.get(), buffer.data(), kPiece, &got, nullptr)) {
            ++totals.errors;
            return;
        }
        if (got == 0)
            break;
        if (!WriteFile(out.get(), buffer.data(), got, &put, nullptr) || put != got) {
            ++totals.errors;
            return;
        }
        totals.bytes += got;
    }
    SetFileTime(out.get(), &data.ftCreationTime, &data.ftLastAccessTime, &data.ftLastWriteTime);
    out.reset();
    SetFileAttributesW(destination.c_str(), data.dwFileAttributes);
    ++totals.files;
}

void CopyTree(const std::wstring& source, const std::wstring& destination, std::vector<char>& buffer, Totals& totals) {
    WIN32_FIND_DATAW data;
    Ostra::UniqueFind find(FindFirstFileW((source + L"\\*").c_str(), &data));
    if (!find) {
        ++totals.errors;
        return;
    }
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        std::wstring from = source + L"\\" + name;
        std::wstring to = destination + L"\\" + name;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            CreateDirectoryW(to.c_str(), nullptr);
            CopyTree(from, to, buffer, totals);
        } else {
            CopyOne(from, to, data, buffer, totals);
        }
    } while (FindNextFileW(find.get(), &data));
}

struct LocalFreer {
    void operator()(wchar_t** p) const { LocalFree(p); }
};

} // namespace

int main() {
    int argc = 0;
    std::unique_ptr<wchar_t*, LocalFreer> argv(CommandLineToArgvW(GetCommandLineW(), &argc));
    if (!argv || argc != 3) {
        fprintf(stderr, "usage: refcopy SOURCE DESTINATION\n");
        return 2;
    }
    std::vector<char> buffer(kPiece);
    Totals totals;
    LARGE_INTEGER frequency, started, ended;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    CopyTree(argv.get()[1], argv.get()[2], buffer, totals);
    QueryPerformanceCounter(&ended);
    printf("files=%llu bytes=%llu errors=%llu seconds=%.3f\n", totals.files, totals.bytes, totals.errors,
           double(ended.QuadPart - started.QuadPart) / double(frequency.QuadPart));
    return totals.errors ? 1 : 0;
}

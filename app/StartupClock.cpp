#include "StartupClock.h"

#include <windows.h>

#include <cwchar>

namespace {
LARGE_INTEGER programStart = {};
}

void MarkProgramStart() {
    QueryPerformanceCounter(&programStart);
}

double MillisecondsSinceProgramStart() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    if (frequency.QuadPart == 0)
        return 0;
    return static_cast<double>(now.QuadPart - programStart.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void NoteTiming(const wchar_t* what) {
    wchar_t line[160];
    swprintf(line, sizeof(line) / sizeof(line[0]), L"Movara: %ls at %.1f ms\n", what, MillisecondsSinceProgramStart());
    OutputDebugStringW(line);
}

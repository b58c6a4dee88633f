// The library's exports: two NSIS plug-in calls and the plain event twin.
//
// A statistics document is pushed whole or not at all: when it does not fit in
// the host's string size (string_size - 1 units), the export pushes the empty
// string, which the script can test for before sending anything. The document
// with a machine profile is about a thousand characters, so the standard NSIS
// build with 1,024-unit strings often cannot carry it; production installers
// should use an NSIS build with large strings (8,192 units). The plain twin
// always returns the whole document.
#include "CodePageText.h"
#include "NumberText.h"
#include "PluginFrame.h"
#include "Statistics.h"

#include <windows.h>

#include <cwchar>
#include <memory>

using namespace Tallywick;

namespace {

// Argument buffers: at least 8,195 characters and the terminator, more when the host's strings are longer.
const size_t kTextCapacity = 8196;
const size_t kIntegerCapacity = 40;

std::wstring PopText() {
    std::wstring text;
    PopWholeString(text, kTextCapacity);
    return text;
}

int PopInt() {
    wchar_t buffer[kIntegerCapacity] = {};
    PopString(buffer);
    return ParseStackInteger(buffer);
}

// A cut document would be invalid JSON that a server might still half-read.
void PushResult(const std::wstring& text) {
    PushWholeString(text);
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    SetPluginModule(instance);
    return TRUE;
}

__declspec(dllexport) wchar_t* DLLGetOneEventStatistics(const wchar_t* uuid, const wchar_t* eventId, int cid,
                                                        int protocol, const wchar_t* ver, const wchar_t* p) {
    try {
        EventArguments args;
        args.uuid = uuid ? uuid : L"";
        args.eventId = eventId ? eventId : L"";
        args.cid = cid;
        args.protocol = protocol;
        args.ver = ver ? ver : L"";
        args.p = p ? p : L"";
        // The serialised document is UTF-8 (in practice ASCII: the writer escapes the rest).
        return NewCallerString(CodePageToWide(CP_UTF8, EventPayload(args)));
    } catch (...) {
        try {
            return NewCallerString(L"");
        } catch (...) {
            return nullptr;
        }
    }
}

__declspec(dllexport) void NSISGetOneEventStatistics(HWND hwndParent, int string_size, wchar_t* variables,
                                                     stack_t** stacktop, extra_parameters* extra) {
    EnterPluginFrame(string_size, variables, stacktop, extra);
    try {
        std::wstring uuid = PopText();
        std::wstring eventId = PopText();
        int cid = PopInt();
        int protocol = PopInt();
        std::wstring ver = PopText();
        std::wstring p = PopText();
        std::unique_ptr<wchar_t[]> payload(
            DLLGetOneEventStatistics(uuid.c_str(), eventId.c_str(), cid, protocol, ver.c_str(), p.c_str()));
        PushResult(payload ? payload.get() : L"");
    } catch (...) {
        PushString(L"");
    }
}

__declspec(dllexport) void NSISGetUnInstallStatistics(HWND hwndParent, int string_size, wchar_t* variables,
                                                      stack_t** stacktop, extra_parameters* extra) {
    EnterPluginFrame(string_size, variables, stacktop, extra);
    UninstallArguments args;
    std::wstring first, second, third;
    try {
        args.uuid = PopText();
        first = PopText();
        second = PopText();
        third = PopText();
        args.question = PopText();
        args.qq = PopText();
        args.email = PopText();
        args.telephone = PopText();
        args.ver = PopText();
        args.p = PopText();
        args.options = OptionsFromTexts(first, second, third);
        PushResult(FromNarrowText(UninstallPayload(args)));
    } catch (...) {
        PushString(L"");
    }
}

} // extern "C"

#include "CommandLine.h"

#include "PathRules.h"

#include <cwctype>

const wchar_t kUsageText[] =
    L"Movara.exe [/S [/RUN] [/NOVERIFY] /D=<文件夹>]\r\n"
    L"  无参数        打开迁移窗口\r\n"
    L"  /S           不显示窗口，将Ostra Mail数据迁移到 <文件夹>\\Profiles\r\n"
    L"  /RUN         迁移完成后启动Ostra Mail\r\n"
    L"  /NOVERIFY    复制后不读回校验（默认逐个文件读回比对后才改动配置）\r\n"
    L"  /D=<文件夹>   目标文件夹，必须放在最后，可含空格\r\n"
    L"退出码：0 已迁移；1 复制未完成（未改动配置）；2 参数错误、目标被拒绝或已有Movara在运行；\r\n"
    L"        3 无法关闭Ostra Mail；4 磁盘空间不足；5 找不到旧数据；\r\n"
    L"        6 程序异常终止（日志最后一行说明位置）\r\n";

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

bool SameSwitch(const std::wstring& token, const wchar_t* name) {
    std::size_t i = 0;
    for (; name[i] != L'\0'; ++i) {
        if (i >= token.size() || std::towupper(token[i]) != std::towupper(name[i]))
            return false;
    }
    return i == token.size();
}

bool StartsWithFolderSwitch(const std::wstring& text, std::size_t at) {
    return text.size() >= at + 3 && text[at] == L'/' && std::towupper(text[at + 1]) == L'D' && text[at + 2] == L'=';
}

} // namespace

bool IsAbsoluteFolder(const std::wstring& path) {
    if (path.size() >= 2 && std::iswalpha(path[0]) && path[1] == L':')
        return path.size() == 2 || path[2] == L'\\' || path[2] == L'/';
    if (path.size() > 2 && path[0] == L'\\' && path[1] == L'\\')
        return path.find(L'\\', 2) != std::wstring::npos && path.compare(0, 4, L"\\\\?\\") != 0 &&
               path.compare(0, 4, L"\\\\.\\") != 0;
    return false;
}

MovaraOptions ParseCommandLine(const std::wstring& arguments) {
    MovaraOptions options;
    bool silent = false, anySwitch = false, unknown = false, haveFolder = false;
    std::size_t at = 0;
    while (at < arguments.size()) {
        while (at < arguments.size() && IsBlank(arguments[at]))
            ++at;
        if (at >= arguments.size())
            break;
        // "/D=C:\Mail Data" quoted whole, as a launcher quoting each argument writes it.
        const bool quoted = arguments[at] == L'"' && StartsWithFolderSwitch(arguments, at + 1);
        if (quoted || StartsWithFolderSwitch(arguments, at)) {
            std::wstring folder = arguments.substr(at + (quoted ? 4 : 3));
            while (!folder.empty() && (IsBlank(folder.back()) || folder.back() == L'\r' || folder.back() == L'\n'))
                folder.pop_back();
            if (quoted && !folder.empty() && folder.back() == L'"')
                folder.pop_back();
            else if (!quoted && folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"')
                folder = folder.substr(1, folder.size() - 2);
            // A chosen drive root D:\ is the folder D:, as in the folder browser.
            options.folder = StripOneTrailingSeparator(folder);
            haveFolder = anySwitch = true;
            break;
        }
        std::size_t end = at;
        while (end < arguments.size() && !IsBlank(arguments[end]))
            ++end;
        const std::wstring token = arguments.substr(at, end - at);
        at = end;
        if (SameSwitch(token, L"/?")) {
            options.mode = MovaraOptions::Mode::Usage;
            return options;
        }
        if (SameSwitch(token, L"/S"))
            silent = anySwitch = true;
        else if (SameSwitch(token, L"/RUN"))
            options.relaunch = anySwitch = true;
        else if (SameSwitch(token, L"/NOVERIFY")) {
            options.verify = false;
            anySwitch = true;
        } else
            unknown = true;
    }
    if (!anySwitch)
        return options; // the window, whatever else the line holds
    const bool folderUsable =
        haveFolder && IsAbsoluteFolder(options.folder) && options.folder.find(L'"') == std::wstring::npos;
    options.mode =
        (silent && folderUsable && !unknown) ? MovaraOptions::Mode::Unattended : MovaraOptions::Mode::BadArguments;
    return options;
}

#include "ProcessMatch.h"

#include "PathSpelling.h"

namespace {

wchar_t FoldAscii(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

} // namespace

bool EqualsIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return true;
}

bool IsSkippedProcess(uint32_t id, uint32_t ownId) {
    return id == ownId || id == 0 || id == 4;
}

std::wstring DeviceFormPath(const std::wstring& path, const std::wstring& deviceName) {
    std::wstring target = deviceName;
    if (!target.empty() && target.back() != L'\\' && target.back() != L'/')
        target += L'\\';
    if (path.size() > 3)
        target.append(path, 3, std::wstring::npos);
    return target;
}

std::wstring ComparablePath(const std::wstring& path) {
    const std::wstring stripped = StripDevicePrefix(path);
    const std::wstring normalised = NormaliseAbsolutePath(stripped, false);
    return normalised.empty() ? stripped : normalised;
}

bool AnyProcessNamed(const std::vector<ProcessEntry>& entries, uint32_t ownId, const std::wstring& name) {
    for (const ProcessEntry& entry : entries) {
        if (!IsSkippedProcess(entry.id, ownId) && EqualsIgnoringAsciiCase(entry.exeName, name))
            return true;
    }
    return false;
}

bool AnyProcessWithImagePath(const std::vector<ProcessEntry>& entries, uint32_t ownId, const std::wstring& target,
                             const std::function<bool(uint32_t id, std::wstring& path)>& imagePathOf,
                             const std::function<bool(uint32_t id)>& runsTarget) {
    const std::wstring comparableTarget = ComparablePath(target);
    for (const ProcessEntry& entry : entries) {
        if (IsSkippedProcess(entry.id, ownId))
            continue;
        std::wstring path;
        if (imagePathOf(entry.id, path) && !path.empty() &&
            EqualsIgnoringAsciiCase(ComparablePath(path), comparableTarget))
            return true;
        if (runsTarget && runsTarget(entry.id))
            return true;
    }
    return false;
}

bool AnyProgramInUseInDirectory(const std::vector<ProcessEntry>& entries, uint32_t ownId, const std::wstring& directory,
                                const std::function<ProgramFileState(const std::wstring& candidate)>& probe,
                                const std::function<bool(uint32_t id, std::wstring& path)>& imagePathOf) {
    for (const ProcessEntry& entry : entries) {
        if (IsSkippedProcess(entry.id, ownId))
            continue;
        const std::wstring candidate = directory + entry.exeName;
        const ProgramFileState state = probe(candidate);
        if (state == ProgramFileState::Locked)
            return true;
        if (state != ProgramFileState::Refused)
            continue;
        // A file we may not open proves nothing by itself; the process must have started from it.
        std::wstring image;
        if (imagePathOf(entry.id, image) && !image.empty() &&
            EqualsIgnoringAsciiCase(ComparablePath(image), ComparablePath(candidate)))
            return true;
    }
    return false;
}

ProcessEntry FindProcessEntry(const std::vector<ProcessEntry>& entries, uint32_t id) {
    for (const ProcessEntry& entry : entries) {
        if (entry.id == id)
            return entry;
    }
    ProcessEntry none;
    none.id = kNoProcessId;
    return none;
}

std::wstring ParentProcessName(const std::vector<ProcessEntry>& entries, uint32_t ownId) {
    const ProcessEntry own = FindProcessEntry(entries, ownId);
    if (own.id == kNoProcessId)
        return {};
    return FindProcessEntry(entries, own.parentId).exeName;
}

#include "SkinResources.h"

#include "UniqueHandle.h"
#include "ValueSyntax.h"

namespace SkinKit {

namespace {

// Archive files may be larger than any single skin file they hold.
const size_t kMaxArchiveFileSize = 256u * 1024 * 1024;

const wchar_t* ReadFileLimited(const std::wstring& path, size_t limit, std::vector<uint8_t>& bytes) {
    bytes.clear();
    Ostra::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return L"Error opening file";
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size))
        return L"Error opening file";
    if (size.QuadPart == 0)
        return L"File is empty";
    if (size.QuadPart < 0 || static_cast<unsigned long long>(size.QuadPart) > limit)
        return L"File too large";
    std::vector<uint8_t> data(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < data.size()) {
        DWORD chunk = static_cast<DWORD>(data.size() - done);
        DWORD read = 0;
        if (!::ReadFile(file.get(), data.data() + done, chunk, &read, nullptr) || read == 0)
            break;
        done += read;
    }
    if (done < data.size())
        return L"Could not read file";
    bytes.swap(data);
    return nullptr;
}

// A text of digits names a numeric resource id; anything else is a string name.
const wchar_t* ResourceName(const wchar_t* text) {
    if (!text || *text == 0)
        return text;
    for (const wchar_t* p = text; *p != 0; ++p)
        if (*p < L'0' || *p > L'9')
            return text;
    int id = ParseInt(text);
    if (id <= 0 || id > 0xFFFF)
        return text;
    return MAKEINTRESOURCEW(id);
}

} // namespace

const wchar_t* ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& bytes) {
    return ReadFileLimited(path, kMaxSkinFileSize, bytes);
}

bool ToArchiveName(const wchar_t* name, std::string& out, UINT codePage) {
    out.clear();
    if (!name || *name == 0)
        return false;
    // Slashes are turned before the conversion: in double-byte code pages a trail
    // byte may have the value of a backslash.
    std::wstring wide(name);
    for (wchar_t& c : wide)
        if (c == L'\\')
            c = L'/';
    // A name with characters the code page lacks cannot name any entry.
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = codePage == CP_UTF8 ? nullptr : &usedDefault;
    int needed = WideCharToMultiByte(codePage, 0, wide.c_str(), -1, nullptr, 0, nullptr, usedDefaultOut);
    if (needed <= 1 || static_cast<size_t>(needed - 1) > kMaxZipNameLength || usedDefault)
        return false;
    char buffer[kMaxZipNameLength + 1];
    if (WideCharToMultiByte(codePage, 0, wide.c_str(), -1, buffer, sizeof(buffer), nullptr, nullptr) != needed)
        return false;
    out.assign(buffer, static_cast<size_t>(needed - 1));
    return true;
}

HINSTANCE CSkinStore::GetResourceInstance() const {
    return m_instance ? m_instance : GetModuleHandleW(nullptr);
}

void CSkinStore::SetResourcePath(const wchar_t* path) {
    m_path = path ? path : L"";
}

void CSkinStore::SetResourceZip(const wchar_t* name, bool keepOpen) {
    m_zip.Close();
    m_zipKind = ZipKind::File;
    m_zipName = name ? name : L"";
    m_keepOpen = keepOpen;
}

void CSkinStore::SetResourceZip(const void* data, size_t size) {
    m_zipName.clear();
    m_zipKind = ZipKind::Memory;
    m_keepOpen = true;
    m_zip.Open(data, size);
}

void CSkinStore::ClearResourceZip() {
    m_zip.Close();
    m_zipKind = ZipKind::None;
    m_zipName.clear();
    m_keepOpen = false;
}

const wchar_t* CSkinStore::ReadArchiveEntry(const wchar_t* name, std::vector<uint8_t>& bytes) {
    CZipArchive lookupOnly;
    const CZipArchive* zip = &m_zip;
    if (!m_zip.IsOpen()) {
        if (m_zipKind != ZipKind::File)
            return L"Error opening zip file";
        std::vector<uint8_t> archive;
        if (ReadFileLimited(m_path + m_zipName, kMaxArchiveFileSize, archive) != nullptr)
            return L"Error opening zip file";
        CZipArchive& target = m_keepOpen ? m_zip : lookupOnly;
        if (!target.Open(std::move(archive)))
            return L"Error opening zip file";
        zip = &target;
    }
    std::string narrow;
    std::string utf8;
    const bool haveNarrow = ToArchiveName(name, narrow);
    const bool haveUtf8 = ToArchiveName(name, utf8, CP_UTF8);
    if (!haveNarrow && !haveUtf8)
        return L"Could not find ziped file";
    switch (zip->ReadFile(haveNarrow ? narrow.c_str() : nullptr, bytes, kMaxSkinFileSize,
                          haveUtf8 ? utf8.c_str() : nullptr)) {
    case ZipResult::Ok:
        return nullptr;
    case ZipResult::NotFound:
        return L"Could not find ziped file";
    case ZipResult::Empty:
        return L"File is empty";
    case ZipResult::TooLarge:
        return L"File too large";
    default:
        return L"Could not unzip file";
    }
}

const wchar_t* CSkinStore::ReadSkinFile(const wchar_t* name, std::vector<uint8_t>& bytes) {
    bytes.clear();
    if (!name)
        name = L"";
    if (m_zipKind == ZipKind::None)
        return ReadWholeFile(m_path + name, bytes);
    return ReadArchiveEntry(name, bytes);
}

const wchar_t* CSkinStore::ReadImageFile(const wchar_t* name, std::vector<uint8_t>& bytes) {
    const wchar_t* error = ReadSkinFile(name, bytes);
    if (error == nullptr || !name || *name == 0)
        return error;
    if (ReadWholeFile(name, bytes) == nullptr)
        return nullptr;
    return error;
}

const wchar_t* CSkinStore::ReadResource(const wchar_t* name, const wchar_t* type, std::vector<uint8_t>& bytes) {
    bytes.clear();
    if (!name || *name == 0 || !type || *type == 0)
        return L"Error opening file";
    HINSTANCE instance = GetResourceInstance();
    HRSRC resource = FindResourceW(instance, ResourceName(name), ResourceName(type));
    if (!resource)
        return L"Error opening file";
    DWORD size = SizeofResource(instance, resource);
    if (size == 0)
        return L"File is empty";
    if (size > kMaxSkinFileSize)
        return L"File too large";
    HGLOBAL loaded = LoadResource(instance, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data)
        return L"Could not read file";
    const uint8_t* begin = static_cast<const uint8_t*>(data);
    bytes.assign(begin, begin + size);
    return nullptr;
}

bool CSkinStore::LoadMarkupFile(CMarkup& doc, const wchar_t* name) {
    std::vector<uint8_t> bytes;
    if (const wchar_t* error = ReadSkinFile(name, bytes)) {
        doc.SetError(error);
        return false;
    }
    return doc.LoadFromBytes(bytes.data(), bytes.size());
}

bool CSkinStore::LoadMarkupResource(CMarkup& doc, const wchar_t* idText, const wchar_t* type) {
    std::vector<uint8_t> bytes;
    if (const wchar_t* error = ReadResource(idText, type, bytes)) {
        doc.SetError(error);
        return false;
    }
    return doc.LoadFromBytes(bytes.data(), bytes.size());
}

CSkinStore& SkinStore() {
    static CSkinStore store;
    return store;
}

} // namespace SkinKit

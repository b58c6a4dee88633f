// Where skin files come from: a resource folder, optionally a ZIP skin package
// (a file in that folder or a buffer in memory), and the module whose resources
// hold markups and images given with a resource type. One process-wide store is
// used by the toolkit; tests may make their own. User-interface thread only.
#pragma once

#include "MarkupParser.h"
#include "ZipArchive.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace SkinKit {

class CSkinStore {
public:
    CSkinStore() = default;
    CSkinStore(const CSkinStore&) = delete;
    CSkinStore& operator=(const CSkinStore&) = delete;

    // Module whose resources are searched for typed resources; null means the
    // program file.
    void SetResourceInstance(HINSTANCE instance) { m_instance = instance; }
    HINSTANCE GetResourceInstance() const;

    // Folder prefixed to every skin file and archive name (normally ends with "\").
    void SetResourcePath(const wchar_t* path);
    const std::wstring& GetResourcePath() const { return m_path; }

    // The skin package is the archive file `name` in the resource folder. With
    // keepOpen it is read once and kept; otherwise it is read for each lookup.
    void SetResourceZip(const wchar_t* name, bool keepOpen = false);
    // The skin package is this buffer, which the caller keeps alive while the store
    // uses it (the program keeps it for its whole life). It is opened at once and
    // the open archive is kept.
    void SetResourceZip(const void* data, size_t size);
    // Back to plain files in the resource folder.
    void ClearResourceZip();
    bool HasResourceZip() const { return m_zipKind != ZipKind::None; }

    // Reads a skin file completely. Returns null on success, otherwise one of
    // "Error opening file", "File is empty", "File too large", "Could not read file"
    // (plain files) or "Error opening zip file", "Could not find ziped file",
    // "File is empty", "File too large", "Could not unzip file" (skin package).
    const wchar_t* ReadSkinFile(const wchar_t* name, std::vector<uint8_t>& bytes);

    // As ReadSkinFile, and when that fails the name is tried once more as a file
    // path of its own. Returns the first lookup's error when both fail.
    const wchar_t* ReadImageFile(const wchar_t* name, std::vector<uint8_t>& bytes);

    // Copies a resource of the store's module. A name or type made only of digits
    // is taken as a numeric id. Returns null or "Error opening file",
    // "File is empty", "File too large".
    const wchar_t* ReadResource(const wchar_t* name, const wchar_t* type, std::vector<uint8_t>& bytes);

    // Loads and parses a markup skin file; on failure the document holds the error.
    bool LoadMarkupFile(CMarkup& doc, const wchar_t* name);
    // Loads and parses the markup resource of `type` whose numeric id is the
    // text `idText`.
    bool LoadMarkupResource(CMarkup& doc, const wchar_t* idText, const wchar_t* type);

private:
    enum class ZipKind { None, File, Memory };

    const wchar_t* ReadArchiveEntry(const wchar_t* name, std::vector<uint8_t>& bytes);

    HINSTANCE m_instance = nullptr;
    std::wstring m_path;
    ZipKind m_zipKind = ZipKind::None;
    std::wstring m_zipName;
    bool m_keepOpen = false;
    CZipArchive m_zip; // the kept open archive, when there is one
};

// The toolkit's process-wide store.
CSkinStore& SkinStore();

// Reads a whole file of at most kMaxSkinFileSize bytes. Returns null or "Error
// opening file", "File is empty", "File too large", "Could not read file".
const wchar_t* ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& bytes);

// Narrow archive lookup name in `codePage` (CP_ACP, or CP_UTF8 for entries
// flagged as UTF-8), backslashes turned into slashes. False when the name does
// not fit kMaxZipNameLength bytes or cannot be converted.
bool ToArchiveName(const wchar_t* name, std::string& out, UINT codePage = CP_ACP);

} // namespace SkinKit

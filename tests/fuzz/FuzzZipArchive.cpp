// Skin packages from arbitrary bytes: the directory walk, lookups by every
// stored name and the extraction of every entry stay inside the buffer and
// inside the size limit.
#include "ZipArchive.h"

#include "FuzzText.h"

#include <memory>

using namespace SkinKit;
using FuzzText::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::unique_ptr<uint8_t[]> bytes = FuzzText::ExactCopy(data, size);

    CZipArchive archive;
    if (!archive.Open(bytes.get(), size)) {
        Check(archive.Entries().empty(), "failed open kept entries");
        return 0;
    }
    const size_t limit = 1 << 20;
    size_t extracted = 0;
    for (const CZipArchive::Entry& entry : archive.Entries()) {
        const CZipArchive::Entry* found = archive.Find(entry.name.c_str(), entry.name.c_str());
        if (entry.name.size() <= kMaxZipNameLength && entry.name.find('\0') == std::string::npos)
            Check(found != nullptr, "stored name not found");
        if (extracted > 16 * limit)
            continue; // enough inflating for one input
        std::vector<uint8_t> out;
        const ZipResult result = archive.Extract(entry, out, limit);
        if (result == ZipResult::Ok) {
            Check(out.size() == entry.uncompressedSize && out.size() <= limit, "extracted size");
            extracted += out.size();
        }
    }
    std::vector<uint8_t> out;
    archive.ReadFile("skin.xml", out, limit);
    archive.ReadFile("images\\BG.PNG", out, limit, "images/bg.png");
    return 0;
}

// Integer texts as the installer and WMI hand them over, from arbitrary bytes.
#include "NumberText.h"

#include "FuzzText.h"

using namespace Tallywick;
using FuzzText::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string narrow(reinterpret_cast<const char*>(data), size);
    for (const std::wstring& wide : {FuzzText::Widened(narrow), FuzzText::Utf16Units(narrow)}) {
        ParseStackInteger(wide);
        ParseLeadingInt(wide);
        const int64_t bytes = ParseLeadingInt64(wide);
        const int32_t mebibytes = MebibytesFromText(wide);
        const int32_t gibibytes = GibibytesFromText(wide);
        if (bytes >= 0 && bytes < (int64_t(1) << 51)) {
            Check(mebibytes == int32_t(bytes >> 20), "MiB of a plain byte count");
            Check(gibibytes == int32_t(bytes >> 30), "GiB of a plain byte count");
        }
    }
    ParseLeadingInt(narrow);
    return 0;
}

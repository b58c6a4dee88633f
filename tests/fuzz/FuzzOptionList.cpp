// Delimited texts and the survey's option list from arbitrary bytes: the first
// line is the delimiter, the rest the text.
#include "OptionList.h"

#include "FuzzText.h"

using namespace Tallywick;
using FuzzText::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> fields = FuzzText::Fields(data, size, '\n', 2);
    const std::string& delimiter = fields[0];
    const std::string& text = fields[1];

    size_t total = 0;
    for (const std::string& piece : SplitText(text, delimiter)) {
        Check(!piece.empty(), "empty piece");
        Check(piece.find(delimiter) == std::string::npos, "piece holds the delimiter");
        total += piece.size();
    }
    Check(total <= text.size(), "pieces longer than the text");

    const std::string whole(reinterpret_cast<const char*>(data), size);
    const std::vector<int> options = ParseOptionList(whole);
    Check(options.size() <= size / 2 + 1, "more options than pieces");
    return 0;
}

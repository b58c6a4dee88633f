#include "OptionList.h"

#include "NumberText.h"

namespace Tallywick {

std::vector<std::string> SplitText(const std::string& text, const std::string& delimiter) {
    std::vector<std::string> pieces;
    if (text.empty() || delimiter.empty() || text.find(delimiter) == std::string::npos)
        return pieces;
    size_t start = 0;
    for (;;) {
        size_t hit = text.find(delimiter, start);
        std::string piece = text.substr(start, hit == std::string::npos ? std::string::npos : hit - start);
        if (!piece.empty())
            pieces.push_back(piece);
        if (hit == std::string::npos)
            break;
        start = hit + delimiter.size();
    }
    return pieces;
}

std::vector<int> ParseOptionList(const std::string& text) {
    std::vector<int> options;
    for (const std::string& piece : SplitText(text, ","))
        options.push_back(ParseLeadingInt(piece));
    return options;
}

} // namespace Tallywick

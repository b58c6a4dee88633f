// Splitting of delimited texts and the survey's option list.
#pragma once

#include <string>
#include <vector>

namespace Tallywick {

// Pieces between occurrences of the delimiter, empty pieces dropped. A text
// without the delimiter gives no pieces at all.
std::vector<std::string> SplitText(const std::string& text, const std::string& delimiter);

// Comma-separated option numbers, each read like atoi (blanks, sign, digits).
std::vector<int> ParseOptionList(const std::string& text);

} // namespace Tallywick

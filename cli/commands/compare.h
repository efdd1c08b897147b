#pragma once
// 'mivaro-cli compare': two result documents side by side.

#include <string>
#include <string_view>

namespace cli {

struct Comparison {
    std::string text;   // the table and any warnings, UTF-8; set when error is empty
    std::string error;  // why the documents cannot be compared, one line
};

// names: how the two documents are called (their paths, as typed); contents: their bytes.
Comparison CompareDocuments(std::string_view firstName, std::string_view firstContents,
                            std::string_view secondName, std::string_view secondContents);

}  // namespace cli

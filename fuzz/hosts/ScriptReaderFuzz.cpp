// Any bytes as a host script: the reader splits them into lines of words, bounded whatever the
// input, and the number readers take any word.

#include "hosts/common/ScriptReader.h"

#include <cstdint>
#include <cstdlib>
#include <sstream>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream input(std::string(reinterpret_cast<const char*>(data), size));
    ScriptReader reader(input);
    int previous = 0;
    while (auto line = reader.next()) {
        if (line->number <= previous)
            std::abort(); // line numbers only grow
        previous = line->number;
        for (const auto& word : line->words) {
            if (word.empty() || word.size() > ScriptReader::maxLineLength)
                std::abort();
            parseNumber(word);
            parseInteger(word);
        }
    }
    return 0;
}

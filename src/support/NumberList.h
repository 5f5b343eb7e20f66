// Lists of numbers as text ("5, 9, 12"), for line numbers in messages and logs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qvxsupport {

// At most nMax of the numbers, joined by `separator`. Appended piece by
// piece: GCC 12 at -O3 misreads `"," + std::to_string(n)` as an overlapping copy.
inline std::string JoinNumbers(const std::vector<int>& numbers, const char* separator,
                               size_t nMax = SIZE_MAX) {
    std::string text;
    for (size_t i = 0; i < numbers.size() && i < nMax; ++i) {
        if (i) text += separator;
        text += std::to_string(numbers[i]);
    }
    return text;
}

}  // namespace qvxsupport

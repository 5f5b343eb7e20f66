#include "support/TextBuffer.h"

#include <algorithm>
#include <cstring>

namespace qvxsupport {

bool CopyWholeOrEmpty(char* pszOut, size_t nSize, std::string_view text) {
    if (pszOut == nullptr || nSize == 0) return false;
    if (text.size() >= nSize) {
        pszOut[0] = '\0';
        return false;
    }
    if (!text.empty()) std::memcpy(pszOut, text.data(), text.size());
    pszOut[text.size()] = '\0';
    return true;
}

void CopyCut(char* pszOut, size_t nSize, const char* pszText) {
    if (pszOut == nullptr || nSize == 0) return;
    const size_t n = pszText != nullptr ? strnlen(pszText, nSize - 1) : 0;
    if (n > 0) std::memmove(pszOut, pszText, n);
    pszOut[n] = '\0';
}

std::string CutToBuffer(std::string_view text, size_t nBufferSize) {
    if (nBufferSize == 0) return {};
    text = text.substr(0, std::min(text.find('\0'), nBufferSize - 1));
    return std::string(text);
}

}  // namespace qvxsupport

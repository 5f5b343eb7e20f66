// Texts into the fixed, zero-ended buffers that much of the program keeps:
// either the whole text or nothing, or the text cut to what fits.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qvxsupport {

// Copies the whole text with its closing zero; a text that does not fit
// into nSize bytes leaves the buffer empty, so no cut path is ever used.
// False when the text did not fit (or there is no buffer).
bool CopyWholeOrEmpty(char* pszOut, size_t nSize, std::string_view text);

// Copies at most nSize - 1 bytes of the text (up to its first zero byte)
// and the closing zero; text and buffer may overlap. A null text copies as
// empty; no buffer or nSize 0 changes nothing.
void CopyCut(char* pszOut, size_t nSize, const char* pszText);

// The text as a buffer of nBufferSize bytes holds it: up to its first zero
// byte, at most nBufferSize - 1 bytes.
std::string CutToBuffer(std::string_view text, size_t nBufferSize);

}  // namespace qvxsupport

#include "import/DataRow.h"

#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Blocks grow from small (a lone header row) to the largest a reference can
// point into (a table of a large file); texts longer than a quarter of that
// get a block of their own.
constexpr size_t kFirstBlock = 512;
constexpr size_t kLargestBlock = size_t{1} << 20;
constexpr size_t kOwnBlockAbove = kLargestBlock / 4;
// Block numbers fit the twelve bits above the offset.
constexpr size_t kMaxBlocks = size_t{1} << 12;
// Giving back this much at once is worth asking the allocator to return the
// freed pages to the system.
constexpr size_t kTrimAfter = size_t{16} << 20;

}  // namespace

CCellArena::~CCellArena() {
    Clear();
}

char* CCellArena::NewBlock(size_t nBytes) {
    if (m_blocks.empty()) m_blocks.push_back(nullptr);
    if (m_blocks.size() >= kMaxBlocks) throw std::bad_alloc();
    m_blocks.reserve(m_blocks.size() + 1);
    char* pBlock = static_cast<char*>(std::malloc(nBytes));
    if (pBlock == nullptr) throw std::bad_alloc();
    m_blocks.push_back(pBlock);
    m_nHeld += nBytes;
    return pBlock;
}

void* CCellArena::Allocate(size_t nBytes, size_t nAlign) {
    // malloc's blocks are aligned for every fundamental type.
    if (nBytes > kOwnBlockAbove) return NewBlock(nBytes);
    size_t nPad = (nAlign - reinterpret_cast<uintptr_t>(m_pFree) % nAlign) % nAlign;
    if (m_pFree != nullptr && nPad + nBytes <= m_nFree) {
        char* p = m_pFree + nPad;
        m_pFree = p + nBytes;
        m_nFree -= nPad + nBytes;
        return p;
    }
    m_nNextBlock = m_nNextBlock == 0 ? kFirstBlock : std::min(m_nNextBlock * 2, kLargestBlock);
    while (m_nNextBlock < nBytes) m_nNextBlock *= 2;
    char* pBlock = NewBlock(m_nNextBlock);
    m_nShared = m_blocks.size() - 1;
    m_pFree = pBlock + nBytes;
    m_nFree = m_nNextBlock - nBytes;
    return pBlock;
}

CCellArena::TextRef CCellArena::StoreText(const char* pszText, size_t nLength) {
    if (nLength == 0) return kEmptyText;
    char* p = static_cast<char*>(Allocate(nLength + 1));
    std::memcpy(p, pszText, nLength);
    p[nLength] = '\0';
    // A long text is at the start of the newest block, its own; a short one
    // in the shared block.
    if (nLength + 1 > kOwnBlockAbove) return static_cast<TextRef>((m_blocks.size() - 1) << kOffsetBits);
    return static_cast<TextRef>((m_nShared << kOffsetBits) | static_cast<size_t>(p - m_blocks[m_nShared]));
}

void CCellArena::Clear() {
    for (char* pBlock : m_blocks) std::free(pBlock);
    bool bTrim = m_nHeld >= kTrimAfter;
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_pFree = nullptr;
    m_nFree = 0;
    m_nNextBlock = 0;
    m_nShared = 0;
    m_nHeld = 0;
    // Blocks below the allocator's mapping threshold come from its heap,
    // which otherwise keeps the pages.
    if (bTrim) malloc_trim(0);
}

CDataRow::CDataRow(int nFields) : m_nFields(nFields > 0 ? nFields : 0) {
    m_pOwnArena = std::make_unique<CCellArena>();
    MakeSlots(*m_pOwnArena);
}

CDataRow::CDataRow(int nFields, CCellArena& arena) : m_nFields(nFields > 0 ? nFields : 0) {
    MakeSlots(arena);
}

CDataRow::~CDataRow() = default;

void CDataRow::MakeSlots(CCellArena& arena) {
    m_pArena = &arena;
    if (m_nFields == 0) return;
    size_t nBytes = sizeof(CCellArena::TextRef) * static_cast<size_t>(m_nFields);
    m_pSlots = static_cast<CCellArena::TextRef*>(arena.Allocate(nBytes, alignof(CCellArena::TextRef)));
    for (int i = 0; i < m_nFields; ++i) m_pSlots[i] = CCellArena::kNoText;
}

int CDataRow::SetField(int nIndex, const char* pszText) {
    if (nIndex < 0 || nIndex >= m_nFields) return qvxdm::kErrRange;
    if (pszText == nullptr) {
        m_pSlots[nIndex] = CCellArena::kNoText;
        return qvxdm::kOk;
    }
    // A replaced text stays in the store until the table is reset: rows are
    // written once and read many times.
    try {
        m_pSlots[nIndex] = m_pArena->StoreText(pszText, std::strlen(pszText));
    } catch (const std::bad_alloc&) {
        return qvxdm::kErrMemory;
    }
    return qvxdm::kOk;
}

namespace {

int CopyToBuffer(const char* pText, size_t nLength, char* pBuffer, int nSize) {
    if (pBuffer == nullptr) return qvxdm::kErrMemory;
    if (nSize > 0) std::memset(pBuffer, 0, static_cast<size_t>(nSize));
    if (pText == nullptr) return qvxdm::kErrAbsent;
    if (nSize < 0 || nLength > static_cast<size_t>(nSize)) return qvxdm::kErrRange;
    std::memcpy(pBuffer, pText, nLength);
    return qvxdm::kOk;
}

}  // namespace

int QvxCopyToBuffer(const std::string* pText, char* pBuffer, int nSize) {
    return CopyToBuffer(pText != nullptr ? pText->data() : nullptr, pText != nullptr ? pText->size() : 0,
                        pBuffer, nSize);
}

int CDataRow::GetField(int nIndex, char* pBuffer, int nSize) const {
    if (nIndex < 0 || nIndex >= m_nFields) {
        if (pBuffer != nullptr && nSize > 0) std::memset(pBuffer, 0, static_cast<size_t>(nSize));
        return qvxdm::kErrRange;
    }
    if (m_pSlots[nIndex] == CCellArena::kNoText) return CopyToBuffer(nullptr, 0, pBuffer, nSize);
    const char* pText = m_pArena->GetText(m_pSlots[nIndex]);
    return CopyToBuffer(pText, std::strlen(pText), pBuffer, nSize);
}

std::optional<std::string_view> CDataRow::PeekField(int nIndex) const {
    if (nIndex < 0 || nIndex >= m_nFields || m_pSlots[nIndex] == CCellArena::kNoText) return std::nullopt;
    return std::string_view(m_pArena->GetText(m_pSlots[nIndex]));
}

void ReadCell(const CDataRow* pRow, int nColumn, char* pBuffer, int nChars) {
    std::optional<std::string_view> text;
    if (pRow != nullptr) text = pRow->PeekField(nColumn);
    if (!text || text->size() > static_cast<size_t>(nChars)) {
        pBuffer[0] = '\0';
        return;
    }
    std::memcpy(pBuffer, text->data(), text->size());
    pBuffer[text->size()] = '\0';
}

std::string ReadCell(const CDataRow* pRow, int nColumn, int nChars) {
    std::optional<std::string_view> text;
    if (pRow != nullptr) text = pRow->PeekField(nColumn);
    if (!text || text->size() > static_cast<size_t>(nChars)) return std::string();
    return std::string(*text);
}

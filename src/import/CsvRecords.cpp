#include "import/CsvRecords.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "import/DataMap.h"
#include "support/LogModules.h"
#include "support/TextRecords.h"

namespace {

constexpr size_t kFieldBuffer = 512;

// Drops trailing, then leading blanks (0x20 only; tabs stay).
void TrimField(const char*& pBegin, const char*& pEnd) {
    while (pEnd > pBegin && pEnd[-1] == ' ') --pEnd;
    while (pBegin < pEnd && *pBegin == ' ') ++pBegin;
}

// Removes the quoting: a doubled quote becomes one, a lone one disappears,
// and a field of quotes only loses its enclosing pair.
void UnquoteField(const char* pBegin, const char* pEnd, char cQuote, std::string& out) {
    out.clear();
    const size_t n = static_cast<size_t>(pEnd - pBegin);
    size_t i = 0;
    while (i < n) {
        if (pBegin[i] != cQuote) {
            out.push_back(pBegin[i]);
            ++i;
            continue;
        }
        size_t j = i;
        while (j < n && pBegin[j] == cQuote) ++j;
        size_t run = j - i;
        if (j == n && run > 1 && i == 0) run -= 2;
        if (run % 2 == 1) run -= 1;
        out.append(run / 2, cQuote);
        if (j < n) out.push_back(pBegin[j]);
        i = j + 1;
    }
}

// The fields of a text without zero bytes, each handed to `onField`; returns
// their number. A separator ends a field where the field so far holds an even
// number of quote characters; a text ending with a separator, open quote or
// not, has one more, empty field; an empty text has none.
template <typename OnField>
int SplitFields(const char* pText, const char* pEnd, char cSeparator, char cQuote, OnField&& onField) {
    int nFields = 0;
    const char* p = pText;
    for (;;) {
        if (p == pEnd) {
            if (p > pText && p[-1] == cSeparator) {
                onField(p, p);
                ++nFields;
            }
            return nFields;
        }
        const char* begin = p;
        bool open = false;
        while (p != pEnd && !(*p == cSeparator && !open)) {
            if (*p == cQuote) open = !open;
            ++p;
        }
        onField(begin, p);
        ++nFields;
        if (p != pEnd) ++p;
    }
}

// A zero byte only ever ends a line's text; the rare record holding one is
// read without it.
std::string_view WithoutZeros(std::string_view text) {
    if (text.empty() || memchr(text.data(), '\0', text.size()) == nullptr) return text;
    thread_local std::string copy;
    copy.clear();
    for (char c : text) {
        if (c != '\0') copy.push_back(c);
    }
    return copy;
}

}  // namespace

int ReadCsvRecords(const char* pszPath, CTextRecords& records, bool* pbRead) {
    int result = records.Read(pszPath);
    if (pbRead) *pbRead = result == 0;
    if (result == 0) result = records.Form('"');
    if (result != 0) {
        LOG_WARN(qvxlog::CSVPars, "ERROR <%d> while SplitFileLines(%s)!", errno, pszPath);
    } else {
        LOG_INFO(qvxlog::CSVPars, "SplitFileLines(%s) lines = %d, result = %d", pszPath,
                 records.GetLineCount(), result);
    }
    return result;
}

int CountCsvFields(std::string_view record, char cSeparator, char cQuote) {
    record = WithoutZeros(record);
    return SplitFields(record.data(), record.data() + record.size(), cSeparator, cQuote,
                       [](const char*, const char*) {});
}

int ParseCsvLine(CDataMap* pTable, CDataRow** ppRow, const char* pText, size_t nLength, char cSeparator,
                 char cDelimiter, int nFirstIndex) {
    if (ppRow) *ppRow = nullptr;
    const std::string_view record = WithoutZeros(pText != nullptr ? std::string_view(pText, nLength) : "");

    struct Field {
        const char* pBegin;
        const char* pEnd;
    };
    // Most lines have few fields; the vector keeps its room across calls.
    thread_local std::vector<Field> fields;
    fields.clear();
    SplitFields(record.data(), record.data() + record.size(), cSeparator, cDelimiter,
                [](const char* pBegin, const char* pEnd) {
                    fields.push_back({pBegin, pEnd});
                });
    const int nFields = static_cast<int>(fields.size());
    if (pTable == nullptr) return nFields;

    pTable->SetColumnCount(nFields);
    if (pTable->AddRow(pTable->GetRowCount()) != 0) return nFields;
    CDataRow* row = pTable->NextRow();
    if (row == nullptr) return nFields;
    const int nColumns = pTable->GetColumnCount();
    std::string text;
    for (int i = 0; i < nFields; ++i) {
        int index = nFirstIndex + i;
        if (index >= nColumns) break;
        const char* begin = fields[i].pBegin;
        const char* end = fields[i].pEnd;
        TrimField(begin, end);
        UnquoteField(begin, end, cDelimiter, text);
        row->SetField(index, text.c_str());
    }
    if (ppRow) *ppRow = row;
    return nFields;
}

// Field `index` of `row` read through a buffer of 512 bytes (+1 for the end).
std::string ReadField512(CDataRow* pRow, int index, int* pResult) {
    char buffer[kFieldBuffer + 1];
    int result = pRow ? pRow->GetField(index, buffer, static_cast<int>(kFieldBuffer)) : qvxdm::kErrAbsent;
    if (pResult) *pResult = result;
    if (result != 0) buffer[0] = '\0';
    buffer[kFieldBuffer] = '\0';
    return buffer;
}

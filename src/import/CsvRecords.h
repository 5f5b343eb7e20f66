// Records and fields of CSV text, shared by contacts files and mapping
// files. The file is read and cut into records by support/TextRecords.h (a
// record is one line, or several when a quoted field holds line ends); here
// a record is split into its fields.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class CDataMap;
class CDataRow;
class CTextRecords;

// Reads the file and forms its records with '"' as the quote, with the log
// lines of both. 0 or the read's error; *pbRead tells whether the file was read.
int ReadCsvRecords(const char* pszPath, CTextRecords& records, bool* pbRead = nullptr);

// Splits nLength bytes of a record into fields (zero bytes in it are
// skipped) and appends them as one row to `pTable`, from column
// nFirstIndex on; returns the number of fields and hands back the new row.
// A null table only counts the fields.
int ParseCsvLine(CDataMap* pTable, CDataRow** ppRow, const char* pText, size_t nLength, char cSeparator,
                 char cDelimiter, int nFirstIndex);
// The number of fields ParseCsvLine finds in a record, without storing them.
int CountCsvFields(std::string_view record, char cSeparator, char cQuote);

// Field `index` of `row` read through a buffer of 512 bytes (+1 for the
// end); empty when it does not fit (*pResult then says why).
std::string ReadField512(CDataRow* pRow, int index, int* pResult = nullptr);

// The built-in mapping for vCard files. Their headers depend on the cards
// (labels, the language of the header words), so no mapping file can fit
// every vCard file; this one is made for the file at hand from what each
// column holds: the name "N", the company "C", phones "PD", e-mails "E",
// addresses "L", binary and technical properties and the name's parts
// (already in the name) "X", everything else "-". It always fits: one name
// column, at most one company column, every column coded.
#pragma once

#include <string>

class CDataMap;
class CVCardReader;
enum class VCardColumnKind : unsigned char;

// The code of a column of this kind.
const char* VCardMappingCode(VCardColumnKind kind);

// Fills the table's mapping row with the codes of the reader's columns (the
// table's header row came from the same reader) and stores the mapping's
// name and description from language.ini. False when the table's columns
// are not the reader's.
bool ApplyVCardMapping(const CVCardReader& reader, CDataMap& table);

// The name under which the mapping is listed (language.ini).
std::string VCardMappingName();

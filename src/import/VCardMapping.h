// The built-in mapping for vCard files. Their headers depend on the cards
// (labels, the language of the header words), so no mapping file can fit
// every vCard file; this one is made for the file at hand from what each
// column holds: the name "N", the company "C", phones "PD", e-mails "E",
// addresses "L", binary and technical properties and the name's parts
// (already in the name) "X", everything else "-". It always fits: one name
// column, at most one company column, every column coded.
#pragma once

#include <string>
#include <vector>

class CDataMap;

// What a column holds, for the built-in vCard mapping.
enum class VCardColumnKind : unsigned char {
    kName,       // the contact's name
    kNamePart,   // family, given and additional names (already in the name)
    kCompany,    // the first company
    kPhone,      // TEL
    kEmail,      // EMAIL
    kAddress,    // ADR
    kText,       // anything else worth reading
    kTechnical,  // versions, identifiers, time stamps, unknown extensions
};

// The code of a column of this kind.
const char* VCardMappingCode(VCardColumnKind kind);

// Fills the table's mapping row with the codes of the columns of these
// kinds (the table's header row came from the same file) and stores the
// mapping's name and description from language.ini. False when the table's
// columns are not these.
bool ApplyVCardMapping(const std::vector<VCardColumnKind>& kinds, CDataMap& table);

// The name under which the mapping is listed (language.ini).
std::string VCardMappingName();

// The formats of contacts files the import reads: the one list every place
// that takes or refuses a file asks (the wizard's file dialog, typed names
// and drops, the refusal text, qvxbuild), and the one place readers are made.
// A new format adds its entry here and its reader (import/ContactsReader.h).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "import/ContactsReader.h"

struct ContactsFormat {
    const char* name;                     // as qvxbuild reports it: "csv", "vcard"
    std::vector<const char*> extensions;  // with the dot, lower case: ".csv"
    bool (*sniff)(const char* pszPath);   // whether a file is of this format; null: the fallback
    std::unique_ptr<CContactsReader> (*makeReader)();
};

// In the order the file dialog and the refusal text name them.
const std::vector<ContactsFormat>& ContactsFormats();

// Whether the name ends (after its last dot, in any case) with an extension of the list.
bool IsContactsFileName(std::string_view path);
// The extensions joined: ".csv, .txt, .vcf" with ", ".
std::string ContactsFileExtensions(std::string_view separator);
// The file patterns joined: "*.csv;*.txt;*.vcf" with ";".
std::string ContactsFilePatterns(std::string_view separator);

// The format a file is read as: the first whose sniff takes it, else the
// fallback (a CSV file), whatever the file's name.
const ContactsFormat& SniffContactsFormat(const char* pszPath);

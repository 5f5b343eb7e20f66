#include "import/ContactsFormats.h"

#include "import/CsvContactsReader.h"
#include "import/VCardReader.h"
#include "support/AsciiCase.h"

namespace {

template <typename Reader>
std::unique_ptr<CContactsReader> Make() {
    return std::make_unique<Reader>();
}

}  // namespace

const std::vector<ContactsFormat>& ContactsFormats() {
    static const std::vector<ContactsFormat> formats = {
        {"csv", {".csv", ".txt"}, nullptr, &Make<CCsvContactsReader>},
        // A vCard file named .csv or .txt is read as vCard all the same.
        {"vcard", {".vcf"}, &CVCardReader::IsVCardFile, &Make<CVCardReader>},
    };
    return formats;
}

bool IsContactsFileName(std::string_view path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return false;
    const std::string_view extension = path.substr(dot);
    for (const ContactsFormat& format : ContactsFormats()) {
        for (const char* known : format.extensions) {
            if (qvxsupport::EqualsIgnoringCase(extension, known)) return true;
        }
    }
    return false;
}

namespace {

std::string JoinExtensions(std::string_view prefix, std::string_view separator) {
    std::string text;
    for (const ContactsFormat& format : ContactsFormats()) {
        for (const char* extension : format.extensions) {
            if (!text.empty()) text += separator;
            text += prefix;
            text += extension;
        }
    }
    return text;
}

}  // namespace

std::string ContactsFileExtensions(std::string_view separator) {
    return JoinExtensions("", separator);
}

std::string ContactsFilePatterns(std::string_view separator) {
    return JoinExtensions("*", separator);
}

const ContactsFormat& SniffContactsFormat(const char* pszPath) {
    const ContactsFormat* fallback = nullptr;
    for (const ContactsFormat& format : ContactsFormats()) {
        if (format.sniff == nullptr) {
            if (fallback == nullptr) fallback = &format;
        } else if (format.sniff(pszPath)) {
            return format;
        }
    }
    return *fallback;
}

// qvxbuild preview FILE [FILE.map] [FILE [FILE.map] ...] [--limit N] [--json]
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "CommandSupport.h"
#include "Commands.h"
#include "Options.h"
#include "import/ContactRules.h"
#include "import/ContactsFile.h"
#include "platform/ProgramPath.h"
#include "support/NumberList.h"
#include "wizard/ImportPreview.h"
#include "wizard/ImportSession.h"
#include "wizard/ImportSet.h"
#include "wizard/WizardState.h"

namespace {

void PrintJson(const CImportPreview& preview, const std::vector<FileArgument>& files, int nLimit) {
    std::string out = "{\"contacts\": [";
    CContactRow row;
    const int nShown = nLimit >= 0 && nLimit < preview.GetCount() ? nLimit : preview.GetCount();
    for (int i = 0; i < nShown; ++i) {
        preview.Read(i, row);
        out += i ? ",\n  " : "\n  ";
        out += "{\"id\": " + std::to_string(row.nKey) + ", \"name\": " + JsonString(row.contact.name) +
               ", \"company\": " + JsonString(row.contact.company);
        const ImportSource source = preview.SourceAt(i);
        out += ", \"sources\": [{\"file\": " + JsonString(files[static_cast<size_t>(source.nFile)].pszFile) +
               ", \"line\": " + std::to_string(source.nLine) + "}]";
        out += ", \"details\": [";
        for (size_t d = 0; d < row.details.rows.size(); ++d) {
            const ContactDetailRow& detail = row.details.rows[d];
            out += std::string(d ? ", " : "") + "{\"key\": " + JsonString(detail.key) +
                   ", \"value\": " + JsonString(detail.value) + ", \"type\": " + JsonString(detail.type) +
                   ", \"position\": " + std::to_string(detail.nPosition) + "}";
        }
        out += "]}";
        fputs(out.c_str(), stdout);
        out.clear();
    }
    const ImportTally& tally = preview.Tally();
    out += nShown > 0 ? "\n],\n" : "],\n";
    out += " \"contact_count\": " + std::to_string(tally.nContacts) + ",\n";
    out += " \"detail_count\": " + std::to_string(tally.nDetails) + ",\n";
    out += " \"skipped\": " + std::to_string(tally.nSkipped) + ",\n";
    out += " \"skipped_lines\": " + JsonLines(tally.skippedLines) + ",\n";
    out += " \"mismatched\": " + std::to_string(preview.MismatchedCount()) + ",\n";
    out += " \"mismatched_lines\": " + JsonLines(preview.MismatchedLines()) + ",\n";
    // No contact is made of several rows yet.
    out += " \"merged_rows\": 0,\n";
    out += " \"merged_contacts\": 0,\n";
    out += " \"possible_duplicates\": []\n}\n";
    fputs(out.c_str(), stdout);
}

// A text on one line: line breaks and tabs shown as \n, \r, \t.
std::string Plain(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            out += c;
        }
    }
    return out;
}

std::string LinesText(int nCount, const std::vector<int>& lines) {
    if (nCount == 0) return "";
    std::string out = " (first lines: ";
    out += qvxsupport::JoinNumbers(lines, ", ");
    out += ')';
    return out;
}

// Pads to `width` characters as a terminal shows them: UTF-8 counted by
// characters, not bytes, so columns stay aligned after umlauts.
std::string Padded(std::string text, size_t width) {
    size_t chars = 0;
    for (unsigned char c : text) chars += (c & 0xC0) != 0x80;
    if (chars < width) text.append(width - chars, ' ');
    return text;
}

// One line per contact (id, line, name, company), then its details indented.
void PrintText(const CImportPreview& preview, const std::vector<FileArgument>& files, int nLimit) {
    CContactRow row;
    const bool bSeveral = files.size() > 1;
    const int nShown = nLimit >= 0 && nLimit < preview.GetCount() ? nLimit : preview.GetCount();
    for (int i = 0; i < nShown; ++i) {
        preview.Read(i, row);
        if (bSeveral) {
            const ImportSource source = preview.SourceAt(i);
            printf("%-6d file %-3d line %-6d %s %s\n", row.nKey, source.nFile + 1, row.nLine,
                   Padded(Plain(row.contact.name), 32).c_str(), Plain(row.contact.company).c_str());
        } else {
            printf("%-6d line %-6d %s %s\n", row.nKey, row.nLine, Padded(Plain(row.contact.name), 32).c_str(),
                   Plain(row.contact.company).c_str());
        }
        for (const ContactDetailRow& detail : row.details.rows)
            printf("    %s %s %-3s %d\n", Padded(Plain(detail.key), 30).c_str(),
                   Padded(Plain(detail.value), 40).c_str(), Plain(detail.type).c_str(), detail.nPosition);
    }
    if (nShown < preview.GetCount()) printf("(%d more contacts)\n", preview.GetCount() - nShown);
    if (bSeveral) {
        // The lines of each file's counts are that file's.
        for (size_t f = 0; f < files.size(); ++f) {
            const ImportTally& tally = preview.FileTallies()[f];
            const int nMismatched = preview.FileMismatched()[f];
            printf("file %zu: %s\n", f + 1, files[f].pszFile);
            printf("  contacts: %d\n", tally.nContacts);
            printf("  details: %lld\n", tally.nDetails);
            printf("  skipped: %d%s\n", tally.nSkipped,
                   LinesText(tally.nSkipped, tally.skippedLines).c_str());
            printf("  values not stored: %d%s\n", tally.nNotStored,
                   LinesText(tally.nNotStored, tally.notStoredLines).c_str());
            printf("  mismatched: %d\n", nMismatched);
        }
        const ImportTally& tally = preview.Tally();
        printf("contacts: %d\n", tally.nContacts);
        printf("details: %lld\n", tally.nDetails);
        return;
    }
    const ImportTally& tally = preview.Tally();
    printf("contacts: %d\n", tally.nContacts);
    printf("details: %lld\n", tally.nDetails);
    printf("skipped: %d%s\n", tally.nSkipped, LinesText(tally.nSkipped, tally.skippedLines).c_str());
    printf("values not stored: %d%s\n", tally.nNotStored,
           LinesText(tally.nNotStored, tally.notStoredLines).c_str());
    printf("mismatched: %d%s\n", preview.MismatchedCount(),
           LinesText(preview.MismatchedCount(), preview.MismatchedLines()).c_str());
}

int Preview(int argc, char** argv) {
    const char* limit = nullptr;
    bool json = false;
    std::vector<const char*> names;
    const int refused =
        ReadOptions("preview", argc, argv, {{"--limit", &limit, nullptr}, {"--json", nullptr, &json}}, names,
                    names.max_size());
    if (refused >= 0) return refused;
    std::vector<FileArgument> files;
    const int unpaired = PairFileArguments("preview", names, files);
    if (unpaired >= 0) return unpaired;
    if (files.empty()) {
        PrintUsage();
        return EXIT_USAGE;
    }
    int nLimit = -1;
    if (limit != nullptr) {
        char* end = nullptr;
        errno = 0;
        const long value = strtol(limit, &end, 10);
        if (*limit == '\0' || *end != '\0' || errno != 0 || value < 0 || value > 2147483647) {
            fprintf(stderr, "qvxbuild preview: --limit needs a number of contacts (0 or more)\n");
            return EXIT_USAGE;
        }
        nLimit = static_cast<int>(value);
    }
    if (!PrepareLanguage(nullptr)) {
        fprintf(stderr, "qvxbuild preview: language.ini not found\n");
        return EXIT_USAGE;
    }
    CImportSet set(qvxplatform::GetProgramFolder());
    const int prepared = PrepareImports("preview", set, files);
    if (prepared >= 0) return prepared;
    const std::unique_ptr<CImportPreview> pPreview = OpenImportPreview(set);
    if (!pPreview) {
        fprintf(stderr, "qvxbuild preview: the rows of the file could not be read\n");
        return EXIT_ANALYSIS_FAILED;
    }
    if (json) {
        PrintJson(*pPreview, files, nLimit);
    } else {
        PrintText(*pPreview, files, nLimit);
    }
    return EXIT_OK;
}

}  // namespace

int RunPreview(int argc, char** argv) {
    try {
        return Preview(argc, argv);
    } catch (const std::exception& e) {
        fprintf(stderr, "qvxbuild preview: %s\n", e.what());
        return EXIT_ANALYSIS_FAILED;
    }
}

#include "wizard/WizardState.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "import/AnalysisStep.h"
#include "import/ContactsFormats.h"
#include "import/ContactsReader.h"
#include "support/NumberList.h"

namespace qvxwizard {

namespace {

constexpr size_t kInfoTextSize = 129;   // each text of the info text
constexpr size_t kInfoTotalSize = 513;  // the whole info text
constexpr size_t kLastDBTextSize = 261;
constexpr size_t kMessageSize = 513;

EnabledControls EnabledFor(const WizardState& state) {
    EnabledControls on;
    if (state.bBusy) return on;
    on.bCancel = on.bNewDB = true;
    on.bLastDB = state.bLastDBFound;
    if (state.nMode == kWayLastDatabase) {
        on.bComplete = true;
    } else if (state.nCSVState != CSV_STATE_ANALYZED) {
        on.bCsv = true;
    } else if (state.nMappingState == MAPPING_STATE_NONE) {
        // No usable mapping: another file or mapping can still be chosen and a
        // new mapping created; only editing needs a current mapping. With all
        // of them off, a user whose mapping failed to apply could only quit.
        on.bCsv = on.bMapping = true;
    } else {
        on.bCsv = on.bMapping = on.bEditMapping = true;
        on.bComplete = state.nMappingState == MAPPING_STATE_COMPLETE;
    }
    return on;
}

const char* CsvKey(int nCSVState) {
    switch (nCSVState) {
        case CSV_STATE_NONE:
            return qvxtext::kMainDlg_Info_NoCSVFile;
        case CSV_STATE_CHOSEN:
            return qvxtext::kMainDlg_Info_ReadCSVFile;
        case CSV_STATE_ANALYZED:
            return qvxtext::kMainDlg_Info_CSVFileOK;
        default:
            return nullptr;
    }
}

const char* MappingKey(int nMappingState) {
    switch (nMappingState) {
        case MAPPING_STATE_NONE:
            return qvxtext::kMainDlg_Info_MappingFileNotOK;
        case MAPPING_STATE_CHOSEN:
            return qvxtext::kMainDlg_Info_ReadMappingFile;
        case MAPPING_STATE_COMPLETE:
            return qvxtext::kMainDlg_Info_MappingFileOK;
        case MAPPING_STATE_INCOMPLETE:
            return qvxtext::kMainDlg_Info_MappingIncomplete;
        default:
            return nullptr;
    }
}

// What reading the file found, right below the line that it was read.
std::vector<InfoLine> ReadingLinesFor(const WizardState& state) {
    std::vector<InfoLine> lines;
    if (state.nCSVState != CSV_STATE_ANALYZED) return lines;
    if (!state.csvCharset.empty()) lines.push_back({qvxtext::kMainDlg_Info_ReadAs, state.csvCharset, {}, {}});
    // nPlaces: how many lines hold the counted things; the "..." follows them.
    auto counted = [&](const char* pszOne, const char* pszMany, int nCount, const std::vector<int>& at,
                       int nPlaces) {
        if (nCount == 1)
            lines.push_back({pszOne, MismatchedLinesText(nPlaces, at), {}, {}});
        else if (nCount > 1)
            lines.push_back({pszMany, std::to_string(nCount), {}, MismatchedLinesText(nPlaces, at)});
    };
    // A vCard file has cards and lines, not rows that fit a header.
    counted(state.bVCard ? qvxtext::kVCard_Info_CardUnreadable : qvxtext::kMainDlg_Info_RowMismatched,
            state.bVCard ? qvxtext::kVCard_Info_CardsUnreadable : qvxtext::kMainDlg_Info_RowsMismatched,
            state.nMismatchedRows, state.mismatchedLines, state.nMismatchedRows);
    for (const WizardState::ReaderNote& note : state.readerNotes)
        counted(note.pszKeyOne, note.pszKeyMany, note.nCount, note.lines, note.nPlaces);
    return lines;
}

// In the way "new database" the first line is always followed by a line
// break, even when no mapping line follows.
std::vector<InfoLine> InfoLinesFor(const WizardState& state) {
    // The CSV file and the mapping play no part in sending the last database.
    if (state.nMode == kWayLastDatabase) return {{qvxtext::kMainDlg_Info_SendLastDB, {}, {}, {}}};
    std::vector<InfoLine> lines(2);
    lines[0].pszKey = CsvKey(state.nCSVState);
    if (state.nCSVState == CSV_STATE_NONE && state.pszCSVRefusal)
        lines[0] = RefusalLine(state.pszCSVRefusal, state.refusedCSV);
    // A vCard file: the line that it was read names the format and versions.
    if (state.nCSVState == CSV_STATE_ANALYZED && state.bVCard) {
        lines[0] = state.vcardVersions.empty()
                       ? InfoLine{qvxtext::kVCard_Info_Read, {}, {}, {}}
                       : InfoLine{qvxtext::kVCard_Info_ReadAs, state.vcardVersions, {}, {}};
    }
    if (state.nCSVState != CSV_STATE_NONE) lines[1].pszKey = MappingKey(state.nMappingState);
    if (state.nCSVState == CSV_STATE_ANALYZED && state.bVCard &&
        state.nMappingState == MAPPING_STATE_COMPLETE)
        lines[1].pszKey = qvxtext::kVCard_Info_MappingFileOK;
    if (state.nCSVState == CSV_STATE_ANALYZED && state.nMappingState == MAPPING_STATE_COMPLETE &&
        state.autoChosenMapping)
        lines[1] = {qvxtext::kMainDlg_Info_MappingChosen, state.autoChosenMapping, {}, {}};
    if (state.nCSVState == CSV_STATE_ANALYZED && state.nMappingState == MAPPING_STATE_NONE &&
        state.bNoMappingFits) {
        lines[1] = state.nearestMapping
                       ? InfoLine{qvxtext::kMainDlg_Info_NearestMapping, state.nearestMapping, {}, {}}
                       : InfoLine{qvxtext::kMainDlg_Info_NoMappingFits, {}, {}, {}};
    }
    // Incomplete: the next line says why.
    if (state.nCSVState == CSV_STATE_ANALYZED && state.nMappingState == MAPPING_STATE_INCOMPLETE &&
        state.pszMappingRule != nullptr)
        lines.push_back({state.pszMappingRule, {}, {}, {}});
    std::vector<InfoLine> reading = ReadingLinesFor(state);
    lines.insert(lines.begin() + 1, reading.begin(), reading.end());
    if (state.nCSVState == CSV_STATE_ANALYZED && state.nMappingState == MAPPING_STATE_COMPLETE) {
        // What the rows give that the database will not hold.
        if (state.nSkippedRows == 1) {
            lines.push_back({qvxtext::kMainDlg_Info_RowSkipped,
                             MismatchedLinesText(state.nSkippedRows, state.skippedLines),
                             {},
                             {}});
        } else if (state.nSkippedRows > 1) {
            lines.push_back({qvxtext::kMainDlg_Info_RowsSkipped,
                             std::to_string(state.nSkippedRows),
                             {},
                             MismatchedLinesText(state.nSkippedRows, state.skippedLines)});
        }
        if (state.nValuesNotStored == 1) {
            lines.push_back({qvxtext::kMainDlg_Info_ValueNotStored,
                             MismatchedLinesText(state.nNotStoredRows, state.notStoredLines),
                             {},
                             {}});
        } else if (state.nValuesNotStored > 1) {
            // Several values of one row name that one line.
            lines.push_back({state.nNotStoredRows == 1 ? qvxtext::kMainDlg_Info_ValuesNotStoredInRow
                                                       : qvxtext::kMainDlg_Info_ValuesNotStored,
                             std::to_string(state.nValuesNotStored),
                             {},
                             MismatchedLinesText(state.nNotStoredRows, state.notStoredLines)});
        }
        lines.push_back({qvxtext::kMainDlg_Info_ReadyToComplete, {}, {}, {}});
    }
    return lines;
}

InfoLine LastDBLineFor(const WizardState& state) {
    if (!state.lastDBModified) return {qvxtext::kMainDlg_Info_LastDB_NotFound, {}, {}, {}};
    return {qvxtext::kMainDlg_Info_LastDB, {}, state.lastDBModified, {}};
}

std::string Lookup(const TextLookup& lookup, const char* pszKey, size_t nBufferSize) {
    if (!pszKey) return std::string();
    return lookup ? lookup(pszKey, nBufferSize) : GetText(pszKey, nBufferSize);
}

std::string LineText(const TextLookup& lookup, const InfoLine& line, size_t nBufferSize) {
    std::string text = Lookup(lookup, line.pszKey, nBufferSize);
    if (line.timeArgument) {
        const std::string when =
            FormatTime(Lookup(lookup, qvxtext::kTimeFormat_DateAndTime, kLastDBTextSize), *line.timeArgument);
        return FormatTextWithString(text, when);
    }
    if (line.argument && line.secondArgument)
        return FormatTextWithStrings(text, *line.argument, *line.secondArgument);
    if (line.argument) return FormatTextWithString(text, *line.argument);
    return text;
}

// errno of opening and reading a file that a reader could not read; 0 when
// both work now (the reader then ran out of memory).
int ProbeReadError(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno;
    struct stat st {};
    int nError = 0;
    char c = 0;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        nError = EISDIR;
    } else if (read(fd, &c, 1) < 0) {
        nError = errno;
    }
    close(fd);
    return nError;
}

std::string FormatKey(const TextLookup& lookup, const char* pszKey, const std::string& argument) {
    return FormatTextWithString(Lookup(lookup, pszKey, kMessageSize), argument);
}

}  // namespace

std::string MismatchedLinesText(int nCount, const std::vector<int>& lines, size_t nShown) {
    std::string text = qvxsupport::JoinNumbers(lines, ", ", nShown);
    if (nCount > 0 && static_cast<size_t>(nCount) > std::min(lines.size(), nShown)) text += ", …";
    return text;
}

WizardView DescribeWizard(const WizardState& state) {
    const char* pszCompleteToolTip = state.nMode == kWayLastDatabase
                                         ? qvxtext::kMainDlg_ButtonToolTip_CompleteLastDB
                                         : qvxtext::kMainDlg_ButtonToolTip_Complete;
    return {EnabledFor(state), InfoLinesFor(state), LastDBLineFor(state), pszCompleteToolTip};
}

std::string ComposeInfoText(const WizardView& view, const TextLookup& lookup) {
    std::string info;
    for (size_t i = 0; i < view.infoLines.size(); ++i) {
        if (i > 0) info += '\n';
        info += LineText(lookup, view.infoLines[i], kInfoTextSize);
    }
    if (info.size() >= kInfoTotalSize) info.resize(kInfoTotalSize - 1);
    return info;
}

InfoLine RefusalLine(const char* pszKey, const std::string& path) {
    InfoLine line{pszKey, path, {}, {}};
    if (pszKey != nullptr && strcmp(pszKey, qvxtext::kMainDlg_Info_CSVNotTaken_Type) == 0)
        line.secondArgument = ContactsFileExtensions(", ");
    return line;
}

std::string InfoLineText(const InfoLine& line, const TextLookup& lookup) {
    return LineText(lookup, line, kInfoTextSize);
}

std::string ComposeLastDBText(const WizardView& view, const TextLookup& lookup) {
    return LineText(lookup, view.lastDBLine, kLastDBTextSize);
}

std::string FileErrorText(int nError, const TextLookup& lookup) {
    switch (nError) {
        case EACCES:
        case EPERM:
            return Lookup(lookup, qvxtext::kFileReason_Denied, kInfoTextSize);
        case EISDIR:
            return Lookup(lookup, qvxtext::kFileReason_Folder, kInfoTextSize);
        case 0:
        case ENOMEM:
        case EFBIG:
        case EOVERFLOW:
            return Lookup(lookup, qvxtext::kFileReason_TooLarge, kInfoTextSize);
        case ELOOP:
            return Lookup(lookup, qvxtext::kFileReason_Link, kInfoTextSize);
        default:
            return strerror(nError);
    }
}

namespace {

// A reason or a message without its text (no language chosen) is told in English.
std::string OrEnglish(std::string text, const char* pszEnglish) {
    return text.empty() ? pszEnglish : text;
}

}  // namespace

std::string AnalysisFailureText(int nResult, const std::string& path, const TextLookup& lookup) {
    std::string text;
    switch (nResult) {
        case CSV_ERR_CSV_PATH:
            text = path.empty() ? Lookup(lookup, qvxtext::kMainDlg_Info_NoCSVFile, kMessageSize)
                                : FormatKey(lookup, qvxtext::kMsg_File_PathTooLong, path);
            break;
        case CSV_ERR_SPLIT: {
            const int nError = ProbeReadError(path);
            if (nError == ENOENT || nError == ENOTDIR) {
                text = FormatKey(lookup, qvxtext::kMsg_File_NotFound, path);
            } else {
                text = FormatTextWithStrings(Lookup(lookup, qvxtext::kMsg_File_Unreadable, kMessageSize),
                                             path, FileErrorText(nError, lookup));
            }
            break;
        }
        case CSV_ERR_NO_LINES:
            text = FormatKey(lookup, qvxtext::kMsg_File_Empty, path);
            break;
        case CSV_ERR_NO_SEPARATOR:
            text = FormatKey(lookup, qvxtext::kMsg_File_NoSeparator, path);
            break;
        case CSV_ERR_HEADER_TOO_LONG:
            text = FormatKey(lookup, qvxtext::kMsg_File_HeaderTooLong, path);
            break;
        default:
            // No file-related cause: the general advice, after the file.
            text = path + ": " + Lookup(lookup, qvxtext::kMainDlg_MsgBox_AnalyzeCSVFailed, kMessageSize);
            break;
    }
    if (text.size() >= kMessageSize) text.resize(kMessageSize - 1);
    return text;
}

std::string LogFailureText(const std::string& path, int nError, const TextLookup& lookup) {
    return FormatTextWithStrings(OrEnglish(Lookup(lookup, qvxtext::kMsg_Log_Unwritable, kMessageSize),
                                           "The trace log %s cannot be written: %s."),
                                 path, OrEnglish(FileErrorText(nError, lookup), strerror(nError)));
}

std::string DatabaseContentsText(long long nContacts, const std::string& contacts, long long nDetails,
                                 const std::string& details, const TextLookup& lookup) {
    const std::string contactsText =
        nContacts == 1 ? Lookup(lookup, qvxtext::kCopyToPhoneDlg_Count_Contact, kInfoTextSize)
                       : FormatKey(lookup, qvxtext::kCopyToPhoneDlg_Count_Contacts, contacts);
    const std::string detailsText = nDetails == 1
                                        ? Lookup(lookup, qvxtext::kCopyToPhoneDlg_Count_Detail, kInfoTextSize)
                                        : FormatKey(lookup, qvxtext::kCopyToPhoneDlg_Count_Details, details);
    return FormatTextWithStrings(Lookup(lookup, qvxtext::kCopyToPhoneDlg_Info_Contents, kInfoTextSize),
                                 contactsText, detailsText);
}

std::string OnLinesText(int nCount, const std::vector<int>& lines, const TextLookup& lookup) {
    const char* pszKey =
        nCount == 1 && lines.size() <= 1 ? qvxtext::kPreviewDlg_OnLine : qvxtext::kPreviewDlg_OnLines;
    return FormatKey(lookup, pszKey, MismatchedLinesText(nCount, lines, lines.size()));
}

}  // namespace qvxwizard

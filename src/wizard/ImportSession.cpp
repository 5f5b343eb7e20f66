#include "wizard/ImportSession.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "import/ColumnSamples.h"
#include "import/ContactsFormats.h"
#include "import/Mapping.h"
#include "import/MappingChoice.h"
#include "import/VCardMapping.h"
#include "platform/FileSystem.h"
#include "platform/ProgramPath.h"
#include "support/Latin1Case.h"
#include "support/LogModules.h"
#include "support/TextDecoding.h"
#include "support/Utf8.h"
#include "wizard/WizardState.h"

namespace {

constexpr size_t kPathSize = 261;

std::string FileNamePart(const std::string& path) {
    const size_t nSlash = path.rfind('/');
    return nSlash == std::string::npos ? path : path.substr(nSlash + 1);
}

// The first nChars characters (code points) of UTF-8 text.
std::string LeftChars(const std::string& text, size_t nChars) {
    size_t nPos = 0;
    for (size_t n = 0; n < nChars && nPos < text.size(); ++n) {
        ++nPos;
        while (nPos < text.size() && (static_cast<unsigned char>(text[nPos]) & 0xC0) == 0x80) ++nPos;
    }
    return text.substr(0, nPos);
}

bool ReadInfo(CContactsFile& parser, const std::string& path, std::string& name, std::string& description) {
    char szName[97] = {};
    char szDescription[257] = {};
    if (path.empty() || path.size() >= kPathSize ||
        !parser.ReadMappingInfo(path.c_str(), szName, sizeof szName, szDescription, sizeof szDescription))
        return false;
    name = szName;
    description = szDescription;
    return true;
}

}  // namespace

CImportSession::CImportSession(std::string programFolder) : m_programFolder(std::move(programFolder)) {}

void CImportSession::ListMappings() {
    m_mappings.clear();
    const std::vector<std::string> folders = qvxplatform::GetMappingFolders(m_programFolder + "/mappings");
    for (size_t nFolder = 0; nFolder < folders.size(); ++nFolder) {
        for (const std::string& path : ListMappingFiles(folders[nFolder])) {
            MappingEntry entry;
            entry.fileName = FileNamePart(path);
            entry.path = path;
            if (!ReadInfo(m_parser, path, entry.name, entry.description)) {
                LOG_WARN(qvxlog::WizDlg, "Init Mappings: Get mapping information failed !");
                continue;
            }
            // The user's own copy replaces the shipped mapping it was saved from.
            auto shipped = std::find_if(m_mappings.begin(), m_mappings.end(), [&](const MappingEntry& e) {
                return nFolder > 0 && e.fileName == entry.fileName;
            });
            if (shipped != m_mappings.end()) {
                entry.bUsersCopy = true;
                *shipped = entry;
            } else {
                m_mappings.push_back(entry);
            }
        }
    }
    SortMappings();
    ListBuiltInMapping();
}

bool CImportSession::IsShippedMapping(const std::string& path) const {
    const std::string shipped = m_programFolder + "/mappings/";
    if (path.rfind(shipped, 0) != 0) return false;
    if (!qvxplatform::UserFilesBesideProgram()) return true;
    const std::string name = path.substr(shipped.size());
    return std::find(std::begin(kShippedMappings), std::end(kShippedMappings), name) !=
           std::end(kShippedMappings);
}

void CImportSession::SortMappings() {
    std::stable_sort(m_mappings.begin(), m_mappings.end(), [](const MappingEntry& a, const MappingEntry& b) {
        if (a.bBuiltIn != b.bBuiltIn) return a.bBuiltIn;
        const std::string la = MappingLabel(a), lb = MappingLabel(b);
        // Ignoring case, then exact: the order the list has always shown.
        const std::string fa = qvxsupport::FoldLatin1Case(la), fb = qvxsupport::FoldLatin1Case(lb);
        return fa != fb ? fa < fb : la < lb;
    });
}

std::string CImportSession::MappingFoldersText() const {
    std::string text;
    for (const std::string& folder : qvxplatform::GetMappingFolders(m_programFolder + "/mappings"))
        text += (text.empty() ? "" : " and ") + folder;
    return text;
}

bool CImportSession::AddMapping(const std::string& path, const std::string* pName,
                                const std::string* pDescription) {
    if (path.empty() || path.size() >= kPathSize) return false;
    MappingEntry entry;
    entry.path = path;
    entry.fileName = FileNamePart(path);
    if (pName && pDescription) {
        entry.name = *pName;
        entry.description = *pDescription;
    } else if (!ReadInfo(m_parser, path, entry.name, entry.description)) {
        LOG_WARN(qvxlog::WizDlg, "Add mapping: Get mapping information failed !");
        return false;
    }
    auto same = std::find_if(m_mappings.begin(), m_mappings.end(),
                             [&](const MappingEntry& e) { return e.path == path; });
    if (same == m_mappings.end() && path.rfind(UserMappingFolder(), 0) == 0 &&
        !qvxplatform::UserFilesBesideProgram()) {
        // Saved over a shipped mapping: the user's copy takes its place.
        const std::string shipped = m_programFolder + "/mappings/" + entry.fileName;
        same = std::find_if(m_mappings.begin(), m_mappings.end(),
                            [&](const MappingEntry& e) { return e.path == shipped; });
        entry.bUsersCopy = same != m_mappings.end();
    }
    if (same != m_mappings.end()) {
        entry.bUsersCopy = entry.bUsersCopy || same->bUsersCopy;
        *same = entry;
    } else {
        m_mappings.push_back(entry);
    }
    SortMappings();
    m_selectedMapping = path;
    return true;
}

std::string CImportSession::MappingLabel(const MappingEntry& entry) {
    // In the language shown now, as the other labels' marks are.
    if (entry.bBuiltIn) return LeftChars(VCardMappingName(), kMaxMappingLabel);
    std::string fileName = entry.fileName;
    if (entry.bUsersCopy) fileName += ", " + GetText(qvxtext::kMainDlg_Mapping_UsersCopy, 64);
    if (entry.name.empty()) return fileName;
    const std::string suffix = " [" + fileName + "]";
    const size_t nSuffix = qvxsupport::CountUtf8Chars(suffix.c_str());
    if (nSuffix > kMaxMappingLabel) return LeftChars(suffix, kMaxMappingLabel);
    return LeftChars(entry.name, kMaxMappingLabel - nSuffix) + suffix;
}

std::string CImportSession::UserMappingFolder() const {
    const std::string folder = qvxplatform::GetUserMappingFolder();
    return (folder.empty() ? m_programFolder + "/mappings" : folder) + "/";
}

std::string CImportSession::EditTarget(const std::string& path) const {
    const std::string shipped = m_programFolder + "/mappings/";
    if (path.rfind(shipped, 0) == 0 && !qvxplatform::UserFilesBesideProgram())
        return UserMappingFolder() + FileNamePart(path);
    return path;
}

int CImportSession::SetCSVFile(const std::string& path) {
    m_columnSamples.clear();
    m_bTallied = false;
    m_pszBrokenRule = nullptr;
    m_autoChosenName.clear();
    // A path the parser refuses (empty, too long) is no usable file.
    if (m_parser.SetCSVFileName(path.c_str()) != 0) {
        m_csvFile.clear();
        m_nCSVState = CSV_STATE_NONE;
    } else {
        m_csvFile = path;
        m_nCSVState = CSV_STATE_CHOSEN;
    }
    return m_nCSVState;
}

int CImportSession::SetMappingFile(const std::string& path) {
    m_bBuiltIn = IsBuiltIn(path);
    if (m_bBuiltIn) {
        m_parserMapping = path;
        m_nMappingState = MAPPING_STATE_CHOSEN;
    } else if (m_parser.SetMappingFileName(path.c_str()) != 0) {
        m_parserMapping.clear();
        m_nMappingState = MAPPING_STATE_NONE;
    } else {
        m_parserMapping = path;
        m_nMappingState = MAPPING_STATE_CHOSEN;
    }
    return m_nMappingState;
}

std::vector<std::string> CImportSession::FittingMappings() {
    std::vector<std::string> paths;
    // The built-in mapping is made for the vCard file at hand: it always fits.
    if (m_nCSVState == CSV_STATE_ANALYZED && IsVCard()) paths.push_back(kVCardMappingKey);
    for (const MappingEntry& entry : m_mappings)
        if (!entry.bBuiltIn && MappingFileFits(m_table, entry.path)) paths.push_back(entry.path);
    return paths;
}

AnalysisOutcome CImportSession::Analyse(bool bChooseFitting) {
    AnalysisOutcome out;
    int nCsv = m_nCSVState;
    int nMapping = m_nMappingState;
    const bool bFreshFile = nCsv == CSV_STATE_CHOSEN;
    out.nMappingResult = nMapping == MAPPING_STATE_NONE ? CSV_ERR_MAPPING_PATH : 0;
    // The built-in mapping is no file for the parser to apply.
    int nFileMapping = m_bBuiltIn ? MAPPING_STATE_NONE : nMapping;
    out.nResult = AnalyzeCSVFile(m_parser, m_table, nCsv, nFileMapping, &out.nAnalysisResult,
                                 m_bBuiltIn ? nullptr : &out.nMappingResult);
    if (!m_bBuiltIn)
        nMapping = nFileMapping;
    else if (nCsv == CSV_STATE_ANALYZED && !ApplyBuiltIn(nMapping))
        out.nMappingResult = CSV_ERR_MAPPING_PATH;
    if (bChooseFitting && nCsv == CSV_STATE_ANALYZED && nMapping != MAPPING_STATE_COMPLETE) {
        ChooseFittingMapping(nMapping, out.autoChosenPath);
        // A mapping the user picked for this file stays, to be edited; one
        // left from an earlier file is dropped when the outcome is applied.
        if (nMapping != MAPPING_STATE_COMPLETE && bFreshFile) {
            out.bNoneFits = true;
            out.nearest = FindNearest();
        }
    }
    // The samples come from the file's lines, which only a fresh analysis
    // holds for sure: a build gives them back, and later analyses of the
    // same file only apply another mapping.
    if (nCsv != CSV_STATE_ANALYZED) {
        out.bNewSamples = true;
    } else if (bFreshFile && m_bCollectSamples) {
        out.bNewSamples = true;
        out.samples = CollectColumnSamples(m_parser, m_table);
    }
    out.pszBrokenRule =
        nMapping == MAPPING_STATE_INCOMPLETE ? FirstBrokenMappingRule(CountMappingCodes(m_table)) : nullptr;
    if (m_bTallyRows && nCsv == CSV_STATE_ANALYZED && nMapping == MAPPING_STATE_COMPLETE &&
        ParseRows() == 0) {
        out.tally = TallyImport(m_table);
        out.bTallied = true;
    }
    out.nCSVState = nCsv;
    out.nMappingState = nMapping;
    return out;
}

bool CImportSession::ApplyAnalysis(AnalysisOutcome outcome) {
    m_nCSVState = outcome.nCSVState;
    m_nMappingState = outcome.nMappingState;
    m_pszBrokenRule = outcome.pszBrokenRule;
    if (outcome.bNewSamples) m_columnSamples = std::move(outcome.samples);
    m_bTallied = outcome.bTallied;
    m_tally = std::move(outcome.tally);
    m_bNoneFits = outcome.bNoneFits;
    m_nearest = std::move(outcome.nearest);
    bool bChanged = false;
    // The automatic choice first: it replaces whatever the parser applied
    // before, the built-in mapping of an earlier vCard file too.
    if (!outcome.autoChosenPath.empty()) {
        m_selectedMapping = outcome.autoChosenPath;
        m_parserMapping = outcome.autoChosenPath;
        m_bBuiltIn = IsBuiltIn(outcome.autoChosenPath);
        m_autoChosenName = m_bBuiltIn ? VCardMappingName() : FileNamePart(m_selectedMapping);
        for (const MappingEntry& entry : m_mappings) {
            if (entry.path == m_selectedMapping && !entry.name.empty()) {
                m_autoChosenName = entry.name;
                break;
            }
        }
        bChanged = true;
    }
    if (ListBuiltInMapping()) bChanged = true;
    if (m_bNoneFits && m_nMappingState != MAPPING_STATE_NONE) {
        m_selectedMapping.clear();
        SetMappingFile(std::string());
        m_pszBrokenRule = nullptr;
        bChanged = true;
    }
    return bChanged;
}

void CImportSession::ChooseFittingMapping(int& nMapping, std::string& chosenPath) {
    // A mapping that fits is never replaced; otherwise the first of the list,
    // in the order it shows, that makes the file complete. The table keeps
    // the chosen mapping applied when none does, so that editing starts from it.
    // For a vCard file the user's own mappings come first (one saved for such
    // files), then the built-in one; shipped mappings are made for CSV
    // headers. A portable folder keeps both kinds in one folder: the
    // shipped ones are told by their names there, in either layout.
    const bool bVCard = IsVCard();
    std::vector<std::string> candidates;
    for (const MappingEntry& entry : m_mappings)
        if (!entry.bBuiltIn && (!bVCard || !IsShippedMapping(entry.path))) candidates.push_back(entry.path);
    const int nFit = FindFittingMapping(m_table, candidates);
    if (nFit < 0 && bVCard) {
        int nBuiltIn = MAPPING_STATE_CHOSEN;
        if (ApplyBuiltIn(nBuiltIn) && nBuiltIn == MAPPING_STATE_COMPLETE) {
            LOG_INFO(qvxlog::WizDlg, "Mapping chosen by itself: the built-in vCard mapping");
            nMapping = nBuiltIn;
            chosenPath = kVCardMappingKey;
        }
        return;
    }
    if (nFit < 0) return;
    const std::string& path = candidates[static_cast<size_t>(nFit)];
    if (m_parser.SetMappingFileName(path.c_str()) != 0) return;
    int nCsv = CSV_STATE_ANALYZED;
    int nChosen = MAPPING_STATE_CHOSEN;
    AnalyzeCSVFile(m_parser, m_table, nCsv, nChosen);
    if (nChosen != MAPPING_STATE_COMPLETE) {
        // Changed since it was tried: the earlier choice stays in the parser.
        m_parser.SetMappingFileName(m_parserMapping.c_str());
        return;
    }
    LOG_INFO(qvxlog::WizDlg, "Mapping chosen by itself: %s", path.c_str());
    nMapping = nChosen;
    chosenPath = path;
}

bool CImportSession::ApplyBuiltIn(int& nMapping) {
    const CContactsReader* pReader = m_parser.Reader();
    if (pReader == nullptr || !pReader->ApplyBuiltInMapping(m_table)) {
        nMapping = MAPPING_STATE_NONE;
        return false;
    }
    nMapping = MappingFitsTable(m_table, m_table.GetColumnCount()) ? MAPPING_STATE_COMPLETE
                                                                   : MAPPING_STATE_INCOMPLETE;
    return true;
}

bool CImportSession::ListBuiltInMapping() {
    const bool bWanted = m_nCSVState == CSV_STATE_ANALYZED && IsVCard();
    auto listed =
        std::find_if(m_mappings.begin(), m_mappings.end(), [](const MappingEntry& e) { return e.bBuiltIn; });
    if (bWanted == (listed != m_mappings.end())) return false;
    if (!bWanted) {
        m_mappings.erase(listed);
        if (IsBuiltIn(m_selectedMapping)) m_selectedMapping.clear();
        if (m_bBuiltIn) SetMappingFile(std::string());
        return true;
    }
    MappingEntry entry;
    entry.path = kVCardMappingKey;
    entry.name = VCardMappingName();
    entry.description = GetText(qvxtext::kVCard_Mapping_Description, 1025);
    entry.bBuiltIn = true;
    m_mappings.insert(m_mappings.begin(), entry);
    return true;
}

std::string CImportSession::VCardVersions() const {
    const CContactsReader* pReader = m_parser.Reader();
    std::string text;
    if (pReader == nullptr) return text;
    for (const std::string& version : pReader->GetVersions()) {
        if (!text.empty()) text += ", ";
        text += version;
    }
    return text;
}

NearestMapping CImportSession::FindNearest() {
    std::vector<std::string> paths;
    for (const MappingEntry& entry : m_mappings)
        if (!entry.bBuiltIn) paths.push_back(entry.path);
    NearestMapping nearest = FindNearestMapping(m_table, paths);
    if (nearest.nIndex >= 0 && nearest.name.empty()) nearest.name = FileNamePart(nearest.path);
    return nearest;
}

std::string CImportSession::NewMappingName() const {
    std::string file = FileNamePart(m_csvFile);
    const size_t nDot = file.rfind('.');
    if (nDot != std::string::npos && nDot > 0) file.resize(nDot);
    if (m_nearest.nIndex < 0 || m_nearest.name.empty()) return file;
    return file.empty() ? m_nearest.name : m_nearest.name + " (" + file + ")";
}

void CImportSession::ForgetChosenName() {
    m_autoChosenName.clear();
}

void CImportSession::Describe(qvxwizard::WizardState& state) const {
    state.nCSVState = m_nCSVState;
    state.nMappingState = m_nMappingState;
    state.pszMappingRule = m_pszBrokenRule.load();
    // The built-in mapping's name is a text of the language shown now.
    if (!m_autoChosenName.empty())
        state.autoChosenMapping = m_bBuiltIn ? VCardMappingName() : m_autoChosenName;
    if (m_bNoneFits && state.nMappingState == MAPPING_STATE_NONE) {
        state.bNoMappingFits = true;
        if (m_nearest.nIndex >= 0) state.nearestMapping = m_nearest.name;
    }
    if (state.nCSVState == CSV_STATE_ANALYZED) {
        if (m_parser.GetEncoding() != TextEncoding::kUtf8)
            state.csvCharset = TextEncodingLabel(m_parser.GetEncoding());
        state.nMismatchedRows = m_parser.GetMismatchedCount();
        state.mismatchedLines = m_parser.GetMismatchedLines();
        if (IsVCard()) {
            state.bVCard = true;
            state.vcardVersions = VCardVersions();
        }
        if (m_parser.Reader() != nullptr)
            for (ReaderNotice& note : m_parser.Reader()->GetNotices())
                state.readerNotes.push_back(
                    {note.keyOne, note.keyMany, note.nCount, std::move(note.lines), note.nPlaces});
    }
    if (m_bTallied && state.nCSVState == CSV_STATE_ANALYZED &&
        state.nMappingState == MAPPING_STATE_COMPLETE) {
        state.nSkippedRows = m_tally.nSkipped;
        state.skippedLines = m_tally.skippedLines;
        state.nValuesNotStored = m_tally.nNotStored;
        state.nNotStoredRows = m_tally.nNotStoredRows;
        state.notStoredLines = m_tally.notStoredLines;
    }
}

std::string CImportSession::FindLastDB() {
    const std::string folder = qvxplatform::GetUserDataFolder();
    if (folder.empty()) return {};
    const std::string path = folder + "/last.db";
    if (path.size() >= kPathSize) return {};
    return IsReadableFile(path) ? path : std::string();
}

bool CImportSession::IsReadableFile(const std::string& path) {
    const qvxplatform::ReadableFile eReadable = qvxplatform::CheckReadableFile(path.c_str());
    if (eReadable == qvxplatform::ReadableFile::kNo) {
        LOG_WARN(qvxlog::WizDlg, "Open file( %s ) failed!", path.c_str());
        return false;
    }
    if (eReadable == qvxplatform::ReadableFile::kYesButCloseFailed)
        LOG_WARN(qvxlog::WizDlg, "Close file( %s ) failed!", path.c_str());
    return true;
}

const char* CImportSession::RefusalOf(const std::string& path) {
    if (!IsContactsFileName(path)) return qvxtext::kMainDlg_Info_CSVNotTaken_Type;
    if (!IsReadableFile(path)) return qvxtext::kMainDlg_Info_CSVNotTaken_Unreadable;
    return nullptr;
}

std::string CImportSession::RefusalText(const char* pszKey, const std::string& path) {
    return qvxwizard::InfoLineText(qvxwizard::RefusalLine(pszKey, path));
}

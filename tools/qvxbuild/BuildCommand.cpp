// qvxbuild build FILE [FILE.map] [FILE [FILE.map] ...] [--out FILE.db] [--language NAME]
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "CommandSupport.h"
#include "Commands.h"
#include "Options.h"
#include "ProgressLine.h"
#include "database/CreateDBThread.h"
#include "database/QVXDBBuilder.h"
#include "database/StagingFolder.h"
#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "import/AnalysisStep.h"
#include "import/ContactsFile.h"
#include "import/NearestMapping.h"
#include "platform/ProgramPath.h"
#include "support/ProgressPercent.h"
#include "threads/CallbackReceiver.h"
#include "wizard/ImportSession.h"
#include "wizard/ImportSet.h"
#include "wizard/WizardState.h"

namespace {

// Shows the build's progress the way the progress dialog computes it.
class BuildProgress : public CCallbackReceiver {
public:
    int OnReceiveCallback(unsigned code, void* param) override {
        switch (code) {
            case CB::SET_RANGE:
                if (param && *static_cast<int*>(param) > 0) {
                    m_total = *static_cast<int*>(param);
                    m_count = 0;
                }
                break;
            case CB::STEP: {
                ++m_count;
                if (qvxsupport::RaiseShownPercent(m_count, m_total, m_shown))
                    m_line.Show(qvxsupport::DisplayedPercent(m_shown), m_text);
                return static_cast<int>(m_count);
            }
            case CB::INFO_TEXT:
                if (param && strlen(static_cast<const char*>(param)) <= 128) {
                    m_text = static_cast<const char*>(param);
                    m_line.Show(qvxsupport::DisplayedPercent(m_shown), m_text);
                }
                break;
            default:
                break;
        }
        return 0;
    }
    void Finish() { m_line.Finish(); }

private:
    ProgressLine m_line;
    int64_t m_total = 0;
    int64_t m_count = 0;
    int m_shown = 0;
    std::string m_text;
};

// Every file of the trace log ("QVXWizard.l_0", "QVXWizard.l_1", ...) in its
// folder, also reached another way: the log moves on to the next one and
// empties it, whether it exists yet or not.
bool IsTraceLogFile(const std::string& out) {
    const std::string log = qvxplatform::GetTraceLogFile("QVXWizard.l_0");
    const size_t logSlash = log.rfind('/');
    if (log.empty() || logSlash == std::string::npos) return false;
    const size_t slash = out.rfind('/');
    const std::string name = slash == std::string::npos ? out : out.substr(slash + 1);
    const std::string stem = log.substr(logSlash + 1, log.size() - logSlash - 2);  // "QVXWizard.l_"
    if (name.size() != stem.size() + 1 || name.compare(0, stem.size(), stem) != 0 || name.back() < '0' ||
        name.back() > '9')
        return false;
    const std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : out.substr(0, slash);
    const std::string logFolder = logSlash == 0 ? "/" : log.substr(0, logSlash);
    struct stat here {
    }, there{};
    return stat(parent.c_str(), &here) == 0 && stat(logFolder.c_str(), &there) == 0 &&
           here.st_dev == there.st_dev && here.st_ino == there.st_ino;
}

// Why `out` may not be written, or "" when it may: it must not be empty,
// name an input file (also through a link), or be anything but a regular
// file; an existing file must be a database, which is replaced in one step.
std::string RefuseOutput(const char* out, const std::vector<FileArgument>& files) {
    if (*out == '\0') return "--out needs a file name";
    if (*out == '-')
        return "--out needs a file name (write ./" + std::string(out) + " for one that begins with '-')";
    if (CQVXDBBuilder::IsOwnFileName(out))
        return std::string(out) +
               " is a file the program keeps for itself (a build without --out makes last.db)";
    if (IsTraceLogFile(out))
        return std::string(out) + " is a trace log file of the program, which a later run empties";
    struct stat target {};
    if (lstat(out, &target) != 0) return errno == ENOENT ? "" : std::string(out) + ": " + strerror(errno);
    if (S_ISDIR(target.st_mode)) return std::string(out) + " is a folder";
    if (!S_ISREG(target.st_mode)) return std::string(out) + " exists and is not a regular file";
    for (const FileArgument& file : files) {
        for (const char* input : {file.pszFile, file.pszMap}) {
            if (input == nullptr) continue;  // no mapping given
            struct stat in {};
            if (stat(input, &in) == 0 && in.st_dev == target.st_dev && in.st_ino == target.st_ino)
                return std::string(out) + " is the input file " + input;
        }
    }
    char header[16] = {};
    const int fd = open(out, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const ssize_t got = fd >= 0 ? read(fd, header, sizeof header) : -1;
    if (fd >= 0) close(fd);
    if (got != 0 &&
        (got != static_cast<ssize_t>(sizeof header) || memcmp(header, "SQLite format 3", 16) != 0))
        return std::string(out) + " exists and is not a database";
    return "";
}

// The rows that gave no contact and the values not stored, with their lines.
void ReportTally(const char* pszLabel, const ImportTally& tally) {
    if (tally.nSkipped > 0) {
        fprintf(stderr,
                "qvxbuild %s: warning: %d row%s no contact (neither a name nor a company, or a name over "
                "1,024 bytes); %s %s\n",
                pszLabel, tally.nSkipped, tally.nSkipped == 1 ? " gives" : "s give",
                tally.nSkipped == 1 ? "it starts on line" : "they start on lines:",
                qvxwizard::MismatchedLinesText(tally.nSkipped, tally.skippedLines, tally.skippedLines.size())
                    .c_str());
    }
    if (tally.nNotStored > 0) {
        fprintf(stderr,
                "qvxbuild %s: warning: %d value%s not stored (a company over 1,024 bytes, another value "
                "over 1,025 bytes, or a phone number with fewer than two digits), in the %s %s\n",
                pszLabel, tally.nNotStored, tally.nNotStored == 1 ? " was" : "s were",
                tally.nNotStoredRows == 1 ? "row on line" : "rows on lines:",
                qvxwizard::MismatchedLinesText(tally.nNotStoredRows, tally.notStoredLines,
                                               tally.notStoredLines.size())
                    .c_str());
    }
}

// Why the mapping given could not be applied: a file that cannot be read
// is told as a contacts file would be.
void SayMappingFailed(const char* pszCommand, const char* map) {
    std::string text;
    if (map == nullptr || *map == '\0') {
        text = "no mapping could be applied";
    } else if (CImportSession::IsBuiltIn(map)) {
        text = "the built-in vCard mapping applies to vCard files only";
    } else if (!CImportSession::IsReadableFile(map)) {
        text = qvxwizard::AnalysisFailureText(CSV_ERR_SPLIT, map);
    } else {
        text = std::string("the mapping file ") + map + " holds no mapping that can be applied";
    }
    fprintf(stderr, "qvxbuild %s: %s\n", pszCommand, text.c_str());
}

}  // namespace

std::string FileLabel(const char* pszCommand, const std::vector<FileArgument>& files, size_t nFile) {
    if (files.size() < 2) return pszCommand;
    return std::string(pszCommand) + ": " + files[nFile].pszFile;
}

int PrepareImports(const char* pszCommand, CImportSet& set, const std::vector<FileArgument>& files) {
    for (size_t f = 0; f < files.size(); ++f) {
        const int prepared = PrepareImport(FileLabel(pszCommand, files, f).c_str(), set.Append(),
                                           files[f].pszFile, files[f].pszMap);
        if (prepared >= 0) return prepared;
    }
    return -1;
}

int PrepareImport(const char* pszCommand, CImportSession& session, const char* csv, const char* map) {
    session.SetCollectSamples(false);
    session.ListMappings();
    const bool bRefused = RefuseContactsFile(pszCommand, csv);
    if (!bRefused) session.SetCSVFile(csv);
    if (map != nullptr) session.SetMappingFile(map);
    int analysisResult = session.CSVState() == CSV_STATE_CHOSEN ? 0 : CSV_ERR_CSV_PATH;
    int mappingResult = session.MappingState() == MAPPING_STATE_CHOSEN ? 0 : CSV_ERR_MAPPING_PATH;
    if (session.CSVState() == CSV_STATE_CHOSEN) {
        AnalysisOutcome outcome = session.Analyse(map == nullptr);
        analysisResult = outcome.nAnalysisResult;
        if (map != nullptr && mappingResult == 0) mappingResult = outcome.nMappingResult;
        session.ApplyAnalysis(std::move(outcome));
    }
    if (session.CSVState() != CSV_STATE_ANALYZED) {
        if (!bRefused) SayAnalysisFailed(pszCommand, analysisResult, csv);
        return EXIT_ANALYSIS_FAILED;
    }
    const CContactsFile& parser = session.Parser();
    SayCharacterSet(pszCommand, parser.GetEncoding());
    const int mismatched = parser.GetMismatchedCount();
    // Formats with words of their own (a vCard file's cards and lines) say
    // what they met in the user's language.
    auto sayCounted = [&](const char* pszOne, const char* pszMany, int nCount, const std::vector<int>& lines,
                          int nPlaces) {
        const std::string at = qvxwizard::MismatchedLinesText(nPlaces, lines, lines.size());
        const std::string text =
            nCount == 1 ? FormatTextWithString(GetText(pszOne, 1025), at)
                        : FormatTextWithStrings(GetText(pszMany, 1025), std::to_string(nCount), at);
        fprintf(stderr, "qvxbuild %s: warning: %s\n", pszCommand, text.c_str());
    };
    const CContactsReader* reader = parser.Reader();
    if (reader != nullptr) {
        for (const ReaderNotice& note : reader->GetNotices())
            sayCounted(note.keyOne, note.keyMany, note.nCount, note.lines, note.nPlaces);
    }
    if (mismatched > 0 && reader != nullptr && reader->UnreadableKeyOne() != nullptr) {
        sayCounted(reader->UnreadableKeyOne(), reader->UnreadableKeyMany(), mismatched,
                   parser.GetMismatchedLines(), mismatched);
    } else if (mismatched > 0) {
        const std::vector<int>& lines = parser.GetMismatchedLines();
        fprintf(stderr,
                "qvxbuild %s: warning: %d row%s not fit the header (surplus fields are dropped, missing "
                "ones left empty); %s on lines: %s\n",
                pszCommand, mismatched, mismatched == 1 ? " does" : "s do",
                mismatched == 1 ? "it starts" : "they start",
                qvxwizard::MismatchedLinesText(mismatched, lines, lines.size()).c_str());
    }
    if (map == nullptr) {
        // No mapping given: the first of the list that fits.
        if (session.AutoChosenName().empty()) {
            fprintf(stderr, "qvxbuild %s: no mapping in %s fits the file\n", pszCommand,
                    session.MappingFoldersText().c_str());
            // Named as a start for a mapping of one's own, never used by itself.
            const NearestMapping& nearest = session.Nearest();
            if (nearest.nIndex >= 0) {
                std::string unknown;
                for (const std::string& header : nearest.unknownHeaders)
                    unknown += (unknown.empty() ? "\"" : ", \"") + header + "\"";
                fprintf(stderr,
                        "qvxbuild %s: the nearest mapping is \"%s\" (%s); it does not know %d of the %d "
                        "columns: %s\n",
                        pszCommand, nearest.name.c_str(), nearest.path.c_str(),
                        nearest.nColumns - nearest.nKnown, nearest.nColumns, unknown.c_str());
            }
            fprintf(stderr, "qvxbuild %s: give a mapping file, or make one for this file in the wizard\n",
                    pszCommand);
            return EXIT_MAPPING_FAILED;
        }
        if (session.BuiltInMappingChosen())
            fprintf(stderr, "qvxbuild %s: using the built-in mapping \"%s\"\n", pszCommand,
                    session.AutoChosenName().c_str());
        else
            fprintf(stderr, "qvxbuild %s: using the mapping \"%s\" (%s)\n", pszCommand,
                    session.AutoChosenName().c_str(), session.SelectedMapping().c_str());
    }
    if (session.MappingState() == MAPPING_STATE_COMPLETE) return -1;
    if (mappingResult != 0 || session.MappingState() == MAPPING_STATE_NONE) {
        SayMappingFailed(pszCommand, map);
    } else {
        const char* rule = session.BrokenRule();
        std::string text = GetText(rule ? rule : qvxtext::kMainDlg_Info_MappingIncomplete, 129);
        fprintf(stderr, "qvxbuild %s: the mapping is incomplete: %s\n", pszCommand, text.c_str());
    }
    return EXIT_MAPPING_FAILED;
}

namespace {

// Runs the build worker on the session's import until it ends or is stopped
// (Ctrl-C); says why when it did not become the user's database. The exit status.
int RunBuilder(CImportSet& set, const std::vector<FileArgument>& files, int64_t startNs, bool bOut) {
    if (InterruptRequested()) {
        fprintf(stderr, "qvxbuild build: stopped; no database was written\n");
        return EXIT_BUILD_FAILED;
    }
    BuildProgress progress;
    CImportData import = set.ImportData();
    import.m_llStartNs = startNs;
    CCreateDBThread worker;
    worker.SetImportData(&import);
    worker.SetReceiver(&progress);
    bool stopped = false;
    if (!worker.StartThread(0, 0, 0)) {
        fprintf(stderr, "qvxbuild build: the build could not be started\n");
        return EXIT_BUILD_FAILED;
    }
    while (!worker.WaitForDone(100)) {
        if (InterruptRequested() && !stopped) {
            stopped = true;
            worker.StopWork();
        }
    }
    progress.Finish();
    worker.SetReceiver(nullptr);
    // The worker's result tells whether the build finished, not the moment
    // a stop came; with --out the move into place is the last moment.
    const bool built = worker.GetLastResult() == 0 && (!bOut || !InterruptRequested());
    if (!built && (stopped || InterruptRequested())) {
        fprintf(stderr, "qvxbuild build: stopped; no database was written\n");
    } else if (worker.GetLastDBError() != 0) {
        fprintf(stderr,
                "qvxbuild build: the database could not replace last.db (%s); last.db stays as it was\n",
                strerror(worker.GetLastDBError()));
    } else if (worker.GetLastResult() != 0) {
        fprintf(stderr, "qvxbuild build: the database could not be written\n");
    } else if (worker.KeptLaterBuild()) {
        fprintf(stderr, "qvxbuild build: %s\n",
                GetText(qvxtext::kCreateDBDlg_Msg_LaterBuildKept, 257).c_str());
    } else {
        const std::vector<ImportTally>& tallies = worker.GetLastFileTallies();
        for (size_t f = 0; f < tallies.size() && f < files.size(); ++f)
            ReportTally(FileLabel("build", files, f).c_str(), tallies[f]);
        return EXIT_OK;
    }
    return EXIT_BUILD_FAILED;
}

int Build(int argc, char** argv) {
    // A build counts as started now, not once the file has been read.
    const int64_t startNs = CQVXDBBuilder::NowNs();
    const char* out = nullptr;
    const char* language = nullptr;
    std::vector<const char*> names;
    const int refused =
        ReadOptions("build", argc, argv, {{"--out", &out, nullptr}, {"--language", &language, nullptr}},
                    names, names.max_size());
    if (refused >= 0) return refused;
    std::vector<FileArgument> files;
    const int unpaired = PairFileArguments("build", names, files);
    if (unpaired >= 0) return unpaired;
    if (files.empty()) {
        PrintUsage();
        return EXIT_USAGE;
    }
    if (language != nullptr && *language == '\0') {
        fprintf(stderr, "qvxbuild build: --language needs a language name\n");
        return EXIT_USAGE;
    }
    if (out != nullptr) {
        const std::string refusal = RefuseOutput(out, files);
        if (!refusal.empty()) {
            fprintf(stderr, "qvxbuild build: %s\n", refusal.c_str());
            return EXIT_USAGE;
        }
    }
    InstallInterruptHandler();
    if (!PrepareLanguage(language)) {
        fprintf(stderr, "qvxbuild build: %s\n",
                language ? "no such language in language.ini" : "language.ini not found");
        return EXIT_USAGE;
    }
    if (out == nullptr && !CheckUserDataFolder("build")) return EXIT_BUILD_FAILED;

    CImportSet set(qvxplatform::GetProgramFolder());
    const int prepared = PrepareImports("build", set, files);
    if (prepared >= 0) return prepared;

    CQVXDBBuilder::TidyProgramFolder();
    qvxdb::CStagingFolder staging;
    if (out != nullptr) {
        if (!staging.Make(out)) {
            fprintf(stderr, "qvxbuild build: cannot write beside %s: %s\n", out, strerror(errno));
            return EXIT_BUILD_FAILED;
        }
        qvxplatform::SetProgramFolder(staging.Path());
    }
    int status = RunBuilder(set, files, startNs, out != nullptr);
    std::string result = qvxplatform::GetUserDataFolder() + "/last.db";
    if (out != nullptr) {
        // One rename: an existing database at `out` is replaced whole or not at all.
        if (status == EXIT_OK) {
            if (!staging.MoveResultTo(out)) {
                fprintf(stderr, "qvxbuild build: cannot move the database to %s: %s\n", out, strerror(errno));
                status = EXIT_BUILD_FAILED;
            }
            result = out;
        }
        qvxplatform::SetProgramFolder("");
    }
    if (status == EXIT_OK && InterruptRequested())
        fprintf(stderr, "qvxbuild build: the build had finished when the stop came; the database is kept\n");
    if (status == EXIT_OK) printf("%s\n", result.c_str());
    return status;
}

}  // namespace

int RunBuild(int argc, char** argv) {
    try {
        return Build(argc, argv);
    } catch (const std::exception& e) {
        fprintf(stderr, "qvxbuild build: %s\n", e.what());
        return EXIT_BUILD_FAILED;
    }
}

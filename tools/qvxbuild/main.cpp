// qvxbuild: runs the wizard's steps without windows.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "CommandSupport.h"
#include "Commands.h"
#include "import/ContactsFormats.h"
#include "platform/ProgramPath.h"
#include "support/Log.h"
#include "support/ProductInfo.h"

// Installed, the trace log goes to the user's state folder.
QVX_DEFINE_LOG_FILE_AT(g_logFile, qvxplatform::GetTraceLogFile("QVXWizard.l_0").c_str());

namespace {

// The --help text (also the source of the manual page, through help2man).
const char kHelp[] =
    "Usage: qvxbuild analyze FILE [FILE.map] [FILE [FILE.map] ...] [--map FILE.map] [--json]\n"
    "  or:  qvxbuild build FILE [FILE.map] [FILE [FILE.map] ...] [--out FILE.db] [--language NAME]\n"
    "  or:  qvxbuild preview FILE [FILE.map] [FILE [FILE.map] ...] [--limit N] [--json]\n"
    "  or:  qvxbuild map FILE [--out FILE.map] [--json]\n"
    "  or:  qvxbuild send [--phone NAME|SERIAL] [--install] [--allow-empty]\n"
    "Runs the steps of the contact wizard QVXWizard without windows: analyses a\n"
    "contacts file (%FORMATS%), builds the phone's contact\n"
    "database from it, and copies the database built last to a (simulated)\n"
    "phone. Writes the wizard's trace log.\n"
    "\n"
    "analyze, build and preview take several contacts files (CSV or vCard, any\n"
    "mix), each followed by its mapping where one is given (a FILE.map belongs to\n"
    "the file before it): build and preview put the contacts of all of them into\n"
    "one database, in the order given, with their ids running on from file to\n"
    "file; each file is analysed and mapped on its own, and messages name it.\n"
    "\n"
    "Commands:\n"
    "  analyze FILE       show the separator, quote character, columns and rows\n"
    "                     found; --map FILE.map also applies a mapping, without it\n"
    "                     the ready mappings that fit are listed; --json prints\n"
    "                     the result as JSON\n"
    "  build FILE [FILE.map] ...\n"
    "                     build the database; without FILE.map with the first\n"
    "                     ready mapping that fits the file (mappings/ beside the\n"
    "                     program, then, installed, the user's own in\n"
    "                     $XDG_DATA_HOME/qvxwizard/mappings; for a vCard file\n"
    "                     the user's own, else the built-in vCard mapping); it\n"
    "                     becomes last.db in the user's data\n"
    "                     folder, or FILE.db with --out FILE.db (last.db then stays\n"
    "                     as it was); --language NAME chooses the language of the\n"
    "                     messages (Deutsch, English)\n"
    "  preview FILE [FILE.map] ...\n"
    "                     list the contacts as the database will hold them, in\n"
    "                     ContactId order with their details, and the counts\n"
    "                     (contacts, details, rows skipped and rows that do not\n"
    "                     fit the header, with their first lines); the mapping is\n"
    "                     chosen as build chooses it; --limit N lists the first N\n"
    "                     contacts only (the counts stay whole); --json prints one\n"
    "                     JSON object, each contact with its \"sources\" (file and\n"
    "                     line)\n"
    "  map FILE           write the mapping the wizard's editor starts from for\n"
    "                     the file: the ready mapping that fits it, else the\n"
    "                     nearest one with the columns it does not know guessed\n"
    "                     from their headers, else guesses alone; to standard\n"
    "                     output, or to FILE.map with --out FILE.map; --json\n"
    "                     prints where each column's code comes from (known,\n"
    "                     sure, guessed, unknown) and its name part instead;\n"
    "                     the guessed and unknown columns are named on standard\n"
    "                     error. A mapping that breaks a rule (no name column)\n"
    "                     is written too, with exit status 3\n"
    "  send               copy last.db to the phone (--phone NAME|SERIAL when\n"
    "                     several are connected) after checking that twice its\n"
    "                     size fits; --install installs the phone application when\n"
    "                     it is missing; a database without a contact is refused,\n"
    "                     as the phone would replace its whole contact book with\n"
    "                     it and so empty it, unless --allow-empty is given\n"
    "\n"
    "Options:\n"
    "  -h, --help         show this help and exit\n"
    "  -V, --version      show the version and exit\n"
    "  --                 end the options: the arguments after it are file names,\n"
    "                     also those that begin with a dash\n"
    "\n"
    "Exit status:\n"
    "  0  success\n"
    "  1  usage\n"
    "  2  the analysis failed\n"
    "  3  the mapping failed or is incomplete, or none fits\n"
    "  4  the build failed or was stopped (Ctrl-C), or a build started later\n"
    "     became last.db meanwhile (its database was not kept)\n"
    "  5  the copy to the phone failed\n"
    "\n"
    "Files:\n"
    "  Beside a program folder that is writable and not installed (the build\n"
    "  folder, a portable copy), last.db and the trace log QVXWizard.l_0 stay in\n"
    "  the program folder. Installed, they are\n"
    "  $XDG_DATA_HOME/qvxwizard/last.db (~/.local/share/qvxwizard) and\n"
    "  $XDG_STATE_HOME/qvxwizard/QVXWizard.l_0 (~/.local/state/qvxwizard).\n";

// The help with the contacts files taken: "csv: *.csv *.txt; vcard: *.vcf".
std::string HelpText() {
    std::string formats;
    for (const ContactsFormat& format : ContactsFormats()) {
        if (!formats.empty()) formats += "; ";
        formats += format.name;
        formats += ':';
        for (const char* extension : format.extensions) {
            formats += " *";
            formats += extension;
        }
    }
    std::string text = kHelp;
    const std::string_view placeholder = "%FORMATS%";
    text.replace(text.find(placeholder), placeholder.size(), formats);
    return text;
}

bool IsHelp(const char* arg) {
    return strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0;
}

// "qvxbuild build --help" asks for the help as well; after "--" it would be a file name.
bool AsksForHelp(int argc, char** argv) {
    for (int i = 1; i < argc && strcmp(argv[i], "--") != 0; ++i) {
        if (IsHelp(argv[i])) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage();
        return EXIT_USAGE;
    }
    if (AsksForHelp(argc, argv)) {
        fputs(HelpText().c_str(), stdout);
        return EXIT_OK;
    }
    const char* command = argv[1];
    if (strcmp(command, "analyze") == 0) return RunAnalyze(argc - 2, argv + 2);
    if (strcmp(command, "build") == 0) return RunBuild(argc - 2, argv + 2);
    if (strcmp(command, "send") == 0) return RunSend(argc - 2, argv + 2);
    if (strcmp(command, "preview") == 0) return RunPreview(argc - 2, argv + 2);
    if (strcmp(command, "map") == 0) return RunMap(argc - 2, argv + 2);
    if (strcmp(command, "--version") == 0 || strcmp(command, "-V") == 0) {
        printf("qvxbuild (QVXWizard) %d.%d.%d.%d\n", qvxproduct::kVersionMajor, qvxproduct::kVersionMinor,
               qvxproduct::kVersionRelease, qvxproduct::kVersionBuild);
        return EXIT_OK;
    }
    fprintf(stderr, "qvxbuild: unknown command '%s'\n", command);
    PrintUsage();
    return EXIT_USAGE;
}

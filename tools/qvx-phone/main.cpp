// qvx-phone: attaches, lists and removes the phones that the device service
// (libqvxdevice.so) simulates as folders. A phone appears and disappears
// atomically (it is prepared, and removed, under a hidden name), so a running
// service never sees half a phone.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "PhoneFolder.h"
#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "platform/ProgramPath.h"
#include "support/FileWrite.h"

namespace {

const char kUsage[] =
    "usage: qvx-phone [--phones DIR] COMMAND\n"
    "  add NAME [--free BYTES] [--total BYTES] [--serial S] [--speed BYTES_PER_S]\n"
    "           [--disconnect-after BYTES] [--install-fails] [--installed]\n"
    "      attach a phone; --installed also creates the phone application's folders\n"
    "  list [--names]\n"
    "      list the attached phones; --names prints only their names, one a line\n"
    "  remove NAME|SERIAL\n"
    "      detach a phone and delete its folder\n"
    "The phones folder is --phones DIR, else $QVX_PHONES_DIR, else the value PhonesFolder of\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\PC Connectivity Solution\\API] in registry.ini beside the\n"
    "program, else the folder 'phones' beside the program.\n";

// The --help text (also the source of the manual page, through help2man).
const char kHelp[] =
    "Usage: qvx-phone [--phones DIR] add NAME [OPTION]...\n"
    "  or:  qvx-phone [--phones DIR] list [--names]\n"
    "  or:  qvx-phone [--phones DIR] remove NAME|SERIAL\n"
    "Attaches, lists and removes the phones that the device service of QVXWizard\n"
    "simulates as folders. A phone appears and disappears at once, so the wizard\n"
    "never sees half a phone.\n"
    "\n"
    "Commands:\n"
    "  add NAME           attach a phone named NAME\n"
    "  list               list the attached phones\n"
    "  list --names       print only the phones' names, one a line\n"
    "  remove NAME|SERIAL detach a phone and delete its folder\n"
    "\n"
    "Options of add:\n"
    "  --free BYTES       free memory (default: the file system's)\n"
    "  --total BYTES      total memory (default: the file system's)\n"
    "  --serial S         serial number (default: a new random one)\n"
    "  --speed BYTES_PER_S\n"
    "                     copy slowly, to watch a copy\n"
    "  --disconnect-after BYTES\n"
    "                     the phone disconnects once a copy has moved that much\n"
    "  --install-fails    every installation of the phone application fails\n"
    "  --installed        the phone application is already installed\n"
    "\n"
    "Options:\n"
    "  --phones DIR       the phones folder\n"
    "  -h, --help         show this help and exit\n"
    "  -V, --version      show the version and exit\n"
    "\n"
    "The phones folder is --phones DIR, else $QVX_PHONES_DIR, else the value\n"
    "PhonesFolder of [HKEY_LOCAL_MACHINE\\SOFTWARE\\PC Connectivity Solution\\API]\n"
    "in registry.ini beside the program, else the folder phones beside the program;\n"
    "for an installed program $XDG_DATA_HOME/qvxwizard/phones\n"
    "(~/.local/share/qvxwizard/phones).\n";

int Usage(const char* problem) {
    if (problem) std::fprintf(stderr, "qvx-phone: %s\n", problem);
    std::fputs(kUsage, stderr);
    return 2;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SerialInUse(const std::vector<qvxdev::PhoneInfo>& phones, const std::string& serial) {
    for (const auto& p : phones) {
        if (p.serial == serial) return true;
    }
    return false;
}

std::string NewSerial(const std::vector<qvxdev::PhoneInfo>& phones) {
    std::random_device rd;
    std::mt19937_64 gen((static_cast<uint64_t>(rd()) << 32) ^ rd() ^ static_cast<uint64_t>(getpid()));
    for (;;) {
        std::string serial = "35";
        for (int i = 0; i < 13; ++i) serial += static_cast<char>('0' + gen() % 10);
        if (!SerialInUse(phones, serial)) return serial;
    }
}

// Writes a new file with mode 0644 whatever the umask.
bool WriteNewFile(const std::string& path, const std::string& text) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = fchmod(fd, 0644) == 0 && qvxsupport::WriteAll(fd, text);
    return close(fd) == 0 && ok;
}

// That the user's folders cannot be made, in the language the user chose.
std::string NoUserFoldersText() {
    const std::string file = qvxplatform::GetProgramFolder() + "/language.ini";
    if (SetLanguageFile(file.c_str())) {
        KeepLanguageChoiceWithUserFiles();
        ChooseStartupLanguage();
    }
    std::string text = GetText(qvxtext::kMsg_NoUserFolders, 1025);
    if (text.empty()) text = "The folders for your files cannot be made (%s).";
    return FormatTextWithString(text, "$XDG_DATA_HOME/qvxwizard, ~/.local/share/qvxwizard");
}

bool HasOuterBlank(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    return !text.empty() && (blank(text.front()) || blank(text.back()));
}

bool ParseBytes(const char* option, const char* text, int64_t& value) {
    if (text && qvxdev::ParseCount(text, value)) return true;
    std::fprintf(stderr, "qvx-phone: %s needs a number of bytes\n", option);
    return false;
}

int Add(const std::string& phonesDir, const std::vector<std::string>& args) {
    if (args.empty()) return Usage("add needs a NAME");
    qvxdev::PhoneInfo info;
    info.name = args[0];
    // The phones folder's own limit on a name (where it does not exist yet, the usual one).
    const long nameMax = pathconf(IsDirectory(phonesDir) ? phonesDir.c_str() : ".", _PC_NAME_MAX);
    const size_t limit = nameMax > 0 ? static_cast<size_t>(nameMax) : 255;
    if (info.name.size() > limit) {
        std::fprintf(stderr, "qvx-phone: a phone name may have at most %zu bytes\n", limit);
        return 1;
    }
    if (!qvxdev::IsPlainName(info.name) || info.name[0] == '.') {
        std::fprintf(stderr, "qvx-phone: '%s' cannot be a phone name\n", info.name.c_str());
        return 1;
    }
    // The service reads names and serial numbers without their outer blanks:
    // a phone added with them could never be chosen by the name given.
    if (HasOuterBlank(info.name)) {
        std::fprintf(stderr, "qvx-phone: a phone name cannot begin or end with a blank: '%s'\n",
                     info.name.c_str());
        return 1;
    }
    bool installed = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const char* next = i + 1 < args.size() ? args[i + 1].c_str() : nullptr;
        if (a == "--free" || a == "--total" || a == "--speed" || a == "--disconnect-after") {
            int64_t v = 0;
            if (!ParseBytes(a.c_str(), next, v)) return 2;
            ++i;
            if (a == "--free") info.freeMemory = v;
            if (a == "--total") info.totalMemory = v;
            if (a == "--speed") info.copySpeed = v;
            if (a == "--disconnect-after") info.disconnectAfter = v;
        } else if (a == "--serial") {
            if (!next || !qvxdev::IsPlainName(next)) return Usage("--serial needs a serial number");
            if (HasOuterBlank(next)) return Usage("a serial number cannot begin or end with a blank");
            info.serial = next;
            ++i;
        } else if (a == "--install-fails") {
            info.installFails = true;
        } else if (a == "--installed") {
            installed = true;
        } else {
            return Usage(("unknown option " + a).c_str());
        }
    }
    const auto phones = qvxdev::ScanPhones(phonesDir);
    if (info.serial.empty()) {
        info.serial = NewSerial(phones);
    } else if (SerialInUse(phones, info.serial)) {
        std::fprintf(stderr, "qvx-phone: serial number %s is already in use\n", info.serial.c_str());
        return 1;
    }
    if (!IsDirectory(phonesDir) && mkdir(phonesDir.c_str(), 0755) != 0) {
        std::fprintf(stderr, "qvx-phone: cannot create %s: %s\n", phonesDir.c_str(), std::strerror(errno));
        return 1;
    }
    const std::string target = phonesDir + "/" + info.name;
    if (access(target.c_str(), F_OK) == 0) {
        std::fprintf(stderr, "qvx-phone: %s already exists\n", target.c_str());
        return 1;
    }
    // Made aside under a short name of its own (so that any name that fits
    // the folder also fits here) and with fixed modes, whatever the umask.
    std::string stage = phonesDir + "/.adding-XXXXXX";
    std::error_code ec;
    std::vector<std::string> folders = {"/C", "/C/Data"};
    if (installed) folders.insert(folders.end(), {"/C/Quorvex", "/C/Data/Quorvex"});
    bool ok = mkdtemp(stage.data()) != nullptr && chmod(stage.c_str(), 0755) == 0;
    if (!ok) stage.clear();
    for (const auto& f : folders)
        ok = ok && mkdir((stage + f).c_str(), 0755) == 0 && chmod((stage + f).c_str(), 0755) == 0;
    if (ok) ok = WriteNewFile(stage + "/" + qvxdev::kPhoneIni, qvxdev::FormatPhoneIni(info));
    if (!ok || rename(stage.c_str(), target.c_str()) != 0) {
        std::fprintf(stderr, "qvx-phone: cannot create %s: %s\n", target.c_str(), std::strerror(errno));
        if (!stage.empty()) std::filesystem::remove_all(stage, ec);
        return 1;
    }
    std::printf("%s\t%s\n", info.name.c_str(), info.serial.c_str());
    return 0;
}

std::string Bytes(int64_t v) {
    return v < 0 ? "-" : std::to_string(v);
}

// The names alone, one a line, are for scripts such as the shell's
// completion: a name may hold spaces, which the table cannot tell apart from
// its column gaps, but never a line break.
int List(const std::string& phonesDir, bool bNamesOnly) {
    const auto phones = qvxdev::ScanPhones(phonesDir);
    if (bNamesOnly) {
        for (const auto& p : phones) std::printf("%s\n", p.folderName.c_str());
        return 0;
    }
    std::printf("%-20s %-18s %-14s %-14s %s\n", "NAME", "SERIAL", "FREE", "TOTAL", "SETTINGS");
    for (const auto& p : phones) {
        std::string settings;
        if (p.copySpeed > 0) settings += "speed=" + std::to_string(p.copySpeed) + "B/s ";
        if (p.disconnectAfter >= 0) settings += "disconnect-after=" + std::to_string(p.disconnectAfter) + " ";
        if (p.installFails) settings += "install-fails ";
        if (IsDirectory(p.path + "/C/Quorvex") && IsDirectory(p.path + "/C/Data/Quorvex"))
            settings += "installed";
        std::printf("%-20s %-18s %-14s %-14s %s\n", p.folderName.c_str(), p.serial.c_str(),
                    Bytes(p.freeMemory).c_str(), Bytes(p.totalMemory).c_str(), settings.c_str());
    }
    return 0;
}

int Remove(const std::string& phonesDir, const std::vector<std::string>& args) {
    if (args.size() != 1) return Usage("remove needs one NAME or SERIAL");
    const auto phones = qvxdev::ScanPhones(phonesDir);
    const qvxdev::PhoneInfo* found = nullptr;
    for (const auto& p : phones) {
        if (p.folderName == args[0]) found = &p;
    }
    for (const auto& p : phones) {
        if (!found && p.serial == args[0]) found = &p;
    }
    if (!found) {
        std::fprintf(stderr, "qvx-phone: no phone %s in %s\n", args[0].c_str(), phonesDir.c_str());
        return 1;
    }
    // A short hidden name, so that a phone with the longest name can go too.
    const std::string doomed =
        phonesDir + "/.removing-" + std::to_string(getpid()) + "-" + std::to_string(std::random_device{}());
    if (rename(found->path.c_str(), doomed.c_str()) != 0) {
        std::fprintf(stderr, "qvx-phone: cannot remove %s: %s\n", found->path.c_str(), std::strerror(errno));
        return 1;
    }
    std::error_code ec;
    std::filesystem::remove_all(doomed, ec);
    if (ec) std::fprintf(stderr, "qvx-phone: %s left behind: %s\n", doomed.c_str(), ec.message().c_str());
    std::printf("removed %s\t%s\n", found->folderName.c_str(), found->serial.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string phonesDir;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--phones") == 0) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') return Usage("--phones needs a folder");
            phonesDir = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-V") == 0) {
            std::printf("qvx-phone (QVXWizard) %s\n", QVX_VERSION);
            return 0;
        } else {
            args.emplace_back(argv[i]);
        }
    }
    if (args.empty()) return Usage(nullptr);
    if (phonesDir.empty()) {
        phonesDir = qvxdev::ResolvePhonesDir();
        // Installed, the phones belong to the user's files; without a folder
        // for those nothing is written below the program folder.
        if (!qvxplatform::UserFilesBesideProgram() &&
            phonesDir == qvxplatform::GetProgramFolder() + "/phones") {
            std::fprintf(stderr, "qvx-phone: %s\n", NoUserFoldersText().c_str());
            return 1;
        }
    }
    const std::string command = args[0];
    args.erase(args.begin());
    try {
        if (command == "add") return Add(phonesDir, args);
        if (command == "list") {
            if (args.empty()) return List(phonesDir, false);
            if (args.size() == 1 && args[0] == "--names") return List(phonesDir, true);
            return Usage("list takes no arguments but --names");
        }
        if (command == "remove") return Remove(phonesDir, args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qvx-phone: %s\n", e.what());
        return 1;
    }
    return Usage(("unknown command " + command).c_str());
}

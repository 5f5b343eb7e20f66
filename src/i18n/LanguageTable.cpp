#include "i18n/LanguageTable.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string_view>
#include <vector>

#include "platform/IniFile.h"
#include "platform/ProgramPath.h"
#include "support/TextBuffer.h"

namespace {

constexpr size_t kMaxPath = 260;
constexpr size_t kMaxLanguageName = 260;
// All section names, each ended by a zero byte, plus the closing zero byte
// of the list must fit into this many bytes to be seen.
constexpr size_t kSectionNamesBuffer = 1025;

constexpr char kCurrentSection[] = "currentLanguage";
constexpr char kLanguageKey[] = "language";

// The parsed file is kept and re-read only when the file changed (its
// identity, size or modification time) or after the program's own write,
// so a lookup costs one stat call. Lookups run on several threads while the
// user-interface thread may switch the language: one mutex guards it all.
struct LanguageState {
    std::mutex lock;
    std::string path;
    std::string current;
    // The choice kept in a file of its own (an installed, shared language.ini).
    bool separateChoice = false;
    std::string choicePath;

    CIniFile ini;
    bool cached = false;
    bool fileSeen = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    struct timespec mtime {};
};

LanguageState& State() {
    static LanguageState state;
    return state;
}

// The caller holds the lock.
const CIniFile& Document(LanguageState& s) {
    struct stat st {};
    bool exists = !s.path.empty() && ::stat(s.path.c_str(), &st) == 0;
    bool same = s.cached && exists == s.fileSeen &&
                (!exists || (st.st_dev == s.dev && st.st_ino == s.ino && st.st_size == s.size &&
                             st.st_mtim.tv_sec == s.mtime.tv_sec && st.st_mtim.tv_nsec == s.mtime.tv_nsec));
    if (same) return s.ini;
    if (!exists || !s.ini.Load(s.path)) s.ini.Parse("");
    s.cached = true;
    s.fileSeen = exists;
    if (exists) {
        s.dev = st.st_dev;
        s.ino = st.st_ino;
        s.size = st.st_size;
        s.mtime = st.st_mtim;
    }
    return s.ini;
}

// The stored choice as it stands: the user's own file first, then language.ini.
std::string StoredValue(LanguageState& s) {
    std::string value;
    if (s.separateChoice && !s.choicePath.empty()) {
        CIniFile choice;
        if (choice.Load(s.choicePath) && choice.GetValue(kCurrentSection, kLanguageKey, value) &&
            !value.empty())
            return value;
        value.clear();
    }
    Document(s).GetValue(kCurrentSection, kLanguageKey, value);
    return value;
}

// The stored language name, cut as the 261-byte buffer of the original state.
std::string StoredLanguage(LanguageState& s) {
    return qvxsupport::CutToBuffer(StoredValue(s), kMaxLanguageName + 1);
}

// A language.ini without write permission is never replaced by the atomic
// rewrite, which would succeed in a writable folder (and always for root).
bool IsWritableFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno == ENOENT;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && ::access(path.c_str(), W_OK) == 0;
}

// Stores the choice; a failing write leaves it for this run only.
void StoreChoice(LanguageState& s, const char* name) {
    if (s.separateChoice) {
        if (!s.choicePath.empty()) CIniFile::WriteValue(s.choicePath, kCurrentSection, kLanguageKey, name);
        return;
    }
    if (IsWritableFile(s.path)) CIniFile::WriteValue(s.path, kCurrentSection, kLanguageKey, name);
}

// Copies `text` into the caller's buffer as far as it fits; true when not empty.
bool CopyOut(const std::string& text, char* pszOut, size_t nSize) {
    if (pszOut == nullptr || nSize == 0) return false;
    qvxsupport::CopyCut(pszOut, nSize, text.c_str());
    return pszOut[0] != '\0';
}

// The locale's language as the C library would take it for messages.
bool LocaleIsGerman() {
    const char* value = nullptr;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        if (v != nullptr && v[0] != '\0') {
            value = v;
            break;
        }
    }
    return value != nullptr && value[0] == 'd' && value[1] == 'e';
}

}  // namespace

bool SetLanguageFile(const char* pszPath) {
    if (pszPath == nullptr || ::strnlen(pszPath, kMaxPath + 1) > kMaxPath) return false;
    LanguageState& s = State();
    std::lock_guard<std::mutex> lock(s.lock);
    s.path = pszPath;
    s.cached = false;
    return true;
}

void SetLanguageChoiceFile(const char* pszPath) {
    LanguageState& s = State();
    std::lock_guard<std::mutex> lock(s.lock);
    s.separateChoice = pszPath != nullptr;
    s.choicePath = pszPath != nullptr ? pszPath : "";
}

void KeepLanguageChoiceWithUserFiles() {
    // An installed language.ini is shared: each user's choice is kept apart.
    SetLanguageChoiceFile(
        qvxplatform::UserFilesBesideProgram() ? nullptr : qvxplatform::GetLanguageChoiceFile().c_str());
}

bool GetCurrentLanguage(char* pszOut, size_t nSize) {
    LanguageState& s = State();
    std::lock_guard<std::mutex> lock(s.lock);
    return CopyOut(StoredValue(s), pszOut, nSize);
}

std::string GetCurrentLanguageName() {
    LanguageState& s = State();
    std::lock_guard<std::mutex> lock(s.lock);
    return s.current;
}

namespace {

std::atomic<LanguageListener> g_listener{nullptr};

// The body of SetLanguage; the caller holds the lock.
bool SetLanguageLocked(LanguageState& s, const char* name) {
    if (name[0] != '\0') {
        if (Document(s).HasNonEmptySection(name)) {
            s.current = name;
            StoreChoice(s, name);
            s.cached = false;
            return true;
        }
        s.current = StoredLanguage(s);
        return false;
    }
    s.current = StoredLanguage(s);
    if (!s.current.empty() && Document(s).HasNonEmptySection(s.current)) return true;
    s.current.clear();
    return false;
}

}  // namespace

void SetLanguageListener(LanguageListener listener) {
    g_listener = listener;
}

bool SetLanguage(const char* pszLanguage) {
    const char* name = pszLanguage != nullptr ? pszLanguage : "";
    if (::strnlen(name, kMaxLanguageName + 1) > kMaxLanguageName) return false;

    LanguageState& s = State();
    bool result = false;
    std::string before, after;
    {
        std::lock_guard<std::mutex> lock(s.lock);
        before = s.current;
        result = SetLanguageLocked(s, name);
        after = s.current;
    }
    // Outside the lock: the listener may look texts up.
    if (before != after) {
        if (LanguageListener listener = g_listener) listener(after);
    }
    return result;
}

std::string GetText(const char* pszKey, size_t nBufferSize) {
    std::string text;
    if (pszKey != nullptr) {
        LanguageState& s = State();
        std::lock_guard<std::mutex> lock(s.lock);
        if (!s.current.empty()) Document(s).GetValue(s.current, pszKey, text);
    }
    return qvxsupport::CutToBuffer(text, nBufferSize);
}

bool GetText(const char* pszKey, char* pszOut, size_t nSize) {
    if (pszOut == nullptr || nSize == 0) return false;
    return CopyOut(GetText(pszKey, nSize), pszOut, nSize);
}

int GetLanguages(char*** pppszLanguages) {
    if (pppszLanguages == nullptr) return -1;
    *pppszLanguages = nullptr;

    std::vector<std::string> names;
    {
        LanguageState& s = State();
        std::lock_guard<std::mutex> lock(s.lock);
        names = Document(s).GetSectionNames();
    }
    // Only names that fit whole into the buffer are seen: a cut name would
    // name no section. An empty name would end the list of names early.
    size_t used = 1;
    size_t seen = 0;
    for (const std::string& name : names) {
        size_t len = ::strnlen(name.c_str(), name.size());
        if (len == 0 || used + len + 1 > kSectionNamesBuffer) break;
        used += len + 1;
        ++seen;
    }
    if (seen == 0 || names[0] != kCurrentSection) return -1;

    int count = static_cast<int>(seen - 1);
    // At least one slot, so a successful call always hands out a list.
    char** list = static_cast<char**>(std::calloc(seen, sizeof(char*)));
    if (list == nullptr) return -1;
    for (int i = 0; i < count; ++i) {
        list[i] = ::strdup(names[static_cast<size_t>(i) + 1].c_str());
        if (list[i] == nullptr) {
            FreeLanguages(list, i);
            return -1;
        }
    }
    *pppszLanguages = list;
    return count;
}

void FreeLanguages(char** ppszLanguages, int nCount) {
    if (ppszLanguages == nullptr) return;
    for (int i = 0; i < nCount; ++i) std::free(ppszLanguages[i]);
    std::free(ppszLanguages);
}

bool ChooseStartupLanguage() {
    char stored[kMaxLanguageName + 1] = {};
    if (GetCurrentLanguage(stored, sizeof stored)) return SetLanguage(stored);
    return SetLanguage(LocaleIsGerman() ? "Deutsch" : "English");
}

std::string FormatTextWithString(const std::string& fmt, const std::string& arg) {
    size_t strings = 0;
    for (size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] != '%') continue;
        if (i + 1 >= fmt.size()) return fmt;
        char c = fmt[i + 1];
        if (c == 's') {
            ++strings;
        } else if (c != '%') {
            return fmt;
        }
        ++i;
    }
    if (strings != 1) return fmt;

    std::string out;
    out.reserve(fmt.size() + arg.size());
    for (size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] == '%') {
            out += fmt[i + 1] == 's' ? arg : std::string("%");
            ++i;
        } else {
            out += fmt[i];
        }
    }
    return out;
}

std::string FormatTextWithStrings(const std::string& fmt, const std::string& first,
                                  const std::string& second) {
    // Only "%s" and "%%" are allowed; the text is cut after the first "%s",
    // which leaves two formats of one string each.
    int strings = 0;
    size_t cut = 0;
    for (size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] != '%') continue;
        if (i + 1 >= fmt.size() || (fmt[i + 1] != 's' && fmt[i + 1] != '%')) return fmt;
        if (fmt[i + 1] == 's' && ++strings == 1) cut = i + 2;
        ++i;
    }
    if (strings != 2) return fmt;
    return FormatTextWithString(fmt.substr(0, cut), first) + FormatTextWithString(fmt.substr(cut), second);
}

std::string FormatTime(const std::string& fmt, const struct tm& time) {
    static constexpr std::string_view kAllowed = "aAbBcCdDeFgGhHIjmMpRrSTuUVwWxXyYzZ%";
    // Rewrite the format so that strftime sees only allowed conversions; the
    // rest becomes literal text ("%%" followed by the character).
    std::string safe;
    safe.reserve(fmt.size() + 8);
    for (size_t i = 0; i < fmt.size(); ++i) {
        char c = fmt[i];
        if (c == '\0') break;
        if (c != '%') {
            safe += c;
            continue;
        }
        if (i + 1 < fmt.size() && fmt[i + 1] != '\0' && kAllowed.find(fmt[i + 1]) != std::string_view::npos) {
            safe += '%';
            safe += fmt[i + 1];
            ++i;
        } else {
            safe += "%%";
        }
    }
    if (safe.empty()) return {};

    // strftime gives 0 both for an empty result and for a buffer too small;
    // every allowed conversion yields a bounded text, so a generous buffer
    // per format byte settles it, and the loop ends after a few rounds.
    struct tm copy = time;
    std::vector<char> buf;
    for (size_t size = safe.size() * 16 + 256; size <= safe.size() * 1024 + 4096; size *= 4) {
        buf.assign(size, '\0');
        size_t n = std::strftime(buf.data(), buf.size(), safe.c_str(), &copy);
        if (n > 0) return std::string(buf.data(), n);
    }
    return {};
}

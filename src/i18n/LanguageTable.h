// The language table: every text the user sees is looked up by key in
// language.ini beside the program, in the section of the current language.
// Process-wide state: the file path and the current language's name.
//
// Lookups read a parsed copy of the file that is read again after the
// module's own write and whenever the file changed (identity, size or
// modification time); the state and the copy are guarded by one mutex, as
// lookups run on worker threads while the user-interface thread may switch.
// None of the operations writes to the log.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>

// Stores the path of language.ini; false (nothing changes) for a path over 260 characters.
bool SetLanguageFile(const char* pszPath);
// Keeps the stored choice (`language` of [currentLanguage]) in a file of its
// own, for an installed language.ini shared by all users: it is read there
// first (then in language.ini, the shipped default) and written only there;
// language.ini is then never written. An empty path keeps a new choice for
// this run only; nullptr stores it in language.ini again. Independently, a
// language.ini without write permission is never rewritten.
void SetLanguageChoiceFile(const char* pszPath);
// The choice kept where the program keeps the user's files: in language.ini
// beside the program, else in the user's own file (platform/ProgramPath.h).
void KeepLanguageChoiceWithUserFiles();
// The stored `language` value of [currentLanguage], cut to nSize - 1 bytes; true when not empty.
bool GetCurrentLanguage(char* pszOut, size_t nSize);
// Makes a language current. A name of 261 characters or more: false, nothing
// changes. A name whose section holds at least one line becomes current and is
// written as `language` of [currentLanguage] (on every successful call; a
// failing write is not reported); another name: false, and the stored name
// becomes current. An empty name: the stored name becomes current; true when
// its section holds a line, otherwise the current language is cleared.
bool SetLanguage(const char* pszLanguage);
// Called with the new current language's name (empty: none) whenever
// SetLanguage changes it, on the caller's thread and outside the table's
// lock; nullptr removes it. One listener per process (the dialogs' own texts).
using LanguageListener = void (*)(const std::string& language);
void SetLanguageListener(LanguageListener listener);
// The current language's name as used by lookups (empty before one was made current).
std::string GetCurrentLanguageName();
// The text of `pszKey` in the current language, cut to nSize - 1 bytes; a
// missing key gives an empty text and false.
bool GetText(const char* pszKey, char* pszOut, size_t nSize);
// Convenience for callers that keep texts in std::string: the same lookup and
// cut as GetText with a buffer of nBufferSize bytes.
std::string GetText(const char* pszKey, size_t nBufferSize = 261);
// The language sections in file order (newly allocated copies, free them with
// FreeLanguages), or -1 and no list when the first section is not exactly
// "currentLanguage". Section names are seen as through a 1,025-byte buffer of
// zero-ended names: only names that fit whole are listed (a cut name would
// name no section), and an empty name ends the list.
int GetLanguages(char*** pppszLanguages);
void FreeLanguages(char** ppszLanguages, int nCount);
// Chooses the language at start-up: the stored name, else "Deutsch" when the
// locale's language (LC_ALL, else LC_MESSAGES, else LANG, the first non-empty
// one) begins with "de", else "English"; false when that language has no
// section with a line ("language.ini not found").
bool ChooseStartupLanguage();

// Safe use of texts that serve as formats. A text of language.ini is never
// handed to printf or strftime as it stands: a broken file must not crash
// the program or overflow a buffer.

// printf-style use with one string argument: when `fmt` holds exactly one
// "%s" and otherwise only "%%", the result is fmt with "%s" replaced by `arg`
// and "%%" by "%"; any other text (no "%s", two of them, "%d", "%n", a lone
// '%' at the end ...) is returned as it stands.
std::string FormatTextWithString(const std::string& fmt, const std::string& arg);
// The same with exactly two "%s", replaced by `first` and `second` in order.
std::string FormatTextWithStrings(const std::string& fmt, const std::string& first,
                                  const std::string& second);

// strftime-style use: the ordinary date and time conversions are formatted
// (%a %A %b %B %c %C %d %D %e %F %g %G %h %H %I %j %m %M %p %r %R %S %T %u %U
// %V %w %W %x %X %y %Y %z %Z %%); any other conversion - line breaks and tabs
// (%n %t), GNU extensions, E/O modifiers, flags and field widths - is shown as
// its literal text. The result has no length limit of its own.
std::string FormatTime(const std::string& fmt, const struct tm& time);

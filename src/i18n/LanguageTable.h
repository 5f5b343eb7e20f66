// The language table: every text the user sees is looked up by key in
// language.ini beside the program, in the section of the current language.
// Process-wide state: the file path and the current language's name.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>

// Stores the path of language.ini; false (nothing changes) for a path over 260 characters.
bool SetLanguageFile(const char* pszPath);
// The stored `language` value of [currentLanguage], cut to nSize - 1 bytes; true when not empty.
bool GetCurrentLanguage(char* pszOut, size_t nSize);
// Makes a language current and stores the choice in the file; see the module for the rules.
bool SetLanguage(const char* pszLanguage);
// The current language's name as used by lookups (empty before one was made current).
std::string GetCurrentLanguageName();
// The text of `pszKey` in the current language, cut to nSize - 1 bytes; a
// missing key gives an empty text and false.
bool GetText(const char* pszKey, char* pszOut, size_t nSize);
// Convenience for callers that keep texts in std::string: the same lookup and
// cut as GetText with a buffer of nBufferSize bytes.
std::string GetText(const char* pszKey, size_t nBufferSize = 261);
// The language sections in file order (newly allocated copies), or -1 and no
// list when the first section is not exactly "currentLanguage".
int GetLanguages(char*** pppszLanguages);
void FreeLanguages(char** ppszLanguages, int nCount);
// Chooses the language at start-up (stored name, else the locale); false
// when no usable language section exists ("language.ini not found").
bool ChooseStartupLanguage();

// Safe use of texts that serve as formats. A text of language.ini is never
// handed to printf or strftime as it stands: a broken file must not crash
// the program or overflow a buffer.

// printf-style use with one string argument: when `fmt` holds exactly one
// "%s" and otherwise only "%%", the result is fmt with "%s" replaced by `arg`
// and "%%" by "%"; any other text (no "%s", two of them, "%d", "%n", a lone
// '%' at the end ...) is returned as it stands.
std::string FormatTextWithString(const std::string& fmt, const std::string& arg);

// strftime-style use: the ordinary date and time conversions are formatted
// (%a %A %b %B %c %C %d %D %e %F %g %G %h %H %I %j %m %M %p %r %R %S %T %u %U
// %V %w %W %x %X %y %Y %z %Z %%); any other conversion - line breaks and tabs
// (%n %t), GNU extensions, E/O modifiers, flags and field widths - is shown as
// its literal text. The result has no length limit of its own.
std::string FormatTime(const std::string& fmt, const struct tm& time);

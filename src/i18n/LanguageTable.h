// The language table: every text the user sees is looked up by key in
// language.ini beside the program, in the section of the current language.
// Process-wide state: the file path and the current language's name.
#pragma once

#include <cstddef>
#include <string>

// Stores the path of language.ini; false (nothing changes) for a path over 260 characters.
bool SetLanguageFile(const char* pszPath);
// The stored `language` value of [currentLanguage], cut to nSize - 1 bytes; true when not empty.
bool GetCurrentLanguage(char* pszOut, size_t nSize);
// Makes a language current and stores the choice in the file; see the module for the rules.
bool SetLanguage(const char* pszLanguage);
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

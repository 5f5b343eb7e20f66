// Qt's own texts in the current language: the standard buttons of message
// boxes ("Ja"/"Nein"), the file dialogs and their questions come from Qt's
// translations (Debian's qt6-translations-l10n: qtbase_<code>.qm in Qt's
// translations folder). They follow every switch of the language table.
#pragma once

#include <QString>
#include <string>

namespace qvxui {

// The locale code of a language.ini section ("Deutsch" -> "de", "English" ->
// "en"); empty for a language Qt has no code for here.
QString QtLocaleCode(const std::string& language);
// Makes Qt's texts and the default locale those of `language` (Qt's own
// English for "English", an unknown language or a missing translation).
// True when a translation was loaded. Runs on the application's thread; a
// call from another thread is handed there.
bool ApplyQtTranslations(const std::string& language);
// Applies the current language now and after every later switch.
void FollowLanguageWithQtTexts();

}  // namespace qvxui

// The folder of the running program (from /proc/self/exe), without a
// trailing slash: the base of every file the program keeps beside itself
// (language.ini, mappings/, registry.ini, the phone package, the guides),
// and the folders of the user's own files.
//
// Where the user's files live:
// - beside the program while its folder is writable and is no installation
//   (the build folder, a portable copy): last.db and the built databases,
//   new mappings in mappings/, the language choice inside language.ini, the
//   trace log, simulated phones in phones/;
// - in the XDG folders for an installed program (its folder is not writable,
//   or holds the marker file kInstalledMarker that an install puts there):
//   databases, new mappings and phones under $XDG_DATA_HOME/qvxwizard, the
//   language choice in $XDG_CONFIG_HOME/qvxwizard/language.ini, the trace log
//   in $XDG_STATE_HOME/qvxwizard. Unset or relative variables fall back to
//   ~/.local/share, ~/.config and ~/.local/state; missing folders are created
//   with mode 0700.
#pragma once

#include <string>
#include <vector>

namespace qvxplatform {

// The program folder; an override set with SetProgramFolder wins.
std::string GetProgramFolder();
// Points the program folder elsewhere (tests, tools); empty restores the default.
void SetProgramFolder(const std::string& folder);

// The file whose presence in the program folder marks an installation.
inline constexpr const char* kInstalledMarker = "installed";

// True while the user's files live beside the program (see above).
bool UserFilesBesideProgram();
// Databases, new mappings (mappings/) and simulated phones (phones/): the
// program folder, or $XDG_DATA_HOME/qvxwizard (created). Empty when no folder
// can be found or made.
std::string GetUserDataFolder();
// The folder for new mappings: mappings/ of the data folder (created when
// the files are per user); empty as above.
std::string GetUserMappingFolder();
// The folders whose mappings are listed: `programMappings` (the shipped
// ones), then, when the files are per user, the user's own folder.
std::vector<std::string> GetMappingFolders(const std::string& programMappings);
// The file that keeps the language choice: empty while it stays in
// language.ini beside the program, else $XDG_CONFIG_HOME/qvxwizard/language.ini
// (its folder created).
std::string GetLanguageChoiceFile();
// The first file of the trace log named `fileName`: in the program folder
// beside the program, else in $XDG_STATE_HOME/qvxwizard (created); empty (no
// log) when that folder cannot be made or the path would be longer than the
// trace log takes (199 bytes).
std::string GetTraceLogFile(const std::string& fileName);

// True for an installed program whose user's folders (data and trace log)
// cannot be made: the programs then say so once, in the user's language.
bool UserFoldersMissing();

// The XDG base folder for `variable` (XDG_DATA_HOME, XDG_CONFIG_HOME or
// XDG_STATE_HOME) with "qvxwizard" appended, created with mode 0700 when
// missing; empty when it cannot be made (no home, not a folder).
std::string XdgUserFolder(const char* variable);

}  // namespace qvxplatform

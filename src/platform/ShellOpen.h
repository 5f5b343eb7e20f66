// Opening documents and web addresses with the desktop's associated program.
//
// The results follow the Windows shell's convention, because the texts shown
// for a failure are keyed by those numbers: a value above 32 is success,
// 2 means "file not found", 31 "no program associated"; 5 and 8 stand for a
// denied start and missing resources. The address is always handed over as a
// single element of an argument vector, never through a shell command line.
#pragma once

#include <string>

namespace qvxplatform {

inline constexpr int kShellOpenOk = 42;   // xdg-open reported success
inline constexpr int kShellStarted = 33;  // the browser process was started
inline constexpr int kShellErrAccess = 5;
inline constexpr int kShellErrNoMemory = 8;
inline constexpr int kShellErrFileNotFound = 2;
inline constexpr int kShellErrNoAssociation = 31;
inline constexpr int kNoBrowserConfigured = -1;  // StartBrowser only

// Runs `xdg-open address` and waits up to nWaitMs for its verdict. An opener
// still running after that counts as success (it is reaped in the background).
// An empty address, or one that starts with '-' and so would be read as an
// option, is refused with 2 without starting anything.
int ShellOpen(const std::string& address, int nWaitMs = 3000);

// Starts the user's browser with the address: the first entry of $BROWSER
// (split at blanks, cut where a "%s" placeholder begins), else x-www-browser.
// Returns kShellStarted once the process runs, 2 when $BROWSER names a
// program that cannot be started, and kNoBrowserConfigured when $BROWSER is
// unset and x-www-browser does not exist.
int StartBrowser(const std::string& address);

// ShellOpen, and on failure StartBrowser; without a browser the shell's
// result stands. This is the way a hyperlink or the web-address button opens.
int OpenAddress(const std::string& address, int nWaitMs = 3000);

}  // namespace qvxplatform

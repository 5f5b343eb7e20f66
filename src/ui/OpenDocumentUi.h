// Opening documents and web addresses - the user guides, the web button,
// links - all one way: xdg-open, with the user's browser as the fallback
// (platform/ShellOpen.h). Tests replace that way with SetShellOpener.
//
//   qvxui::OpenDocument(this, guidePath);   // a warning says why it failed
#pragma once

#include <functional>
#include <string>

class QWidget;

namespace qvxui {

// An opener returns a value above 32 on success, otherwise a shell error
// code (platform/ShellOpen.h). None restores xdg-open with the browser
// fallback.
using ShellOpener = std::function<int(const std::string& address)>;
void SetShellOpener(ShellOpener opener);
int OpenWithShell(const std::string& address);

// Opens a document (an absolute path) or a web address. When that fails, a
// warning over pParent says so in the current language - the file was not
// found, no program could open it, or no web browser could open the
// address - so a failure never looks like nothing happened. True when opened.
bool OpenDocument(QWidget* pParent, const std::string& target);
// That warning for a target and the opener's result.
void ShowOpenFailure(QWidget* pParent, const std::string& target, int nResult);

}  // namespace qvxui

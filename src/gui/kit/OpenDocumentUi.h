// Opening documents and web addresses - the user guides, the web button,
// links - all one way: xdg-open, with the user's browser as the fallback
// (platform/ShellOpen.h). Tests replace that way with SetShellOpener.
// i18n/OpenWithMessageUi.h adds the warning in the user's language.
#pragma once

#include <functional>
#include <string>

namespace qvxui {

// An opener returns a value above 32 on success, otherwise a shell error
// code (platform/ShellOpen.h). None restores xdg-open with the browser
// fallback.
using ShellOpener = std::function<int(const std::string& address)>;
void SetShellOpener(ShellOpener opener);
int OpenWithShell(const std::string& address);

}  // namespace qvxui

// Opening a document or web address for the user, with a warning in the
// current language when it fails (the file was not found, no program could
// open it, or no web browser could open the address), so that a failure
// never looks like nothing happened. The opening itself is the dialog kit's
// one way (ui/OpenDocumentUi.h), which tests replace with SetShellOpener.
//
//   qvxui::OpenDocument(this, guidePath);
#pragma once

#include <string>

class QWidget;

namespace qvxui {

// Opens a document (an absolute path) or a web address; true when opened.
bool OpenDocument(QWidget* pParent, const std::string& target);
// The warning for a target and the opener's result.
void ShowOpenFailure(QWidget* pParent, const std::string& target, int nResult);

}  // namespace qvxui

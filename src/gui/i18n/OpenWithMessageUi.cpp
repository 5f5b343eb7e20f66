#include "gui/i18n/OpenWithMessageUi.h"

#include "gui/kit/DialogUi.h"
#include "gui/kit/MessageBoxesUi.h"
#include "gui/kit/OpenDocumentUi.h"
#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "platform/ShellOpen.h"

namespace qvxui {
namespace {

constexpr size_t kMessageSize = 513;

bool IsLocalFile(const std::string& target) {
    return !target.empty() && target[0] == '/';
}

}  // namespace

bool OpenDocument(QWidget* pParent, const std::string& target) {
    const int nResult = OpenWithShell(target);
    if (nResult > 32) return true;
    ShowOpenFailure(pParent, target, nResult);
    return false;
}

void ShowOpenFailure(QWidget* pParent, const std::string& target, int nResult) {
    const char* pszKey = qvxtext::kOpen_Msg_NoBrowser;
    if (IsLocalFile(target)) {
        pszKey = nResult == qvxplatform::kShellErrFileNotFound ? qvxtext::kOpen_Msg_FileNotFound
                                                               : qvxtext::kOpen_Msg_NoProgram;
    }
    ShowWarning(pParent, FromLocalText(FormatTextWithString(GetText(pszKey, kMessageSize), target)));
}

}  // namespace qvxui

#include "gui/app/QVXWizardApp.h"

#include <cstdint>
#include <cstdio>

#include "database/QVXDBBuilder.h"
#include "gui/app/QVXWizardDlg.h"
#include "gui/i18n/QtTranslationsUi.h"
#include "gui/kit/DialogUi.h"
#include "gui/kit/MessageBoxesUi.h"
#include "gui/transfer/PCSuiteDlg.h"
#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "platform/ProgramPath.h"
#include "support/LogModules.h"
#include "transfer/ConnApi.h"
#include "wizard/WizardState.h"

bool CQVXWizardApp::InitInstance() {
    // What an interrupted earlier run left goes first, so that last.db is found.
    CQVXDBBuilder::TidyProgramFolder();
    // The main dialog exists also when it never runs: its construction
    // points the language table at language.ini beside the program.
    CQVXWizardDlg dlg;
    dlg.SetStartFile(m_startFile);
    KeepLanguageChoiceWithUserFiles();

    if (!ChooseStartupLanguage()) {
        // No language, so no text to look up.
        qvxui::MessageBox(nullptr, QStringLiteral("language.ini not found"), qvxui::MsgIcon::Error,
                          qvxui::MsgButtons::Ok);
        m_eOutcome = kNoLanguage;
        return false;
    }
    qvxui::FollowLanguageWithQtTexts();
    // A trace log that could not be opened is told now that the language is known.
    LOG_SET_FAILURE_REPORT([](const char* pszFile, int nError) {
        fprintf(stderr, "%s\n", qvxwizard::LogFailureText(pszFile, nError).c_str());
    });
    if (qvxplatform::UserFoldersMissing()) {
        // Installed without a usable home: the wizard still builds and sends,
        // but keeps nothing, and nothing goes below the program folder.
        const std::string text = FormatTextWithString(GetText(qvxtext::kMsg_NoUserFolders, 1025),
                                                      "$XDG_DATA_HOME/qvxwizard, ~/.local/share/qvxwizard");
        qvxui::MessageBox(nullptr, qvxui::FromLocalText(text), qvxui::MsgIcon::Warning,
                          qvxui::MsgButtons::Ok);
    }

    // The probe releases each group before the next is tried; the copy
    // dialog initialises what it needs itself.
    bool bProbeOk = true;
    uint32_t dwError = DMAPI_Initialize(32, 0);
    if (dwError != 0) {
        LOG_WARN(qvxlog::WizApp, "Error initializing DMAPI %d", static_cast<int>(dwError));
        bProbeOk = false;
    } else {
        DMAPI_Terminate(0);
        dwError = FSAPI_Initialize(32, 0);
        if (dwError != 0) {
            LOG_WARN(qvxlog::WizApp, "Error initializing FSAPI %d", static_cast<int>(dwError));
            bProbeOk = false;
        } else {
            FSAPI_Terminate(0);
            dwError = CFAPI_Initialize(10, 0);
            if (dwError != 0) {
                LOG_WARN(qvxlog::WizApp, "Error initializing CFAPI %d", static_cast<int>(dwError));
                bProbeOk = false;
            } else {
                CFAPI_Terminate(0);
                m_eOutcome = kMainDialog;
                RunMainDialog(dlg);
            }
        }
    }
    if (!bProbeOk) {
        m_eOutcome = kPCSuiteNotice;
        RunPCSuiteDialog();
    }
    return false;
}

void CQVXWizardApp::RunMainDialog(CQVXWizardDlg& dlg) {
    dlg.exec();
}

void CQVXWizardApp::RunPCSuiteDialog() {
    CPCSuiteDlg notice;
    notice.exec();
}

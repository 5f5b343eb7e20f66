// The main dialog's commands beside the wizard flow: its texts, the languages
// menu and the info entry (a menu bar of the dialog, since Linux window
// managers offer no extendable window menu), help, the web address and
// dropped files.
#include <strings.h>

#include <QAction>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QRadioButton>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "gui/app/QVXWizardDlg.h"
#include "gui/controls/IconButton.h"
#include "gui/i18n/InfoDlg.h"
#include "gui/i18n/LanguageTextUi.h"
#include "gui/i18n/OpenWithMessageUi.h"
#include "gui/kit/DialogUi.h"
#include "gui/mapping_editor/MappingDlg.h"
#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "import/AnalysisStep.h"
#include "import/ContactsFormats.h"
#include "platform/ShellOpen.h"
#include "support/LogModules.h"
#include "support/ProductInfo.h"
#include "wizard/WizardState.h"

namespace {

constexpr size_t kTextSize = 261;

}  // namespace

void CQVXWizardDlg::InitMenu() {
    const std::string infoText = GetText(qvxtext::kInfoDlg_WindowText);
    if (infoText.empty()) return;
    m_menuLanguages = new QMenu(m_pMenuBar);
    char** ppszLanguages = nullptr;
    m_nLanguages = GetLanguages(&ppszLanguages);
    char szStored[kTextSize] = {};
    GetCurrentLanguage(szStored, sizeof szStored);
    m_languageNames.clear();
    for (int i = 0; i < m_nLanguages; ++i) {
        m_languageNames.emplace_back(ppszLanguages[i]);
        QAction* pAction = m_menuLanguages->addAction(qvxui::FromLocalText(ppszLanguages[i]));
        pAction->setData(kCmdLanguageBase + i);
        pAction->setCheckable(true);
        pAction->setChecked(std::strcmp(ppszLanguages[i], szStored) == 0);
    }
    if (ppszLanguages) FreeLanguages(ppszLanguages, m_nLanguages);
    m_pMenuBar->addMenu(m_menuLanguages);
    m_pInfoAction = m_pMenuBar->addAction(qvxui::FromLocalText(infoText));
    m_pInfoAction->setData(kCmdInfo);
    m_pMenuBar->setVisible(true);
}

void CQVXWizardDlg::OnMenuCommand(QAction* pAction) {
    if (!pAction || !pAction->data().isValid()) return;
    const int nCommand = pAction->data().toInt();
    if (nCommand >= kCmdLanguageBase && nCommand < kCmdLanguageBase + m_nLanguages) {
        if (SelectLanguage(nCommand)) UpdateRadioState();
    } else if ((nCommand & ~0xF) == kCmdInfo) {
        RunInfoDialog();
        UpdateRadioState();
    }
}

bool CQVXWizardDlg::SelectLanguage(int nCommand) {
    const int nIndex = nCommand - kCmdLanguageBase;
    if (!m_menuLanguages || nIndex < 0 || nIndex >= static_cast<int>(m_languageNames.size())) return false;
    std::string name = m_languageNames[static_cast<size_t>(nIndex)];
    if (name.size() > 260) name.resize(260);
    if (name.empty() || !SetLanguage(name.c_str())) return false;
    for (QAction* pAction : m_menuLanguages->actions())
        pAction->setChecked(pAction->data().toInt() == nCommand);
    UpdateTexts();
    UpdateInfotext();
    return true;
}

void CQVXWizardDlg::UpdateTexts() {
    // The mark of the user's own version of a mapping is a text of the language.
    const std::vector<MappingEntry>& mappings = m_session.Mappings();
    for (int i = 0; i < m_ComboBoxMapping->count(); ++i) {
        const size_t nIndex = static_cast<size_t>(m_ComboBoxMapping->itemData(i).toInt());
        if (nIndex < mappings.size() && mappings[nIndex].bUsersCopy)
            m_ComboBoxMapping->setItemText(
                i, qvxui::FromLocalText(CImportSession::MappingLabel(mappings[nIndex])));
    }
    if (m_pInfoAction) m_pInfoAction->setText(qvxui::LanguageText(qvxtext::kInfoDlg_WindowText));
    if (m_menuLanguages) {
        m_menuLanguages->setTitle(qvxui::LanguageText(qvxtext::kSysMenu_Languages));
        // The info dialog switches the language too: the mark follows the stored one.
        char szStored[kTextSize] = {};
        GetCurrentLanguage(szStored, sizeof szStored);
        for (QAction* pAction : m_menuLanguages->actions()) {
            const size_t nIndex = static_cast<size_t>(pAction->data().toInt() - kCmdLanguageBase);
            if (nIndex < m_languageNames.size()) pAction->setChecked(m_languageNames[nIndex] == szStored);
        }
    }

    char szTitle[kTextSize + 32];
    std::snprintf(szTitle, sizeof szTitle, "%s %d.%d.%d", GetText(qvxtext::kMainDlg_WindowText).c_str(),
                  qvxproduct::kVersionMajor, qvxproduct::kVersionMinor, qvxproduct::kVersionRelease);
    setWindowTitle(qvxui::FromLocalText(szTitle));

    qvxui::ApplyToolTipKey(m_pButtonCreateMap, qvxtext::kMainDlg_ButtonToolTip_CreateMap);
    qvxui::ApplyToolTipKey(m_pButtonEditMap, qvxtext::kMainDlg_ButtonToolTip_EditMap);
    qvxui::ApplyToolTipKey(m_pButtonBrowseMap, qvxtext::kMainDlg_ButtonToolTip_BrowseMap);
    qvxui::ApplyToolTipKey(m_pButtonBrowseCsv, qvxtext::kMainDlg_ButtonToolTip_BrowseCsv);
    qvxui::ApplyToolTipKey(m_pButtonCancel, qvxtext::kMainDlg_ButtonToolTip_Cancel);
    // Complete's tool tip follows the way (UpdateInfotext).
    qvxui::ApplyToolTipKey(m_pButtonComplete, qvxwizard::DescribeWizard(CurrentState()).pszCompleteToolTip);
    qvxui::ApplyToolTipKey(m_pButtonHelp, qvxtext::kMainDlg_ButtonToolTip_Help);
    qvxui::ApplyToolTipKey(m_pButtonWeb, qvxtext::kMainDlg_ButtonToolTip_Licence);

    qvxui::ApplyTextKey(m_pRadioNewDB, qvxtext::kMainDlg_RadioButton_NewDB);
    qvxui::ApplyTextKey(m_pRadioLastDB, qvxtext::kMainDlg_RadioButton_LastDB);
    qvxui::ApplyTextKey(m_pButtonCancel, qvxtext::kMainDlg_Button_Cancel);
    qvxui::ApplyTextKey(m_pButtonComplete, qvxtext::kMainDlg_Button_Complete);
    qvxui::ApplyTextKey(m_pButtonPreview, qvxtext::kMainDlg_Btn_Preview);
    qvxui::ApplyToolTipKey(m_pButtonPreview, qvxtext::kMainDlg_ToolTip_Preview);
    qvxui::ApplyTextKey(m_pStaticCSV, qvxtext::kMainDlg_Static_CSV);
    qvxui::ApplyTextKey(m_pStaticMapping, qvxtext::kMainDlg_Static_Mapping);
    qvxui::ApplyTextKey(m_pStaticCopyright, qvxtext::kMainDlg_Static_Copyright);
    FitButtonRow();
}

// Complete and Cancel keep their right edges; a caption that does not fit
// the template width (a longer language, a wider font) widens its button to
// the left, into the free middle of the row, instead of being cut.
void CQVXWizardDlg::FitButtonRow() {
    const QRect complete = TemplateRect(IDC_BUTTON_COMPLETE);
    const QRect cancel = TemplateRect(IDCANCEL_BUTTON);
    const QRect web = TemplateRect(IDC_BUTTON_WEB);
    const int nGap = cancel.left() - complete.right() - 1;
    const int nCancelWidth = std::max(cancel.width(), m_pButtonCancel->sizeHint().width());
    const int nCancelLeft = cancel.right() + 1 - nCancelWidth;
    const int nCompleteRight = nCancelLeft - nGap;
    int nCompleteWidth = std::max(complete.width(), m_pButtonComplete->sizeHint().width());
    nCompleteWidth = std::min(nCompleteWidth, nCompleteRight - web.right() - nGap);
    m_pButtonCancel->setGeometry(nCancelLeft, cancel.top(), nCancelWidth, cancel.height());
    m_pButtonComplete->setGeometry(nCompleteRight - nCompleteWidth, complete.top(), nCompleteWidth,
                                   complete.height());
}

void CQVXWizardDlg::OnButtonHelp() {
    char szStored[kTextSize] = {};
    GetCurrentLanguage(szStored, sizeof szStored);
    const char* pszGuide = std::strcmp(szStored, "Deutsch") == 0 ? "Quorvex Benutzerdokumentation.pdf"
                                                                 : "Quorvex User Guide.pdf";
    char szPath[kTextSize + 64];
    std::snprintf(szPath, sizeof szPath, "%s/%s", m_programPath.c_str(), pszGuide);
    if (IsFileReadable(szPath))
        qvxui::OpenDocument(this, szPath);
    else
        qvxui::ShowOpenFailure(this, szPath, qvxplatform::kShellErrFileNotFound);
}

void CQVXWizardDlg::OnButtonWeb() {
    qvxui::OpenDocument(this, qvxproduct::kMakerWebAddress);
}

void CQVXWizardDlg::RunInfoDialog() {
    CInfoDlg dlg(this);
    dlg.SetOwner([this] { UpdateTexts(); });
    dlg.exec();
}

bool CQVXWizardDlg::RunMappingEditor(bool bNewMode, const std::string& folder, const std::string& file,
                                     std::string& savedName, std::string& savedPath) {
    CMappingDlg dlg(this);
    dlg.SetNewMode(bNewMode);
    // A file no mapping fits: a new mapping for it, from the nearest one.
    if (bNewMode && m_session.NoMappingFits() && m_session.CSVState() == CSV_STATE_ANALYZED)
        dlg.SetNewStart(m_session.Nearest().path, m_session.NewMappingName());
    else if (bNewMode && CImportSession::IsBuiltIn(file) && m_session.CSVState() == CSV_STATE_ANALYZED)
        dlg.SetNewFromTable();
    dlg.SetDataMap(&m_session.Table());
    // The preview follows the editor's mapping as it stands.
    if (m_session.CSVState() == CSV_STATE_ANALYZED) dlg.SetPreview([this, &dlg] { OpenPreview(&dlg); });
    if (m_session.CSVState() == CSV_STATE_ANALYZED) dlg.SetSamples(m_session.ColumnSamples());
    char szTarget[261] = {};
    std::snprintf(szTarget, sizeof szTarget, "%s", (bNewMode ? folder : file).c_str());
    dlg.SetMappingPath(szTarget, sizeof szTarget);
    if (dlg.exec() != QDialog::Accepted) return false;
    char szName[261] = {};
    char szPath[261] = {};
    dlg.GetFileName(szName, sizeof szName);
    dlg.GetFilePath(szPath, sizeof szPath);
    savedName = szName;
    savedPath = szPath;
    return !savedPath.empty();
}

// ---------------------------------------------------------------------------
// Dropped files

void CQVXWizardDlg::dragEnterEvent(QDragEnterEvent* pEvent) {
    if (!m_bBusy && pEvent->mimeData()->hasUrls())
        pEvent->acceptProposedAction();
    else
        pEvent->ignore();
}

void CQVXWizardDlg::dropEvent(QDropEvent* pEvent) {
    // A drop while a worker runs must not change the parser under it.
    if (m_bBusy || m_AnalyzeThread.IsRunning() || !pEvent->mimeData()->hasUrls()) {
        pEvent->ignore();
        return;
    }
    std::vector<std::string> files;
    for (const QUrl& url : pEvent->mimeData()->urls()) {
        if (url.isLocalFile()) files.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    }
    pEvent->acceptProposedAction();
    HandleDroppedFiles(files);
}

// At most one mapping file and one CSV file per drop, the first of each kind.
// The mapping is handled first without starting the analysis when the drop
// also brings a CSV file: the CSV file's analysis then applies it, so one
// drop never starts two analyses. A drop that brings neither is refused as
// a CSV file would be: the earlier file no longer shows as current.
void CQVXWizardDlg::HandleDroppedFiles(const std::vector<std::string>& files) {
    std::string mapping, csv, other;
    for (const std::string& file : files) {
        const size_t nDot = file.rfind('.');
        const char* pszExtension = nDot == std::string::npos ? "" : file.c_str() + nDot;
        if (file.size() <= 260 && mapping.empty() && strcasecmp(pszExtension, ".map") == 0) {
            mapping = file;
        } else if (file.size() <= 260 && csv.empty() && IsContactsFileName(file)) {
            csv = file;
        } else if (other.empty()) {
            other = file;
        }
    }
    if (!mapping.empty()) {
        AddMapping(mapping);
        m_bHoldAnalysis = !csv.empty();
        OnMappingSelected();
        m_bHoldAnalysis = false;
    }
    if (mapping.empty() && csv.empty()) csv = other;
    if (!csv.empty()) {
        const QString text = QFile::decodeName(csv.c_str());
        // Also a path equal to the current text is selected again.
        const bool bBlocked = m_pEditCSV->blockSignals(true);
        m_pEditCSV->setText(text);
        m_pEditCSV->blockSignals(bBlocked);
        SelectCSVText(text, true);
    }
}

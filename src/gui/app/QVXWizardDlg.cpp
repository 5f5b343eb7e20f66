#include "gui/app/QVXWizardDlg.h"

#include <sys/stat.h>

#include <QCloseEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <new>
#include <utility>

#include "database/CreateDBThread.h"
#include "gui/app/MappingList.h"
#include "gui/controls/IconButton.h"
#include "gui/database/CreateDBDlg.h"
#include "gui/i18n/LanguageTextUi.h"
#include "gui/kit/DialogUi.h"
#include "gui/kit/MessageBoxesUi.h"
#include "gui/kit/UiThreadAdapter.h"
#include "gui/kit/WorkerWaitUi.h"
#include "gui/transfer/CopyToPhoneDlg.h"
#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "import/AnalysisStep.h"
#include "import/ContactsFormats.h"
#include "platform/FileSystem.h"
#include "platform/ProgramPath.h"
#include "support/LogModules.h"
#include "threads/CallbackCodes.h"
#include "wizard/WizardState.h"

namespace {

constexpr size_t kPathSize = 261;
constexpr size_t kMessageSize = 513;

bool IsExistingFile(const char* pszPath) {
    struct stat info {};
    return stat(pszPath, &info) == 0 && S_ISREG(info.st_mode);
}

// Return, or Enter of the main keyboard or the keypad, without a modifier.
bool IsPlainEnter(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    return (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter) && modifiers == Qt::NoModifier;
}

// The one way the dialog's reports reach its windows: a worker's report runs
// on the worker's thread and hands every window action to the dialog's
// thread, waiting for it (Call) only where the worker must not go on before
// it is done, and posting it (Post) where it only shows a new state.
class CWizardDlgAdapter {
public:
    explicit CWizardDlgAdapter(QObject* pDialog) : m_pDialog(pDialog) {}
    template <typename F>
    void Call(F&& fn) {
        qvxui::CallOnUiThread(m_pDialog, std::forward<F>(fn));
    }
    void Post(std::function<void()> fn) { qvxui::PostToUiThread(m_pDialog, std::move(fn)); }

private:
    QObject* m_pDialog;
};

}  // namespace

int CQVXWizardDlg::GetProgramPath(char* pszBuffer, size_t nSize) {
    if (!pszBuffer || nSize == 0) return 0;
    pszBuffer[0] = '\0';
    const std::string folder = qvxplatform::GetProgramFolder();
    if (folder.empty() || folder.size() >= nSize || folder.size() > 260) return 0;
    std::memcpy(pszBuffer, folder.c_str(), folder.size() + 1);
    return 1;
}

// ---------------------------------------------------------------------------
// Files and states

bool CQVXWizardDlg::IsFileReadable(const char* pszPath) {
    return CImportSession::IsReadableFile(pszPath);
}

bool CQVXWizardDlg::CheckLastDB() {
    m_lastDB = CImportSession::FindLastDB();
    if (!m_lastDB.empty()) {
        if (m_nMode == 1) {
            m_pRadioLastDB->setChecked(true);
        } else {
            m_nMode = 0;
            m_pRadioNewDB->setChecked(true);
        }
        m_bLastDBExists = 1;
        return true;
    }
    m_pRadioNewDB->setChecked(true);
    m_nMode = 0;
    m_bLastDBExists = 0;
    return false;
}

void CQVXWizardDlg::UpdateRadioState() {
    if (m_pRadioLastDB->isChecked())
        m_nMode = 1;
    else if (m_pRadioNewDB->isChecked())
        m_nMode = 0;
    else
        return;
    UpdateControls();
    // The info text tells what Complete does in the chosen way.
    UpdateInfotext();
}

qvxwizard::WizardState CQVXWizardDlg::CurrentState() const {
    qvxwizard::WizardState state;
    m_session.Describe(state);
    state.nMode = m_nMode;
    state.bBusy = m_bBusy != 0;
    state.bLastDBFound = m_bLastDBExists != 0;
    if (m_pszCSVRefusal) {
        state.pszCSVRefusal = m_pszCSVRefusal;
        state.refusedCSV = m_refusedCSV;
    }
    std::time_t modified = 0;
    struct tm tmModified {};
    // A last.db that vanished since CheckLastDB counts as not found.
    if (!m_lastDB.empty() && qvxplatform::GetModificationTime(m_lastDB.c_str(), &modified) &&
        localtime_r(&modified, &tmModified))
        state.lastDBModified = tmModified;
    return state;
}

void CQVXWizardDlg::UpdateControls() {
    const qvxwizard::EnabledControls on = qvxwizard::DescribeWizard(CurrentState()).enabled;
    m_pEditCSV->setEnabled(on.bCsv);
    m_pButtonBrowseCsv->setEnabled(on.bCsv);
    m_pMappingList->SetEnabledParts(on.bMapping, on.bEditMapping);
    m_pButtonComplete->setEnabled(on.bComplete);
    // The preview needs a complete mapping of the file.
    m_pButtonPreview->setEnabled(on.bComplete && m_nMode == qvxwizard::kWayNewDatabase);
    m_pButtonCancel->setEnabled(on.bCancel);
    m_pRadioNewDB->setEnabled(on.bNewDB);
    m_pRadioLastDB->setEnabled(on.bLastDB);
}

void CQVXWizardDlg::UpdateInfotext() {
    LOG_INFO(qvxlog::WizDlg, "Update infotext");
    const qvxwizard::WizardView view = qvxwizard::DescribeWizard(CurrentState());
    m_pStaticInfo->setText(qvxui::FromLocalText(qvxwizard::ComposeInfoText(view)));
    m_pStaticLastDB->setText(qvxui::FromLocalText(qvxwizard::ComposeLastDBText(view)));
    qvxui::ApplyToolTipKey(m_pButtonComplete, view.pszCompleteToolTip);
}

// ---------------------------------------------------------------------------
// CSV file

void CQVXWizardDlg::OnChangeEditCsv() {
    SelectCSVText(m_pEditCSV->text());
}

void CQVXWizardDlg::SelectCSVText(const QString& text, bool bDropped) {
    if (m_bBusy || m_AnalyzeThread.IsRunning()) {
        // The parser's paths must not change under a running analysis.
        LOG_WARN(qvxlog::WizDlg, "CSV file ignored: analysis running");
        return;
    }
    const QString cut = text.left(259);
    const QByteArray path = QFile::encodeName(cut);
    const char* pszPath = path.constData();
    // A name of four characters or fewer (".csv") names no file.
    const char* pszRefusal =
        cut.size() > 4 ? CImportSession::RefusalOf(pszPath) : qvxtext::kMainDlg_Info_CSVNotTaken_Type;
    m_pszCSVRefusal = nullptr;
    m_refusedCSV.clear();
    if (pszRefusal == nullptr && m_session.SetCSVFile(pszPath) == CSV_STATE_CHOSEN) {
        LOG_INFO(qvxlog::WizDlg, "New CSV file Selected: %s", pszPath);
        StartAnalysis();
        CheckLastDB();
        return;
    }
    // Nothing of an earlier file stays current; a file that exists (or was
    // dropped) is named with the reason it is not taken.
    m_session.SetCSVFile("");
    if (!cut.isEmpty() && (bDropped || IsExistingFile(pszPath))) {
        m_pszCSVRefusal = pszRefusal ? pszRefusal : qvxtext::kMainDlg_Info_CSVNotTaken_Unreadable;
        m_refusedCSV = pszPath;
    }
    UpdateInfotext();
    UpdateControls();
}

bool CQVXWizardDlg::StartAnalysis() {
    if (m_bBusy || m_AnalyzeThread.IsRunning()) {
        LOG_WARN(qvxlog::WizDlg, "Analysis not started: a worker runs");
        return false;
    }
    // Busy from the start, not only from the worker's first report: a second
    // choice in between would change the parser under the running analysis.
    m_bBusy = 1;
    m_session.ForgetChosenName();
    // Turning the controls off sends the focus on to the next control that
    // can take it (Help); typing and Enter would go there.
    m_pFocusBeforeWork = focusWidget();
    UpdateControls();
    if (!m_AnalyzeThread.StartThread(0, 0, 0)) {
        LOG_WARN(qvxlog::WizDlg, "StartThread() failed !");
        m_bBusy = 0;
        UpdateInfotext();
        UpdateControls();
        RestoreFocusAfterWork();
        return false;
    }
    return true;
}

void CQVXWizardDlg::RestoreFocusAfterWork() {
    QWidget* pWidget = m_pFocusBeforeWork;
    m_pFocusBeforeWork = nullptr;
    if (pWidget && pWidget->isEnabled()) pWidget->setFocus();
}

QString CQVXWizardDlg::ContactsFileFilter() {
    return qvxui::LanguageText(qvxtext::kMainDlg_Filter_Contacts) + QLatin1Char('|') +
           QString::fromStdString(ContactsFilePatterns(";")) + QLatin1Char('|') +
           qvxui::LanguageText(qvxtext::kMainDlg_Filter_AllFiles) + QStringLiteral("|*||");
}

void CQVXWizardDlg::OnButtonBrowseCsv() {
    qvxui::FileDialogOptions options;
    options.filter = ContactsFileFilter();
    options.defaultSuffix = "csv";
    // The sample contacts file lies in samples/ beside the program.
    const std::string samples = m_programPath + "/samples/";
    options.startFolder =
        qvxui::FromLocalText(access(samples.c_str(), X_OK) == 0 ? samples : m_programPath + "/");
    QString path;
    if (qvxui::GetOpenFileName(this, options, &path)) m_pEditCSV->setText(path);
}

// Runs on the analysis worker's thread (CB::ANALYZE_CSV); what the analysis
// found is taken over on the dialog's thread, before the end report.
void CQVXWizardDlg::AnalyzeCSVFile() {
    auto pOutcome = std::make_shared<AnalysisOutcome>(m_session.Analyse(true));
    CWizardDlgAdapter ui(this);
    if (pOutcome->nResult != 0) {
        const QString text =
            qvxui::FromLocalText(GetText(qvxtext::kMainDlg_MsgBox_AnalyzeCSVFailed, kMessageSize));
        ui.Call([this, &text] {
            qvxui::MessageBox(this, text, qvxui::MsgIcon::Information, qvxui::MsgButtons::Ok);
        });
    }
    ui.Post([this, pOutcome] {
        if (m_session.ApplyAnalysis(std::move(*pOutcome))) ShowMappingList();
    });
}

void CQVXWizardDlg::ShowMappingList() {
    // When no mapping fits the file, none is offered as if it did.
    m_pMappingList->ShowList(m_session.Mappings(), m_session.SelectedMapping(), !m_session.NoMappingFits());
}

// ---------------------------------------------------------------------------
// Worker reports

int CQVXWizardDlg::OnReceiveCallback(unsigned nCode, void* pParam) {
    CWizardDlgAdapter ui(this);
    switch (nCode) {
        case CB::START_THREAD:
            m_bBusy = 1;
            ui.Post([this] { UpdateControls(); });
            break;
        case CB::RESULT:
            if (!pParam) {
                LOG_WARN(qvxlog::WizDlg, "OnReceiveCallback(%d): NULL-Pointer", static_cast<int>(nCode));
                break;
            }
            m_nCreateDBResult = *static_cast<int*>(pParam);
            break;
        case CB::ANALYZE_CSV:
            AnalyzeCSVFile();
            break;
        case CB::END_THREAD:
            // Busy until the dialog shows the end: closing stays refused so long.
            ui.Post([this] {
                m_bBusy = 0;
                CheckLastDB();
                UpdateControls();
                UpdateInfotext();
                RestoreFocusAfterWork();
            });
            break;
        default:
            break;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// The two ways and Complete

void CQVXWizardDlg::OnRadioLastDB() {
    if (m_nMode != 1) UpdateRadioState();
}

void CQVXWizardDlg::OnRadioNewDB() {
    if (m_nMode != 0) UpdateRadioState();
}

void CQVXWizardDlg::OnButtonComplete() {
    if (m_bBusy) return;
    // Both dialogs are made first; each runs only when its way needs it.
    std::unique_ptr<QDialog> pCreateDlg(NewCreateDBDialog());
    std::unique_ptr<QDialog> pCopyDlg(NewCopyToPhoneDialog());
    if (m_nMode == 0) {
        // The worker keeps a reference to the record until the dialog has closed.
        CImportData importData = m_session.ImportData();
        // A build counts as started when Complete is pressed.
        importData.m_llStartNs = CQVXDBBuilder::NowNs();
        m_pCreateDBThread->SetImportData(&importData);
        m_nCreateDBResult = 0;
        if (pCreateDlg) {
            pCreateDlg->exec();
        } else {
            LOG_WARN(qvxlog::WizDlg, "Complete: no create-database dialog");
        }
        m_pCreateDBThread->SetReceiver(nullptr);
        m_pCreateDBThread->SetImportData(nullptr);
        if (m_nCreateDBResult == 1 && pCopyDlg) pCopyDlg->exec();
    } else if (m_nMode == 1 && pCopyDlg) {
        pCopyDlg->exec();
    }
    UpdateControls();
}

QDialog* CQVXWizardDlg::NewCreateDBDialog() {
    auto* pDlg = new (std::nothrow) CCreateDBDlg(this);
    if (!pDlg) return nullptr;
    pDlg->SetWorker(m_pCreateDBThread.get());
    pDlg->m_Owner.SetReceiver(this);
    return pDlg;
}

QDialog* CQVXWizardDlg::NewCopyToPhoneDialog() {
    return new (std::nothrow) CCopyToPhoneDlg(this);
}

// ---------------------------------------------------------------------------
// Closing

void CQVXWizardDlg::keyPressEvent(QKeyEvent* pEvent) {
    const int nKey = pEvent->key();
    if (IsPlainEnter(*pEvent)) {
        // Enter that a field, the list or a radio button passed on does
        // nothing: users press it after typing a path, and it must neither end
        // the program nor press whichever button holds the dialog's focus
        // (eventFilter presses a button that Enter was typed on).
        return;
    }
    if (nKey == Qt::Key_Escape && pEvent->modifiers() == Qt::NoModifier) {
        reject();
        return;
    }
    QDialog::keyPressEvent(pEvent);
}

bool CQVXWizardDlg::eventFilter(QObject* pWatched, QEvent* pEvent) {
    if (pEvent->type() == QEvent::KeyPress && IsPlainEnter(*static_cast<QKeyEvent*>(pEvent))) {
        if (auto* pButton = qobject_cast<QPushButton*>(pWatched)) {
            if (pButton->isEnabled()) pButton->click();
            return true;
        }
    }
    return QDialog::eventFilter(pWatched, pEvent);
}

void CQVXWizardDlg::closeEvent(QCloseEvent* pEvent) {
    if (m_bBusy) {
        pEvent->ignore();
        return;
    }
    QDialog::closeEvent(pEvent);
}

void CQVXWizardDlg::accept() {
    CloseWithCleanUp(QDialog::Accepted);
}

void CQVXWizardDlg::reject() {
    CloseWithCleanUp(QDialog::Rejected);
}

bool CQVXWizardDlg::CloseWithCleanUp(int nResult) {
    if (m_bBusy) {
        LOG_INFO(qvxlog::WizDlg, "Close refused: a worker runs");
        return false;
    }
    CleanUp();
    QDialog::done(nResult);
    return true;
}

void CQVXWizardDlg::CleanUp() {
    if (m_bCleanedUp) return;
    m_bCleanedUp = true;
    hide();
    // After its end report the analysis run only ends its thread; serve the
    // event loop meanwhile rather than block.
    qvxui::WaitServingEvents([this] { return !m_AnalyzeThread.IsRunning(); });
    m_AnalyzeThread.WaitForDone(0);
}

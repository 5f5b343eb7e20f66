// CQVXWizardDlg: the program's main window. It leads the user through one of
// two ways: build a new contact database from a CSV file and a mapping, or
// send the database built last (last.db) again. The import itself - files,
// mapping list, analysis - is its import session's (wizard/ImportSession.h);
// the dialog runs the session's analysis on the analysis worker. Which controls are enabled and which info
// texts show follow from its state by the rules of wizard/WizardState.h; the dialog only gathers the state
// and applies the answer.
//
// Threads: OnReceiveCallback runs on the reporting worker's thread (the
// analysis worker, or the create-database worker through the create-database
// dialog). The analysis itself runs there; every window action, taking over
// the analysis's outcome included, is carried to the dialog's thread by the
// small adapter in the source file.
//
// Its files call downwards only: the window (QVXWizardDlgCommands.cpp: the
// controls, texts, menu and drops) above the mapping commands
// (QVXWizardDlgMappings.cpp) above the wizard's flow (QVXWizardDlg.cpp).
//
// Cancel, Escape and the close box end the dialog (Enter never does); they
// are refused while a worker runs, since closing frees the objects the
// worker uses.
#pragma once

#include <QDialog>
#include <QPointer>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "import/AnalyzeCSVThread.h"
#include "threads/CallbackReceiver.h"
#include "wizard/ImportSession.h"
#include "wizard/WizardState.h"

class CIconButton;
class CMappingList;
class QAction;
class QActionGroup;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QRadioButton;
class QWidget;

class CQVXWizardDlg : public QDialog, public CCallbackReceiver {
    Q_OBJECT

public:
    // Control ids of the dialog template, used as object names.
    enum ControlId {
        IDCANCEL_BUTTON = 2,
        IDC_RADIO_LASTDB = 1000,
        IDC_RADIO_NEWDB = 1001,
        IDC_STATIC_CSV = 1002,
        IDC_EDIT_CSV = 1003,
        IDC_BUTTON_BROWSE_CSV = 1004,
        IDC_STATIC_MAPPING = 1005,
        IDC_COMBO_MAPPING = 1007,
        IDC_BUTTON_EDIT_MAP = 1008,
        IDC_BUTTON_COMPLETE = 1010,
        IDC_STATIC_INFO = 1017,
        IDC_BUTTON_BROWSE_MAP = 1036,
        IDC_BUTTON_CREATE_MAP = 1037,
        IDC_STATIC_LASTDB = 1046,
        IDC_STATIC_COPYRIGHT = 1047,
        IDC_BUTTON_HELP = 1056,
        IDC_BUTTON_WEB = 1057,
        IDC_BUTTON_PREVIEW = 1058,
    };
    // Commands of the languages menu and the info entry.
    static constexpr int kCmdInfo = 16;
    static constexpr int kCmdLanguageBase = 5000;

    explicit CQVXWizardDlg(QWidget* pParent = nullptr);
    ~CQVXWizardDlg() override;

    // The folder of the running program without trailing '/': 1, or 0 with an
    // empty buffer when there is none or it does not fit (length >= nSize).
    static int GetProgramPath(char* pszBuffer, size_t nSize);

    int OnReceiveCallback(unsigned nCode, void* pParam) override;

    // Applies the current language's texts to every control and the menu.
    void UpdateTexts();
    void UpdateInfotext();
    void UpdateControls();
    void UpdateRadioState();
    bool CheckLastDB();
    // Switches to the language of a languages-menu command; true on success.
    bool SelectLanguage(int nCommand);

    // Observable state, for the program's tools and tests.
    int GetCSVState() const { return m_session.CSVState(); }
    int GetMappingState() const { return m_session.MappingState(); }
    int GetMode() const { return m_nMode; }
    bool IsBusy() const { return m_bBusy.load() != 0; }
    bool LastDBExists() const { return m_bLastDBExists != 0; }
    const char* GetLastDBPath() const { return m_lastDB.c_str(); }
    const char* GetCSVFile() const { return m_session.CSVFile().c_str(); }
    const char* GetMappingFile() const { return m_session.SelectedMapping().c_str(); }
    int GetMappingCount() const { return static_cast<int>(m_session.Mappings().size()); }
    int GetLanguageCount() const { return m_nLanguages; }
    int GetCreateDBResult() const { return m_nCreateDBResult.load(); }
    const CImportSession& Session() const { return m_session; }
    QMenu* GetLanguagesMenu() const { return m_menuLanguages; }
    QAction* GetInfoAction() const { return m_pInfoAction; }
    // The analysis worker's run is over (also when none ran).
    bool IsAnalysisIdle() const { return !m_AnalyzeThread.IsRunning(); }
    // A contacts file to take when the dialog opens (given on the command line).
    void SetStartFile(std::string path) { m_startFile = std::move(path); }
    // The contacts file dialog's filter, in the "text|patterns||" form.
    static QString ContactsFileFilter();

protected:
    // The two dialogs of Complete, made ready to run (the create-database
    // dialog drives the create-database worker and reports to this dialog);
    // the caller owns them. Null when one cannot be made. Tests replace them.
    virtual QDialog* NewCreateDBDialog();
    virtual QDialog* NewCopyToPhoneDialog();
    // The mapping editor and the info dialog, run modally; tests replace them.
    // The mapping editor on the table: in new mode it saves into `folder`,
    // else into `file`. True after OK, with the saved file's name and path.
    virtual bool RunMappingEditor(bool bNewMode, const std::string& folder, const std::string& file,
                                  std::string& savedName, std::string& savedPath);
    virtual void RunInfoDialog();

    void showEvent(QShowEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;
    // Enter on a push button presses that button, and only there.
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    void dragEnterEvent(QDragEnterEvent* pEvent) override;
    void dragMoveEvent(QDragMoveEvent* pEvent) override;
    void dropEvent(QDropEvent* pEvent) override;

public slots:
    void accept() override;
    void reject() override;

private slots:
    void OnChangeEditCsv();
    void OnButtonBrowseCsv();
    void OnButtonComplete();
    void OnRadioLastDB();
    void OnRadioNewDB();
    void OnButtonBrowseMap();
    void OnButtonEditMap();
    void OnButtonCreateMap();
    void OnButtonPreview();
    // The preview of the table with its mapping row as it stands.
    void OpenPreview(QWidget* pParent);
    void OnButtonHelp();
    void OnButtonWeb();
    void OnMenuCommand(QAction* pAction);

private:
    struct ControlEntry;
    static const ControlEntry kControls[];
    void BuildControl(const ControlEntry& entry);
    // A control's place in the template, in pixels for the dialog's font.
    QRect TemplateRect(int nId) const;
    void CreateControls();
    void ConnectControls();
    void OnInitDialog();
    void InitMenu();
    void FitButtonRow();

    bool IsFileReadable(const char* pszPath);
    // What the wizard's rules read, gathered from the members.
    qvxwizard::WizardState CurrentState() const;
    // Starts the analysis worker; the dialog counts as busy from here on.
    bool StartAnalysis();
    // Gives the focus back to the control that had it when the analysis
    // turned it off.
    void RestoreFocusAfterWork();
    void AnalyzeCSVFile();
    // Handles a CSV path as if typed into the edit box; bDropped: it was
    // dropped, so the reason a file is not taken is always shown.
    void SelectCSVText(const QString& text, bool bDropped = false);
    // Closing with clean-up (Cancel, Escape, close box); false while busy.
    bool CloseWithCleanUp(int nResult);
    void CleanUp();

    // Mapping list (the session's, in its order).
    void ShowMappingList();
    bool AddMapping(const std::string& path);
    // After a choice in the list and after each of the mapping commands.
    void OnMappingSelected();
    // Adds the file the mapping editor saved, named as the table names it.
    void AddEditedMapping(const std::string& path);
    void HandleDroppedFiles(const std::vector<std::string>& files);

    // Controls, by template id.
    QWidget* m_pClient = nullptr;
    QMenuBar* m_pMenuBar = nullptr;
    QRadioButton* m_pRadioNewDB = nullptr;
    QGroupBox* m_pGroupNewDB = nullptr;
    QLabel* m_pStaticCSV = nullptr;
    QLineEdit* m_pEditCSV = nullptr;
    CIconButton* m_pButtonBrowseCsv = nullptr;
    QLabel* m_pStaticMapping = nullptr;
    CMappingList* m_pMappingList = nullptr;
    QRadioButton* m_pRadioLastDB = nullptr;
    QGroupBox* m_pGroupLastDB = nullptr;
    QLabel* m_pStaticLastDB = nullptr;
    QLabel* m_pStaticInfo = nullptr;
    CIconButton* m_pButtonHelp = nullptr;
    CIconButton* m_pButtonWeb = nullptr;
    QPushButton* m_pButtonPreview = nullptr;
    CIconButton* m_pButtonComplete = nullptr;
    CIconButton* m_pButtonCancel = nullptr;
    QFrame* m_pLine = nullptr;
    QLabel* m_pStaticCopyright = nullptr;

    CQVXWAnalyzeCSVThread m_AnalyzeThread;
    // The folder of the running program ("" when unknown).
    std::string m_programPath;
    CImportSession m_session;
    std::unique_ptr<CCreateDBThread> m_pCreateDBThread;
    uint8_t m_bLastDBExists = 0;
    std::atomic<uint8_t> m_bBusy{0};
    std::atomic<int> m_nCreateDBResult{0};
    int m_nLanguages = 0;
    // Why the CSV path in the field is not taken (a language key), or null.
    const char* m_pszCSVRefusal = nullptr;
    std::string m_refusedCSV;
    int m_nMode = 0;
    std::string m_lastDB;
    QMenu* m_menuLanguages = nullptr;
    std::vector<std::string> m_languageNames;  // the menu's languages, as listed in language.ini
    QAction* m_pInfoAction = nullptr;

    bool m_bOpened = false;
    std::string m_startFile;
    bool m_bHoldAnalysis = false;  // a drop's mapping waits for the drop's CSV file
    bool m_bCleanedUp = false;
    QPointer<QWidget> m_pFocusBeforeWork;  // where the focus was when the analysis began
};

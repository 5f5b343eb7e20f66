// The main dialog's window: its controls and their wiring, its texts, the
// languages menu and the info entry (a menu bar of the dialog, since Linux
// window managers offer no extendable window menu), help, the web address
// and dropped files. The wizard's flow (QVXWizardDlg.cpp) and the mapping
// commands (QVXWizardDlgMappings.cpp) lie below it and never call up here.
#include <strings.h>

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <type_traits>

#include "database/CreateDBThread.h"
#include "gui/app/MappingList.h"
#include "gui/app/QVXWizardDlg.h"
#include "gui/controls/ButtonIcons.h"
#include "gui/controls/IconButton.h"
#include "gui/i18n/InfoDlg.h"
#include "gui/i18n/LanguageTextUi.h"
#include "gui/i18n/OpenWithMessageUi.h"
#include "gui/kit/DialogUi.h"
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

namespace {

std::string ProgramFolderOrEmpty() {
    char szPath[kTextSize] = {};
    if (!CQVXWizardDlg::GetProgramPath(szPath, sizeof szPath))
        LOG_WARN(qvxlog::WizDlg, "Get program path failed!");
    return szPath;
}

}  // namespace

CQVXWizardDlg::CQVXWizardDlg(QWidget* pParent)
    : QDialog(pParent),
      m_programPath(ProgramFolderOrEmpty()),
      m_session(m_programPath),
      m_pCreateDBThread(std::make_unique<CCreateDBThread>()) {
    SetLanguageFile((m_programPath + "/language.ini").c_str());
    m_AnalyzeThread.SetReceiver(this);
    CreateControls();
}

CQVXWizardDlg::~CQVXWizardDlg() {
    CleanUp();
    // The worker's run may still be finishing after its end report.
    m_AnalyzeThread.StopAndWait();
    m_AnalyzeThread.SetReceiver(nullptr);
}

// The dialog template: every control in creation order (which is also the
// tab order), with its id (0: none) and place in dialog units and, for an
// icon button, its two icons. Each entry makes its control and stores it in
// its member.
struct CQVXWizardDlg::ControlEntry {
    QWidget* (*create)(CQVXWizardDlg& dlg, QWidget* pParent);
    qvxui::DialogItem item;
    int nIcon = 0, nDisabledIcon = 0;
};

namespace {

template <auto pMember>
QWidget* CreateInto(CQVXWizardDlg& dlg, QWidget* pParent) {
    using Widget = std::remove_pointer_t<std::remove_reference_t<decltype(dlg.*pMember)>>;
    auto* pWidget = new Widget(pParent);
    dlg.*pMember = pWidget;
    return pWidget;
}

}  // namespace

// clang-format off
const CQVXWizardDlg::ControlEntry CQVXWizardDlg::kControls[] = {
    {CreateInto<&CQVXWizardDlg::m_pRadioNewDB>, {IDC_RADIO_NEWDB, 7, 7, 254, 8}},
    {CreateInto<&CQVXWizardDlg::m_pGroupNewDB>, {0, 7, 14, 254, 54}},
    {CreateInto<&CQVXWizardDlg::m_pStaticCSV>, {IDC_STATIC_CSV, 12, 27, 70, 14}},
    {CreateInto<&CQVXWizardDlg::m_pEditCSV>, {IDC_EDIT_CSV, 85, 27, 114, 14}},
    {CreateInto<&CQVXWizardDlg::m_pButtonBrowseCsv>, {IDC_BUTTON_BROWSE_CSV, 204, 27, 15, 14},
     qvxicons::kBrowse, qvxicons::kBrowseDisabled},
    {CreateInto<&CQVXWizardDlg::m_pStaticMapping>, {IDC_STATIC_MAPPING, 12, 47, 70, 12}},
    // The list with its browse, edit and create buttons (ids 1007, 1036, 1008, 1037).
    {CreateInto<&CQVXWizardDlg::m_pMappingList>, {0, 85, 47, 170, 14}},
    {CreateInto<&CQVXWizardDlg::m_pRadioLastDB>, {IDC_RADIO_LASTDB, 7, 77, 254, 8}},
    {CreateInto<&CQVXWizardDlg::m_pGroupLastDB>, {0, 7, 84, 254, 20}},
    {CreateInto<&CQVXWizardDlg::m_pStaticLastDB>, {IDC_STATIC_LASTDB, 12, 92, 226, 8}},
    // Seven lines: what reading the CSV file found and what the rows give
    // have room beside the states.
    {CreateInto<&CQVXWizardDlg::m_pStaticInfo>, {IDC_STATIC_INFO, 7, 110, 254, 61}},
    {CreateInto<&CQVXWizardDlg::m_pButtonHelp>, {IDC_BUTTON_HELP, 7, 177, 15, 14},
     qvxicons::kHelp, qvxicons::kHelpDisabled},
    {CreateInto<&CQVXWizardDlg::m_pButtonWeb>, {IDC_BUTTON_WEB, 25, 177, 15, 14},
     qvxicons::kWeb, qvxicons::kWebDisabled},
    {CreateInto<&CQVXWizardDlg::m_pButtonPreview>, {IDC_BUTTON_PREVIEW, 84, 177, 55, 14}},
    {CreateInto<&CQVXWizardDlg::m_pButtonComplete>, {IDC_BUTTON_COMPLETE, 145, 177, 55, 14},
     qvxicons::kOk, qvxicons::kOkDisabled},
    {CreateInto<&CQVXWizardDlg::m_pButtonCancel>, {IDCANCEL_BUTTON, 206, 177, 55, 14},
     qvxicons::kCancel, qvxicons::kCancelDisabled},
    {CreateInto<&CQVXWizardDlg::m_pLine>, {0, 7, 195, 254, 1}},
    {CreateInto<&CQVXWizardDlg::m_pStaticCopyright>, {IDC_STATIC_COPYRIGHT, 7, 198, 254, 8}},
};
// clang-format on

// Each entry places its own control, so no look-up by id (PlaceDialogItem)
// is needed; the frames and the line have no id and keep no object name.
void CQVXWizardDlg::BuildControl(const ControlEntry& entry) {
    QWidget* pWidget = entry.create(*this, m_pClient);
    const qvxui::DialogItem& item = entry.item;
    if (item.nId != 0) pWidget->setObjectName(QString::number(item.nId));
    if (auto* pList = qobject_cast<CMappingList*>(pWidget)) {
        pList->PlaceAt(item.x, item.y);
        // Enter presses its buttons as it does the dialog's own.
        for (QPushButton* pButton : pList->findChildren<QPushButton*>()) pButton->installEventFilter(this);
        return;
    }
    qvxui::PlaceByDialogUnits(pWidget, item.x, item.y, item.cx, item.cy);
    if (auto* pButton = qobject_cast<CIconButton*>(pWidget)) {
        pButton->SetButtonIcons(entry.nIcon, entry.nDisabledIcon);
        pButton->OffsetButtonColour(0, 30);
        pButton->setAutoDefault(false);
        pButton->installEventFilter(this);
    }
}

QRect CQVXWizardDlg::TemplateRect(int nId) const {
    for (const ControlEntry& entry : kControls) {
        const qvxui::DialogItem& item = entry.item;
        if (item.nId == nId) return qvxui::DialogUnitsToPixels(font(), item.x, item.y, item.cx, item.cy);
    }
    return QRect();
}

void CQVXWizardDlg::CreateControls() {
    setObjectName("102");
    setAcceptDrops(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    pLayout->setSizeConstraint(QLayout::SetFixedSize);
    m_pMenuBar = new QMenuBar(this);
    m_pMenuBar->setVisible(false);
    pLayout->setMenuBar(m_pMenuBar);
    m_pClient = new QWidget(this);
    m_pClient->setFixedSize(qvxui::DialogSizeToPixels(font(), 268, 209));
    pLayout->addWidget(m_pClient);

    for (const ControlEntry& entry : kControls) BuildControl(entry);

    m_pButtonPreview->setAutoDefault(false);
    m_pEditCSV->setMaxLength(260);
    // Dropped files go to the dialog, not into the text.
    m_pEditCSV->setAcceptDrops(false);
    m_pStaticInfo->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    m_pStaticInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pStaticInfo->setWordWrap(true);
    m_pStaticInfo->setContentsMargins(2, 0, 2, 0);
    // More lines than the box holds (a longer language, rows skipped and
    // values not stored) scroll rather than hide the last one.
    auto* pInfoArea = new QScrollArea(m_pClient);
    pInfoArea->setGeometry(m_pStaticInfo->geometry());
    pInfoArea->setFrameStyle(QFrame::NoFrame);
    pInfoArea->viewport()->setAutoFillBackground(false);
    pInfoArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pInfoArea->setFocusPolicy(Qt::NoFocus);
    pInfoArea->setWidgetResizable(true);
    pInfoArea->setWidget(m_pStaticInfo);
    m_pLine->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    m_pLine->setFixedHeight(2);
    // The radio buttons sit on the upper edge of their group frames.
    m_pRadioNewDB->raise();
    m_pRadioLastDB->raise();
    m_pRadioNewDB->setAutoFillBackground(false);

    ConnectControls();
}

void CQVXWizardDlg::ConnectControls() {
    connect(m_pEditCSV, &QLineEdit::textChanged, this, &CQVXWizardDlg::OnChangeEditCsv);
    connect(m_pButtonBrowseCsv, &QPushButton::clicked, this, &CQVXWizardDlg::OnButtonBrowseCsv);
    connect(m_pButtonComplete, &QPushButton::clicked, this, &CQVXWizardDlg::OnButtonComplete);
    connect(m_pButtonCancel, &QPushButton::clicked, this, &CQVXWizardDlg::reject);
    connect(m_pRadioLastDB, &QRadioButton::clicked, this, &CQVXWizardDlg::OnRadioLastDB);
    connect(m_pRadioNewDB, &QRadioButton::clicked, this, &CQVXWizardDlg::OnRadioNewDB);
    connect(m_pMappingList, &CMappingList::MappingPicked, this, &CQVXWizardDlg::OnMappingSelected);
    connect(m_pMappingList, &CMappingList::BrowseClicked, this, &CQVXWizardDlg::OnButtonBrowseMap);
    connect(m_pMappingList, &CMappingList::EditClicked, this, &CQVXWizardDlg::OnButtonEditMap);
    connect(m_pMappingList, &CMappingList::CreateClicked, this, &CQVXWizardDlg::OnButtonCreateMap);
    connect(m_pButtonPreview, &QPushButton::clicked, this, &CQVXWizardDlg::OnButtonPreview);
    connect(m_pButtonHelp, &QPushButton::clicked, this, &CQVXWizardDlg::OnButtonHelp);
    connect(m_pButtonWeb, &QPushButton::clicked, this, &CQVXWizardDlg::OnButtonWeb);
    connect(m_pMenuBar, &QMenuBar::triggered, this, &CQVXWizardDlg::OnMenuCommand);
}

void CQVXWizardDlg::showEvent(QShowEvent* pEvent) {
    if (!m_bOpened) {
        m_bOpened = true;
        OnInitDialog();
    }
    QDialog::showEvent(pEvent);
}

void CQVXWizardDlg::OnInitDialog() {
    InitMenu();
    setWindowIcon(qvxicons::ProgramIcon());
    m_pRadioNewDB->setChecked(true);

    // The info text names the rows a complete mapping leaves without a contact.
    m_session.SetTallyRows(true);
    m_session.ListMappings();
    ShowMappingList();
    OnMappingSelected();

    CheckLastDB();
    UpdateTexts();
    UpdateInfotext();
    UpdateControls();
    // The menu bar appeared after the layout was first set up.
    if (layout()) layout()->activate();
    // A file given on the command line ("Open with") is taken as a dropped one.
    if (!m_startFile.empty()) HandleDroppedFiles({m_startFile});
}

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
    m_pMappingList->UpdateTexts(m_session.Mappings());
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

// ---------------------------------------------------------------------------
// Dropped files

namespace {

// A drop is taken as a copy, or else as a link, never as a move: a source
// that deletes its file after a move would remove the user's export.
bool TakeAsCopyOrLink(QDropEvent* pEvent) {
    const Qt::DropActions actions = pEvent->possibleActions();
    if (actions & Qt::CopyAction)
        pEvent->setDropAction(Qt::CopyAction);
    else if (actions & Qt::LinkAction)
        pEvent->setDropAction(Qt::LinkAction);
    else
        return false;
    pEvent->accept();
    return true;
}

}  // namespace

void CQVXWizardDlg::dragEnterEvent(QDragEnterEvent* pEvent) {
    if (m_bBusy || !pEvent->mimeData()->hasUrls() || !TakeAsCopyOrLink(pEvent)) pEvent->ignore();
}

void CQVXWizardDlg::dragMoveEvent(QDragMoveEvent* pEvent) {
    if (m_bBusy || !pEvent->mimeData()->hasUrls() || !TakeAsCopyOrLink(pEvent)) pEvent->ignore();
}

void CQVXWizardDlg::dropEvent(QDropEvent* pEvent) {
    // A drop while a worker runs must not change the parser under it.
    if (m_bBusy || m_AnalyzeThread.IsRunning() || !pEvent->mimeData()->hasUrls() ||
        !TakeAsCopyOrLink(pEvent)) {
        pEvent->ignore();
        return;
    }
    std::vector<std::string> files;
    for (const QUrl& url : pEvent->mimeData()->urls()) {
        if (url.isLocalFile()) files.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    }
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

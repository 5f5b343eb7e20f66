#include "gui/transfer/CopyToPhoneDlg.h"

#include <QAbstractTextDocumentLayout>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPainter>
#include <QProgressBar>
#include <QTextDocument>
#include <QTextOption>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "database/DatabaseCounts.h"
#include "database/QVXDBBuilder.h"
#include "gui/controls/ButtonIcons.h"
#include "gui/controls/IconButton.h"
#include "gui/i18n/LanguageTextUi.h"
#include "gui/i18n/QtTranslationsUi.h"
#include "gui/kit/DialogUi.h"
#include "gui/kit/MessageBoxesUi.h"
#include "gui/kit/UiThreadAdapter.h"
#include "gui/kit/WorkerWaitUi.h"
#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "support/LogModules.h"
#include "threads/CallbackCodes.h"
#include "transfer/ConnApi.h"
#include "transfer/Utf16Text.h"

namespace {

constexpr size_t kAnimateBuffer = 260;
constexpr size_t kMaxSerial = 259;

// The info field. The memory report puts a tab between each label and its
// figure; the tab stop is set just past the longest label, so that the
// figures line up in one column whatever the font.
class CInfoLabel : public QLabel {
public:
    explicit CInfoLabel(QWidget* pParent) : QLabel(pParent) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect area = contentsRect();
        const QFontMetricsF metrics(font());
        qreal dTabStop = 0;
        for (const QString& line : text().split('\n')) {
            const qsizetype nTab = line.indexOf('\t');
            if (nTab >= 0) dTabStop = std::max(dTabStop, metrics.horizontalAdvance(line.left(nTab)));
        }
        QTextOption option(alignment());
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        if (dTabStop > 0) option.setTabStopDistance(dTabStop + metrics.averageCharWidth());
        QTextDocument document;
        document.setDocumentMargin(0);
        document.setDefaultFont(font());
        document.setDefaultTextOption(option);
        document.setPlainText(text());
        document.setTextWidth(area.width());
        painter.translate(area.topLeft());
        QAbstractTextDocumentLayout::PaintContext context;
        context.palette = palette();
        context.palette.setColor(
            QPalette::Text,
            palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        context.clip = QRectF(0, 0, area.width(), area.height());
        painter.setClipRect(context.clip);
        document.documentLayout()->draw(&painter, context);
    }
};

// A figure in mebibytes with two decimals, rounded as printf does (so a
// phone that told nothing shows -0,00), with the separators of the current
// language ("1.234,50 MiB" in German, "1,234.50 MiB" in English).
std::string MebibytesText(double dMiB) {
    char szFigure[64];
    snprintf(szFigure, sizeof szFigure, "%.2f", dMiB);
    const QString code = qvxui::QtLocaleCode(GetCurrentLanguageName());
    const QLocale locale = code.isEmpty() ? QLocale::c() : QLocale(code);
    const QString figure = QString::fromLatin1(szFigure);
    const qsizetype nPoint = figure.indexOf(QLatin1Char('.'));
    if (nPoint < 0) return figure.toStdString() + " MiB";  // not a number
    const qsizetype nFirstDigit = figure.startsWith(QLatin1Char('-')) ? 1 : 0;
    QString text = figure.left(nFirstDigit);
    for (qsizetype i = nFirstDigit; i < nPoint; ++i) {
        if (i > nFirstDigit && (nPoint - i) % 3 == 0) text += locale.groupSeparator();
        text += figure[i];
    }
    text += locale.decimalPoint() + figure.mid(nPoint + 1) + QStringLiteral(" MiB");
    return text.toStdString();
}

// The fixed geometry in dialog units.
constexpr int kDialogWidth = 148;
constexpr int kDialogHeight = 155;
// clang-format off
constexpr qvxui::DialogItem kLayout[] = {
    {CCopyToPhoneDlg::kIdContents, 7, 7, 134, 16},
    {CCopyToPhoneDlg::kIdDevicesLabel, 7, 27, 134, 8}, {CCopyToPhoneDlg::kIdDevices, 7, 37, 134, 36},
    {CCopyToPhoneDlg::kIdInfo, 7, 77, 134, 40},        {CCopyToPhoneDlg::kIdProgress, 7, 120, 134, 9},
    {CCopyToPhoneDlg::kIdCopy, 7, 134, 64, 14},        {CCopyToPhoneDlg::kIdBack, 77, 134, 64, 14},
};
// clang-format on

}  // namespace

CCopyToPhoneDlg::CCopyToPhoneDlg(QWidget* pParent) : QDialog(pParent) {
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_pContents = qvxui::Placed(new QLabel(this), kIdContents, kLayout);
    m_pContents->setWordWrap(true);
    m_pContents->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pDevicesLabel = qvxui::Placed(new QLabel(this), kIdDevicesLabel, kLayout);
    m_pDeviceList = qvxui::Placed(new QListWidget(this), kIdDevices, kLayout);
    m_pDeviceList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pDeviceList->setSortingEnabled(false);  // a position is an index into the device records
    connect(m_pDeviceList, &QListWidget::itemSelectionChanged, this, [this] { OnDeviceSelected(); });
    m_pInfo = qvxui::Placed(new CInfoLabel(this), kIdInfo, kLayout);
    m_pInfo->setTextFormat(Qt::PlainText);
    m_pInfo->setWordWrap(true);
    m_pInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pProgress = qvxui::Placed(new QProgressBar(this), kIdProgress, kLayout);
    m_pProgress->setTextVisible(false);
    m_pProgress->setRange(0, 100);
    m_pProgress->setValue(0);
    m_pCopy = qvxui::Placed(new CIconButton(this), kIdCopy, kLayout);
    m_pCopy->setEnabled(false);
    connect(m_pCopy, &QPushButton::clicked, this, [this] { OnButtonCopy(); });
    m_pBack = qvxui::Placed(new CIconButton(this), kIdBack, kLayout);
    m_pBack->SetButtonIcons(qvxicons::kCancel, qvxicons::kCancelDisabled);
    connect(m_pBack, &QPushButton::clicked, this, [this] { OnButtonBack(); });
    for (CIconButton* pButton : {m_pCopy, m_pBack}) {
        pButton->setAutoDefault(false);
        pButton->OffsetButtonColour(CIconButton::kColourBackHover, 30);
    }
    setFixedSize(qvxui::DialogSizeToPixels(font(), kDialogWidth, kDialogHeight));

    m_tLastDots = Now();
    m_Worker.SetReceiver(this);
    m_Worker.SetDBBuilder(&m_session.Database());
    m_session.OpenDeviceManager(this);
}

CCopyToPhoneDlg::~CCopyToPhoneDlg() {
    m_bClosing.store(true);
    // A run still going (the program ends, or the user declined a further
    // transfer and the worker is finishing): it must have left its steps
    // before the session ends. Nothing of it reaches this dialog any more.
    m_Worker.SetReceiver(nullptr);
    if (m_bCopying.load() != 0) m_Worker.RequestAbort();
    qvxui::WaitServingEvents([this] { return !m_Worker.IsRunning(); });
    m_Worker.WaitForDone(0);
    // Gives last.db back and stops the phone events before this dialog goes.
    m_session.End();
}

int64_t CCopyToPhoneDlg::Now() const {
    return m_clock ? m_clock() : static_cast<int64_t>(time(nullptr));
}

// ---- window -----------------------------------------------------------------

void CCopyToPhoneDlg::showEvent(QShowEvent* pEvent) {
    QDialog::showEvent(pEvent);
    if (!m_bWindowReady) InitWindow();
}

void CCopyToPhoneDlg::InitWindow() {
    m_bWindowReady = true;
    SetCopyButtonState(false);
    UpdateTexts();
    m_session.LendDatabase();
    ShowContents();
    RefreshDeviceList();
    m_pProgress->setRange(0, 100);
    m_pCopy->setEnabled(false);
}

void CCopyToPhoneDlg::UpdateTexts() {
    const bool bRun = m_bRunActive.load();
    qvxui::ApplyWindowTitleKey(
        this, bRun ? qvxtext::kCopyToPhoneDlg_WindowText_Copy : qvxtext::kCopyToPhoneDlg_WindowText_Idle);
    qvxui::ApplyTextKey(m_pBack, qvxtext::kCopyToPhoneDlg_Button_Cancel);
    qvxui::ApplyToolTipKey(m_pBack, qvxtext::kCopyToPhoneDlg_ButtonToolTip_Cancel);
    qvxui::ApplyTextKey(m_pDevicesLabel, qvxtext::kCopyToPhoneDlg_Static_Devices);
    SetCopyButtonState(m_bCopying.load() != 0);
}

void CCopyToPhoneDlg::ShowContents() {
    const char* pszPath = m_session.Database().GetDBFilePath();
    DatabaseCounts counts;
    if (pszPath == nullptr || !CountDatabase(pszPath, counts)) {
        m_pContents->clear();
        return;
    }
    if (counts.nContacts == 0) {
        m_pContents->setText(qvxui::LanguageText(qvxtext::kCopyToPhoneDlg_Info_Empty));
        return;
    }
    const QLocale locale;
    m_pContents->setText(qvxui::FromLocalText(FormatTextWithStrings(
        GetText(qvxtext::kCopyToPhoneDlg_Info_Contents, qvxui::kTextBuffer),
        locale.toString(counts.nContacts).toStdString(), locale.toString(counts.nDetails).toStdString())));
}

bool CCopyToPhoneDlg::ConfirmEmptyDatabase() {
    // The phone replaces its whole contact book with what it receives; a
    // file that cannot be counted is left to the phone to judge.
    const char* pszPath = m_session.Database().GetDBFilePath();
    DatabaseCounts counts;
    if (pszPath == nullptr || !CountDatabase(pszPath, counts) || counts.nContacts > 0) return true;
    return qvxui::AskYesNo(this, qvxui::LanguageText(qvxtext::kCopyToPhoneDlg_Msg_Empty, 1025));
}

void CCopyToPhoneDlg::SetCopyButtonState(bool bRun) {
    if (bRun) {
        qvxui::ApplyTextKey(m_pCopy, qvxtext::kCopyToPhoneDlg_Button_Abort);
        qvxui::ApplyToolTipKey(m_pCopy, qvxtext::kCopyToPhoneDlg_ButtonToolTip_Abort);
        m_pCopy->SetButtonIcons(qvxicons::kCancel, qvxicons::kCancelDisabled);
    } else {
        qvxui::ApplyTextKey(m_pCopy, qvxtext::kCopyToPhoneDlg_Button_Copy);
        qvxui::ApplyToolTipKey(m_pCopy, qvxtext::kCopyToPhoneDlg_ButtonToolTip_Copy);
        m_pCopy->SetButtonIcons(qvxicons::kOk, qvxicons::kOkDisabled);
    }
}

void CCopyToPhoneDlg::SetInfoText(const std::string& text) {
    m_info = text;
    m_pInfo->setText(qvxui::FromLocalText(text));
}

void CCopyToPhoneDlg::ClearSelection() {
    // A selection changed by the program is no user's choice.
    const QSignalBlocker block(m_pDeviceList);
    m_pDeviceList->clearSelection();
    m_pDeviceList->setCurrentRow(-1);
}

void CCopyToPhoneDlg::AnimateInfoText(const std::string& base) {
    if (base.size() + 3 >= kAnimateBuffer) return;
    const int64_t tNow = Now();
    if (tNow <= m_tLastDots) return;
    m_tLastDots = tNow;
    std::string text = base;
    switch (m_nDots) {
        case 0:
            text += ".";
            m_nDots = 1;
            break;
        case 1:
            text += "..";
            m_nDots = 2;
            break;
        case 2:
            text += "...";
            m_nDots = 3;
            break;
        default:
            m_nDots = 0;
            break;
    }
    if (text != m_info) SetInfoText(text);
}

// ---- leaving ----------------------------------------------------------------

void CCopyToPhoneDlg::RestoreLastDB() {
    if (!m_bWindowReady) return;
    m_bWindowReady = false;
    m_session.ReturnDatabase();
}

void CCopyToPhoneDlg::OnButtonBack() {
    RestoreLastDB();
    QDialog::done(QDialog::Rejected);
}

void CCopyToPhoneDlg::RequestLeave() {
    // While a run is active the database is in use: leaving must wait for its end.
    if (m_bRunActive.load() || m_Worker.IsRunning()) return;
    OnButtonBack();
}

void CCopyToPhoneDlg::reject() {
    RequestLeave();
}

void CCopyToPhoneDlg::closeEvent(QCloseEvent* pEvent) {
    pEvent->ignore();
    RequestLeave();
}

void CCopyToPhoneDlg::keyPressEvent(QKeyEvent* pEvent) {
    const int nKey = pEvent->key();
    // Enter and Escape both leave like Back (the buttons answer to the space bar).
    if (nKey == Qt::Key_Return || nKey == Qt::Key_Enter || nKey == Qt::Key_Escape) {
        RequestLeave();
        pEvent->accept();
        return;
    }
    QDialog::keyPressEvent(pEvent);
}

// ---- phones -----------------------------------------------------------------

void CCopyToPhoneDlg::RefreshDeviceList() {
    LOG_INFO(qvxlog::Cpy2Ph, "RefreshDeviceList() begin");
    const bool bRead = m_session.RefreshDevices();
    {
        const QSignalBlocker block(m_pDeviceList);
        m_pDeviceList->clear();
        for (size_t i = 0; bRead && i < m_session.DeviceCount(); ++i)
            m_pDeviceList->addItem(qvxui::FromLocalText(CPhoneSession::DeviceName(*m_session.Device(i))));
    }
    m_pCopy->setEnabled(false);
    m_pProgress->setValue(0);
    if (!bRead) return;
    SetInfoText(GetText(m_session.DeviceCount() > 0 ? qvxtext::kCopyToPhoneDlg_Info_NoDeviceSelected
                                                    : qvxtext::kCopyToPhoneDlg_Info_NoDevice));
    LOG_INFO(qvxlog::Cpy2Ph, "RefreshDeviceList() finish");
}

void CCopyToPhoneDlg::LogDeviceEvent(const char* pszEvent, const char16_t* pstrSerialNumber) {
    std::string serial = qvxconn::FromUtf16(pstrSerialNumber);
    if (serial.size() > kMaxSerial) serial.resize(kMaxSerial);
    LOG_INFO(qvxlog::Cpy2Ph, "CCopyToPhoneDlg::%s() serial number: %s ", pszEvent, serial.c_str());
}

void CCopyToPhoneDlg::PostRefresh() {
    qvxui::PostToUiThread(this, [this] {
        if (m_bCopying.load() == 0 && !m_bClosing.load()) RefreshDeviceList();
    });
}

void CCopyToPhoneDlg::OnDeviceAdded(const char16_t* pstrSerialNumber, uint32_t) {
    LogDeviceEvent("OnDeviceAdded", pstrSerialNumber);
    if (m_bCopying.load() == 0) PostRefresh();
}

void CCopyToPhoneDlg::OnDeviceRemoved(const char16_t* pstrSerialNumber, uint32_t) {
    LogDeviceEvent("OnDeviceRemoved", pstrSerialNumber);
    if (m_bCopying.load() == 0) PostRefresh();
}

void CCopyToPhoneDlg::OnDeviceUpdated(const char16_t* pstrSerialNumber, uint32_t) {
    if (m_bCopying.load() != 0) return;
    LogDeviceEvent("OnDeviceUpdated", pstrSerialNumber);
    PostRefresh();
}

void CCopyToPhoneDlg::OnDeviceSelected() {
    // The run's file system stays open until the run has ended.
    if (m_bRunActive.load()) return;
    const int nRow = m_pDeviceList->currentRow();
    if (nRow < 0 || m_pDeviceList->selectedItems().isEmpty()) {
        m_pCopy->setEnabled(false);
        SetInfoText(GetText(qvxtext::kCopyToPhoneDlg_Info_NoDeviceSelected));
        return;
    }
    SetInfoText(GetText(qvxtext::kCopyToPhoneDlg_Info_DeviceSelected));
    m_session.OpenFileSystem(static_cast<size_t>(nRow));
    OnSelchangeListDevices();
    m_session.CloseFileSystem();
}

std::string CCopyToPhoneDlg::FormatMemoryReport(const std::string& neededLabel, double dNeededMB,
                                                const std::string& freeLabel, double dFreeMB,
                                                const std::string& verdict) {
    const int nWidth = static_cast<int>(std::max(neededLabel.size(), freeLabel.size()));
    std::string report;
    char szLine[600];
    snprintf(szLine, sizeof szLine, "%-*s\t%s", nWidth, neededLabel.c_str(),
             MebibytesText(dNeededMB).c_str());
    report += szLine;
    report += "\n";
    snprintf(szLine, sizeof szLine, "%-*s\t%s", nWidth, freeLabel.c_str(), MebibytesText(dFreeMB).c_str());
    report += szLine;
    report += "\n";
    report += verdict;
    return report;
}

int CCopyToPhoneDlg::OnSelchangeListDevices() {
    CPhoneSession::MemoryReport memory;
    if (!m_session.CheckMemory(memory)) return 0;
    SetInfoText(FormatMemoryReport(GetText(qvxtext::kCopyToPhoneDlg_Info_DeviceInfo_Needed), memory.dNeededMB,
                                   GetText(qvxtext::kCopyToPhoneDlg_Info_DeviceInfo_Free), memory.dFreeMB,
                                   GetText(memory.bFits ? qvxtext::kCopyToPhoneDlg_Info_MemoryOK
                                                        : qvxtext::kCopyToPhoneDlg_Info_MemoryNotOK)));
    m_pCopy->setEnabled(memory.bFits);
    return 1;
}

// ---- the run ----------------------------------------------------------------

void CCopyToPhoneDlg::OnButtonCopy() {
    LOG_INFO(qvxlog::Cpy2Ph, "OnButtonCopy() begin");
    if (m_bCopying.load() != 0) {
        LOG_INFO(qvxlog::Cpy2Ph, "OnButtonCopy() abort Thread");
        m_Worker.RequestAbort();
    } else if (!m_bRunActive.load()) {
        const int nRow = m_pDeviceList->currentRow();
        const CONA_DEVICE_RECORD* pDevice = nRow >= 0 ? m_session.Device(static_cast<size_t>(nRow)) : nullptr;
        if (pDevice != nullptr && !ConfirmEmptyDatabase()) {
            LOG_INFO(qvxlog::Cpy2Ph, "OnButtonCopy() an empty database is not copied");
        } else if (pDevice != nullptr) {
            SetInfoText(GetText(qvxtext::kCopyToPhoneDlg_Info_Copy));
            m_nDots = 0;
            SetCopyButtonState(true);
            m_pBack->setEnabled(false);
            m_pDeviceList->setEnabled(false);
            m_bCopying.store(1);
            m_bRunActive.store(true);
            m_nLastProgress.store(-1);
            m_Worker.SetFSHandle(m_session.OpenFileSystem(static_cast<size_t>(nRow)));
            qvxui::ApplyWindowTitleKey(this, qvxtext::kCopyToPhoneDlg_WindowText_Copy);
            m_Worker.SetDevice(pDevice);
            // The previous run has reported its end; its thread may still be finishing.
            qvxui::WaitServingEvents([this] { return !m_Worker.IsRunning(); });
            if (!m_Worker.StartThread(0, 0, 0)) {
                LOG_WARN(qvxlog::Cpy2Ph, "OnButtonCopy() StartThread() failed");
                OnEndThread();
            }
        }
    }
    LOG_INFO(qvxlog::Cpy2Ph, "OnButtonCopy() finished");
}

int CCopyToPhoneDlg::OnReceiveCallback(unsigned nCode, void* pParam) {
    switch (nCode) {
        case CB::COPY_ABORTED:
            qvxui::CallOnUiThread(this, [this] { OnAbortCopy(); });
            break;
        case CB::COPY_PROGRESS: {
            const int nPercent = pParam ? *static_cast<const int*>(pParam) : 0;
            // Only what changes the window goes there: a new figure, or a
            // new second for the dots.
            const int64_t tNow = Now();
            if (m_nLastProgress.exchange(nPercent) != nPercent || m_tLastProgress.exchange(tNow) != tNow) {
                qvxui::PostToUiThread(this, [this, nPercent] {
                    m_pProgress->setValue(std::clamp(nPercent, 0, 100));
                    AnimateInfoText(GetText(qvxtext::kCopyToPhoneDlg_Info_Copy));
                });
            }
            break;
        }
        case CB::COPY_FINISHED:
            qvxui::CallOnUiThread(this, [this] { OnFinishCopy(); });
            break;
        case CB::PROG_NOT_FOUND:
            qvxui::CallOnUiThread(this, [this] { OnProgNotFound(); });
            break;
        case CB::INSTALL_PROGRESS: {
            const int64_t tNow = Now();
            if (m_tLastProgress.exchange(tNow) != tNow)
                qvxui::PostToUiThread(
                    this, [this] { AnimateInfoText(GetText(qvxtext::kCopyToPhoneDlg_Info_Inst_Start)); });
            break;
        }
        case CB::INSTALL_DONE:
            qvxui::PostToUiThread(this, [this] {
                SetInfoText(GetText(qvxtext::kCopyToPhoneDlg_Info_Copy));
                m_pCopy->setEnabled(true);
            });
            break;
        case CB::INSTALL_FAILED:
            qvxui::CallOnUiThread(this, [this] { OnFailedInstall(); });
            break;
        case CB::END_THREAD:
            qvxui::CallOnUiThread(this, [this] { OnEndThread(); });
            break;
        default:
            break;
    }
    return 0;
}

void CCopyToPhoneDlg::OnAbortCopy() {
    LOG_INFO(qvxlog::Cpy2Ph, "OnAbortCopy() begin");
    ClearSelection();
    m_pCopy->setEnabled(false);
    m_bCopying.store(0);
    SetInfoText(GetText(qvxtext::kCopyToPhoneDlg_Info_Abort));
    // The database without its semaphore file is no finished copy either.
    const CCopyToPhoneThread::Incomplete eIncomplete = m_Worker.GetIncomplete();
    const char* pszKey =
        eIncomplete == CCopyToPhoneThread::Incomplete::kRemoved ? qvxtext::kCopyToPhoneDlg_Msg_Incomplete
        : eIncomplete == CCopyToPhoneThread::Incomplete::kLeftOnPhone
            ? qvxtext::kCopyToPhoneDlg_Msg_IncompleteLeft
        : m_Worker.GetLastError() == ECONA_FILE_ALREADY_EXIST ? qvxtext::kCopyToPhoneDlg_Msg_NameTaken
                                                              : qvxtext::kCopyToPhoneDlg_Msg_Abort;
    qvxui::MessageBox(this, qvxui::LanguageText(pszKey, 1025), qvxui::MsgIcon::Information,
                      qvxui::MsgButtons::Ok);
    m_pProgress->setValue(0);
    LOG_INFO(qvxlog::Cpy2Ph, "OnAbortCopy() finish");
}

void CCopyToPhoneDlg::OnFinishCopy() {
    LOG_INFO(qvxlog::Cpy2Ph, "OnFinishCopy() begin");
    ClearSelection();
    m_pCopy->setEnabled(false);
    m_pProgress->setValue(0);
    SetInfoText(GetText(qvxtext::kCopyToPhoneDlg_Info_Finish));
    const qvxui::MsgAnswer eAnswer =
        qvxui::MessageBox(this, qvxui::LanguageText(qvxtext::kCopyToPhoneDlg_Msg_Finish),
                          qvxui::MsgIcon::Question, qvxui::MsgButtons::YesNo);
    if (eAnswer != qvxui::MsgAnswer::Yes) {
        // The worker's end report then reaches nobody; the destructor waits for its thread.
        m_Worker.SetReceiver(nullptr);
        OnButtonBack();
    }
    LOG_INFO(qvxlog::Cpy2Ph, "OnFinishCopy() finish");
}

void CCopyToPhoneDlg::OnProgNotFound() {
    m_pCopy->setEnabled(false);
    if (qvxui::AskYesNo(this, qvxui::LanguageText(qvxtext::kCopyToPhoneDlg_Msg_Prog_NotFound)))
        m_Worker.AllowInstall();
}

void CCopyToPhoneDlg::OnFailedInstall() {
    LOG_INFO(qvxlog::Cpy2Ph, "OnFailedInstall()() begin");
    ClearSelection();
    m_bCopying.store(0);
    SetInfoText(GetText(qvxtext::kCopyToPhoneDlg_Info_Inst_Failed));
    qvxui::MessageBox(this, qvxui::LanguageText(qvxtext::kCopyToPhoneDlg_Msg_Inst_Abort),
                      qvxui::MsgIcon::Information, qvxui::MsgButtons::Ok);
    m_pProgress->setValue(0);
    m_pCopy->setEnabled(true);
    LOG_INFO(qvxlog::Cpy2Ph, "OnFailedInstall() finish");
}

void CCopyToPhoneDlg::OnEndThread() {
    m_pBack->setEnabled(true);
    m_bCopying.store(0);
    m_bRunActive.store(false);
    m_pDeviceList->setEnabled(true);
    SetCopyButtonState(false);
    qvxui::ApplyWindowTitleKey(this, qvxtext::kCopyToPhoneDlg_WindowText_Idle);
    RefreshDeviceList();
}

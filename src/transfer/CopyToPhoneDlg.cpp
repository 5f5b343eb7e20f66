#include "transfer/CopyToPhoneDlg.h"

#include <QAbstractTextDocumentLayout>
#include <QCloseEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QTextDocument>
#include <QTextOption>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "controls/ButtonIcons.h"
#include "controls/IconButton.h"
#include "i18n/LanguageTable.h"
#include "i18n/LanguageTextUi.h"
#include "i18n/TextKeys.h"
#include "support/LogModules.h"
#include "threads/CallbackCodes.h"
#include "transfer/ConnApi.h"
#include "transfer/Utf16Text.h"
#include "ui/DialogUi.h"
#include "ui/MessageBoxesUi.h"
#include "ui/UiThreadAdapter.h"
#include "ui/WorkerWaitUi.h"

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

}  // namespace

CCopyToPhoneDlg::CCopyToPhoneDlg(QWidget* pParent) : QDialog(pParent) {
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_pDevicesLabel = new QLabel(this);
    m_pDevicesLabel->setObjectName(QString::number(kIdDevicesLabel));
    qvxui::PlaceByDialogUnits(m_pDevicesLabel, 7, 7, 134, 8);

    m_pDeviceList = new QListWidget(this);
    m_pDeviceList->setObjectName(QString::number(kIdDevices));
    m_pDeviceList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pDeviceList->setSortingEnabled(false);  // a position is an index into the device records
    qvxui::PlaceByDialogUnits(m_pDeviceList, 7, 17, 134, 36);
    connect(m_pDeviceList, &QListWidget::itemSelectionChanged, this, [this] { OnDeviceSelected(); });

    m_pInfo = new CInfoLabel(this);
    m_pInfo->setObjectName(QString::number(kIdInfo));
    m_pInfo->setTextFormat(Qt::PlainText);
    m_pInfo->setWordWrap(true);
    m_pInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    qvxui::PlaceByDialogUnits(m_pInfo, 7, 57, 134, 40);

    m_pProgress = new QProgressBar(this);
    m_pProgress->setObjectName(QString::number(kIdProgress));
    m_pProgress->setTextVisible(false);
    m_pProgress->setRange(0, 100);
    m_pProgress->setValue(0);
    qvxui::PlaceByDialogUnits(m_pProgress, 7, 100, 134, 9);

    m_pCopy = new CIconButton(this);
    m_pCopy->setObjectName(QString::number(kIdCopy));
    m_pCopy->setAutoDefault(false);
    m_pCopy->OffsetButtonColour(CIconButton::kColourBackHover, 30);
    qvxui::PlaceByDialogUnits(m_pCopy, 7, 114, 64, 14);
    m_pCopy->setEnabled(false);
    connect(m_pCopy, &QPushButton::clicked, this, [this] { OnButtonCopy(); });

    m_pBack = new CIconButton(this);
    m_pBack->setObjectName(QString::number(kIdBack));
    m_pBack->setAutoDefault(false);
    m_pBack->SetButtonIcons(qvxicons::kCancel, qvxicons::kCancelDisabled);
    m_pBack->OffsetButtonColour(CIconButton::kColourBackHover, 30);
    qvxui::PlaceByDialogUnits(m_pBack, 77, 114, 64, 14);
    connect(m_pBack, &QPushButton::clicked, this, [this] { OnButtonBack(); });

    setFixedSize(qvxui::DialogSizeToPixels(font(), 148, 135));

    // Construction of the transfer side.
    m_tLastDots = Now();
    m_nDots = 0;
    m_Worker.SetReceiver(this);

    uint32_t nResult = DMAPI_Initialize(CONA_DMAPI_VERSION, 0);
    if (nResult == CONA_OK) {
        m_bDMInitialized = true;
        LOG_INFO(qvxlog::Cpy2Ph, "Initializing DMAPI succeeded");
    } else {
        LOG_WARN(qvxlog::Cpy2Ph, "Error initializing DMAPI %d", static_cast<int>(nResult));
    }
    nResult = FSAPI_Initialize(CONA_FSAPI_VERSION, 0);
    if (nResult == CONA_OK) {
        m_bFSInitialized = true;
        LOG_INFO(qvxlog::Cpy2Ph, "Initializing FSAPI succeeded");
    } else {
        LOG_WARN(qvxlog::Cpy2Ph, "Error initializing FSAPI %d", static_cast<int>(nResult));
    }
    nResult = CONAOpenDM(&m_hDM);
    if (nResult == CONA_OK) {
        m_bDMOpen = true;
        LOG_INFO(qvxlog::Cpy2Ph, "CONAOpenDM  succeeded");
    } else {
        m_hDM = 0;
        LOG_WARN(qvxlog::Cpy2Ph, "CONAOpenDM failed (%d)", static_cast<int>(nResult));
    }
    if (CONARegisterDMNotifyIF(m_hDM, CONA_API_REGISTER, this) == CONA_OK) {
        m_bDMRegistered = true;
        LOG_INFO(qvxlog::Cpy2Ph, "CONARegisterDMNotifyIF(API_REGISTER) succeeded");
    } else {
        LOG_WARN(qvxlog::Cpy2Ph, "CONARegisterDMNotifyIF(API_REGISTER) failed !");
    }
}

CCopyToPhoneDlg::~CCopyToPhoneDlg() {
    m_bClosing.store(true);
    // A run still going (the program ends, or the user declined a further
    // transfer and the worker is finishing): it must have left its steps
    // before the handles and the builder go. Nothing of it reaches this
    // dialog any more.
    m_Worker.SetReceiver(nullptr);
    if (m_bCopying.load() != 0) m_Worker.RequestAbort();
    qvxui::WaitServingEvents([this] { return !m_Worker.IsRunning(); });
    m_Worker.WaitForDone(0);

    RestoreLastDB();

    CloseFS();
    if (m_bDMRegistered) {
        // After this returns no phone event is running or will start.
        if (CONARegisterDMNotifyIF(m_hDM, CONA_API_UNREGISTER, this) != CONA_OK)
            LOG_WARN(qvxlog::Cpy2Ph, "CONARegisterDMNotifyIF(API_UNREGISTER) failed !");
        else
            LOG_INFO(qvxlog::Cpy2Ph, "CONARegisterDMNotifyIF(API_UNREGISTER) succeeded");
    }
    if (m_bDMOpen) {
        const uint32_t nResult = CONACloseDM(m_hDM);
        if (nResult != CONA_OK)
            LOG_WARN(qvxlog::Cpy2Ph, "CONACloseDM failed (%d)", static_cast<int>(nResult));
        else
            LOG_INFO(qvxlog::Cpy2Ph, "CONACloseDM succeeded");
        m_hDM = 0;
    }
    FreeDevices();
    // Only what this dialog initialised is terminated: the counts are shared.
    if (m_bDMInitialized) {
        const uint32_t nResult = DMAPI_Terminate(0);
        if (nResult != CONA_OK)
            LOG_WARN(qvxlog::Cpy2Ph, "Terminate DMAPI failed (%d)", static_cast<int>(nResult));
        else
            LOG_INFO(qvxlog::Cpy2Ph, "DMAPI terminated");
    }
    if (m_bFSInitialized) {
        const uint32_t nResult = FSAPI_Terminate(0);
        if (nResult != CONA_OK)
            LOG_WARN(qvxlog::Cpy2Ph, "Terminate FSAPI failed (%d)", static_cast<int>(nResult));
        else
            LOG_INFO(qvxlog::Cpy2Ph, "FSAPI terminated");
    }
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
    m_DBBuilder.GetLastDB();
    m_DBBuilder.CreateSemFile();
    RefreshDeviceList();
    m_pProgress->setRange(0, 100);
    m_Worker.SetDBBuilder(&m_DBBuilder);
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
    m_DBBuilder.SetLastDB();
    m_DBBuilder.DeleteSemFile();
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

void CCopyToPhoneDlg::FreeDevices() {
    if (m_pDevices) {
        CONAFreeDeviceStructure(m_nDevices, m_pDevices);
        delete[] m_pDevices;
    }
    m_pDevices = nullptr;
    m_nDevices = 0;
}

void CCopyToPhoneDlg::RefreshDeviceList() {
    LOG_INFO(qvxlog::Cpy2Ph, "RefreshDeviceList() begin");
    uint32_t nCount = 0;
    const uint32_t nCountResult = CONAGetDeviceCount(m_hDM, &nCount);
    {
        const QSignalBlocker block(m_pDeviceList);
        m_pDeviceList->clear();
    }
    m_pCopy->setEnabled(false);
    m_pProgress->setValue(0);
    if (nCountResult != CONA_OK) {
        LOG_WARN(qvxlog::Cpy2Ph, "CCopyToPhoneDlg::RefreshDeviceList() CONAGetDeviceCount failed !");
        return;
    }
    FreeDevices();
    if (nCount > 0) {
        m_pDevices = new CONA_DEVICE_RECORD[nCount]();
        uint32_t nFilled = nCount;
        if (CONAGetDevices(m_hDM, &nFilled, m_pDevices) != CONA_OK) {
            LOG_WARN(qvxlog::Cpy2Ph, "RefreshDeviceList() CONAGetDevices failed !");
            delete[] m_pDevices;
            m_pDevices = nullptr;
            return;
        }
        m_nDevices = std::min(nFilled, nCount);
        const QSignalBlocker block(m_pDeviceList);
        for (uint32_t i = 0; i < m_nDevices; ++i) {
            const CONA_DEVICE_RECORD& record = m_pDevices[i];
            std::string name;
            if (record.dwNumberOfItems > 0 && record.pItems != nullptr)
                name = qvxconn::FromUtf16(record.pItems[0].pstrDeviceName);
            m_pDeviceList->addItem(qvxui::FromLocalText(name));
        }
    }
    SetInfoText(GetText(m_nDevices > 0 ? qvxtext::kCopyToPhoneDlg_Info_NoDeviceSelected
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

CONAHANDLE CCopyToPhoneDlg::OpenFS() {
    CloseFS();
    if (m_pDevices == nullptr || m_nSelDevice < 0 || static_cast<uint32_t>(m_nSelDevice) >= m_nDevices) {
        LOG_WARN(qvxlog::Cpy2Ph, "OpenFS() CONAOpenFS failed !");
        return 0;
    }
    CONAHANDLE hFS = 0;
    if (CONAOpenFS(m_pDevices[m_nSelDevice].pstrSerialNumber, CONA_MEDIA_ALL, &hFS,
                   static_cast<uint32_t>(m_nSelDevice)) != CONA_OK) {
        LOG_WARN(qvxlog::Cpy2Ph, "OpenFS() CONAOpenFS failed !");
        return 0;
    }
    LOG_INFO(qvxlog::Cpy2Ph, "OpenFS() CONAOpenFS succeeded");
    return hFS;
}

void CCopyToPhoneDlg::CloseFS() {
    if (m_hFS != 0) {
        if (CONACloseFS(m_hFS) != CONA_OK)
            LOG_WARN(qvxlog::Cpy2Ph, "CloseFS() CONACloseFS failed !");
        else
            LOG_INFO(qvxlog::Cpy2Ph, "CloseFS() CONACloseFS succeeded");
    }
    m_hFS = 0;
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
    m_nSelDevice = nRow;
    SetInfoText(GetText(qvxtext::kCopyToPhoneDlg_Info_DeviceSelected));
    m_hFS = OpenFS();
    OnSelchangeListDevices();
    CloseFS();
}

std::string CCopyToPhoneDlg::FormatMemoryReport(const std::string& neededLabel, double dNeededMB,
                                                const std::string& freeLabel, double dFreeMB,
                                                const std::string& verdict) {
    const int nWidth = static_cast<int>(std::max(neededLabel.size(), freeLabel.size()));
    std::string report;
    char szLine[600];
    snprintf(szLine, sizeof szLine, "%-*s\t%.2f MB", nWidth, neededLabel.c_str(), dNeededMB);
    report += szLine;
    report += "\n";
    snprintf(szLine, sizeof szLine, "%-*s\t%.2f MB", nWidth, freeLabel.c_str(), dFreeMB);
    report += szLine;
    report += "\n";
    report += verdict;
    return report;
}

int CCopyToPhoneDlg::OnSelchangeListDevices() {
    if (m_hFS == 0) return 0;
    if (CONARefreshDeviceMemoryValues(m_hFS) != CONA_OK)
        LOG_WARN(qvxlog::Cpy2Ph,
                 "CCopyToPhoneDlg::OnSelchangeListDevices() CONARefreshDeviceMemoryValues() failed !");
    else
        LOG_INFO(qvxlog::Cpy2Ph, "OnSelchangeListDevices() CONARefreshDeviceMemoryValues succeeded");

    int64_t llFree = -2;
    int64_t llTotal = 0;
    int64_t llUsed = 0;
    if (CONAGetMemoryValues(m_hFS, nullptr, &llFree, &llTotal, &llUsed) != CONA_OK) {
        llFree = -2;
        LOG_WARN(qvxlog::Cpy2Ph, "CCopyToPhoneDlg::OnSelchangeListDevices() CONAGetMemoryValues() failed !");
    } else {
        LOG_INFO(qvxlog::Cpy2Ph, "OnSelchangeListDevices() CONAGetMemoryValues succeeded");
    }

    // The database must fit twice.
    const int64_t llDBSize = m_DBBuilder.GetDBSize();
    const double dNeededMB = static_cast<double>(llDBSize) / 1024 / 1024 * 2;
    const double dFreeMB = static_cast<double>(llFree) / 1024 / 1024;
    LOG_INFO(qvxlog::Cpy2Ph, "OnSelchangeListDevices() DB Size: %dByte",
             static_cast<int>(static_cast<uint32_t>(llDBSize)));
    LOG_INFO(qvxlog::Cpy2Ph, "OnSelchangeListDevices() Free Memory: %dByte",
             static_cast<int>(static_cast<uint32_t>(llFree)));

    const bool bFits = dNeededMB <= dFreeMB;
    SetInfoText(FormatMemoryReport(
        GetText(qvxtext::kCopyToPhoneDlg_Info_DeviceInfo_Needed), dNeededMB,
        GetText(qvxtext::kCopyToPhoneDlg_Info_DeviceInfo_Free), dFreeMB,
        GetText(bFits ? qvxtext::kCopyToPhoneDlg_Info_MemoryOK : qvxtext::kCopyToPhoneDlg_Info_MemoryNotOK)));
    m_pCopy->setEnabled(bFits);
    return 1;
}

// ---- the run ----------------------------------------------------------------

void CCopyToPhoneDlg::OnButtonCopy() {
    LOG_INFO(qvxlog::Cpy2Ph, "OnButtonCopy() begin");
    if (m_bCopying.load() != 0) {
        LOG_INFO(qvxlog::Cpy2Ph, "OnButtonCopy() abort Thread");
        m_Worker.RequestAbort();
    } else if (!m_bRunActive.load() && m_pDevices != nullptr) {
        const int nRow = m_pDeviceList->currentRow();
        if (nRow >= 0 && static_cast<uint32_t>(nRow) < m_nDevices) {
            SetInfoText(GetText(qvxtext::kCopyToPhoneDlg_Info_Copy));
            m_nDots = 0;
            SetCopyButtonState(true);
            m_pBack->setEnabled(false);
            m_pDeviceList->setEnabled(false);
            m_nSelDevice = nRow;
            m_bCopying.store(1);
            m_bRunActive.store(true);
            m_nLastProgress.store(-1);
            m_hFS = OpenFS();
            m_Worker.SetFSHandle(m_hFS);
            qvxui::ApplyWindowTitleKey(this, qvxtext::kCopyToPhoneDlg_WindowText_Copy);
            m_Worker.SetDevice(&m_pDevices[nRow]);
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
    qvxui::MessageBox(this, qvxui::LanguageText(qvxtext::kCopyToPhoneDlg_Msg_Abort),
                      qvxui::MsgIcon::Information, qvxui::MsgButtons::Ok);
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

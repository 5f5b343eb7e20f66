#include "gui/database/ProgressDlg.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>
#include <cstring>

#include "gui/controls/ButtonIcons.h"
#include "gui/controls/IconButton.h"
#include "gui/kit/DialogUi.h"
#include "gui/kit/UiThreadAdapter.h"
#include "support/ProgressPercent.h"

namespace {

// The template's controls, with their places in dialog units.
constexpr qvxui::DialogItem kLayout[] = {
    {CProgressDlg::kIdProgress, 7, 7, 132, 14},
    {CProgressDlg::kIdPercent, 7, 23, 132, 10},
    {CProgressDlg::kIdInfo, 7, 35, 132, 28},
    {CProgressDlg::kIdCancel, 45, 71, 55, 14},
};

}  // namespace

CProgressDlg::CProgressDlg(QWidget* pParent) : QDialog(pParent) {
    setWindowTitle(QStringLiteral("ProgressDlg"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    // Members in the order of the template's controls.
    m_pProgress = qvxui::Placed(new QProgressBar(this), kIdProgress, kLayout);
    m_pProgress->setTextVisible(false);
    m_pProgress->setRange(0, 100);
    m_pProgress->setValue(0);

    m_pPercent = qvxui::Placed(new QLabel(this), kIdPercent, kLayout);
    m_pPercent->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_pPercent->setTextFormat(Qt::PlainText);

    m_pInfo = qvxui::Placed(new QLabel(this), kIdInfo, kLayout);
    m_pInfo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_pInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pInfo->setTextFormat(Qt::PlainText);
    m_pInfo->setWordWrap(true);
    m_pInfo->setMargin(2);

    m_pCancel = qvxui::Placed(new CIconButton(this), kIdCancel, kLayout);
    m_pCancel->setAutoDefault(true);
    connect(m_pCancel, &QPushButton::clicked, this, &CProgressDlg::reject);

    setFixedSize(qvxui::DialogSizeToPixels(font(), 146, 92));
}

CProgressDlg::~CProgressDlg() = default;

QString CProgressDlg::PercentText(int nShownPercent) {
    return QString::asprintf("%d %%", qvxsupport::DisplayedPercent(nShownPercent));
}

void CProgressDlg::UpdateWindow(std::function<void()> fn) {
    if (qvxui::IsOnThreadOf(this)) {
        // Earlier posted changes first, so that the order stays.
        qvxui::RunPostedCalls(this);
        fn();
    } else {
        qvxui::PostToUiThread(this, std::move(fn));
    }
}

void CProgressDlg::showEvent(QShowEvent* pEvent) {
    QDialog::showEvent(pEvent);
    if (!m_bInitDone) {
        m_bInitDone = true;
        InitDialog();
    }
}

void CProgressDlg::InitDialog() {
    m_pPercent->setText(QString::asprintf("%d %%", 0));
    m_pCancel->SetButtonIcons(qvxicons::kCancel, qvxicons::kCancelDisabled);
    m_pCancel->OffsetButtonColour(CIconButton::kColourBackHover, 30);
    m_hInitEvent.Set();
    OnInitProgress();
}

void CProgressDlg::reject() {
    OnCancelProgress();
}

void CProgressDlg::closeEvent(QCloseEvent* pEvent) {
    // The window's close button is a Cancel like any other.
    pEvent->ignore();
    OnCancelProgress();
}

void CProgressDlg::SetProgressRange(int nTotal) {
    if (nTotal <= 0) return;
    m_nCount.store(0);
    m_nTotal.store(nTotal);
    m_nBarPermille.store(0);
    UpdateWindow([this, nTotal] {
        m_pProgress->setRange(0, nTotal);
        m_pProgress->setValue(0);
    });
}

int CProgressDlg::StepProgress() {
    const int nCount = m_nCount.fetch_add(1) + 1;
    const int nTotal = m_nTotal.load();
    if (nTotal <= 0) return 0;  // no range yet: only counted

    const int nPosition = std::min(nCount, nTotal);
    const int nPermille = static_cast<int>(static_cast<int64_t>(nPosition) * 1000 / nTotal);
    if (nPermille != m_nBarPermille.load() || nCount == nTotal) {
        m_nBarPermille.store(nPermille);
        PostBarPosition();
    }
    int nShown = m_nShownPercent.load();
    if (qvxsupport::RaiseShownPercent(nCount, nTotal, nShown)) {
        m_nShownPercent.store(nShown);
        UpdatePercent();
    }
    return nPosition;
}

void CProgressDlg::PostBarPosition() {
    // The window takes the newest count when it gets to it.
    UpdateWindow([this] {
        const int nTotal = m_nTotal.load();
        if (nTotal > 0) m_pProgress->setValue(std::min(m_nCount.load(), nTotal));
    });
}

void CProgressDlg::UpdatePercent() {
    const QString text = PercentText(m_nShownPercent.load());
    UpdateWindow([this, text] { m_pPercent->setText(text); });
}

void CProgressDlg::SetInfoText(const char* pszText) {
    if (pszText == nullptr || strnlen(pszText, kMaxInfoText + 1) > kMaxInfoText) return;
    const QString text = qvxui::FromLocalText(pszText);
    UpdateWindow([this, text] { m_pInfo->setText(text); });
}

void CProgressDlg::CloseProgress() {
    m_hInitEvent.Reset();
    // Always queued: called during the initialisation, ending at once would
    // come before the modal loop has started and so never end it.
    qvxui::PostToUiThread(this, [this] { QDialog::done(QDialog::Rejected); });
}

#include "gui/transfer/PCSuiteDlg.h"

#include <QLabel>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gui/controls/ButtonIcons.h"
#include "gui/controls/HyperlinkLabel.h"
#include "gui/controls/IconButton.h"
#include "gui/i18n/LanguageTextUi.h"
#include "gui/kit/DialogUi.h"
#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "platform/Registry.h"
#include "support/ProductInfo.h"
#include "support/TextBuffer.h"

namespace {
constexpr size_t kBufferSize = 260;
constexpr const char* kNokiaKey = "HKEY_LOCAL_MACHINE\\Software\\Nokia";
constexpr const char* kBuildNumberValue = "PCSuiteBuildNumber";
}  // namespace

CPCSuiteDlg::CPCSuiteDlg(QWidget* pParent) : QDialog(pParent) {
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_pMessage = new QLabel(this);
    m_pMessage->setObjectName(QString::number(kIdMessage));
    m_pMessage->setTextFormat(Qt::PlainText);
    m_pMessage->setWordWrap(true);
    m_pMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    qvxui::PlaceByDialogUnits(m_pMessage, 7, 7, 172, 26);

    m_pVersion = new QLabel(this);
    m_pVersion->setObjectName(QString::number(kIdVersion));
    m_pVersion->setTextFormat(Qt::PlainText);
    qvxui::PlaceByDialogUnits(m_pVersion, 7, 38, 172, 9);

    m_pLink = new CHyperlinkLabel(this);
    m_pLink->setObjectName(QString::number(kIdLink));
    qvxui::PlaceByDialogUnits(m_pLink, 7, 54, 172, 10);
    m_pLink->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    const QColor blue(0, 0, 255);
    m_pLink->SetLinkColours(blue, blue, blue);
    m_pLink->SetAddress(QString::fromUtf8(qvxproduct::kPhoneSuiteDownloadAddress));
    m_pLink->Attach();

    m_pOk = new CIconButton(this);
    m_pOk->setObjectName(QString::number(kIdOk));
    m_pOk->setText(QStringLiteral("OK"));
    m_pOk->setDefault(true);
    m_pOk->SetButtonIcons(qvxicons::kOk, qvxicons::kOkDisabled);
    m_pOk->OffsetButtonColour(CIconButton::kColourBackHover, 30);
    qvxui::PlaceByDialogUnits(m_pOk, 68, 74, 50, 14);
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);

    // The template's second button has no role: hidden and disabled.
    m_pHidden = new CIconButton(this);
    m_pHidden->setObjectName(QString::number(kIdHidden));
    m_pHidden->setAutoDefault(false);
    qvxui::PlaceByDialogUnits(m_pHidden, 129, 74, 50, 14);
    m_pHidden->setEnabled(false);
    m_pHidden->hide();

    setFixedSize(qvxui::DialogSizeToPixels(font(), 186, 95));
    UpdateTexts();
}

CPCSuiteDlg::~CPCSuiteDlg() = default;

std::string CPCSuiteDlg::ReadBuildNumber() {
    std::string value;
    if (!qvxplatform::RegReadString(kNokiaKey, kBuildNumberValue, value)) return std::string();
    // A text value ends at its first zero byte.
    return qvxsupport::CutToBuffer(value, kBufferSize);
}

int CPCSuiteDlg::BuildNumberPrefix(const std::string& buildNumber) {
    char szPrefix[4] = {};
    snprintf(szPrefix, sizeof szPrefix, "%.3s", buildNumber.c_str());
    return static_cast<int>(strtol(szPrefix, nullptr, 10));
}

bool CPCSuiteDlg::IsOldVersion(const std::string& buildNumber) {
    return buildNumber.size() >= 4 && BuildNumberPrefix(buildNumber) < kFirstSupportedBuild;
}

void CPCSuiteDlg::UpdateTexts() {
    setWindowTitle(QString::fromUtf8(qvxproduct::kProductName));
    qvxui::ApplyToolTipKey(m_pOk, qvxtext::kInfoDlg_ButtonToolTip_OK);

    const std::string buildNumber = ReadBuildNumber();
    if (IsOldVersion(buildNumber)) {
        m_pMessage->setText(qvxui::LanguageText(qvxtext::kError_PCSuite_Old_Version, kBufferSize));
        // The version text is a format from language.ini: only the safe formatter may fill it.
        const std::string format = GetText(qvxtext::kError_PCSuite_Current_Version, kBufferSize);
        m_pVersion->setText(qvxui::FromLocalText(FormatTextWithString(format, buildNumber)));
    } else {
        m_pMessage->setText(qvxui::LanguageText(qvxtext::kError_PCSuite_NotInstalled, kBufferSize));
        m_pVersion->clear();
    }
}

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

// The template's controls, with their places in dialog units.
constexpr qvxui::DialogItem kLayout[] = {
    {CPCSuiteDlg::kIdMessage, 7, 7, 172, 26},  {CPCSuiteDlg::kIdVersion, 7, 38, 172, 9},
    {CPCSuiteDlg::kIdLink, 7, 54, 172, 10},    {CPCSuiteDlg::kIdOk, 68, 74, 50, 14},
    {CPCSuiteDlg::kIdHidden, 129, 74, 50, 14},
};

}  // namespace

CPCSuiteDlg::CPCSuiteDlg(QWidget* pParent) : QDialog(pParent) {
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_pMessage = qvxui::Placed(new QLabel(this), kIdMessage, kLayout);
    m_pMessage->setTextFormat(Qt::PlainText);
    m_pMessage->setWordWrap(true);
    m_pMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_pVersion = qvxui::Placed(new QLabel(this), kIdVersion, kLayout);
    m_pVersion->setTextFormat(Qt::PlainText);

    m_pLink = qvxui::Placed(new CHyperlinkLabel(this), kIdLink, kLayout);
    m_pLink->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    const QColor blue(0, 0, 255);
    m_pLink->SetLinkColours(blue, blue, blue);
    m_pLink->SetAddress(QString::fromUtf8(qvxproduct::kPhoneSuiteDownloadAddress));
    m_pLink->Attach();

    m_pOk = qvxui::Placed(new CIconButton(this), kIdOk, kLayout);
    m_pOk->setText(QStringLiteral("OK"));
    m_pOk->setDefault(true);
    m_pOk->SetButtonIcons(qvxicons::kOk, qvxicons::kOkDisabled);
    m_pOk->OffsetButtonColour(CIconButton::kColourBackHover, 30);
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);

    // The template's second button has no role: hidden and disabled.
    m_pHidden = qvxui::Placed(new CIconButton(this), kIdHidden, kLayout);
    m_pHidden->setAutoDefault(false);
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

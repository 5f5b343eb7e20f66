#include "gui/i18n/InfoDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QPalette>
#include <iterator>
#include <vector>

#include "gui/controls/ButtonIcons.h"
#include "gui/controls/HyperlinkLabel.h"
#include "gui/controls/IconButton.h"
#include "gui/i18n/LanguageTextUi.h"
#include "gui/kit/DialogUi.h"
#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "support/LogModules.h"
#include "support/ProductInfo.h"

namespace {

constexpr size_t kTextSize = 261;
// The languages offered, in sorted order; fixed, not read from the language file.
constexpr const char* kLanguages[] = {"Deutsch", "English"};

// The template's controls in creation order, with their places in dialog units.
constexpr qvxui::DialogItem kLayout[] = {
    {CInfoDlg::kIdNamePicture, 31, 7, 133, 12},
    {CInfoDlg::kIdIcon, 87, 23, 20, 20},
    {CInfoDlg::kIdNotice, 7, 46, 181, 21},
    {CInfoDlg::kIdLink, 7, 71, 181, 10},
    {CInfoDlg::kIdPicture, 7, 81, 181, 32},
    // Up to the OK button rather than the template's 64 units: fonts wider
    // than the template's would cut the build number.
    {CInfoDlg::kIdVersion, 7, 122, 69, 14},
    {CInfoDlg::kIdOk, 77, 122, 40, 14},
    {CInfoDlg::kIdLanguageLabel, 138, 115, 50, 9},
    {CInfoDlg::kIdLanguages, 138, 124, 50, 12},
};

// A picture control: the picture at its natural size (or the given one),
// centred or at the control's top left corner.
void AddPicture(QWidget* pDialog, int nId, int nPictureId, QSize size, bool bCentred) {
    auto* pLabel = qvxui::Placed(new QLabel(pDialog), nId, kLayout);
    pLabel->setPixmap(qvxicons::RenderPicture(nPictureId, size, pDialog->devicePixelRatioF()));
    pLabel->setAlignment(bCentred ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignTop));
}

QLabel* AddText(QWidget* pDialog, int nId, const QString& text, Qt::Alignment alignment) {
    auto* pLabel = qvxui::Placed(new QLabel(pDialog), nId, kLayout);
    pLabel->setText(text);
    pLabel->setTextFormat(Qt::PlainText);
    pLabel->setAlignment(alignment);
    return pLabel;
}

}  // namespace

CInfoDlg::CInfoDlg(QWidget* pParent) : QDialog(pParent) {
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // One white background for the dialog and every control.
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::Base, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    CreateControls();
    SelectStoredLanguage();
    UpdateTexts();
    m_pLink->Attach();
    connect(m_ComboBox, &QComboBox::currentIndexChanged, this, [this] { OnSelchangeComboLanguages(); });
    setFixedSize(qvxui::DialogSizeToPixels(font(), 195, 143));
}

void CInfoDlg::CreateControls() {
    AddPicture(this, kIdNamePicture, qvxicons::kProductNamePicture, QSize(), false);
    AddPicture(this, kIdIcon, qvxicons::kProgramIcon, QSize(32, 32), true);
    AddText(this, kIdNotice, QString::fromUtf8(qvxproduct::kMakerNotice), Qt::AlignHCenter | Qt::AlignTop);

    m_pLink = qvxui::Placed(new CHyperlinkLabel(this), kIdLink, kLayout);
    m_pLink->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    const QColor blue(0, 0, 255);
    m_pLink->SetLinkColours(blue, blue, blue);
    m_pLink->SetBackColour(Qt::white);
    m_pLink->SetAddress(QString::fromUtf8(qvxproduct::kMakerWebAddress));

    AddPicture(this, kIdPicture, qvxicons::kProductPicture, QSize(), true);
    m_pVersion = AddText(this, kIdVersion, VersionText(), Qt::AlignLeft | Qt::AlignVCenter);

    m_pOk = qvxui::Placed(new CIconButton(this), kIdOk, kLayout);
    m_pOk->setDefault(true);
    m_pOk->SetButtonIcons(qvxicons::kOk, qvxicons::kOkDisabled);
    for (int nPart : {CIconButton::kColourBackNormal, CIconButton::kColourBackFocus})
        m_pOk->SetButtonColour(nPart, Qt::white);
    m_pOk->OffsetButtonColour(CIconButton::kColourBackHover, 30);
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);

    // The language choice, hidden as the product ships it.
    m_pLanguageLabel = qvxui::Placed(new QLabel(this), kIdLanguageLabel, kLayout);
    m_pLanguageLabel->hide();
    m_ComboBox = qvxui::Placed(new QComboBox(this), kIdLanguages, kLayout);
    m_ComboBox->hide();
}

CInfoDlg::~CInfoDlg() = default;

QString CInfoDlg::VersionText() {
    return QString::asprintf("Version: %i.%i.%i.%i", qvxproduct::kVersionMajor, qvxproduct::kVersionMinor,
                             qvxproduct::kVersionRelease, qvxproduct::kVersionBuild);
}

void CInfoDlg::SelectStoredLanguage() {
    std::vector<char> stored(kTextSize, '\0');
    GetCurrentLanguage(stored.data(), stored.size());
    const QString language = qvxui::FromLocalText(stored.data());

    const QSignalBlocker block(m_ComboBox);
    m_ComboBox->clear();
    for (const char* pszLanguage : kLanguages) m_ComboBox->addItem(QString::fromUtf8(pszLanguage));
    for (int i = 0; i < m_ComboBox->count(); ++i) {
        if (m_ComboBox->itemText(i).startsWith(language, Qt::CaseInsensitive)) {
            m_ComboBox->setCurrentIndex(i);
            break;
        }
    }
}

void CInfoDlg::UpdateTexts() {
    qvxui::ApplyWindowTitleKey(this, qvxtext::kInfoDlg_WindowText, kTextSize);
    qvxui::ApplyToolTipKey(m_pOk, qvxtext::kInfoDlg_ButtonToolTip_OK, kTextSize);
    qvxui::ApplyTextKey(m_pOk, qvxtext::kInfoDlg_Button_OK, kTextSize);
    qvxui::ApplyTextKey(m_pLanguageLabel, qvxtext::kInfoDlg_Static_ChooseLanguage, kTextSize);
}

void CInfoDlg::OnSelchangeComboLanguages() {
    const int nIndex = m_ComboBox->currentIndex();
    if (nIndex < 0 || nIndex >= static_cast<int>(std::size(kLanguages))) {
        LOG_WARN(qvxlog::INFO, "CInfoDlg::OnSelchangeComboLanguages() m_ComboBox.GetLBText(%d,%s) ", nIndex,
                 "");
        return;
    }
    SetLanguage(kLanguages[nIndex]);
    UpdateTexts();
    if (m_updateOwnerTexts) m_updateOwnerTexts();
}

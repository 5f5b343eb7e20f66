#include "i18n/InfoDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QPalette>
#include <iterator>
#include <vector>

#include "controls/ButtonIcons.h"
#include "controls/HyperlinkLabel.h"
#include "controls/IconButton.h"
#include "i18n/LanguageTable.h"
#include "i18n/LanguageTextUi.h"
#include "i18n/TextKeys.h"
#include "support/LogModules.h"
#include "support/ProductInfo.h"
#include "ui/DialogUi.h"

namespace {

constexpr size_t kTextSize = 261;
// The languages offered, in sorted order; fixed, not read from the language file.
constexpr const char* kLanguages[] = {"Deutsch", "English"};

// A picture control: the picture at its natural size, centred or at the
// control's top left corner.
QLabel* MakePicture(QWidget* pParent, int nControlId, int nPictureId, QSize size, bool bCentred) {
    auto* pLabel = new QLabel(pParent);
    pLabel->setObjectName(QString::number(nControlId));
    const qreal dRatio = pParent->devicePixelRatioF();
    QPixmap picture = qvxicons::RenderPicture(nPictureId, size, dRatio);
    pLabel->setPixmap(picture);
    pLabel->setAlignment(bCentred ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignTop));
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

    QLabel* pName = MakePicture(this, kIdNamePicture, qvxicons::kProductNamePicture, QSize(), false);
    qvxui::PlaceByDialogUnits(pName, 31, 7, 133, 12);

    QLabel* pIcon = MakePicture(this, kIdIcon, qvxicons::kProgramIcon, QSize(32, 32), true);
    qvxui::PlaceByDialogUnits(pIcon, 87, 23, 20, 20);

    auto* pNotice = new QLabel(QString::fromUtf8(qvxproduct::kMakerNotice), this);
    pNotice->setObjectName(QString::number(kIdNotice));
    pNotice->setTextFormat(Qt::PlainText);
    pNotice->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    qvxui::PlaceByDialogUnits(pNotice, 7, 46, 181, 21);

    m_pLink = new CHyperlinkLabel(this);
    m_pLink->setObjectName(QString::number(kIdLink));
    qvxui::PlaceByDialogUnits(m_pLink, 7, 71, 181, 10);
    m_pLink->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    QLabel* pPicture = MakePicture(this, kIdPicture, qvxicons::kProductPicture, QSize(), true);
    qvxui::PlaceByDialogUnits(pPicture, 7, 81, 181, 32);

    m_pVersion = new QLabel(VersionText(), this);
    m_pVersion->setObjectName(QString::number(kIdVersion));
    m_pVersion->setTextFormat(Qt::PlainText);
    // Up to the OK button rather than the template's 64 units: fonts wider
    // than the template's would cut the build number.
    qvxui::PlaceByDialogUnits(m_pVersion, 7, 122, 69, 14);
    m_pVersion->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_pOk = new CIconButton(this);
    m_pOk->setObjectName(QString::number(kIdOk));
    m_pOk->setDefault(true);
    qvxui::PlaceByDialogUnits(m_pOk, 77, 122, 40, 14);
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);

    m_pLanguageLabel = new QLabel(this);
    m_pLanguageLabel->setObjectName(QString::number(kIdLanguageLabel));
    qvxui::PlaceByDialogUnits(m_pLanguageLabel, 138, 115, 50, 9);
    m_pLanguageLabel->hide();

    m_ComboBox = new QComboBox(this);
    m_ComboBox->setObjectName(QString::number(kIdLanguages));
    qvxui::PlaceByDialogUnits(m_ComboBox, 138, 124, 50, 12);
    m_ComboBox->hide();

    // Opening.
    SelectStoredLanguage();
    m_pOk->SetButtonIcons(qvxicons::kOk, qvxicons::kOkDisabled);
    m_pOk->SetButtonColour(CIconButton::kColourBackNormal, Qt::white);
    m_pOk->SetButtonColour(CIconButton::kColourBackFocus, Qt::white);
    m_pOk->OffsetButtonColour(CIconButton::kColourBackHover, 30);
    UpdateTexts();

    const QColor blue(0, 0, 255);
    m_pLink->SetLinkColours(blue, blue, blue);
    m_pLink->SetBackColour(Qt::white);
    m_pLink->SetAddress(QString::fromUtf8(qvxproduct::kMakerWebAddress));
    m_pLink->Attach();

    connect(m_ComboBox, &QComboBox::currentIndexChanged, this, [this] { OnSelchangeComboLanguages(); });

    setFixedSize(qvxui::DialogSizeToPixels(font(), 195, 143));
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

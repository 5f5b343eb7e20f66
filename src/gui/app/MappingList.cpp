#include "gui/app/MappingList.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QListView>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <algorithm>

#include "gui/controls/ButtonIcons.h"
#include "gui/controls/IconButton.h"
#include "gui/i18n/LanguageTextUi.h"
#include "gui/kit/DialogUi.h"
#include "i18n/TextKeys.h"
#include "support/LogModules.h"

namespace {

// The row's controls in dialog units from its left edge, as the template
// has always placed them.
struct RowItem {
    int nId;
    int dx, cx;
};
constexpr int kRowHeight = 14;
constexpr RowItem kList{1007, 0, 114};
constexpr RowItem kBrowse{1036, 119, 15};
constexpr RowItem kEdit{1008, 137, 15};
constexpr RowItem kCreate{1037, 155, 15};

// The closed box shows a label that does not fit as the mapping's name with
// "[…]" for its file name, or cut with "…", never cut off mid-word; the
// open list and the tool tip show the whole label.
class CMappingCombo : public QComboBox {
public:
    using QComboBox::QComboBox;

    QString ShownText() const {
        QStyleOptionComboBox option;
        initStyleOption(&option);
        return Shorten(option.currentText, option);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        painter.setPen(palette().color(QPalette::Text));
        QStyleOptionComboBox option;
        initStyleOption(&option);
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        option.currentText = Shorten(option.currentText, option);
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    }

private:
    QString Shorten(const QString& label, const QStyleOptionComboBox& option) const {
        // The label style draws the text one pixel in from either side.
        const int nWidth =
            style()
                ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this)
                .width() -
            2;
        const QFontMetrics metrics = fontMetrics();
        if (metrics.horizontalAdvance(label) <= nWidth) return label;
        const qsizetype nBracket = label.lastIndexOf(QStringLiteral(" ["));
        if (nBracket > 0) {
            const QString named = label.left(nBracket) + QStringLiteral(" […]");
            if (metrics.horizontalAdvance(named) <= nWidth) return named;
        }
        return metrics.elidedText(label, Qt::ElideRight, nWidth);
    }
};

CIconButton* NewButton(QWidget* pParent, const RowItem& item, int nIcon, int nDisabledIcon) {
    auto* pButton = new CIconButton(pParent);
    pButton->setObjectName(QString::number(item.nId));
    pButton->SetButtonIcons(nIcon, nDisabledIcon);
    pButton->OffsetButtonColour(0, 30);
    pButton->setAutoDefault(false);
    return pButton;
}

}  // namespace

CMappingList::CMappingList(QWidget* pParent) : QWidget(pParent) {
    m_pCombo = new CMappingCombo(this);
    m_pCombo->setObjectName(QString::number(kList.nId));
    m_pCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_pBrowse = NewButton(this, kBrowse, qvxicons::kBrowse, qvxicons::kBrowseDisabled);
    m_pEdit = NewButton(this, kEdit, qvxicons::kEdit, qvxicons::kEditDisabled);
    m_pCreate = NewButton(this, kCreate, qvxicons::kCreate, qvxicons::kCreateDisabled);

    connect(m_pCombo, &QComboBox::activated, this, &CMappingList::MappingPicked);
    // A long mapping name with its file name does not fit into the closed
    // box: the tool tip shows the whole entry.
    connect(m_pCombo, &QComboBox::currentTextChanged, m_pCombo,
            [this](const QString& text) { m_pCombo->setToolTip(text); });
    connect(m_pBrowse, &QPushButton::clicked, this, &CMappingList::BrowseClicked);
    connect(m_pEdit, &QPushButton::clicked, this, &CMappingList::EditClicked);
    connect(m_pCreate, &QPushButton::clicked, this, &CMappingList::CreateClicked);
}

void CMappingList::PlaceAt(int x, int y) {
    const QFont font = parentWidget() ? parentWidget()->font() : this->font();
    const QPoint origin = qvxui::DialogUnitsToPixels(font, x, y, 0, 0).topLeft();
    QRect row;
    const std::pair<QWidget*, RowItem> items[] = {
        {m_pCombo, kList}, {m_pBrowse, kBrowse}, {m_pEdit, kEdit}, {m_pCreate, kCreate}};
    for (const auto& [pWidget, item] : items) {
        const QRect place = qvxui::DialogUnitsToPixels(font, x + item.dx, y, item.cx, kRowHeight);
        pWidget->setGeometry(place.translated(-origin));
        row = row.united(place);
    }
    setGeometry(row);
}

// The session's list in its order, which the automatic choice follows too.
void CMappingList::ShowList(const std::vector<MappingEntry>& mappings, const std::string& selected,
                            bool bOfferFirst) {
    m_pCombo->clear();
    int nSelect = mappings.empty() || !bOfferFirst ? -1 : 0;
    for (size_t i = 0; i < mappings.size(); ++i) {
        m_pCombo->addItem(qvxui::FromLocalText(CImportSession::MappingLabel(mappings[i])),
                          QByteArray::fromStdString(mappings[i].path));
        if (mappings[i].path == selected) nSelect = static_cast<int>(i);
    }
    if (m_pCombo->view()) m_pCombo->view()->setMinimumWidth(MaxTextWidth());
    m_pCombo->setCurrentIndex(nSelect);
    if (nSelect >= 0 && m_pCombo->currentIndex() != nSelect)
        LOG_WARN(qvxlog::WizDlg, "Update combo box: SetCurSel(%d) failed !", nSelect);
    m_pCombo->update();
}

int CMappingList::MaxTextWidth() const {
    int nMax = m_pCombo->width();
    const QFontMetrics metrics(m_pCombo->font());
    for (int i = 0; i < m_pCombo->count(); ++i)
        nMax = std::max(nMax, metrics.horizontalAdvance(m_pCombo->itemText(i)) + 4);
    return nMax;
}

void CMappingList::UpdateTexts(const std::vector<MappingEntry>& mappings) {
    // The built-in mapping's name and the mark of the user's own version of
    // a mapping are texts of the language.
    for (int i = 0; i < m_pCombo->count(); ++i) {
        const std::string path = m_pCombo->itemData(i).toByteArray().toStdString();
        for (const MappingEntry& entry : mappings) {
            if (entry.path == path && (entry.bUsersCopy || entry.bBuiltIn))
                m_pCombo->setItemText(i, qvxui::FromLocalText(CImportSession::MappingLabel(entry)));
        }
    }
    m_pCombo->setToolTip(m_pCombo->currentText());
    qvxui::ApplyToolTipKey(m_pCreate, qvxtext::kMainDlg_ButtonToolTip_CreateMap);
    qvxui::ApplyToolTipKey(m_pEdit, qvxtext::kMainDlg_ButtonToolTip_EditMap);
    qvxui::ApplyToolTipKey(m_pBrowse, qvxtext::kMainDlg_ButtonToolTip_BrowseMap);
}

void CMappingList::SetEnabledParts(bool bList, bool bEdit) {
    m_pCombo->setEnabled(bList);
    m_pBrowse->setEnabled(bList);
    m_pEdit->setEnabled(bEdit);
    m_pCreate->setEnabled(bList);
}

QString CMappingList::ShownText() const {
    return static_cast<const CMappingCombo*>(m_pCombo)->ShownText();
}

std::string CMappingList::CurrentPath() const {
    const int nPos = m_pCombo->currentIndex();
    return nPos < 0 ? std::string() : m_pCombo->itemData(nPos).toByteArray().toStdString();
}

#include "gui/mapping_editor/ListCtrlComboBox.h"

#include <QWheelEvent>
#include <cstring>

#include "gui/kit/DialogUi.h"
#include "i18n/LanguageTable.h"
#include "import/DataRow.h"
#include "import/Mapping.h"
#include "support/LogModules.h"
#include "support/TextBuffer.h"
#include "threads/CallbackCodes.h"

namespace {

constexpr size_t kItemBuffer = 129;
constexpr int kCodeBuffer = 1025;

bool IsKnownCode(const char* pszCode) {
    for (const PropertyType& type : g_PropertyTypes)
        if (strcmp(type.pszCode, pszCode) == 0) return true;
    return false;
}

}  // namespace

CListCtrlComboBox::CListCtrlComboBox(QWidget* pParent) : QComboBox(pParent) {
    // Wheel turns over a box the user is not working with scroll the list.
    setFocusPolicy(Qt::StrongFocus);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    connect(this, &QComboBox::activated, this, &CListCtrlComboBox::OnSelchange);
}

CListCtrlComboBox::~CListCtrlComboBox() {
    m_link.SetReceiver(nullptr);
}

void CListCtrlComboBox::FillItems() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_itemTexts.clear();
        clear();
        char text[kItemBuffer];
        for (const PropertyType& type : g_OfferedPropertyTypes) {
            GetText(type.pszTextKey, text, sizeof text);
            m_itemTexts.emplace_back(text);
            addItem(qvxui::FromLocalText(text));
        }
        setCurrentIndex(-1);
    }
    BindRow(m_nBoundRow);
}

int CListCtrlComboBox::FindItemForCode(const char* pszCode) const {
    if (pszCode == nullptr || *pszCode == '\0') return -1;
    char text[kCodeBuffer];
    qvxsupport::CopyCut(text, sizeof text, pszCode);
    CodeToPropertyType(text, sizeof text);
    const QString wanted = qvxui::FromLocalText(text);
    for (int i = 0; i < count(); ++i)
        if (itemText(i).compare(wanted, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

void CListCtrlComboBox::SelectCode(const char* pszCode) {
    const int nIndex = FindItemForCode(pszCode);
    QString placeholder;
    if (nIndex < 0 && IsKnownCode(pszCode)) {
        char text[kItemBuffer];
        qvxsupport::CopyCut(text, sizeof text, pszCode);
        CodeToPropertyType(text, sizeof text);
        placeholder = qvxui::FromLocalText(text);
    }
    if (placeholderText() != placeholder) setPlaceholderText(placeholder);
    if (currentIndex() != nIndex) setCurrentIndex(nIndex);
}

void CListCtrlComboBox::BindRow(int nRow) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_nBoundRow = nRow;
    const bool bInside = nRow >= 0 && nRow < m_nRowCount;
    if (isVisibleTo(parentWidget()) != bInside) setVisible(bInside);
    if (m_pMappingRow == nullptr) return;
    char code[kCodeBuffer];
    if (m_pMappingRow->GetField(nRow, code, kCodeBuffer - 1) != 0) code[0] = '\0';
    code[kCodeBuffer - 1] = '\0';
    SelectCode(code);
}

void CListCtrlComboBox::OnSelchange(int nIndex) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        char text[kCodeBuffer] = {};
        if (nIndex < 0 || nIndex >= static_cast<int>(m_itemTexts.size())) {
            LOG_WARN(qvxlog::LCtrlCB, "CListCtrlComboBox::OnSelchange() this->GetLBText(%d, %s)", nIndex,
                     text);
            return;
        }
        qvxsupport::CopyCut(text, sizeof text, m_itemTexts[static_cast<size_t>(nIndex)].c_str());
        PropertyTypeToCode(text, sizeof text);
        // A text that names no type (two keys sharing it is fine, a text cut
        // by its buffer is not) must not end up in the file as a code.
        if (!IsKnownCode(text)) strcpy(text, g_OfferedPropertyTypes[nIndex].pszCode);
        if (m_pMappingRow != nullptr && m_nBoundRow >= 0) m_pMappingRow->SetField(m_nBoundRow, text);
        if (!placeholderText().isEmpty()) setPlaceholderText(QString());
    }
    m_link.SendCallback(CB::MAPPING_CHANGED);
}

void CListCtrlComboBox::wheelEvent(QWheelEvent* pEvent) {
    if (!hasFocus()) {
        pEvent->ignore();
        return;
    }
    QComboBox::wheelEvent(pEvent);
}

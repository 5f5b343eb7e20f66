#include "gui/mapping_editor/PropertyListCtrl.h"

#include <QBrush>
#include <QColor>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <algorithm>
#include <iterator>
#include <optional>
#include <string_view>

#include "gui/i18n/LanguageTextUi.h"
#include "gui/kit/DialogUi.h"
#include "gui/mapping_editor/ListCtrlComboBox.h"
#include "i18n/TextKeys.h"
#include "import/DataMap.h"
#include "import/DataRow.h"
#include "import/Mapping.h"

namespace {

constexpr int kHeaderBuffer = 1025;
constexpr int kDropDownWidth = 150;
constexpr int kFirstBoxId = 5000;
constexpr int kColumns = 3;
const QLatin1String kSampleSeparator(" | ");
// Light enough for the text to stay readable, different enough to be seen
// in a long list: pale green for a sure guess, amber for a doubtful one, a
// warmer tone for a column left out.
const QColor kSureColour(220, 240, 208);
const QColor kGuessedColour(255, 236, 179);
const QColor kUnknownColour(255, 214, 186);

// One line of the list shows a value without its line breaks.
QString OneLine(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

// The item of a column's samples: the values side by side (the list cuts
// them to the column), each whole on a line of its own in the tool tip.
QTableWidgetItem* SampleItem(const std::vector<std::string>& values) {
    QStringList shown;
    QStringList whole;
    for (const std::string& value : values) {
        const QString text = qvxui::FromLocalText(value.substr(0, CPropertyListCtrl::kMaxSampleBytes));
        shown << OneLine(text);
        whole << text;
    }
    auto* pItem = new QTableWidgetItem(shown.join(kSampleSeparator));
    pItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (!whole.isEmpty()) pItem->setToolTip(whole.join(QLatin1Char('\n')));
    return pItem;
}

}  // namespace

CPropertyListCtrl::CPropertyListCtrl(QWidget* pParent) : QTableWidget(pParent) {
    setColumnCount(kColumns);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(kMinRowHeight);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(kMinRowHeight);
    QHeaderView* pHeader = horizontalHeader();
    pHeader->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    pHeader->setHighlightSections(false);
    pHeader->setSectionsClickable(false);
    pHeader->setStretchLastSection(false);
    pHeader->setMinimumSectionSize(0);
    pHeader->setSectionResizeMode(QHeaderView::Interactive);
    setShowGrid(false);
    setWordWrap(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    connect(pHeader, &QHeaderView::sectionResized, this, &CPropertyListCtrl::OnSectionResized);
}

CPropertyListCtrl::~CPropertyListCtrl() {
    m_ownerLink.SetReceiver(nullptr);
    // The boxes go with the widget tree; stop their reports first.
    for (int i = 0; i < m_nCreatedCount; ++i) m_pool[static_cast<size_t>(i)]->SetReceiver(nullptr);
}

void CPropertyListCtrl::SetRowCount(int nRows) {
    m_nRowCount = std::max(0, nRows);
    const size_t nPool = static_cast<size_t>(std::max(m_nRowCount, kInitialBoxes));
    if (m_pool.size() < nPool) m_pool.resize(nPool, nullptr);
    for (int i = 0; i < m_nCreatedCount; ++i) m_pool[static_cast<size_t>(i)]->SetRowCount(m_nRowCount);
}

void CPropertyListCtrl::SetMappingRow(CDataRow* pRow) {
    m_pMappingRow = pRow;
    for (int i = 0; i < m_nCreatedCount; ++i) m_pool[static_cast<size_t>(i)]->SetMappingRow(pRow);
}

void CPropertyListCtrl::UpdateRowHeight() {
    // Rows are at least 20 pixels high and never lower than a drop-down in
    // the current font, so the boxes are not squeezed.
    QComboBox probe;
    probe.setFont(font());
    probe.addItem(QStringLiteral("Xg"));
    m_nRowHeight = std::max(kMinRowHeight, probe.sizeHint().height());
    verticalHeader()->setDefaultSectionSize(m_nRowHeight);
}

void CPropertyListCtrl::InitColumns() {
    UpdateRowHeight();
    UpdateTexts();
    const int nWidth = viewport()->width();
    const int nFirst = m_nRowCount >= kInitialBoxes ? kFirstColumnWidthScrolled : kFirstColumnWidth;
    m_bFitting = true;
    setColumnWidth(0, nFirst);
    setColumnWidth(1, kTypeColumnWidth);
    setColumnWidth(2, std::max(kMinColumnWidth, nWidth - nFirst - kTypeColumnWidth));
    m_bFitting = false;
    m_bColumnsReady = true;
    for (int i = m_nCreatedCount; i < kInitialBoxes && i < static_cast<int>(m_pool.size()); ++i) CreateBox(i);
}

void CPropertyListCtrl::CreateBox(int i) {
    auto* pBox = new CListCtrlComboBox(viewport());
    pBox->setObjectName(QString::number(kFirstBoxId + i));
    pBox->setMaxVisibleItems(static_cast<int>(std::size(g_OfferedPropertyTypes)));
    pBox->view()->setMinimumWidth(kDropDownWidth);
    pBox->SetMappingRow(m_pMappingRow);
    pBox->SetRowCount(m_nRowCount);
    m_pool[static_cast<size_t>(i)] = pBox;
    m_nCreatedCount = std::max(m_nCreatedCount, i + 1);
    pBox->FillItems();
    pBox->BindRow(m_nTopRow + i);
    pBox->SetReceiver(this);
    PlacePool();
}

void CPropertyListCtrl::FillRows() {
    if (m_pHeaderRow == nullptr || m_pMappingRow == nullptr) return;
    setUpdatesEnabled(false);
    setRowCount(m_nRowCount);
    char text[kHeaderBuffer];
    for (int i = 0; i < m_nRowCount; ++i) {
        m_pHeaderRow->GetField(i, text, kHeaderBuffer - 1);
        text[kHeaderBuffer - 1] = '\0';
        const QString shown = qvxui::FromLocalText(text);
        auto* pItem = new QTableWidgetItem(shown);
        pItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        pItem->setToolTip(shown);
        setItem(i, 0, pItem);
        if (m_pMappingRow->GetField(i, text, kHeaderBuffer - 1) == qvxdm::kErrAbsent)
            m_pMappingRow->SetField(i, "");
    }
    m_markedCodes.assign(static_cast<size_t>(m_nRowCount), std::string());
    for (int i = 0; i < m_nRowCount && i < static_cast<int>(m_origins.size()); ++i) {
        if (m_origins[static_cast<size_t>(i)] == CodeOrigin::kKnown) continue;
        const std::optional<std::string_view> code = m_pMappingRow->PeekField(i);
        m_markedCodes[static_cast<size_t>(i)] = code ? std::string(*code) : std::string();
        ShowReviewMark(i);
    }
    setUpdatesEnabled(true);
    RebindPool();
}

void CPropertyListCtrl::UpdateTexts() {
    setHorizontalHeaderLabels({qvxui::LanguageText(qvxtext::kMappingDlg_ListCtrl_Header),
                               qvxui::LanguageText(qvxtext::kMappingDlg_ListCtrl_PropTypes),
                               qvxui::LanguageText(qvxtext::kMappingDlg_ListCtrl_Samples)});
    for (int i = 0; i < rowCount(); ++i)
        if (IsMarkedForReview(i)) ShowReviewMark(i);
    for (int i = 0; i < m_nCreatedCount; ++i) m_pool[static_cast<size_t>(i)]->FillItems();
}

bool CPropertyListCtrl::IsMarkedForReview(int nRow) const {
    return nRow >= 0 && nRow < static_cast<int>(m_origins.size()) &&
           m_origins[static_cast<size_t>(nRow)] != CodeOrigin::kKnown;
}

bool CPropertyListCtrl::IsDoubtfulGuess(int nRow) const {
    return IsMarkedForReview(nRow) && m_origins[static_cast<size_t>(nRow)] == CodeOrigin::kGuessed;
}

int CPropertyListCtrl::ReviewCount() const {
    int n = 0;
    for (int i = 0; i < static_cast<int>(m_origins.size()); ++i) n += IsMarkedForReview(i) ? 1 : 0;
    return n;
}

int CPropertyListCtrl::FirstMarkedRow() const {
    for (int i = 0; i < static_cast<int>(m_origins.size()); ++i)
        if (IsMarkedForReview(i)) return i;
    return -1;
}

void CPropertyListCtrl::ShowReviewMark(int nRow) {
    QTableWidgetItem* pItem = item(nRow, 0);
    if (pItem == nullptr) return;
    const CodeOrigin origin =
        IsMarkedForReview(nRow) ? m_origins[static_cast<size_t>(nRow)] : CodeOrigin::kKnown;
    QString tip = pItem->text();
    switch (origin) {
        case CodeOrigin::kKnown:
            pItem->setBackground(QBrush());
            break;
        case CodeOrigin::kSure:
            pItem->setBackground(kSureColour);
            tip += QLatin1Char('\n') + qvxui::LanguageText(qvxtext::kMappingDlg_ToolTip_Sure);
            break;
        case CodeOrigin::kGuessed:
            pItem->setBackground(kGuessedColour);
            tip += QLatin1Char('\n') + qvxui::LanguageText(qvxtext::kMappingDlg_ToolTip_Guessed);
            break;
        case CodeOrigin::kUnknown:
            pItem->setBackground(kUnknownColour);
            tip += QLatin1Char('\n') + qvxui::LanguageText(qvxtext::kMappingDlg_ToolTip_Unknown);
            break;
    }
    pItem->setToolTip(tip);
}

void CPropertyListCtrl::DropReviewedMarks() {
    if (m_pMappingRow == nullptr) return;
    for (int i = 0; i < static_cast<int>(m_origins.size()) && i < static_cast<int>(m_markedCodes.size());
         ++i) {
        if (!IsMarkedForReview(i)) continue;
        const std::optional<std::string_view> code = m_pMappingRow->PeekField(i);
        if (code && *code == m_markedCodes[static_cast<size_t>(i)]) continue;
        m_origins[static_cast<size_t>(i)] = CodeOrigin::kKnown;
        ShowReviewMark(i);
    }
}

int CPropertyListCtrl::OnReceiveCallback(unsigned nCode, void* pParam) {
    // A row whose type the user changed is reviewed.
    DropReviewedMarks();
    return m_ownerLink.SendCallback(nCode, pParam);
}

int CPropertyListCtrl::RowsPerPage() const {
    return m_nRowHeight > 0 ? std::max(0, viewport()->height() / m_nRowHeight) : 0;
}

CListCtrlComboBox* CPropertyListCtrl::Box(int i) const {
    if (i < 0 || i >= m_nCreatedCount) return nullptr;
    return m_pool[static_cast<size_t>(i)];
}

CListCtrlComboBox* CPropertyListCtrl::BoxForRow(int nRow) const {
    if (nRow < 0 || nRow >= m_nRowCount) return nullptr;
    return Box(nRow - m_nTopRow);
}

CListCtrlComboBox* CPropertyListCtrl::ShowRow(int nRow) {
    if (nRow < 0 || nRow >= m_nRowCount) return nullptr;
    scrollTo(model()->index(nRow, 0));
    CheckTopRow();
    return BoxForRow(nRow);
}

void CPropertyListCtrl::FitColumns() {
    const int nWidth = viewport()->width();
    // Each column between 20 pixels and what leaves the columns after it
    // their 20; the last one takes the rest.
    auto fit = [&](int nColumn, int nBefore) {
        const int nAfter = (kColumns - 1 - nColumn) * kMinColumnWidth;
        int n = std::max(columnWidth(nColumn), kMinColumnWidth);
        n = std::min(n, nWidth - nBefore - nAfter);
        return std::max(n, 0);
    };
    const int nFirst = fit(0, 0);
    const int nSecond = fit(1, nFirst);
    m_bFitting = true;
    setColumnWidth(0, nFirst);
    setColumnWidth(1, nSecond);
    setColumnWidth(2, std::max(0, nWidth - nFirst - nSecond));
    m_bFitting = false;
    PlacePool();
}

void CPropertyListCtrl::OnSizeChanged() {
    if (!m_bColumnsReady) return;
    const int nNeeded = std::min(RowsPerPage() + 1, m_nRowCount);
    while (m_nCreatedCount < nNeeded && m_nCreatedCount < static_cast<int>(m_pool.size()))
        CreateBox(m_nCreatedCount);
    FitColumns();
    CheckTopRow();
    RebindPool();
}

void CPropertyListCtrl::OnSectionResized(int, int, int) {
    if (!m_bFitting && m_bColumnsReady) FitColumns();
}

void CPropertyListCtrl::CheckTopRow() {
    int nTop = rowAt(0);
    if (nTop < 0) nTop = 0;
    if (nTop != m_nTopRow) {
        m_nTopRow = nTop;
        // A box that kept the focus would now show another row: the list
        // takes it, as the user's place in the list.
        QWidget* pFocus = focusWidget();
        const bool bBoxHadFocus = pFocus != nullptr && pFocus->parentWidget() == viewport();
        RebindPool();
        if (bBoxHadFocus) setFocus();
    }
    PlacePool();
}

void CPropertyListCtrl::RebindPool() {
    for (int i = 0; i < m_nCreatedCount; ++i) {
        m_pool[static_cast<size_t>(i)]->BindRow(m_nTopRow + i);
        ShowSamples(m_nTopRow + i);
    }
    PlacePool();
}

void CPropertyListCtrl::ShowSamples(int nRow) {
    // Made when the row first comes into view, as the boxes are: a file with
    // thousands of columns opens as fast as without samples.
    const size_t nIndex = static_cast<size_t>(nRow);
    if (nRow < 0 || nRow >= rowCount() || nIndex >= m_samples.size() || m_samples[nIndex].empty()) return;
    if (item(nRow, 2) == nullptr) setItem(nRow, 2, SampleItem(m_samples[nIndex]));
}

void CPropertyListCtrl::PlacePool() {
    const int nX = columnViewportPosition(1);
    const int nWidth = columnWidth(1);
    for (int i = 0; i < m_nCreatedCount; ++i) {
        const int nRow = m_nTopRow + i;
        if (nRow >= m_nRowCount) continue;  // hidden
        const QRect rect(nX, rowViewportPosition(nRow), nWidth, rowHeight(nRow));
        CListCtrlComboBox* pBox = m_pool[static_cast<size_t>(i)];
        if (pBox->geometry() != rect) pBox->setGeometry(rect);
    }
}

bool CPropertyListCtrl::viewportEvent(QEvent* pEvent) {
    const bool bResult = QTableWidget::viewportEvent(pEvent);
    if (pEvent->type() == QEvent::Resize) OnSizeChanged();
    return bResult;
}

void CPropertyListCtrl::scrollContentsBy(int dx, int dy) {
    QTableWidget::scrollContentsBy(dx, dy);
    CheckTopRow();
}

void CPropertyListCtrl::changeEvent(QEvent* pEvent) {
    QTableWidget::changeEvent(pEvent);
    if (pEvent->type() == QEvent::FontChange && m_bColumnsReady) {
        UpdateRowHeight();
        OnSizeChanged();
    }
}

void CPropertyListCtrl::keyPressEvent(QKeyEvent* pEvent) {
    // The keys that open a drop-down open the one of the current row, so the
    // list can be worked through with the keyboard alone.
    const bool bOpen = pEvent->key() == Qt::Key_F4 || pEvent->key() == Qt::Key_Space ||
                       (pEvent->key() == Qt::Key_Down && (pEvent->modifiers() & Qt::AltModifier));
    const int nRow = currentRow();
    if (bOpen && nRow >= 0) {
        if (CListCtrlComboBox* pBox = ShowRow(nRow)) {
            pBox->setFocus();
            pBox->showPopup();
            return;
        }
    }
    QTableWidget::keyPressEvent(pEvent);
}

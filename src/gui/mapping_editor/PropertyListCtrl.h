// CPropertyListCtrl: the list of the mapping editor, one row per CSV column
// with the column's header text, in the second column a drop-down of the
// offered property types, and in the third the first values of the column.
//
// Rather than one drop-down per row, the list keeps a small pool of
// CListCtrlComboBox (one per visible row plus one, at least seven) and
// re-binds the pool to the visible rows whenever the list scrolls, so a file
// with thousands of columns costs no more widgets than one with ten.
//
// Every report of a box (CB::MAPPING_CHANGED after each choice) is passed on
// unchanged to the owner set with SetReceiver.
//
// Set-up, in this order: SetRowCount, SetHeaderRow, SetMappingRow,
// SetDataMap, SetSamples (may be left out), InitColumns, FillRows.
// Afterwards the list runs by itself.
#pragma once

#include <QTableWidget>
#include <string>
#include <utility>
#include <vector>

#include "import/HeaderGuess.h"
#include "threads/CallbackLink.h"
#include "threads/CallbackReceiver.h"

class CDataMap;
class CDataRow;
class CListCtrlComboBox;

class CPropertyListCtrl : public QTableWidget, public CCallbackReceiver {
    Q_OBJECT

public:
    static constexpr int kInitialBoxes = 7;
    static constexpr int kMinRowHeight = 20;
    static constexpr int kFirstColumnWidth = 165;
    static constexpr int kFirstColumnWidthScrolled = 149;  // room for the vertical scroll bar
    static constexpr int kMinColumnWidth = 20;
    static constexpr int kTypeColumnWidth = 150;  // the drop-down's own width
    // Cut for the tool tip of the samples, per value, in bytes (as a detail's value).
    static constexpr size_t kMaxSampleBytes = 1025;

    explicit CPropertyListCtrl(QWidget* pParent = nullptr);
    ~CPropertyListCtrl() override;

    // The number of rows (the table's column count); allocates the pool.
    void SetRowCount(int nRows);
    void SetHeaderRow(CDataRow* pRow) { m_pHeaderRow = pRow; }
    void SetMappingRow(CDataRow* pRow);
    void SetDataMap(CDataMap* pDataMap) { m_pDataMap = pDataMap; }
    // The first values of each column (CollectColumnSamples), shown in the
    // third column; a column without values shows nothing.
    void SetSamples(std::vector<std::vector<std::string>> samples) { m_samples = std::move(samples); }
    // Where each row's code came from in a new mapping (StartNewMapping): a
    // guessed (sure or not) or unknown row is marked for review until its
    // type changes. Before FillRows; without it no row is marked.
    void SetReviewMarks(std::vector<CodeOrigin> origins) { m_origins = std::move(origins); }
    bool IsMarkedForReview(int nRow) const;
    // Marked as a guess the words of its header leave in doubt.
    bool IsDoubtfulGuess(int nRow) const;
    int ReviewCount() const;
    int FirstMarkedRow() const;  // -1 for none
    // Column titles and widths, the row height and the first boxes.
    void InitColumns();
    // One list row per CSV column; each box shows its row's type.
    void FillRows();
    // Column titles and the boxes' items again from the language table.
    void UpdateTexts();

    // The owner that receives the boxes' reports.
    bool SetReceiver(CCallbackReceiver* pReceiver) { return m_ownerLink.SetReceiver(pReceiver); }
    int OnReceiveCallback(unsigned nCode, void* pParam) override;

    // The last column (the samples) takes the rest of the width; every
    // column keeps at least 20 pixels.
    void FitColumns();

    int RowCount() const { return m_nRowCount; }
    int RowHeight() const { return m_nRowHeight; }
    int TopRow() const { return m_nTopRow; }
    int CreatedBoxCount() const { return m_nCreatedCount; }
    // Pool box i (bound to row TopRow() + i), or null when not created.
    CListCtrlComboBox* Box(int i) const;
    // The box showing nRow, or null when the row is not visible.
    CListCtrlComboBox* BoxForRow(int nRow) const;
    // Scrolls so that nRow is visible and returns its box.
    CListCtrlComboBox* ShowRow(int nRow);
    int RowsPerPage() const;

protected:
    bool viewportEvent(QEvent* pEvent) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    void CreateBox(int i);
    void OnSizeChanged();
    void OnSectionResized(int nSection, int nOldSize, int nNewSize);
    void CheckTopRow();
    void RebindPool();
    void ShowSamples(int nRow);
    void PlacePool();
    void UpdateRowHeight();
    void ShowReviewMark(int nRow);
    void DropReviewedMarks();

    CCallbackLink m_ownerLink;
    bool m_bFitting = false;
    bool m_bColumnsReady = false;
    int m_nTopRow = 0;
    int m_nRowCount = 0;
    int m_nRowHeight = kMinRowHeight;
    std::vector<CListCtrlComboBox*> m_pool;  // owned through the widget tree
    int m_nCreatedCount = 0;
    CDataRow* m_pHeaderRow = nullptr;
    CDataRow* m_pMappingRow = nullptr;
    CDataMap* m_pDataMap = nullptr;
    std::vector<std::vector<std::string>> m_samples;
    std::vector<CodeOrigin> m_origins;
    // Per marked row, the code it was marked with; a row is reviewed once its code differs.
    std::vector<std::string> m_markedCodes;
};

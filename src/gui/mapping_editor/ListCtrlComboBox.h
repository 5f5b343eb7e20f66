// CListCtrlComboBox: the drop-down list laid over one row of the property
// list. The list keeps a small pool of these and re-binds them to whichever
// rows are visible, so a box shows "its" row only while bound to it.
//
// The items are the seven offered property types. A choice is written at
// once as its code into the mapping row (field = bound row) and reported as
// CB::MAPPING_CHANGED through the box's link. Codes that are known but not
// offered ("G", "I") show their text greyed as placeholder; an unknown or
// empty code shows no selection.
#pragma once

#include <QComboBox>
#include <QString>
#include <mutex>
#include <string>
#include <vector>

#include "threads/CallbackLink.h"

class CDataRow;

class CListCtrlComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit CListCtrlComboBox(QWidget* pParent = nullptr);
    ~CListCtrlComboBox() override;

    // Where codes are read and written (not owned), and the number of rows of
    // the list: a box bound to a row at or beyond it is hidden.
    void SetMappingRow(CDataRow* pRow) { m_pMappingRow = pRow; }
    void SetRowCount(int nRows) { m_nRowCount = nRows; }
    bool SetReceiver(CCallbackReceiver* pReceiver) { return m_link.SetReceiver(pReceiver); }

    // (Re)reads the seven item texts from the language table and selects the
    // bound row's type again.
    void FillItems();
    // Shows the type of row nRow; hides the box for a row outside the list.
    void BindRow(int nRow);
    int BoundRow() const { return m_nBoundRow; }

    // The user picked item nIndex: store its code and report the change.
    void OnSelchange(int nIndex);

    // The item whose text equals the text of `code` (ignoring case), or -1.
    int FindItemForCode(const char* pszCode) const;

protected:
    void wheelEvent(QWheelEvent* pEvent) override;

private:
    void SelectCode(const char* pszCode);

    CCallbackLink m_link;
    CDataRow* m_pMappingRow = nullptr;
    int m_nBoundRow = -1;
    int m_nRowCount = -1;
    std::mutex m_lock;  // binding against selection handling
    // The items' texts as read from the language table; the code of a
    // choice is found from these bytes, never from a displayed text.
    std::vector<std::string> m_itemTexts;
};

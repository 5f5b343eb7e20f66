// Picking an item of a property-type drop-down the way a user does: open the
// drop-down, move to the item, click it.
#pragma once

#include <QAbstractItemView>
#include <QTest>

#include "gui/mapping_editor/ListCtrlComboBox.h"

namespace combotest {

inline bool Choose(CListCtrlComboBox* pBox, int nIndex) {
    if (pBox == nullptr || nIndex < 0 || !pBox->isVisible()) return false;
    pBox->showPopup();
    QAbstractItemView* pView = pBox->view();
    if (!QTest::qWaitFor([&] { return pView->isVisible(); })) return false;
    const QRect rect = pView->visualRect(pView->model()->index(nIndex, 0));
    QTest::mouseMove(pView->viewport(), rect.center());
    QTest::mouseClick(pView->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    return QTest::qWaitFor([&] { return !pView->isVisible(); }) && pBox->currentIndex() == nIndex;
}

}  // namespace combotest

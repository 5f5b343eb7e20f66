// CMappingList: the main dialog's mapping row - the list of mappings (the
// import session's, in its order) with its browse, edit and create buttons.
// It shows the list and reports what the user does by signals; the dialog
// runs the commands on its import session.
#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "wizard/ImportSession.h"

class CIconButton;
class QComboBox;

class CMappingList : public QWidget {
    Q_OBJECT

public:
    explicit CMappingList(QWidget* pParent = nullptr);

    // Places the row where the dialog template puts its controls, at x, y in
    // the parent's dialog units: each control lands on the pixel it would
    // have as the parent's own child.
    void PlaceAt(int x, int y);
    // Shows the list with `selected` current; when nothing fits the file
    // (bOfferFirst false) no entry is current unless it is the selected one.
    void ShowList(const std::vector<MappingEntry>& mappings, const std::string& selected, bool bOfferFirst);
    // The labels and tool tips in the language shown now.
    void UpdateTexts(const std::vector<MappingEntry>& mappings);
    // The list, browse and create follow bList; edit follows bEdit.
    void SetEnabledParts(bool bList, bool bEdit);
    // The text the closed list shows: the label, shortened when it does not fit.
    QString ShownText() const;
    // The path of the entry shown, "" for none.
    std::string CurrentPath() const;

signals:
    // An entry was chosen in the list.
    void MappingPicked();
    void BrowseClicked();
    void EditClicked();
    void CreateClicked();

private:
    int MaxTextWidth() const;

    QComboBox* m_pCombo = nullptr;
    CIconButton* m_pBrowse = nullptr;
    CIconButton* m_pEdit = nullptr;
    CIconButton* m_pCreate = nullptr;
};

// CPreviewDlg: the contacts as the database will hold them, before it is
// built. Above the table the counts (contacts, details, rows skipped, rows
// that do not fit the header, values not stored) with their first lines; a
// filter field narrows the list by any text, a check box lists the skipped
// rows too, marked with the reason.
//
// The table is a model over the core's CImportPreview, which makes a
// contact's texts only when its line is shown, so that a file of 100,000
// rows opens at once. The filter runs a moment after the last key stroke.
//
//   if (auto pPreview = OpenImportPreview(session)) CPreviewDlg(std::move(pPreview), this).exec();
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QStringList>
#include <memory>
#include <unordered_map>
#include <vector>

#include "wizard/ImportPreview.h"

class CDataMap;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

// One line per listed row: line, name, company, phone numbers, e-mails,
// addresses, other details.
class CPreviewModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { kLine, kName, kCompany, kPhones, kEmails, kAddresses, kOther, kColumns };

    explicit CPreviewModel(CImportPreview& preview, QObject* pParent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int nRole) const override;
    QVariant headerData(int nSection, Qt::Orientation orientation, int nRole) const override;

    // The preview changed its list (filter, skipped rows shown).
    void Relist();

private:
    struct Line {
        QStringList cells;
        bool bSkipped = false;
    };
    const Line& LineAt(int nRow) const;

    CImportPreview& m_preview;
    // The lines made for the rows shown lately; dropped when it grows.
    mutable std::unordered_map<int, Line> m_lines;
};

class CPreviewDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kIdCounts = 1101;
    static constexpr int kIdFilterLabel = 1102;
    static constexpr int kIdFilter = 1103;
    static constexpr int kIdShowSkipped = 1104;
    static constexpr int kIdTable = 1105;
    static constexpr int kIdClose = 1106;
    // The filter runs this long after the last change.
    static constexpr int kFilterDelayMs = 200;

    // The table after its data rows were parsed; it must not change while
    // the dialog is open.
    CPreviewDlg(CDataMap& table, int nMismatched, std::vector<int> mismatchedLines,
                QWidget* pParent = nullptr);
    // The same over a preview already open (OpenImportPreview).
    explicit CPreviewDlg(std::unique_ptr<CImportPreview> pPreview, QWidget* pParent = nullptr);
    ~CPreviewDlg() override;

    const CImportPreview& Preview() const { return *m_pPreview; }
    // Runs a pending filter now.
    void ApplyFilter();

protected:
    void resizeEvent(QResizeEvent* pEvent) override;

private:
    void UpdateCounts();
    void Relayout();

    std::unique_ptr<CImportPreview> m_pPreview;
    CPreviewModel* m_pModel = nullptr;
    QLabel* m_pCounts = nullptr;
    QLabel* m_pFilterLabel = nullptr;
    QLineEdit* m_pFilter = nullptr;
    QCheckBox* m_pShowSkipped = nullptr;
    QTableView* m_pTable = nullptr;
    QPushButton* m_pClose = nullptr;
    QTimer* m_pFilterTimer = nullptr;
};

// CMappingDlg: the mapping editor. The user gives every column of the
// analysed CSV file a property type, names and describes the mapping and
// saves it as a mapping file.
//
// The dialog works directly on the main dialog's CDataMap: each choice in the
// property list is written at once into the table's mapping row, and the
// info label says, live, what keeps the mapping from being complete. OK
// saves only a complete mapping, through the save dialog of IMessageBoxes;
// Cancel leaves the file alone (the table's mapping row keeps the changes,
// the caller applies the file again).
//
//   CMappingDlg dlg(this);
//   dlg.SetNewMode();                        // or leave it in edit mode,
//   dlg.SetNewStart(nearestPath, name);      // or start from a mapping
//   dlg.SetDataMap(pDataMap);
//   dlg.SetMappingPath(szFolderOrFile, sizeof szFolderOrFile);
//   if (dlg.exec() == QDialog::Accepted) dlg.GetFilePath(szPath, sizeof szPath);
//
// Settled for this platform: the anchors are measured in client coordinates
// (Qt places children relative to the client area, so frame and caption drop
// out); line breaks cannot enter the name or the description (Enter in the
// description presses OK, pasted line breaks become blanks), since either
// would split a line of the mapping file.
#pragma once

#include <QDialog>
#include <QRect>
#include <QString>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "import/NameOrder.h"
#include "threads/CallbackReceiver.h"

class CDataMap;
class CIconButton;
class CPropertyListCtrl;
class QLabel;
class QPoint;
class QPushButton;
class QLineEdit;
class QPlainTextEdit;

class CMappingDlg : public QDialog, public CCallbackReceiver {
    Q_OBJECT

public:
    // Control ids of the template; each is the control's objectName.
    enum ControlId {
        kIdOk = 1,
        kIdCancel = 2,
        kIdList = 1011,
        kIdName = 1012,
        kIdDescription = 1013,
        kIdNameLabel = 1016,
        kIdDescriptionLabel = 1017,
        kIdInfo = 1057,
        kIdPreview = 1058,
    };
    static constexpr int kNameLimit = 96;          // characters that can be typed
    static constexpr int kDescriptionLimit = 256;  // characters that can be typed
    static constexpr size_t kPathBuffer = 261;

    // Distances to the client edges for anchored sides; for a side that is
    // not anchored, the control's height (top/bottom) or width (left/right).
    struct CtrlAnchor {
        bool bTop = false;
        bool bBottom = false;
        bool bLeft = false;
        bool bRight = false;
        int nTop = 0;
        int nBottom = 0;
        int nLeft = 0;
        int nRight = 0;
    };

    explicit CMappingDlg(QWidget* pParent = nullptr);
    ~CMappingDlg() override;

    // Before opening.
    void SetNewMode(bool bNew = true) { m_bNewMode = bNew; }
    bool IsNewMode() const { return m_bNewMode; }
    // New mode for a file no mapping fits: the mapping starts from the
    // mapping file at `startPath` (from scratch when empty) with guessed codes
    // for the columns it does not know (StartNewMapping), those marked for
    // review, and `name` in the name box.
    void SetNewStart(std::string startPath, std::string name);
    // A new mapping that starts from the table's mapping as it stands (the
    // built-in one): saved as a new file, never over another mapping's.
    void SetNewFromTable() { m_bNewMode = m_bKeepTable = true; }
    void SetDataMap(CDataMap* pDataMap) { m_pDataMap = pDataMap; }
    // Shows the Preview button, usable while the mapping is complete; it
    // calls `preview` on the current mapping (in the table's mapping row).
    void SetPreview(std::function<void()> preview) { m_preview = std::move(preview); }
    // The first values of each column, for the list's sample column
    // (CollectColumnSamples); without them the column stays empty.
    void SetSamples(std::vector<std::vector<std::string>> samples) { m_samples = std::move(samples); }
    // The folder (new mode) or the file (edit mode) the save dialog starts
    // with; ignored when nSize exceeds 261, else at most nSize - 1 bytes.
    void SetMappingPath(const char* pszText, size_t nSize);

    // After OK: the saved file's name and full path, copied only into a
    // buffer of more than 260 bytes.
    void GetFileName(char* pszBuffer, size_t nSize) const;
    void GetFilePath(char* pszBuffer, size_t nSize) const;

    // Texts of the current language, again after a language change.
    void UpdateTexts();
    // The info label from the mapping rules, first broken rule first.
    void UpdateInfo();
    // Reports of the property list: every one runs UpdateInfo.
    int OnReceiveCallback(unsigned nCode, void* pParam) override;

    // Checks the mapping, asks for the file and writes it; false leaves the
    // dialog open.
    bool SaveMapping();

    // The rectangle of an anchored control for a client size; false when the
    // control is anchored neither at top nor bottom or neither left nor right.
    static bool AnchoredRect(const CtrlAnchor& anchor, int nClientWidth, int nClientHeight, QRect* pRect);
    // Moves one control by its anchor (with the warning for a bad anchor).
    void UpdateCtrlSpacing(QWidget* pCtrl, const CtrlAnchor& anchor, int nClientWidth, int nClientHeight);

    // The name columns in the order they are joined, each with its part:
    // the table's name order, then the other name columns in column order.
    NameOrder CurrentNameOrder() const;
    // Gives a name column its part (the list's context menu) and joins the
    // name columns in the order of their parts (given, middle, family).
    void SetNamePart(int nColumn, NameKind part);

    CPropertyListCtrl* PropertyList() const { return m_pList; }
    QString InfoText() const;
    // The size below which the dialog cannot shrink; it opens taller, so that
    // the list shows many rows.
    QSize OpeningSize() const { return m_openingSize; }

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;

private:
    void OnInitDialog();
    void MeasureAnchors();
    void GrowToOpeningHeight();
    // The quoted headers of the first columns `named` takes (by column and
    // code), "(+n)" for the rest.
    QString ColumnNames(const std::function<bool(int, std::optional<std::string_view>)>& named) const;
    // The info line of the name's parts, when more than one column is the
    // name and their parts are known.
    QString NameOrderText() const;
    void ShowNamePartMenu(const QPoint& pos);
    std::string NameBytes() const;
    std::string DescriptionBytes() const;

    enum { kAnchoredCount = 7 };
    struct AnchoredCtrl {
        QWidget* pCtrl = nullptr;
        CtrlAnchor anchor;
    };

    QLabel* m_pNameLabel = nullptr;
    QLineEdit* m_pName = nullptr;
    QLabel* m_pDescriptionLabel = nullptr;
    QPlainTextEdit* m_pDescription = nullptr;
    CPropertyListCtrl* m_pList = nullptr;
    QLabel* m_pInfo = nullptr;
    CIconButton* m_pOk = nullptr;
    CIconButton* m_pCancel = nullptr;
    QPushButton* m_pPreview = nullptr;
    std::function<void()> m_preview;

    bool m_bNewMode = false;
    bool m_bKeepTable = false;
    bool m_bNewStart = false;
    std::string m_startPath;
    std::string m_startName;
    bool m_bOpened = false;
    CDataMap* m_pDataMap = nullptr;
    std::vector<std::vector<std::string>> m_samples;
    char m_szMappingPath[kPathBuffer] = {};
    char m_szFileName[kPathBuffer] = {};
    char m_szFilePath[kPathBuffer] = {};

    QSize m_openingSize;
    bool m_bLayoutReady = false;
    AnchoredCtrl m_anchors[kAnchoredCount];

    // What the boxes showed at opening, with the bytes behind it: an
    // untouched text is saved as the bytes it came from.
    QString m_nameShown;
    std::string m_nameBytes;
    QString m_descriptionShown;
    std::string m_descriptionBytes;
};

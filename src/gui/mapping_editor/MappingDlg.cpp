#include "gui/mapping_editor/MappingDlg.h"

#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>
#include <QTextCursor>
#include <algorithm>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

#include "gui/controls/ButtonIcons.h"
#include "gui/controls/IconButton.h"
#include "gui/i18n/LanguageTextUi.h"
#include "gui/kit/DialogUi.h"
#include "gui/kit/MessageBoxesUi.h"
#include "gui/kit/UiThreadAdapter.h"
#include "gui/mapping_editor/PropertyListCtrl.h"
#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "import/DataMap.h"
#include "import/Mapping.h"
#include "import/MappingCodes.h"
#include "import/NearestMapping.h"
#include "platform/ProgramPath.h"
#include "support/LogModules.h"
#include "support/TextBuffer.h"
#include "support/Utf8.h"

namespace {

// Wider than the template's 216 units: the list shows a third column with
// sample values.
constexpr int kTemplateWidth = 316;
constexpr int kTemplateHeight = 225;
// The template's controls, with their places in dialog units. The info label
// holds four lines: three rules can be broken at once, and a long text may
// wrap (the template's two and a quarter lines cut them off). The list gives
// up the room.
constexpr qvxui::DialogItem kLayout[] = {
    {CMappingDlg::kIdNameLabel, 7, 7, 58, 14},
    {CMappingDlg::kIdName, 69, 7, 240, 14},
    {CMappingDlg::kIdDescriptionLabel, 7, 30, 58, 14},
    {CMappingDlg::kIdDescription, 69, 30, 240, 36},
    {CMappingDlg::kIdList, 7, 73, 302, 86},
    {CMappingDlg::kIdInfo, 7, 164, 302, 35},
    {CMappingDlg::kIdPreview, 7, 204, 55, 14},
    {CMappingDlg::kIdOk, 193, 204, 55, 14},
    {CMappingDlg::kIdCancel, 254, 204, 55, 14},
};
// The template's list shows about six rows; the dialog opens this tall (as
// far as the screen allows) so that a file's columns can be looked over.
constexpr int kOpeningHeight = 420;
// Columns without a type named in the info label, before "...".
constexpr int kEmptyColumnsNamed = 6;
constexpr size_t kNameBuffer = 96;
constexpr size_t kDescriptionBuffer = 256;
constexpr size_t kInfoBuffer = 128;
constexpr size_t kMessageBuffer = 261;
constexpr size_t kRuleCodeBuffer = 512;
constexpr size_t kInfoCodeBuffer = 3;

// The text as it fits into its buffer in the file, with line breaks turned
// into blanks: it goes into one line.
std::string FitLine(std::string bytes, size_t nBuffer) {
    std::replace_if(
        bytes.begin(), bytes.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return qvxsupport::CutUtf8(bytes, nBuffer);
}

// The description box: a multi-line box that takes at most a fixed number of
// characters and no line breaks.
class CDescriptionEdit : public QPlainTextEdit {
public:
    CDescriptionEdit(int nLimit, QWidget* pParent) : QPlainTextEdit(pParent), m_nLimit(nLimit) {
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setLineWrapMode(QPlainTextEdit::WidgetWidth);
        setTabChangesFocus(true);
        connect(this, &QPlainTextEdit::textChanged, this, [this] { Limit(); });
    }

protected:
    void keyPressEvent(QKeyEvent* pEvent) override {
        if (pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter) {
            pEvent->ignore();  // to the dialog: the default button
            return;
        }
        QPlainTextEdit::keyPressEvent(pEvent);
    }
    void insertFromMimeData(const QMimeData* pSource) override {
        if (pSource == nullptr || !pSource->hasText()) return;
        QString text = pSource->text();
        text.replace(QLatin1String("\r\n"), QLatin1String(" "));
        text.replace(QLatin1Char('\r'), QLatin1Char(' '));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        insertPlainText(text);
    }

private:
    void Limit() {
        if (m_bLimiting) return;
        const int nExcess = static_cast<int>(toPlainText().size()) - m_nLimit;
        if (nExcess <= 0) return;
        // Drop what was just put in, before the cursor; the rest of the text
        // stays as it was.
        m_bLimiting = true;
        QTextCursor cursor = textCursor();
        const int nRemove = std::min(nExcess, cursor.position());
        cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, nRemove);
        cursor.removeSelectedText();
        if (toPlainText().size() > m_nLimit) {
            cursor.movePosition(QTextCursor::End);
            cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor,
                                static_cast<int>(toPlainText().size()) - m_nLimit);
            cursor.removeSelectedText();
        }
        setTextCursor(cursor);
        m_bLimiting = false;
    }

    int m_nLimit;
    bool m_bLimiting = false;
};

}  // namespace

CMappingDlg::CMappingDlg(QWidget* pParent) : QDialog(pParent) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setSizeGripEnabled(false);

    m_pNameLabel = qvxui::Placed(new QLabel(this), kIdNameLabel, kLayout);
    m_pName = qvxui::Placed(new QLineEdit(this), kIdName, kLayout);
    m_pDescriptionLabel = qvxui::Placed(new QLabel(this), kIdDescriptionLabel, kLayout);
    m_pDescription = qvxui::Placed(new CDescriptionEdit(kDescriptionLimit, this), kIdDescription, kLayout);
    m_pList = qvxui::Placed(new CPropertyListCtrl(this), kIdList, kLayout);
    m_pList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_pList, &QWidget::customContextMenuRequested, this, &CMappingDlg::ShowNamePartMenu);
    m_pInfo = qvxui::Placed(new QLabel(this), kIdInfo, kLayout);
    m_pInfo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_pInfo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pInfo->setWordWrap(true);
    m_pInfo->setTextFormat(Qt::PlainText);
    m_pOk = qvxui::Placed(new CIconButton(this), kIdOk, kLayout);
    m_pOk->SetButtonIcons(qvxicons::kOk, qvxicons::kOkDisabled);
    m_pOk->OffsetButtonColour(CIconButton::kColourBackHover, 30);
    m_pOk->setDefault(true);
    m_pCancel = qvxui::Placed(new CIconButton(this), kIdCancel, kLayout);
    m_pCancel->SetButtonIcons(qvxicons::kCancel, qvxicons::kCancelDisabled);
    m_pCancel->OffsetButtonColour(CIconButton::kColourBackHover, 30);
    m_pCancel->setAutoDefault(false);
    m_pPreview = qvxui::Placed(new QPushButton(this), kIdPreview, kLayout);
    m_pPreview->setAutoDefault(false);
    m_pPreview->setVisible(false);
    connect(m_pPreview, &QPushButton::clicked, this, [this] {
        if (m_preview) m_preview();
    });

    m_pNameLabel->setTextFormat(Qt::PlainText);
    m_pDescriptionLabel->setTextFormat(Qt::PlainText);
    m_pNameLabel->setBuddy(m_pName);
    m_pDescriptionLabel->setBuddy(m_pDescription);

    connect(m_pOk, &QPushButton::clicked, this, &CMappingDlg::accept);
    connect(m_pCancel, &QPushButton::clicked, this, &CMappingDlg::reject);

    resize(qvxui::DialogSizeToPixels(font(), kTemplateWidth, kTemplateHeight));
    setWindowIcon(qvxicons::ProgramIcon());
}

CMappingDlg::~CMappingDlg() {
    if (m_pList) m_pList->SetReceiver(nullptr);
}

void CMappingDlg::SetNewStart(std::string startPath, std::string name) {
    m_bNewMode = true;
    m_bNewStart = true;
    m_startPath = std::move(startPath);
    m_startName = std::move(name);
}

void CMappingDlg::SetMappingPath(const char* pszText, size_t nSize) {
    if (pszText == nullptr || nSize > kPathBuffer) return;
    qvxsupport::CopyCut(m_szMappingPath, nSize, pszText);
}

void CMappingDlg::GetFileName(char* pszBuffer, size_t nSize) const {
    if (pszBuffer != nullptr && nSize > kPathBuffer - 1) qvxsupport::CopyCut(pszBuffer, nSize, m_szFileName);
}

void CMappingDlg::GetFilePath(char* pszBuffer, size_t nSize) const {
    if (pszBuffer != nullptr && nSize > kPathBuffer - 1) qvxsupport::CopyCut(pszBuffer, nSize, m_szFilePath);
}

void CMappingDlg::showEvent(QShowEvent* pEvent) {
    if (!m_bOpened) OnInitDialog();
    QDialog::showEvent(pEvent);
}

void CMappingDlg::OnInitDialog() {
    m_bOpened = true;
    m_openingSize = size();

    std::vector<CodeOrigin> origins;
    if (m_bNewStart && m_pDataMap != nullptr) {
        const NewMappingStart start =
            StartNewMapping(*m_pDataMap, m_startPath, FitLine(m_startName, kNameBuffer));
        for (const StartColumn& column : start.columns) origins.push_back(column.origin);
    } else if (m_bNewMode && m_pDataMap != nullptr && !m_bKeepTable) {
        m_pDataMap->DeleteMappingRow();
        m_pDataMap->SetName("");
        m_pDataMap->SetDescription("");
    }

    m_pName->setMaxLength(kNameLimit);
    UpdateTexts();

    if (m_pDataMap != nullptr) {
        m_pList->SetRowCount(m_pDataMap->GetColumnCount());
        m_pList->SetHeaderRow(m_pDataMap->GetHeaderRow());
        m_pList->SetMappingRow(m_pDataMap->GetMappingRow());
        m_pList->SetDataMap(m_pDataMap);
        m_pList->SetSamples(std::move(m_samples));
        m_pList->SetReviewMarks(std::move(origins));
        m_pList->InitColumns();
        m_pList->FillRows();

        char szName[kNameBuffer] = {};
        char szDescription[kDescriptionBuffer] = {};
        m_pDataMap->GetName(szName, static_cast<int>(kNameBuffer - 1));
        m_pDataMap->GetDescription(szDescription, static_cast<int>(kDescriptionBuffer - 1));
        m_nameBytes = szName;
        m_descriptionBytes = szDescription;
    } else {
        m_pList->SetRowCount(0);
        m_pList->InitColumns();
    }
    m_nameShown = qvxui::FromLocalText(m_nameBytes);
    m_descriptionShown = qvxui::FromLocalText(m_descriptionBytes);
    m_pName->setText(m_nameShown);
    m_pDescription->setPlainText(m_descriptionShown);
    // Shown texts can differ from their bytes (a cut or invalid sequence);
    // compare against what the boxes really hold.
    m_nameShown = m_pName->text();
    m_descriptionShown = m_pDescription->toPlainText();

    if (m_openingSize.isValid() && !m_openingSize.isEmpty()) setMinimumSize(m_openingSize);
    MeasureAnchors();
    m_bLayoutReady = true;
    GrowToOpeningHeight();
    // The first column to look at is in view, however far down it lies.
    if (m_pList->FirstMarkedRow() >= 0) m_pList->ShowRow(m_pList->FirstMarkedRow());

    m_pList->SetReceiver(this);
    UpdateInfo();
}

void CMappingDlg::GrowToOpeningHeight() {
    int nHeight = qvxui::DialogSizeToPixels(font(), kTemplateWidth, kOpeningHeight).height();
    if (const QScreen* pScreen = screen()) {
        // Room for the frame and the caption.
        const int nRoom =
            pScreen->availableGeometry().height() * 9 / 10 - (frameGeometry().height() - height());
        nHeight = std::min(nHeight, nRoom);
    }
    if (nHeight > height()) resize(width(), nHeight);
}

void CMappingDlg::UpdateTexts() {
    qvxui::ApplyWindowTitleKey(
        this, m_bNewMode ? qvxtext::kMappingDlg_WindowText_New : qvxtext::kMappingDlg_WindowText_Edit);
    qvxui::ApplyTextKey(m_pNameLabel, qvxtext::kMappingDlg_Static_DBName);
    qvxui::ApplyTextKey(m_pDescriptionLabel, qvxtext::kMappingDlg_Static_DBDescription);
    qvxui::ApplyTextKey(m_pOk, qvxtext::kMappingDlg_Button_OK);
    qvxui::ApplyToolTipKey(m_pOk, qvxtext::kMappingDlg_ButtonToolTip_OK);
    qvxui::ApplyTextKey(m_pCancel, qvxtext::kMappingDlg_Button_Cancel);
    qvxui::ApplyToolTipKey(m_pCancel, qvxtext::kMappingDlg_ButtonToolTip_Cancel);
    qvxui::ApplyTextKey(m_pPreview, qvxtext::kMappingDlg_Btn_Preview);
    qvxui::ApplyToolTipKey(m_pPreview, qvxtext::kMainDlg_ToolTip_Preview);
    if (m_bOpened) {
        m_pList->UpdateTexts();
        UpdateInfo();
    }
}

void CMappingDlg::UpdateInfo() {
    if (m_pDataMap == nullptr) return;
    const MappingCounts counts = CountMappingCodes(*m_pDataMap, kInfoCodeBuffer);
    if (!counts.bHasMappingRow) return;
    // Each text is cut by its own buffer; joined as shown texts, so that a
    // character cut at the end of one text does not garble the next line.
    QString text;
    auto add = [&](const char* pszKey, bool bLineBreak) {
        text += qvxui::LanguageText(pszKey, kInfoBuffer);
        if (bLineBreak) text += QLatin1Char('\n');
    };
    // The rules of FirstBrokenMappingRule, each broken one on its own line.
    if (counts.nName == 0) add(qvxtext::kMappingDlg_Info_No_Name, true);
    if (counts.nCompany > 1) add(qvxtext::kMappingDlg_Info_ToMany_Company, true);
    if (counts.nEmpty > 0) {
        add(qvxtext::kMappingDlg_Info_Empty_Entry, false);
        text += QLatin1Char('\n') + qvxui::LanguageText(qvxtext::kMappingDlg_Info_Empty_Columns, kInfoBuffer)
                                        .replace(QLatin1String("%s"), ColumnNames([](int, auto code) {
                                                     return !code || code->empty();
                                                 }));
    }
    const int nReview = m_pList->ReviewCount();
    if (nReview > 0) {
        if (!text.isEmpty()) text += QLatin1Char('\n');
        text += qvxui::LanguageText(qvxtext::kMappingDlg_Info_Review, kInfoBuffer)
                    .replace(QLatin1String("%s"), QString::number(nReview));
        const QString doubtful = ColumnNames(
            [this](int j, std::optional<std::string_view>) { return m_pList->IsDoubtfulGuess(j); });
        if (!doubtful.isEmpty())
            text += QLatin1Char('\n') + qvxui::LanguageText(qvxtext::kMappingDlg_Info_Guessed, kInfoBuffer)
                                            .replace(QLatin1String("%s"), doubtful);
    }
    const QString order = NameOrderText();
    if (!order.isEmpty()) {
        if (!text.isEmpty()) text += QLatin1Char('\n');
        text += order;
    }
    if (m_pInfo->text() != text) m_pInfo->setText(text);
    m_pInfo->setToolTip(text);
    m_pPreview->setVisible(static_cast<bool>(m_preview));
    m_pPreview->setEnabled(FirstBrokenMappingRule(counts) == nullptr);
}

QString CMappingDlg::ColumnNames(
    const std::function<bool(int, std::optional<std::string_view>)>& named) const {
    QStringList names;
    int nMore = 0;
    CDataRow* pMapping = m_pDataMap->GetMappingRow();
    CDataRow* pHeader = m_pDataMap->GetHeaderRow();
    const int nColumns = m_pDataMap->GetColumnCount();
    for (int j = 0; j < nColumns && pMapping != nullptr; ++j) {
        if (!named(j, pMapping->PeekField(j))) continue;
        if (names.size() == kEmptyColumnsNamed) {
            ++nMore;
            continue;
        }
        const std::optional<std::string_view> header = pHeader ? pHeader->PeekField(j) : std::nullopt;
        const QString shown = qvxui::FromLocalText(header ? std::string(*header) : std::string());
        names << QStringLiteral("\"%1\"").arg(shown);
    }
    QString text = names.join(QLatin1String(", "));
    if (nMore > 0) text += QStringLiteral(" (+%1)").arg(nMore);
    return text;
}

namespace {

struct NamePartKey {
    NameKind part;
    const char* pszKey;
};

constexpr NamePartKey kNamePartKeys[] = {
    {NameKind::kPrefix, qvxtext::kMappingDlg_NamePart_Prefix},
    {NameKind::kGiven, qvxtext::kMappingDlg_NamePart_Given},
    {NameKind::kMiddle, qvxtext::kMappingDlg_NamePart_Middle},
    {NameKind::kFamily, qvxtext::kMappingDlg_NamePart_Family},
    {NameKind::kSuffix, qvxtext::kMappingDlg_NamePart_Suffix},
    {NameKind::kNone, qvxtext::kMappingDlg_NamePart_None},
};

// A whole name is shown as a column without a part: it keeps its place.
NameKind ShownPart(NameKind part) {
    return part == NameKind::kWhole ? NameKind::kNone : part;
}

}  // namespace

NameOrder CMappingDlg::CurrentNameOrder() const {
    if (m_pDataMap == nullptr) return {};
    CDataRow* pMapping = m_pDataMap->GetMappingRow();
    if (pMapping == nullptr) return {};
    std::vector<int> nameColumns;
    for (int j = 0; j < m_pDataMap->GetColumnCount(); ++j) {
        const std::optional<std::string_view> code = pMapping->PeekField(j);
        if (code && *code == qvxcode::kName) nameColumns.push_back(j);
    }
    return JoinedNameOrder(m_pDataMap->GetNameOrder(), nameColumns);
}

void CMappingDlg::SetNamePart(int nColumn, NameKind part) {
    if (m_pDataMap == nullptr) return;
    NameOrder order = CurrentNameOrder();
    for (NameOrderItem& item : order)
        if (item.nColumn == nColumn) item.part = part;
    // The parts decide the order; saved with the mapping even where it is
    // the column order, so that the parts are seen again on the next edit.
    m_pDataMap->SetNameOrder(OrderByParts(order));
    UpdateInfo();
}

QString CMappingDlg::NameOrderText() const {
    // Shown once the name's parts are known (guessed or chosen); a mapping
    // without them joins in column order and says nothing.
    const NameOrder order = CurrentNameOrder();
    const bool bParts = std::any_of(order.begin(), order.end(), [](const NameOrderItem& item) {
        return ShownPart(item.part) != NameKind::kNone;
    });
    if (order.size() < 2 || !bParts) return QString();
    CDataRow* pHeader = m_pDataMap->GetHeaderRow();
    QStringList parts;
    for (const NameOrderItem& item : order) {
        const std::optional<std::string_view> header =
            pHeader ? pHeader->PeekField(item.nColumn) : std::nullopt;
        QString shown =
            QStringLiteral("\"%1\"").arg(qvxui::FromLocalText(header ? std::string(*header) : std::string()));
        for (const NamePartKey& key : kNamePartKeys)
            if (ShownPart(item.part) != NameKind::kNone && key.part == item.part)
                shown += QStringLiteral(" (%1)").arg(qvxui::LanguageText(key.pszKey, kInfoBuffer));
        parts << shown;
    }
    return qvxui::LanguageText(qvxtext::kMappingDlg_Info_NameOrder, kInfoBuffer)
        .replace(QLatin1String("%s"), parts.join(QLatin1String(" + ")));
}

void CMappingDlg::ShowNamePartMenu(const QPoint& pos) {
    const int nRow = m_pList->rowAt(pos.y());
    NameKind current = NameKind::kNone;
    bool bName = false;
    for (const NameOrderItem& item : CurrentNameOrder()) {
        if (item.nColumn != nRow) continue;
        bName = true;
        current = ShownPart(item.part);
    }
    if (!bName) return;
    QMenu menu(this);
    for (const NamePartKey& key : kNamePartKeys) {
        QAction* pAction = menu.addAction(qvxui::LanguageText(key.pszKey, kInfoBuffer));
        pAction->setCheckable(true);
        pAction->setChecked(key.part == current);
        const NameKind part = key.part;
        connect(pAction, &QAction::triggered, this, [this, nRow, part] { SetNamePart(nRow, part); });
    }
    menu.exec(m_pList->viewport()->mapToGlobal(pos));
}

QString CMappingDlg::InfoText() const {
    return m_pInfo->text();
}

int CMappingDlg::OnReceiveCallback(unsigned, void*) {
    // The list reports on this dialog's thread; should a report ever come
    // from elsewhere, the label is updated where it lives.
    if (qvxui::IsOnThreadOf(this))
        UpdateInfo();
    else
        qvxui::PostToUiThread(this, [this] { UpdateInfo(); });
    return 0;
}

std::string CMappingDlg::NameBytes() const {
    const QString shown = m_pName->text();
    return FitLine(shown == m_nameShown ? m_nameBytes : shown.toUtf8().toStdString(), kNameBuffer);
}

std::string CMappingDlg::DescriptionBytes() const {
    const QString shown = m_pDescription->toPlainText();
    return FitLine(shown == m_descriptionShown ? m_descriptionBytes : shown.toUtf8().toStdString(),
                   kDescriptionBuffer);
}

bool CMappingDlg::SaveMapping() {
    if (m_pDataMap == nullptr) return false;
    const char* pszRule = FirstBrokenMappingRule(CountMappingCodes(*m_pDataMap, kRuleCodeBuffer));
    if (pszRule != nullptr) {
        qvxui::MessageBox(this, qvxui::LanguageText(pszRule, kMessageBuffer), qvxui::MsgIcon::None,
                          qvxui::MsgButtons::Ok, QString::fromLatin1(qvxui::kMessageCaption));
        return false;
    }

    qvxui::FileDialogOptions options;
    options.filter = QStringLiteral("*.map|*.map||");
    options.defaultSuffix = QStringLiteral("map");
    options.bOverwritePrompt = true;
    // Save As: no question before a new file is made, only before one is replaced.
    options.bCreatePrompt = false;
    const QString mappingPath = QFile::decodeName(m_szMappingPath);
    if (m_bNewMode) {
        options.startFolder = mappingPath;
        // A file of its own, named after the mapping, never another mapping's.
        std::vector<std::string> folders =
            qvxplatform::GetMappingFolders(qvxplatform::GetProgramFolder() + "/mappings");
        folders.push_back(m_szMappingPath);
        options.fileName = QFile::decodeName(ProposeMappingFileName(NameBytes(), folders).c_str());
    } else if (!mappingPath.isEmpty()) {
        options.fileName = mappingPath;
    } else {
        options.startFolder = QFile::decodeName((qvxplatform::GetUserMappingFolder() + "/").c_str());
    }
    QString chosen;
    if (!qvxui::GetSaveFileName(this, options, &chosen)) return false;

    const QByteArray path = QFile::encodeName(chosen);
    if (path.isEmpty() || static_cast<size_t>(path.size()) > kPathBuffer - 1) {
        // The caller keeps paths in 261 bytes: a longer one could not be used again.
        LOG_WARN(qvxlog::MapDlg, "SaveMapping() Open file(%s) failed !", path.constData());
        return false;
    }
    const std::string name = NameBytes();
    const std::string description = DescriptionBytes();
    if (!WriteMappingFile(path.constData(), *m_pDataMap, name.c_str(), description.c_str())) return false;

    qvxsupport::CopyCut(m_szFilePath, sizeof m_szFilePath, path.constData());
    const char* pszSlash = strrchr(m_szFilePath, '/');
    qvxsupport::CopyCut(m_szFileName, sizeof m_szFileName, pszSlash ? pszSlash + 1 : m_szFilePath);
    return true;
}

void CMappingDlg::accept() {
    if (!SaveMapping()) return;
    QDialog::accept();
}

bool CMappingDlg::AnchoredRect(const CtrlAnchor& a, int nClientWidth, int nClientHeight, QRect* pRect) {
    if ((!a.bTop && !a.bBottom) || (!a.bLeft && !a.bRight)) return false;
    int nTop = 0, nBottom = 0, nLeft = 0, nRight = 0;
    if (a.bTop) nTop = a.nTop;
    if (a.bBottom) nBottom = nClientHeight - a.nBottom;
    if (a.bLeft) nLeft = a.nLeft;
    if (a.bRight) nRight = nClientWidth - a.nRight;
    // A side that is not anchored keeps the control's size.
    if (!a.bTop) nTop = nBottom - a.nTop;
    if (!a.bLeft) nLeft = nRight - a.nLeft;
    if (!a.bBottom) nBottom = nTop + a.nBottom;
    if (!a.bRight) nRight = nLeft + a.nRight;
    if (pRect) *pRect = QRect(nLeft, nTop, nRight - nLeft, nBottom - nTop);
    return true;
}

void CMappingDlg::UpdateCtrlSpacing(QWidget* pCtrl, const CtrlAnchor& anchor, int nClientWidth,
                                    int nClientHeight) {
    QRect rect;
    if (!AnchoredRect(anchor, nClientWidth, nClientHeight, &rect)) {
        LOG_WARN(qvxlog::MapDlg,
                 "UpdateCtrlSpacing() Ctrl should be anchored at Top or Bottom and Left or Right");
        return;
    }
    if (!m_bLayoutReady || pCtrl == nullptr) return;
    pCtrl->setGeometry(rect);
    pCtrl->update();
}

void CMappingDlg::MeasureAnchors() {
    const int nWidth = width();
    const int nHeight = height();
    auto measure = [&](int nSlot, QWidget* pCtrl, bool bTop, bool bBottom, bool bLeft, bool bRight) {
        const QRect c = pCtrl->geometry();
        CtrlAnchor& a = m_anchors[nSlot].anchor;
        m_anchors[nSlot].pCtrl = pCtrl;
        a.bTop = bTop;
        a.bBottom = bBottom;
        a.bLeft = bLeft;
        a.bRight = bRight;
        a.nTop = bTop ? c.top() : c.height();
        a.nBottom = bBottom ? nHeight - (c.y() + c.height()) : c.height();
        a.nLeft = bLeft ? c.left() : c.width();
        a.nRight = bRight ? nWidth - (c.x() + c.width()) : c.width();
    };
    measure(0, m_pName, true, false, true, true);
    measure(1, m_pDescription, true, false, true, true);
    measure(2, m_pOk, false, true, false, true);
    measure(3, m_pCancel, false, true, false, true);
    measure(4, m_pList, true, true, true, true);
    measure(5, m_pInfo, false, true, true, true);
    measure(6, m_pPreview, false, true, true, false);
}

void CMappingDlg::resizeEvent(QResizeEvent* pEvent) {
    QDialog::resizeEvent(pEvent);
    if (!m_bLayoutReady) return;
    const QSize client = pEvent->size();
    for (const AnchoredCtrl& ctrl : m_anchors)
        UpdateCtrlSpacing(ctrl.pCtrl, ctrl.anchor, client.width(), client.height());
    m_pOk->update();
    m_pCancel->update();
}

void CMappingDlg::changeEvent(QEvent* pEvent) {
    QDialog::changeEvent(pEvent);
    if (pEvent->type() == QEvent::LanguageChange) UpdateTexts();
}

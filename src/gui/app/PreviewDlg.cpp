#include "gui/app/PreviewDlg.h"

#include <QCheckBox>
#include <QFont>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPalette>
#include <QPushButton>
#include <QResizeEvent>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <string>
#include <string_view>
#include <utility>

#include "gui/i18n/LanguageTextUi.h"
#include "gui/kit/DialogUi.h"
#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "import/DataRow.h"
#include "wizard/WizardState.h"

namespace {

// clang-format off
constexpr qvxui::DialogItem kLayout[] = {
    {CPreviewDlg::kIdCounts, 7, 7, 406, 34},
    {CPreviewDlg::kIdFilterLabel, 7, 48, 40, 12},
    {CPreviewDlg::kIdFilter, 50, 47, 180, 14},
    {CPreviewDlg::kIdShowSkipped, 240, 48, 173, 12},
    {CPreviewDlg::kIdTable, 7, 66, 406, 178},
    {CPreviewDlg::kIdClose, 358, 250, 55, 14},
};
// clang-format on
constexpr int kDialogWidth = 420;
constexpr int kDialogHeight = 271;
// Lines made for the rows shown are kept up to this many.
constexpr size_t kLinesKept = 600;

QString Text(std::string_view text) {
    QString out = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    // A cell shows one line: the lines of a value follow each other.
    out.replace(QStringLiteral("\r\n"), QStringLiteral(", "));
    out.replace(QLatin1Char('\n'), QStringLiteral(", "));
    out.replace(QLatin1Char('\r'), QStringLiteral(", "));
    return out;
}

QString Number(long long n) {
    return QLocale().toString(n);
}

std::string LinesOf(int nCount, const std::vector<int>& lines) {
    return qvxwizard::OnLinesText(nCount, lines);
}

}  // namespace

CPreviewModel::CPreviewModel(CImportPreview& preview, QObject* pParent)
    : QAbstractTableModel(pParent), m_preview(preview) {}

int CPreviewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_preview.GetCount();
}

int CPreviewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

void CPreviewModel::Relist() {
    beginResetModel();
    m_lines.clear();
    endResetModel();
}

const CPreviewModel::Line& CPreviewModel::LineAt(int nRow) const {
    auto found = m_lines.find(nRow);
    if (found != m_lines.end()) return found->second;
    if (m_lines.size() >= kLinesKept) m_lines.clear();
    CContactRow row;
    m_preview.Read(nRow, row);
    Line line;
    line.cells.resize(kColumns);
    line.cells[kLine] = Number(row.nLine);
    if (row.skip != qvxrules::SkipReason::kNone) {
        // A skipped row: the reason, and the cells it has.
        line.bSkipped = true;
        line.cells[kName] = qvxui::LanguageText(row.skip == qvxrules::SkipReason::kNameTooLong
                                                    ? qvxtext::kPreviewDlg_Skip_NameTooLong
                                                    : qvxtext::kPreviewDlg_Skip_NoName);
        const CContactRules& rules = m_preview.RulesAt(nRow);
        QStringList cells;
        const CDataRow* pRow = m_preview.RowAt(nRow);
        for (int j = 0; j < rules.GetColumnCount(); ++j) {
            const auto cell = pRow->PeekField(j);
            if (cell && !cell->empty())
                cells << Text(rules.GetHeader(j)) + QStringLiteral(": ") + Text(*cell);
        }
        line.cells[kOther] = cells.join(QStringLiteral("; "));
        return m_lines.emplace(nRow, std::move(line)).first->second;
    }
    line.cells[kName] = Text(row.contact.name);
    line.cells[kCompany] = Text(row.contact.company);
    // A phone number shows its dial number, whose row is keyed "qVx_" + its key.
    std::unordered_map<std::string_view, std::string_view> dial;
    for (const ContactDetailRow& detail : row.details.rows)
        if (detail.nPosition == qvxrules::kDialNumberPosition && detail.key.size() > 4)
            dial.emplace(detail.key.substr(4), detail.value);
    QStringList phones, emails, addresses, other;
    for (const ContactDetailRow& detail : row.details.rows) {
        if (detail.nPosition == qvxrules::kDialNumberPosition) continue;
        QString text = Text(detail.key) + QStringLiteral(": ") + Text(detail.value);
        if (detail.type == "PD") {
            const auto number = dial.find(detail.key);
            if (number != dial.end()) text += QStringLiteral(" (") + Text(number->second) + QLatin1Char(')');
            phones << text;
        } else if (detail.type == "E") {
            emails << text;
        } else if (detail.type == "L") {
            addresses << text;
        } else {
            other << text;
        }
    }
    line.cells[kPhones] = phones.join(QStringLiteral("; "));
    line.cells[kEmails] = emails.join(QStringLiteral("; "));
    line.cells[kAddresses] = addresses.join(QStringLiteral("; "));
    line.cells[kOther] = other.join(QStringLiteral("; "));
    return m_lines.emplace(nRow, std::move(line)).first->second;
}

QVariant CPreviewModel::data(const QModelIndex& index, int nRole) const {
    if (!index.isValid() || index.row() >= m_preview.GetCount() || index.column() >= kColumns) return {};
    if (nRole != Qt::DisplayRole && nRole != Qt::ToolTipRole && nRole != Qt::FontRole &&
        nRole != Qt::ForegroundRole && nRole != Qt::TextAlignmentRole)
        return {};
    const Line& line = LineAt(index.row());
    switch (nRole) {
        case Qt::DisplayRole:
            return line.cells[index.column()];
        case Qt::ToolTipRole: {
            QString text = line.cells[index.column()];
            return text.replace(QStringLiteral("; "), QStringLiteral("\n"));
        }
        case Qt::FontRole:
            if (line.bSkipped) {
                QFont font;
                font.setItalic(true);
                return font;
            }
            return {};
        case Qt::ForegroundRole:
            if (line.bSkipped) return QPalette().brush(QPalette::Disabled, QPalette::Text);
            return {};
        case Qt::TextAlignmentRole:
            if (index.column() == kLine) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
            return {};
        default:
            return {};
    }
}

QVariant CPreviewModel::headerData(int nSection, Qt::Orientation orientation, int nRole) const {
    if (orientation != Qt::Horizontal || nRole != Qt::DisplayRole) return {};
    static const char* const kKeys[kColumns] = {
        qvxtext::kPreviewDlg_Col_Line,   qvxtext::kPreviewDlg_Col_Name,   qvxtext::kPreviewDlg_Col_Company,
        qvxtext::kPreviewDlg_Col_Phones, qvxtext::kPreviewDlg_Col_Emails, qvxtext::kPreviewDlg_Col_Addresses,
        qvxtext::kPreviewDlg_Col_Other,
    };
    if (nSection < 0 || nSection >= kColumns) return {};
    return qvxui::LanguageText(kKeys[nSection]);
}

CPreviewDlg::CPreviewDlg(CDataMap& table, int nMismatched, std::vector<int> mismatchedLines, QWidget* pParent)
    : CPreviewDlg(std::make_unique<CImportPreview>(table, nMismatched, std::move(mismatchedLines)), pParent) {
}

CPreviewDlg::CPreviewDlg(std::unique_ptr<CImportPreview> pPreview, QWidget* pParent)
    : QDialog(pParent), m_pPreview(std::move(pPreview)) {
    setObjectName(QStringLiteral("PreviewDlg"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setSizeGripEnabled(true);
    qvxui::ApplyWindowTitleKey(this, qvxtext::kPreviewDlg_Title);

    m_pCounts = qvxui::Placed(new QLabel(this), kIdCounts, kLayout);
    m_pCounts->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_pCounts->setWordWrap(true);
    m_pFilterLabel = qvxui::Placed(new QLabel(this), kIdFilterLabel, kLayout);
    qvxui::ApplyTextKey(m_pFilterLabel, qvxtext::kPreviewDlg_Filter);
    m_pFilter = qvxui::Placed(new QLineEdit(this), kIdFilter, kLayout);
    m_pFilter->setClearButtonEnabled(true);
    m_pFilterLabel->setBuddy(m_pFilter);
    m_pShowSkipped = qvxui::Placed(new QCheckBox(this), kIdShowSkipped, kLayout);
    qvxui::ApplyTextKey(m_pShowSkipped, qvxtext::kPreviewDlg_ShowSkipped);
    m_pShowSkipped->setEnabled(m_pPreview->Tally().nSkipped > 0);
    m_pTable = qvxui::Placed(new QTableView(this), kIdTable, kLayout);
    m_pClose = qvxui::Placed(new QPushButton(this), kIdClose, kLayout);
    qvxui::ApplyTextKey(m_pClose, qvxtext::kPreviewDlg_Btn_Close);
    m_pClose->setDefault(true);

    m_pModel = new CPreviewModel(*m_pPreview, this);
    m_pTable->setModel(m_pModel);
    // Every line has the same height, so that the view never measures the rows.
    m_pTable->verticalHeader()->setVisible(false);
    m_pTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_pTable->verticalHeader()->setDefaultSectionSize(m_pTable->fontMetrics().height() + 6);
    m_pTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    m_pTable->setWordWrap(false);
    m_pTable->setTextElideMode(Qt::ElideRight);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->setAlternatingRowColors(true);
    const int nChar = m_pTable->fontMetrics().averageCharWidth();
    const int widths[CPreviewModel::kColumns] = {7, 34, 20, 44, 32, 40, 40};
    for (int c = 0; c < CPreviewModel::kColumns; ++c) m_pTable->setColumnWidth(c, widths[c] * nChar);
    // Neither the file's highest line number nor a skip reason of the
    // language shown is cut.
    const QFontMetrics metrics = m_pTable->fontMetrics();
    const int nPadding = 2 * nChar;
    int nHighestLine = 0;
    for (int nLine : m_pPreview->Tally().skippedLines) nHighestLine = std::max(nHighestLine, nLine);
    if (m_pPreview->GetCount() > 0) {
        CContactRow last;
        m_pPreview->Read(m_pPreview->GetCount() - 1, last);
        nHighestLine = std::max(nHighestLine, last.nLine);
    }
    m_pTable->setColumnWidth(CPreviewModel::kLine,
                             std::max(m_pTable->columnWidth(CPreviewModel::kLine),
                                      metrics.horizontalAdvance(Number(nHighestLine)) + nPadding));
    for (const char* pszReason : {qvxtext::kPreviewDlg_Skip_NoName, qvxtext::kPreviewDlg_Skip_NameTooLong})
        m_pTable->setColumnWidth(
            CPreviewModel::kName,
            std::max(m_pTable->columnWidth(CPreviewModel::kName),
                     metrics.horizontalAdvance(qvxui::LanguageText(pszReason)) + nPadding));

    m_pFilterTimer = new QTimer(this);
    m_pFilterTimer->setSingleShot(true);
    m_pFilterTimer->setInterval(kFilterDelayMs);
    connect(m_pFilterTimer, &QTimer::timeout, this, &CPreviewDlg::ApplyFilter);
    connect(m_pFilter, &QLineEdit::textChanged, m_pFilterTimer, qOverload<>(&QTimer::start));
    connect(m_pShowSkipped, &QCheckBox::toggled, this, [this](bool bShow) {
        m_pPreview->SetShowSkipped(bShow);
        m_pModel->Relist();
        UpdateCounts();
    });
    connect(m_pClose, &QPushButton::clicked, this, &QDialog::accept);

    resize(qvxui::DialogSizeToPixels(font(), kDialogWidth, kDialogHeight));
    setMinimumSize(qvxui::DialogSizeToPixels(font(), 300, 180));
    UpdateCounts();
}

// The base class hides the window after the preview it owns is gone; the
// table must not ask the model about it then.
CPreviewDlg::~CPreviewDlg() {
    hide();
    delete m_pModel;
    m_pModel = nullptr;
}

void CPreviewDlg::ApplyFilter() {
    m_pFilterTimer->stop();
    const QByteArray text = m_pFilter->text().trimmed().toUtf8();
    if (text.toStdString() == m_pPreview->Filter()) return;
    m_pPreview->SetFilter(std::string_view(text.constData(), static_cast<size_t>(text.size())));
    m_pModel->Relist();
    UpdateCounts();
}

void CPreviewDlg::UpdateCounts() {
    const ImportTally& tally = m_pPreview->Tally();
    auto format2 = [](const char* pszKey, const QString& first, const std::string& second) {
        return qvxui::FromLocalText(
            FormatTextWithStrings(GetText(pszKey, qvxui::kTextBuffer), first.toStdString(), second));
    };
    QStringList lines;
    lines << format2(qvxtext::kPreviewDlg_Counts, Number(tally.nContacts),
                     Number(tally.nDetails).toStdString());
    if (tally.nSkipped > 0)
        lines << format2(qvxtext::kPreviewDlg_Skipped, Number(tally.nSkipped),
                         LinesOf(tally.nSkipped, tally.skippedLines));
    if (m_pPreview->MismatchedCount() > 0)
        lines << format2(qvxtext::kPreviewDlg_Mismatched, Number(m_pPreview->MismatchedCount()),
                         LinesOf(m_pPreview->MismatchedCount(), m_pPreview->MismatchedLines()));
    if (tally.nNotStored > 0)
        lines << format2(qvxtext::kPreviewDlg_NotStored, Number(tally.nNotStored),
                         LinesOf(tally.nNotStoredRows, tally.notStoredLines));
    if (!m_pPreview->Filter().empty())
        lines << qvxui::FromLocalText(
            FormatTextWithString(GetText(qvxtext::kPreviewDlg_Shown, qvxui::kTextBuffer),
                                 Number(m_pPreview->GetCount()).toStdString()));
    m_pCounts->setText(lines.join(QLatin1Char('\n')));
    Relayout();
}

void CPreviewDlg::resizeEvent(QResizeEvent* pEvent) {
    QDialog::resizeEvent(pEvent);
    Relayout();
}

void CPreviewDlg::Relayout() {
    // The counts take the lines they need; the filter row and the table
    // follow below them, the table and Close follow the right and lower edges.
    const QSize size = this->size();
    const QFont& f = font();
    const QRect close = qvxui::DialogUnitsToPixels(f, 358, 250, 55, 14);
    const QRect counts = qvxui::DialogUnitsToPixels(f, 7, 7, 406, 8);
    const QRect gap = qvxui::DialogUnitsToPixels(f, 0, 0, 7, 5);
    const int nWidth = size.width() - 2 * gap.width();
    const int nCounts = std::max(counts.height(), m_pCounts->heightForWidth(nWidth));
    m_pCounts->setGeometry(counts.left(), counts.top(), nWidth, nCounts);
    int y = counts.top() + nCounts + gap.height();
    auto place = [&](QWidget* pWidget, int nId) {
        for (const qvxui::DialogItem& item : kLayout) {
            if (item.nId != nId) continue;
            const QRect r = qvxui::DialogUnitsToPixels(f, item.x, item.y, item.cx, item.cy);
            pWidget->setGeometry(r.left(), y + (r.top() - qvxui::DialogUnitsToPixels(f, 0, 47, 0, 0).top()),
                                 r.width(), r.height());
        }
    };
    place(m_pFilterLabel, kIdFilterLabel);
    place(m_pFilter, kIdFilter);
    place(m_pShowSkipped, kIdShowSkipped);
    y = m_pFilter->geometry().bottom() + 1 + gap.height();
    m_pClose->move(size.width() - gap.width() - close.width(), size.height() - gap.width() - close.height());
    m_pTable->setGeometry(counts.left(), y, nWidth, m_pClose->y() - gap.height() - y);
}

#include "GuidePdf.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>
#include <QUrl>
#include <vector>

namespace qvxguide {
namespace {

// The widest picture, in the document's pixels (1/96 inch): a little less
// than the text width of an A4 page with 2 cm margins (17 cm).
constexpr qreal kMaxPictureWidth = 600;
// Pictures a little larger than on screen, so that their texts read as easily
// as the guide's own.
constexpr qreal kPictureScale = 1.1;

}  // namespace

QString PrepareGuideHtml(const QString& html, const std::map<QString, QImage>& shots, qreal unitsPerPixel) {
    QString result = html;
    static const QRegularExpression figure(
        QStringLiteral("<p class=\"figure\">\\s*<img src=\"shot:([a-z]+)\"[^>]*>.*?</p>"),
        QRegularExpression::DotMatchesEverythingOption);
    QString out;
    qsizetype nLast = 0;
    for (auto it = figure.globalMatch(result); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        out += result.mid(nLast, match.capturedStart() - nLast);
        nLast = match.capturedEnd();
        const auto shot = shots.find(match.captured(1));
        if (shot == shots.end()) continue;
        const QSizeF size = shot->second.deviceIndependentSize();
        const qreal width = qMin<qreal>(kMaxPictureWidth, size.width() * kPictureScale);
        const int nWidth = qRound(width * unitsPerPixel);
        const int nHeight = qRound(size.height() * width / qMax<qreal>(1, size.width()) * unitsPerPixel);
        QString paragraph = match.captured(0);
        paragraph.replace(QStringLiteral("<p class=\"figure\">"),
                          QStringLiteral("<p class=\"figure\" align=\"center\">"));
        paragraph.replace(QRegularExpression(QStringLiteral("<img src=\"shot:[a-z]+\"[^>]*>")),
                          QStringLiteral("<img src=\"shot:%1\" width=\"%2\" height=\"%3\">")
                              .arg(match.captured(1))
                              .arg(nWidth)
                              .arg(nHeight));
        out += paragraph;
    }
    out += result.mid(nLast);
    return out;
}

namespace {

bool BreaksBefore(const QTextFormat& format) {
    return (format.toFrameFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) != 0;
}

// A heading, or a line that introduces what follows (it ends in ':').
bool LeadsIn(const QTextBlock& block) {
    return block.blockFormat().headingLevel() > 0 || block.text().trimmed().endsWith(':');
}

// Starts a new page before a block, or before the lines that lead into it;
// false when a page starts there already.
bool BreakBefore(QTextBlock block) {
    for (QTextBlock before = block.previous(); before.isValid() && LeadsIn(before);
         before = before.previous())
        block = before;
    if (BreaksBefore(block.blockFormat())) return false;
    QTextCursor cursor(block);
    QTextBlockFormat format = block.blockFormat();
    format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    cursor.setBlockFormat(format);
    return true;
}

// The tables of a frame and of the frames within it.
void CollectTables(QTextFrame* pFrame, std::vector<QTextTable*>& tables) {
    for (QTextFrame* pChild : pFrame->childFrames()) {
        if (auto* pTable = qobject_cast<QTextTable*>(pChild)) tables.push_back(pTable);
        CollectTables(pChild, tables);
    }
}

// One change of the page breaks that keeps things together; false when
// everything already sits well.
bool MoveOneThing(QTextDocument& document) {
    const qreal pageHeight = document.pageSize().height();
    QAbstractTextDocumentLayout* pLayout = document.documentLayout();
    auto pageOf = [pageHeight](qreal y) { return static_cast<int>(y / pageHeight); };

    // A short table goes whole to the next page, with the line before it
    // (a page break on the table itself is not laid out well).
    std::vector<QTextTable*> tables;
    CollectTables(document.rootFrame(), tables);
    for (QTextTable* pTable : tables) {
        const QRectF rect = pLayout->frameBoundingRect(pTable);
        if (pageOf(rect.top()) == pageOf(rect.bottom() - 1)) continue;
        // A long table may be split, but not after its first row or two.
        const qreal firstPart = (pageOf(rect.top()) + 1) * pageHeight - rect.top();
        if (rect.height() > pageHeight / 2 && firstPart > pageHeight / 5) continue;
        const QTextBlock before = pTable->firstCursorPosition().block().previous();
        if (!before.isValid() || BreaksBefore(before.blockFormat())) continue;
        if (BreakBefore(before)) return true;
    }

    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (BreaksBefore(block.blockFormat())) continue;
        const QRectF rect = pLayout->blockBoundingRect(block);
        // A figure keeps its picture and caption together.
        if (block.text().contains(QChar::ObjectReplacementCharacter) &&
            pageOf(rect.top()) != pageOf(rect.bottom() - 1) && rect.height() < pageHeight / 2) {
            if (BreakBefore(block)) return true;
            continue;
        }
        // A line that leads in stays with the first line of what follows.
        const QTextBlock next = block.next();
        if (!LeadsIn(block) || !next.isValid() || !next.layout() || next.layout()->lineCount() == 0) continue;
        const QRectF nextRect = pLayout->blockBoundingRect(next);
        const QTextLine firstLine = next.layout()->lineAt(0);
        const qreal firstLineBottom = nextRect.top() + firstLine.y() + firstLine.height();
        if (pageOf(rect.top()) == pageOf(firstLineBottom)) continue;
        if (BreakBefore(block)) return true;
    }
    return false;
}

// Lays the document out on its pages and moves to the next page whatever
// would otherwise be torn apart: a heading from its text, a short table, a
// figure from its caption.
void KeepThingsTogether(QTextDocument& document) {
    for (int nRound = 0; nRound < 100 && MoveOneThing(document); ++nRound) {
    }
}

}  // namespace

bool PrintGuide(const QString& htmlPath, const std::map<QString, QImage>& shots, const QString& pdfPath,
                const QString& title, QString* pError) {
    QFile source(htmlPath);
    if (!source.open(QIODevice::ReadOnly)) {
        *pError = QStringLiteral("cannot read %1").arg(htmlPath);
        return false;
    }
    const QByteArray sourceBytes = source.readAll();

    // Written beside the target and renamed into place, so that a failed run
    // never leaves half a guide behind.
    QSaveFile file(pdfPath);
    if (!file.open(QIODevice::WriteOnly)) {
        *pError = QStringLiteral("cannot write %1").arg(pdfPath);
        return false;
    }
    QPdfWriter writer(&file);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    writer.setResolution(300);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("QVXWizard"));

    // Laid out in the writer's units, so that what is measured for the page
    // breaks is what is printed.
    QTextDocument document;
    document.documentLayout()->setPaintDevice(&writer);
    document.setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    document.setDefaultStyleSheet(
        QStringLiteral("h1 { font-size: 22pt; color: #1f4e79; }"
                       "h2 { font-size: 14pt; color: #1f4e79; margin-top: 18px; }"
                       "p.subtitle { font-size: 12pt; color: #555555; }"
                       "th { background-color: #e3e9f0; }"
                       "pre { font-size: 8pt; }"));
    for (const auto& [name, image] : shots)
        document.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("shot:") + name), image);
    // The layout takes lengths of the document (margins, picture sizes) in
    // screen units and scales them to the writer; the foot is drawn by hand
    // in the writer's own units.
    const QScreen* pScreen = QGuiApplication::primaryScreen();
    const qreal screenDpi = pScreen ? pScreen->logicalDotsPerInchY() : 96.0;
    document.setHtml(PrepareGuideHtml(QString::fromUtf8(sourceBytes), shots, screenDpi / 96.0));

    const qreal dpi = writer.logicalDpiY();
    const qreal margin = 2.0 / 2.54 * dpi;     // 2 cm
    const qreal footerGap = 0.6 / 2.54 * dpi;  // foot line below the text
    QTextFrameFormat rootFormat = document.rootFrame()->frameFormat();
    rootFormat.setMargin(2.0 / 2.54 * screenDpi);
    document.rootFrame()->setFrameFormat(rootFormat);
    const QSizeF page(writer.width(), writer.height());
    document.setPageSize(page);
    KeepThingsTogether(document);

    QPainter painter;
    if (!painter.begin(&writer)) {
        *pError = QStringLiteral("cannot print %1").arg(pdfPath);
        return false;
    }
    QFont footerFont(QStringLiteral("DejaVu Sans"), 8);
    const int nPages = document.pageCount();
    for (int i = 0; i < nPages; ++i) {
        if (i > 0) writer.newPage();
        painter.save();
        const QRectF view(0, i * page.height(), page.width(), page.height());
        painter.translate(0, -view.top());
        painter.setClipRect(view);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = view;
        context.palette.setColor(QPalette::Text, Qt::black);
        document.documentLayout()->draw(&painter, context);
        painter.restore();

        // Foot: a thin line, the guide's title on the left, the page number on the right.
        const qreal footTop = page.height() - margin + footerGap;
        painter.setPen(QPen(QColor(0x99, 0xa3, 0xad), dpi / 144.0));
        painter.drawLine(QPointF(margin, footTop), QPointF(page.width() - margin, footTop));
        painter.setFont(footerFont);
        painter.setPen(QColor(0x55, 0x55, 0x55));
        const QRectF foot(margin, footTop + dpi / 24.0, page.width() - 2 * margin, dpi / 4.0);
        painter.drawText(foot, Qt::AlignLeft | Qt::AlignTop, title);
        painter.drawText(foot, Qt::AlignRight | Qt::AlignTop,
                         QStringLiteral("%1 / %2").arg(i + 1).arg(nPages));
    }
    if (!painter.end() || !file.commit()) {
        *pError = QStringLiteral("cannot write %1").arg(pdfPath);
        return false;
    }
    return true;
}

}  // namespace qvxguide

#include "GuidePdf.h"

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextDocument>
#include <QUrl>

namespace qvxguide {
namespace {

// The widest picture, in the document's pixels (1/96 inch): a little less
// than the text width of an A4 page with 2 cm margins (17 cm).
constexpr int kMaxPictureWidth = 600;

}  // namespace

QString PrepareGuideHtml(const QString& html, const std::map<QString, QImage>& shots) {
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
        const int nWidth = qMin(kMaxPictureWidth, qRound(size.width()));
        const int nHeight = qRound(size.height() * nWidth / qMax<qreal>(1, size.width()));
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

bool PrintGuide(const QString& htmlPath, const std::map<QString, QImage>& shots, const QString& pdfPath,
                const QString& title, QString* pError) {
    QFile source(htmlPath);
    if (!source.open(QIODevice::ReadOnly)) {
        *pError = QStringLiteral("cannot read %1").arg(htmlPath);
        return false;
    }
    const QString html = PrepareGuideHtml(QString::fromUtf8(source.readAll()), shots);

    QTextDocument document;
    document.setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    document.setDefaultStyleSheet(
        QStringLiteral("h1 { font-size: 22pt; color: #1f4e79; }"
                       "h2 { font-size: 14pt; color: #1f4e79; margin-top: 18px; }"
                       "p.subtitle { font-size: 12pt; color: #555555; }"
                       "th { background-color: #e3e9f0; }"
                       "pre { font-size: 8pt; }"));
    for (const auto& [name, image] : shots)
        document.addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("shot:") + name), image);
    document.setHtml(html);

    // Written beside the target and renamed into place, so that a failed run
    // never leaves half a guide behind.
    QSaveFile file(pdfPath);
    if (!file.open(QIODevice::WriteOnly)) {
        *pError = QStringLiteral("cannot write %1").arg(pdfPath);
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
        writer.setResolution(300);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("QVXWizard"));
        // With no page size of its own the document takes the writer's page,
        // keeps 2 cm margins and numbers the pages.
        document.print(&writer);
    }
    if (!file.commit()) {
        *pError = QStringLiteral("cannot write %1").arg(pdfPath);
        return false;
    }
    return true;
}

}  // namespace qvxguide

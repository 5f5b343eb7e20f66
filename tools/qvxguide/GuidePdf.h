// Prints a user guide from its HTML source and the dialog pictures into a PDF
// file: A4, 2 cm margins, the title and the page number at the foot of each page;
// headings, figures and short tables are not torn apart by a page end.
//
// A picture is placed in the source as a paragraph of its own:
//   <p class="figure"><img src="shot:main"><br><i>caption</i></p>
// A picture that is missing takes its whole paragraph with it.
#pragma once

#include <QImage>
#include <QString>
#include <map>

namespace qvxguide {

// The source with the figures of missing pictures removed and each picture
// given its size in document units (unitsPerPixel of them to a 1/96 inch),
// at most about the text width.
QString PrepareGuideHtml(const QString& html, const std::map<QString, QImage>& shots, qreal unitsPerPixel);

// False with a reason when the source cannot be read or the PDF not written.
bool PrintGuide(const QString& htmlPath, const std::map<QString, QImage>& shots, const QString& pdfPath,
                const QString& title, QString* pError);

}  // namespace qvxguide

#include "gui/controls/ButtonIcons.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>

// The resources live in a static library: their registration must be pulled
// in explicitly, and outside any namespace.
static void InitPictureResources() {
    Q_INIT_RESOURCE(qvxwizard);
}

namespace qvxicons {
namespace {

struct PictureEntry {
    int nId;
    const char* pszPath;
    int nWidth;
    int nHeight;
};

constexpr PictureEntry kPictures[] = {
    {kProgramIcon, ":/icons/program.svg", 64, 64},
    {kBrowse, ":/icons/browse.svg", 16, 16},
    {kEdit, ":/icons/edit.svg", 16, 16},
    {kCreate, ":/icons/create.svg", 16, 16},
    {kEditDisabled, ":/icons/edit_disabled.svg", 16, 16},
    {kBrowseDisabled, ":/icons/browse_disabled.svg", 16, 16},
    {kCreateDisabled, ":/icons/create_disabled.svg", 16, 16},
    {kProductPicture, ":/icons/product_picture.svg", 272, 60},
    {kProductNamePicture, ":/icons/product_name.svg", 200, 22},
    {kOk, ":/icons/ok.svg", 16, 16},
    {kCancel, ":/icons/cancel.svg", 16, 16},
    {kCancelDisabled, ":/icons/cancel_disabled.svg", 16, 16},
    {kOkDisabled, ":/icons/ok_disabled.svg", 16, 16},
    {kHelp, ":/icons/help.svg", 16, 16},
    {kHelpDisabled, ":/icons/help_disabled.svg", 16, 16},
    {kWeb, ":/icons/web.svg", 16, 16},
    {kWebDisabled, ":/icons/web_disabled.svg", 16, 16},
    {kComplete, ":/icons/complete.svg", 16, 16},
    {kCompleteDisabled, ":/icons/complete_disabled.svg", 16, 16},
    {kCopy, ":/icons/copy.svg", 16, 16},
    {kCopyDisabled, ":/icons/copy_disabled.svg", 16, 16},
};

const PictureEntry* Find(int nId) {
    static const bool bRegistered = (InitPictureResources(), true);
    (void)bRegistered;
    for (const PictureEntry& e : kPictures)
        if (e.nId == nId) return &e;
    return nullptr;
}

}  // namespace

QString ResourcePath(int nId) {
    const PictureEntry* pEntry = Find(nId);
    return pEntry ? QString::fromLatin1(pEntry->pszPath) : QString();
}

QSize NaturalSize(int nId) {
    const PictureEntry* pEntry = Find(nId);
    return pEntry ? QSize(pEntry->nWidth, pEntry->nHeight) : QSize();
}

QPixmap RenderPicture(int nId, QSize size, qreal dDevicePixelRatio) {
    const PictureEntry* pEntry = Find(nId);
    if (!pEntry) return QPixmap();
    if (!size.isValid() || size.isEmpty()) size = QSize(pEntry->nWidth, pEntry->nHeight);
    if (!(dDevicePixelRatio > 0.0)) dDevicePixelRatio = 1.0;

    QSvgRenderer renderer(QString::fromLatin1(pEntry->pszPath));
    if (!renderer.isValid()) return QPixmap();
    const QSize device(static_cast<int>(std::ceil(size.width() * dDevicePixelRatio)),
                       static_cast<int>(std::ceil(size.height() * dDevicePixelRatio)));
    QPixmap pixmap(device);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(device)));
    }
    pixmap.setDevicePixelRatio(dDevicePixelRatio);
    return pixmap;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int nSize : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(RenderPicture(kProgramIcon, QSize(nSize, nSize), 1.0));
    return icon;
}

}  // namespace qvxicons

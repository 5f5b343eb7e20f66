#include "gui/kit/DialogUi.h"

#include <QFontMetrics>
#include <QWidget>
#include <cstring>

#include "support/Utf8.h"

namespace qvxui {
namespace {

// a * b / c rounded half away from zero, without overflow for dialog sizes.
int MulDivRound(int a, int b, int c) {
    if (c == 0) return 0;
    const long long nProduct = static_cast<long long>(a) * b;
    const long long nHalf = c / 2;
    const long long nResult = nProduct >= 0 ? (nProduct + nHalf) / c : (nProduct - nHalf) / c;
    return static_cast<int>(nResult);
}

}  // namespace

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    // Dialog templates are measured in the mean width of the 52 Latin
    // letters, rounded as the templates' own platform does; the font's
    // "average character width" is a narrower figure and would cut captions.
    const QFontMetrics fm(font);
    static const QString kLetters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int nWidth = (fm.horizontalAdvance(kLetters) / 26 + 1) / 2;
    return DialogBaseUnits{nWidth > 0 ? nWidth : fm.averageCharWidth(), fm.height()};
}

QRect DialogUnitsToPixels(const DialogBaseUnits& base, int x, int y, int cx, int cy) {
    return QRect(MulDivRound(x, base.nCharWidth, 4), MulDivRound(y, base.nLineHeight, 8),
                 MulDivRound(cx, base.nCharWidth, 4), MulDivRound(cy, base.nLineHeight, 8));
}

QRect DialogUnitsToPixels(const QFont& font, int x, int y, int cx, int cy) {
    return DialogUnitsToPixels(BaseUnitsOf(font), x, y, cx, cy);
}

QSize DialogSizeToPixels(const QFont& font, int cx, int cy) {
    return DialogUnitsToPixels(font, 0, 0, cx, cy).size();
}

void PlaceByDialogUnits(QWidget* pWidget, int x, int y, int cx, int cy) {
    if (!pWidget) return;
    const QWidget* pParent = pWidget->parentWidget();
    pWidget->setGeometry(DialogUnitsToPixels(pParent ? pParent->font() : pWidget->font(), x, y, cx, cy));
}

void PlaceDialogItem(QWidget* pControl, int nId, std::span<const DialogItem> layout) {
    if (!pControl) return;
    pControl->setObjectName(QString::number(nId));
    for (const DialogItem& item : layout) {
        if (item.nId == nId) PlaceByDialogUnits(pControl, item.x, item.y, item.cx, item.cy);
    }
}

QString FromLocalText(const char* pText, size_t nLength) {
    if (!pText || nLength == 0) return QString();
    return QString::fromUtf8(pText, static_cast<qsizetype>(qvxsupport::CompleteUtf8Length(pText, nLength)));
}

QString FromLocalText(const char* pszText) {
    return pszText ? FromLocalText(pszText, strlen(pszText)) : QString();
}

QString FromLocalText(const std::string& text) {
    return FromLocalText(text.data(), text.size());
}

}  // namespace qvxui

#include "ui/DialogUi.h"

#include <QFontMetrics>
#include <QWidget>
#include <cstring>
#include <mutex>

#include "platform/ShellOpen.h"

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

// Bytes to keep so that the text does not end inside a UTF-8 sequence.
size_t CompleteUtf8Length(const char* p, size_t n) {
    size_t nLead = n;
    int nBack = 0;
    while (nLead > 0 && nBack < 4) {
        const unsigned char c = static_cast<unsigned char>(p[nLead - 1]);
        if ((c & 0xC0) != 0x80) break;
        --nLead;
        ++nBack;
    }
    if (nLead == 0) return n;
    const unsigned char lead = static_cast<unsigned char>(p[nLead - 1]);
    size_t nNeeded = 1;
    if ((lead & 0xE0) == 0xC0)
        nNeeded = 2;
    else if ((lead & 0xF0) == 0xE0)
        nNeeded = 3;
    else if ((lead & 0xF8) == 0xF0)
        nNeeded = 4;
    else
        return n;  // ASCII or an invalid byte: nothing is cut off
    const size_t nHave = n - (nLead - 1);
    return nHave < nNeeded ? nLead - 1 : n;
}

std::mutex g_openerLock;
ShellOpener g_opener;

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

QString FromLocalText(const char* pText, size_t nLength) {
    if (!pText || nLength == 0) return QString();
    return QString::fromUtf8(pText, static_cast<qsizetype>(CompleteUtf8Length(pText, nLength)));
}

QString FromLocalText(const char* pszText) {
    return pszText ? FromLocalText(pszText, strlen(pszText)) : QString();
}

QString FromLocalText(const std::string& text) {
    return FromLocalText(text.data(), text.size());
}

void SetShellOpener(ShellOpener opener) {
    std::lock_guard<std::mutex> lock(g_openerLock);
    g_opener = std::move(opener);
}

int OpenWithShell(const std::string& address) {
    ShellOpener opener;
    {
        std::lock_guard<std::mutex> lock(g_openerLock);
        opener = g_opener;
    }
    return opener ? opener(address) : qvxplatform::OpenAddress(address);
}

}  // namespace qvxui

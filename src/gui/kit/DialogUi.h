// Small pieces every dialog shares: laying controls out by dialog units and
// turning the program's byte texts into texts to show.
//
// Dialog units follow the dialog font: x units are a quarter of the average
// character width, y units an eighth of the line height, each value rounded
// to the nearest pixel on its own (as dialog templates are converted).
//
//   qvxui::PlaceByDialogUnits(m_pBrowse, 204, 27, 15, 14);
//   resize(qvxui::DialogSizeToPixels(font(), 268, 175));
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <span>
#include <string>

class QWidget;

namespace qvxui {

struct DialogBaseUnits {
    int nCharWidth = 0;   // average character width in pixels
    int nLineHeight = 0;  // line height in pixels
};

DialogBaseUnits BaseUnitsOf(const QFont& font);
QRect DialogUnitsToPixels(const DialogBaseUnits& base, int x, int y, int cx, int cy);
QRect DialogUnitsToPixels(const QFont& font, int x, int y, int cx, int cy);
QSize DialogSizeToPixels(const QFont& font, int cx, int cy);
// Sets the widget's geometry from a template rectangle, measured with the
// font of its parent (the dialog's font); a widget without parent uses its own.
void PlaceByDialogUnits(QWidget* pWidget, int x, int y, int cx, int cy);

// One control of a dialog template: its id, which becomes its object name,
// and its place in dialog units. Each dialog keeps its controls in one
// constant table:
//
//   constexpr qvxui::DialogItem kLayout[] = {{kIdOk, 77, 122, 40, 14}, ...};
//   m_pOk = qvxui::Placed(new CIconButton(this), kIdOk, kLayout);
struct DialogItem {
    int nId;
    int x, y, cx, cy;
};
// Names the control after its id and places it where the table lists that
// id; a control the table does not list keeps its geometry.
void PlaceDialogItem(QWidget* pControl, int nId, std::span<const DialogItem> layout);
template <class Control>
Control* Placed(Control* pControl, int nId, std::span<const DialogItem> layout) {
    PlaceDialogItem(pControl, nId, layout);
    return pControl;
}

// Program texts (bytes in the locale's multibyte set, UTF-8) as Qt texts. A
// multibyte character cut off at the end of a fixed buffer is dropped rather
// than shown as a replacement mark; invalid bytes elsewhere show as U+FFFD.
QString FromLocalText(const char* pszText);
QString FromLocalText(const std::string& text);
QString FromLocalText(const char* pText, size_t nLength);

}  // namespace qvxui

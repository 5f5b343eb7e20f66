// CIconButton: the push button of every dialog. It draws itself flat with a
// 16 x 16 icon beside its caption (or centred without one), lights up with a
// raised border while the mouse is over it, sinks while pressed, shows a
// second icon and an embossed caption while disabled, and carries a tool tip.
//
// Colours, by index: 0/1 background/text while hovered or pressed, 2/3 normal,
// 4/5 focused (the caption is drawn in 1 or 3; 5 is only stored). They start
// as the palette's Button / ButtonText and return to them when the
// application palette changes. Dialogs usually call
//     SetButtonIcons(qvxicons::kOk, qvxicons::kOkDisabled);
//     OffsetButtonColour(0, 30);
//     SetButtonTooltip(text);
// A double click counts as two clicks.
#pragma once

#include <QColor>
#include <QCursor>
#include <QPixmap>
#include <QPoint>
#include <QPushButton>
#include <QString>
#include <optional>

class CIconButton : public QPushButton {
    Q_OBJECT

public:
    enum Result { kOk = 0, kInvalidResource = 2, kInvalidIndex = 3, kBadParam = 5 };
    enum ColourIndex {
        kColourBackHover = 0,
        kColourTextHover = 1,
        kColourBackNormal = 2,
        kColourTextNormal = 3,
        kColourBackFocus = 4,
        kColourTextFocus = 5,
        kColourCount = 6
    };
    enum Alignment { kIconLeft = 0, kIconAbove = 1, kIconRight = 2 };

    explicit CIconButton(QWidget* pParent = nullptr);
    explicit CIconButton(const QString& caption, QWidget* pParent = nullptr);
    ~CIconButton() override;

    // Loads both icons (ids of controls/ButtonIcons.h); the normal icon also
    // serves the hovered state. An id without a picture leaves its slot empty
    // and gives kInvalidResource; 0 as disabled id means none.
    int SetButtonIcons(int nNormalId, int nDisabledId);
    // The same with pictures at hand; a null pixmap clears a slot.
    void SetButtonPixmaps(const QPixmap& normal, const QPixmap& disabled);
    int NormalIconId() const { return m_nNormalId; }
    int DisabledIconId() const { return m_nDisabledId; }

    int SetButtonColour(int nIndex, const QColor& colour, bool bRepaint = true);
    // Adds nAmount to red, green and blue, first limited so that no part
    // leaves 0..255. kInvalidIndex for an index outside 0..5, kBadParam for
    // an amount outside -255..255.
    int OffsetButtonColour(int nIndex, int nAmount, bool bRepaint = true);
    QColor GetButtonColour(int nIndex) const;
    // Back to the palette's Button / ButtonText for all six.
    void SetDefaultColours(bool bRepaint = true);

    // Sets the tool tip text; with bActivate false the text is kept but no
    // tip shows. An empty text changes nothing.
    void SetButtonTooltip(const QString& text, bool bActivate = true);
    QString GetButtonTooltip() const { return m_tooltip; }
    bool IsTooltipActive() const { return m_bTooltipActive; }

    void SetFlatStyle(bool bFlat);
    bool IsFlatStyle() const { return m_bFlat; }
    void SetDrawBorder(bool bDraw) {
        m_bDrawBorder = bDraw;
        update();
    }
    void SetDrawFlatFocus(bool bDraw) {
        m_bDrawFlatFocus = bDraw;
        update();
    }
    // Show the hover state also while the dialog is not the active window.
    void SetAlwaysTrack(bool bAlways) { m_bAlwaysTrack = bAlways; }
    void SetIconAlignment(Alignment eAlign);
    Alignment GetIconAlignment() const { return m_eAlign; }
    void SetIconGap(int nGap);
    void SetPressedOffset(QPoint offset);
    // A cursor to show over the button; none restores the ordinary one.
    void SetButtonCursor(const std::optional<QCursor>& cursor);

    bool IsHovered() const { return m_bHovered; }
    // Which picture and colours the next paint uses; for owners and tests.
    enum IconSlot { kSlotNone, kSlotHover, kSlotNormal, kSlotDisabled };
    IconSlot CurrentIconSlot() const;
    QColor CurrentBackColour() const;
    QColor CurrentTextColour() const;
    // Where icon and caption go inside the button for the current state.
    QRect IconRect() const;
    QRect CaptionRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* pEvent) override;
    void leaveEvent(QEvent* pEvent) override;
    void focusOutEvent(QFocusEvent* pEvent) override;
    void hideEvent(QHideEvent* pEvent) override;
    void changeEvent(QEvent* pEvent) override;
    bool event(QEvent* pEvent) override;

private:
    void Init();
    void CancelHover();
    void DrawFrames(QPainter& painter, QRect& rect) const;
    void Layout(const QRect& client, QRect* pIcon, QRect* pCaption) const;
    QPixmap SlotPixmap(IconSlot eSlot) const;

    QPixmap m_hoverIcon;
    QPixmap m_normalIcon;
    QPixmap m_disabledIcon;
    int m_nNormalId = 0;
    int m_nDisabledId = 0;
    QColor m_colours[kColourCount];
    QRgb m_systemFace = 0;  // the application's colours the six were last reset to
    QRgb m_systemText = 0;
    bool m_bFlat = true;
    bool m_bDrawBorder = true;
    bool m_bDrawFlatFocus = false;
    bool m_bAlwaysTrack = true;
    Alignment m_eAlign = kIconLeft;
    int m_nGap = 3;
    QPoint m_pressedOffset{1, 1};
    bool m_bHovered = false;
    bool m_bPressSeen = false;
    std::optional<QCursor> m_cursor;
    QString m_tooltip;
    bool m_bTooltipActive = false;
};

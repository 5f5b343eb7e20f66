#include "gui/controls/IconButton.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTextLayout>
#include <QToolTip>
#include <algorithm>

#include "gui/controls/ButtonIcons.h"

namespace {

constexpr int kIconSide = 16;

// Top and left lines in one colour, bottom and right in the other, each one
// pixel wide along the rectangle's inside edge.
void Draw3dRect(QPainter& painter, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    if (r.width() <= 0 || r.height() <= 0) return;
    painter.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
}

// Tips are at most this wide; longer texts are broken at word boundaries.
constexpr int kMaxTipWidth = 400;

QString WrapTip(const QString& text) {
    const QFont font = QToolTip::font();
    const QFontMetrics fm(font);
    QStringList lines;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        if (fm.horizontalAdvance(paragraph) <= kMaxTipWidth) {
            lines << paragraph;
            continue;
        }
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(kMaxTipWidth);
            lines << paragraph.mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
    }
    return lines.join(QLatin1Char('\n'));
}

QPixmap IconFromId(int nId, qreal dRatio) {
    if (nId <= 0) return QPixmap();
    return qvxicons::RenderPicture(nId, qvxicons::NaturalSize(nId), dRatio);
}

}  // namespace

CIconButton::CIconButton(QWidget* pParent) : QPushButton(pParent) {
    Init();
}

CIconButton::CIconButton(const QString& caption, QWidget* pParent) : QPushButton(caption, pParent) {
    Init();
}

CIconButton::~CIconButton() = default;

void CIconButton::Init() {
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover, false);
    SetDefaultColours(false);
}

int CIconButton::SetButtonIcons(int nNormalId, int nDisabledId) {
    const qreal dRatio = devicePixelRatioF();
    m_nNormalId = nNormalId;
    m_nDisabledId = nDisabledId;
    m_normalIcon = IconFromId(nNormalId, dRatio);
    m_hoverIcon = m_normalIcon;
    m_disabledIcon = IconFromId(nDisabledId, dRatio);
    updateGeometry();
    update();
    const bool bNormalOk = !m_normalIcon.isNull();
    const bool bDisabledOk = nDisabledId == 0 || !m_disabledIcon.isNull();
    return bNormalOk && bDisabledOk ? kOk : kInvalidResource;
}

void CIconButton::SetButtonPixmaps(const QPixmap& normal, const QPixmap& disabled) {
    m_nNormalId = 0;
    m_nDisabledId = 0;
    m_normalIcon = normal;
    m_hoverIcon = normal;
    m_disabledIcon = disabled;
    updateGeometry();
    update();
}

int CIconButton::SetButtonColour(int nIndex, const QColor& colour, bool bRepaint) {
    if (nIndex < 0 || nIndex >= kColourCount) return kInvalidIndex;
    m_colours[nIndex] = colour.toRgb();
    if (bRepaint) update();
    return kOk;
}

int CIconButton::OffsetButtonColour(int nIndex, int nAmount, bool bRepaint) {
    if (nIndex < 0 || nIndex >= kColourCount) return kInvalidIndex;
    if (nAmount < -255 || nAmount > 255) return kBadParam;
    const QColor c = m_colours[nIndex];
    const int r = c.red(), g = c.green(), b = c.blue();
    if (nAmount > 0)
        nAmount = std::min({nAmount, 255 - r, 255 - g, 255 - b});
    else
        nAmount = std::max({nAmount, -r, -g, -b});
    m_colours[nIndex] = QColor(r + nAmount, g + nAmount, b + nAmount);
    if (bRepaint) update();
    return kOk;
}

QColor CIconButton::GetButtonColour(int nIndex) const {
    if (nIndex < 0 || nIndex >= kColourCount) return QColor();
    return m_colours[nIndex];
}

void CIconButton::SetDefaultColours(bool bRepaint) {
    const QPalette app = QApplication::palette(this);
    m_systemFace = app.color(QPalette::Active, QPalette::Button).rgb();
    m_systemText = app.color(QPalette::Active, QPalette::ButtonText).rgb();
    const QColor face = palette().color(QPalette::Active, QPalette::Button).toRgb();
    const QColor text = palette().color(QPalette::Active, QPalette::ButtonText).toRgb();
    for (int i = 0; i < kColourCount; i += 2) {
        m_colours[i] = face;
        m_colours[i + 1] = text;
    }
    if (bRepaint) update();
}

void CIconButton::SetButtonTooltip(const QString& text, bool bActivate) {
    if (text.isEmpty()) return;
    m_tooltip = text;
    m_bTooltipActive = bActivate;
    setToolTip(bActivate ? WrapTip(text) : QString());
}

void CIconButton::SetFlatStyle(bool bFlat) {
    m_bFlat = bFlat;
    if (!bFlat) m_bHovered = false;
    update();
}

void CIconButton::SetIconAlignment(Alignment eAlign) {
    if (eAlign < kIconLeft || eAlign > kIconRight) return;
    m_eAlign = eAlign;
    updateGeometry();
    update();
}

void CIconButton::SetIconGap(int nGap) {
    m_nGap = std::clamp(nGap, 0, 64);
    updateGeometry();
    update();
}

void CIconButton::SetPressedOffset(QPoint offset) {
    m_pressedOffset = QPoint(std::clamp(offset.x(), -8, 8), std::clamp(offset.y(), -8, 8));
    update();
}

void CIconButton::SetButtonCursor(const std::optional<QCursor>& cursor) {
    m_cursor = cursor;
    if (cursor)
        setCursor(*cursor);
    else
        unsetCursor();
}

CIconButton::IconSlot CIconButton::CurrentIconSlot() const {
    if (m_normalIcon.isNull() && m_hoverIcon.isNull() && m_disabledIcon.isNull()) return kSlotNone;
    if (!isEnabled()) return kSlotDisabled;
    const bool bLit = isCheckable() ? (isChecked() || isDown()) : (isDown() || m_bHovered);
    if (bLit && !m_hoverIcon.isNull()) return kSlotHover;
    return m_normalIcon.isNull() ? kSlotHover : kSlotNormal;
}

QPixmap CIconButton::SlotPixmap(IconSlot eSlot) const {
    switch (eSlot) {
        case kSlotHover:
            return m_hoverIcon;
        case kSlotNormal:
            return m_normalIcon;
        case kSlotDisabled:
            if (!m_disabledIcon.isNull()) return m_disabledIcon;
            // Without a disabled picture the normal one is greyed by the style.
            if (!m_normalIcon.isNull()) {
                QStyleOption option;
                option.initFrom(this);
                return style()->generatedIconPixmap(QIcon::Disabled, m_normalIcon, &option);
            }
            return QPixmap();
        case kSlotNone:
            break;
    }
    return QPixmap();
}

QColor CIconButton::CurrentBackColour() const {
    if ((m_bHovered && isEnabled()) || isDown()) return m_colours[kColourBackHover];
    if (hasFocus()) return m_colours[kColourBackFocus];
    return m_colours[kColourBackNormal];
}

QColor CIconButton::CurrentTextColour() const {
    if ((m_bHovered && isEnabled()) || isDown()) return m_colours[kColourTextHover];
    return m_colours[kColourTextNormal];
}

void CIconButton::Layout(const QRect& client, QRect* pIcon, QRect* pCaption) const {
    const IconSlot eSlot = CurrentIconSlot();
    const QPixmap pixmap = SlotPixmap(eSlot);
    QRect caption = client;
    QRect icon;
    if (!pixmap.isNull()) {
        const QSize size = (pixmap.deviceIndependentSize()).toSize();
        const int w = size.width(), h = size.height();
        const bool bCaption = !text().isEmpty();
        const int xCentre = client.left() + (client.width() - w) / 2;
        const int yCentre = client.top() + (client.height() - h) / 2;
        switch (m_eAlign) {
            case kIconAbove:
                if (bCaption) {
                    icon = QRect(xCentre, client.top() + m_nGap, w, h);
                    caption.setTop(icon.bottom() + 1 + m_nGap);
                } else {
                    icon = QRect(xCentre, yCentre, w, h);
                }
                break;
            case kIconRight:
                if (bCaption) {
                    icon = QRect(client.right() + 1 - m_nGap - w, yCentre, w, h);
                    caption.setRight(icon.left() - 1 - m_nGap);
                } else {
                    icon = QRect(xCentre, yCentre, w, h);
                }
                break;
            case kIconLeft:
            default:
                if (bCaption) {
                    icon = QRect(client.left() + m_nGap, yCentre, w, h);
                    caption.setLeft(icon.right() + 1 + m_nGap);
                } else {
                    icon = QRect(xCentre, yCentre, w, h);
                }
                break;
        }
    }
    if (isDown() && !isCheckable()) {
        icon.translate(m_pressedOffset);
        caption.translate(m_pressedOffset);
    }
    if (pIcon) *pIcon = icon;
    if (pCaption) *pCaption = caption;
}

QRect CIconButton::IconRect() const {
    QRect icon;
    Layout(rect(), &icon, nullptr);
    return icon;
}

QRect CIconButton::CaptionRect() const {
    QRect caption;
    Layout(rect(), nullptr, &caption);
    return caption;
}

void CIconButton::DrawFrames(QPainter& painter, QRect& rect) const {
    const QPalette& pal = palette();
    const bool bPressed = isDown() || (isCheckable() && isChecked());
    const bool bHover = m_bHovered && isEnabled();

    if (!m_bFlat && (hasFocus() || isDefault())) {
        painter.setPen(Qt::black);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
        rect.adjust(1, 1, -1, -1);
    }

    painter.fillRect(rect, CurrentBackColour());

    const QColor highlight = pal.color(QPalette::Light);
    const QColor light = pal.color(QPalette::Midlight);
    const QColor shadow = pal.color(QPalette::Dark);
    const QColor darkShadow = pal.color(QPalette::Shadow);
    if (bPressed) {
        if (!m_bFlat) {
            painter.setPen(shadow);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(rect.adjusted(0, 0, -1, -1));
        } else if (m_bDrawBorder) {
            Draw3dRect(painter, rect, shadow, highlight);
        }
    } else if (!m_bFlat) {
        Draw3dRect(painter, rect, highlight, darkShadow);
        Draw3dRect(painter, rect.adjusted(1, 1, -1, -1), light, shadow);
    } else if (bHover && m_bDrawBorder) {
        Draw3dRect(painter, rect, highlight, shadow);
    }
}

void CIconButton::paintEvent(QPaintEvent*) {
    // Icons made from ids are re-rendered when the window moves to a screen
    // with another pixel ratio, so they never get blurred by scaling.
    const qreal dRatio = devicePixelRatioF();
    if (m_nNormalId > 0 && !m_normalIcon.isNull() &&
        !qFuzzyCompare(m_normalIcon.devicePixelRatio(), dRatio)) {
        m_normalIcon = IconFromId(m_nNormalId, dRatio);
        m_hoverIcon = m_normalIcon;
        m_disabledIcon = IconFromId(m_nDisabledId, dRatio);
    }

    QPainter painter(this);
    QRect frame = rect();
    DrawFrames(painter, frame);

    QRect iconRect;
    QRect captionRect;
    Layout(rect(), &iconRect, &captionRect);
    const QPixmap pixmap = SlotPixmap(CurrentIconSlot());
    if (!pixmap.isNull()) painter.drawPixmap(iconRect.topLeft(), pixmap);

    const QString caption = text();
    if (!caption.isEmpty()) {
        painter.setFont(font());
        const int nFlags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
        if (!isEnabled()) {
            painter.setPen(palette().color(QPalette::Light));
            painter.drawText(captionRect.translated(1, 1), nFlags, caption);
            painter.setPen(palette().color(QPalette::Dark));
            painter.drawText(captionRect, nFlags, caption);
        } else {
            painter.setPen(CurrentTextColour());
            painter.drawText(captionRect, nFlags, caption);
        }
    }

    if (hasFocus() && (!m_bFlat || m_bDrawFlatFocus)) {
        QPen pen(palette().color(QPalette::ButtonText));
        pen.setStyle(Qt::DotLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(3, 3, -4, -4));
    }
}

void CIconButton::mouseMoveEvent(QMouseEvent* pEvent) {
    QPushButton::mouseMoveEvent(pEvent);
    if ((pEvent->buttons() & Qt::LeftButton) && !m_bHovered) return;
    if (!m_bFlat || !isEnabled()) return;
    const bool bInside = rect().contains(pEvent->position().toPoint());
    if (bInside && (m_bAlwaysTrack || isActiveWindow())) {
        if (!m_bHovered) {
            m_bHovered = true;
            update();
        }
    } else {
        CancelHover();
    }
}

void CIconButton::mouseDoubleClickEvent(QMouseEvent* pEvent) {
    // A double click is a second click. Platforms that deliver a press before
    // the double click have already pressed the button; others have not.
    if (isDown()) {
        pEvent->accept();
        return;
    }
    QPushButton::mousePressEvent(pEvent);
}

void CIconButton::CancelHover() {
    if (m_bFlat && m_bHovered) {
        m_bHovered = false;
        update();
    }
}

void CIconButton::leaveEvent(QEvent* pEvent) {
    CancelHover();
    QPushButton::leaveEvent(pEvent);
}

void CIconButton::focusOutEvent(QFocusEvent* pEvent) {
    CancelHover();
    QPushButton::focusOutEvent(pEvent);
}

void CIconButton::hideEvent(QHideEvent* pEvent) {
    CancelHover();
    QPushButton::hideEvent(pEvent);
}

void CIconButton::changeEvent(QEvent* pEvent) {
    switch (pEvent->type()) {
        case QEvent::EnabledChange:
            if (!isEnabled()) {
                if (hasFocus() && !focusNextChild() && parentWidget()) parentWidget()->setFocus();
                m_bHovered = false;
                update();
            }
            break;
        case QEvent::ActivationChange:
            if (!isActiveWindow()) CancelHover();
            break;
        default:
            break;
    }
    QPushButton::changeEvent(pEvent);
}

bool CIconButton::event(QEvent* pEvent) {
    // Only a change of the system colours resets the six colours; a dialog
    // that gives itself another palette keeps the colours it set.
    if (pEvent->type() == QEvent::ApplicationPaletteChange || pEvent->type() == QEvent::PaletteChange) {
        const QPalette app = QApplication::palette(this);
        const QRgb face = app.color(QPalette::Active, QPalette::Button).rgb();
        const QRgb text = app.color(QPalette::Active, QPalette::ButtonText).rgb();
        if (face != m_systemFace || text != m_systemText) SetDefaultColours(true);
    }
    return QPushButton::event(pEvent);
}

QSize CIconButton::sizeHint() const {
    const QFontMetrics fm(font());
    QString caption = text();
    caption.remove(QLatin1Char('&'));
    const int nText = caption.isEmpty() ? 0 : fm.horizontalAdvance(caption);
    const int nIcon = (m_normalIcon.isNull() && m_disabledIcon.isNull()) ? 0 : kIconSide;
    int w = 0, h = 0;
    if (m_eAlign == kIconAbove) {
        w = std::max(nText, nIcon) + 4 * m_nGap;
        h = nIcon + m_nGap * 3 + (caption.isEmpty() ? 0 : fm.height());
    } else {
        w = nIcon + nText + (nText && nIcon ? 5 : 4) * m_nGap + 2;
        h = std::max(nIcon, fm.height()) + 2 * m_nGap + 2;
    }
    return QSize(std::max(w, h), h);
}

QSize CIconButton::minimumSizeHint() const {
    return QSize(kIconSide + 2 * m_nGap, kIconSide + 2 * m_nGap);
}

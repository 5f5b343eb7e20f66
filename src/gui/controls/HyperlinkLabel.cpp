#include "gui/controls/HyperlinkLabel.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include "gui/kit/MessageBoxesUi.h"
#include "gui/kit/OpenDocumentUi.h"

CHyperlinkLabel::CHyperlinkLabel(QWidget* pParent) : QLabel(pParent) {
    Init();
}

CHyperlinkLabel::CHyperlinkLabel(const QString& text, QWidget* pParent) : QLabel(text, pParent) {
    Init();
}

CHyperlinkLabel::~CHyperlinkLabel() = default;

void CHyperlinkLabel::Init() {
    // A static text starts at its top left corner unless told otherwise.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextFormat(Qt::PlainText);
    setMouseTracking(true);
    m_hoverTimer.setInterval(kHoverTimerMs);
    connect(&m_hoverTimer, &QTimer::timeout, this, &CHyperlinkLabel::OnHoverTimer);
}

void CHyperlinkLabel::Attach() {
    if (m_bAttached) return;
    if (m_address.isEmpty()) m_address = text();
    if (text().isEmpty()) setText(m_address);

    m_normalFont = font();
    m_underlinedFont = m_normalFont;
    m_underlinedFont.setUnderline(true);
    m_bAttached = true;

    ReSize();
    if (!m_cursor) m_cursor = QCursor(Qt::PointingHandCursor);
    setCursor(*m_cursor);
    // A mode chosen before attaching is kept rather than reset to -1.
    SelectFont(m_nUnderlineMode == 1);
    setToolTip(m_address);
    update();
}

void CHyperlinkLabel::showEvent(QShowEvent* pEvent) {
    Attach();
    QLabel::showEvent(pEvent);
}

void CHyperlinkLabel::SetAddress(const QString& address) {
    m_address = address;
    if (m_bAttached) {
        ReSize();
        setToolTip(m_address);
    }
}

void CHyperlinkLabel::SetLinkColours(const QColor& link, const QColor& visited, const QColor& hover) {
    m_linkColour = link;
    m_visitedColour = visited;
    m_hoverColour = hover.isValid() ? hover : palette().color(QPalette::Highlight);
    update();
}

void CHyperlinkLabel::SetBackColour(const QColor& colour) {
    m_backColour = colour;
    update();
}

void CHyperlinkLabel::SetVisitedState(bool bVisited) {
    m_bVisited = bVisited;
    update();
}

void CHyperlinkLabel::SetHandCursor(const std::optional<QCursor>& cursor) {
    m_cursor = cursor ? *cursor : QCursor(Qt::PointingHandCursor);
    setCursor(*m_cursor);
}

void CHyperlinkLabel::SetUnderlineMode(int nMode) {
    if (nMode != m_nUnderlineMode && m_bAttached) {
        SelectFont(nMode == 1 || (nMode == -1 && m_bHovered));
        update();
    }
    m_nUnderlineMode = nMode;
}

void CHyperlinkLabel::SetFitToText(bool bFit) {
    m_bFitToText = bFit;
    ReSize();
}

void CHyperlinkLabel::FitToText() {
    ReSize();
}

QColor CHyperlinkLabel::CurrentTextColour() const {
    if (m_bHovered) return m_hoverColour;
    return m_bVisited ? m_visitedColour : m_linkColour;
}

void CHyperlinkLabel::SelectFont(bool bUnderlined) {
    if (!m_bAttached) return;
    setFont(bUnderlined ? m_underlinedFont : m_normalFont);
}

void CHyperlinkLabel::ReSize() {
    if (!m_bAttached || !m_bFitToText) return;
    // Normal and underlined fonts have the same extent.
    const QFontMetrics fm(m_normalFont);
    const QSize extent = fm.size(0, text());
    const QSize frame = size() - contentsRect().size();
    const int nWidth = extent.width() + frame.width();
    const int nHeight = extent.height() + frame.height();
    const QRect old = geometry();
    const Qt::Alignment align = alignment();

    int x = old.left();
    if (align & Qt::AlignHCenter)
        x = old.left() + (old.width() - nWidth) / 2;
    else if (align & Qt::AlignRight)
        x = old.right() + 1 - nWidth;
    int y = old.top();
    if (align & Qt::AlignVCenter) y = old.top() + (old.height() - nHeight) / 2;
    setGeometry(x, y, nWidth, nHeight);
}

void CHyperlinkLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_backColour.isValid()) painter.fillRect(rect(), m_backColour);
    painter.setFont(font());
    painter.setPen(CurrentTextColour());
    int nFlags = static_cast<int>(alignment());
    if (wordWrap()) nFlags |= Qt::TextWordWrap;
    painter.drawText(contentsRect(), nFlags, text());
}

void CHyperlinkLabel::mouseMoveEvent(QMouseEvent* pEvent) {
    QLabel::mouseMoveEvent(pEvent);
    if (m_bHovered) return;
    m_bHovered = true;
    if (m_nUnderlineMode == -1) SelectFont(true);
    update();
    m_hoverTimer.start();
}

void CHyperlinkLabel::OnHoverTimer() {
    if (rect().contains(mapFromGlobal(QCursor::pos()))) return;
    LeaveHover();
}

// Some platforms report the cursor position only inside the program's own
// windows, so leaving the window also ends the hover.
void CHyperlinkLabel::leaveEvent(QEvent* pEvent) {
    QLabel::leaveEvent(pEvent);
    if (m_bHovered) LeaveHover();
}

void CHyperlinkLabel::LeaveHover() {
    m_bHovered = false;
    m_hoverTimer.stop();
    if (m_nUnderlineMode != 1) SelectFont(false);
    update();
}

void CHyperlinkLabel::mouseReleaseEvent(QMouseEvent* pEvent) {
    QLabel::mouseReleaseEvent(pEvent);
    if (pEvent->button() == Qt::LeftButton && rect().contains(pEvent->position().toPoint())) OnClicked();
}

void CHyperlinkLabel::OnClicked() {
    m_bHovered = false;
    const std::string address = m_address.toUtf8().toStdString();
    const int nResult = qvxui::OpenWithShell(address);
    m_bVisited = nResult > 32;
    update();
    if (!m_bVisited) {
        QApplication::beep();
        qvxui::MessageBox(this, OpenErrorText(nResult), qvxui::MsgIcon::Warning, qvxui::MsgButtons::Ok);
    }
    emit AddressOpened(nResult);
}

QString CHyperlinkLabel::OpenErrorText(int nCode) {
    const char* pszText = nullptr;
    switch (nCode) {
        case 0:
            pszText = "The operating system is out\nof memory or resources.";
            break;
        case 2:
            pszText = "The specified file was not found.";
            break;
        case 3:
            pszText = "The specified path was not found.";
            break;
        case 5:
            pszText = "The operating system denied\naccess to the specified file.";
            break;
        case 8:
            pszText = "There was not enough memory to complete the operation.";
            break;
        case 11:
            pszText = "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
            break;
        case 26:
            pszText = "A sharing violation occurred. ";
            break;
        case 27:
            pszText = "The filename association is\nincomplete or invalid.";
            break;
        case 28:
            pszText = "The DDE transaction could not\nbe completed because the request timed out.";
            break;
        case 29:
            pszText = "The DDE transaction failed.";
            break;
        case 30:
            pszText =
                "The DDE transaction could not\nbe completed because other DDE transactions\nwere being "
                "processed.";
            break;
        case 31:
            pszText = "There is no application associated\nwith the given filename extension.";
            break;
        case 32:
            pszText = "The specified dynamic-link library was not found.";
            break;
        default:
            break;
    }
    const QString detail =
        pszText ? QString::fromLatin1(pszText) : QStringLiteral("Unknown Error (%1) occurred.").arg(nCode);
    return QStringLiteral("Unable to open hyperlink:\n\n") + detail;
}

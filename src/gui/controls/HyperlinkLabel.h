// CHyperlinkLabel: a static text that behaves like a link. It shows its text
// in the link colour (visited colour once opened, hover colour while the
// mouse is over it), underlines it while hovered (or always / never), shows a
// pointing hand and its address as tool tip, sizes itself to its text and
// opens the address with the desktop's program when clicked.
//
//   auto* pLink = new CHyperlinkLabel(QStringLiteral("https://example.org"), this);
//   qvxui::PlaceByDialogUnits(pLink, 7, 71, 181, 10);
//   pLink->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
//   pLink->Attach();                 // takes text/address, fonts, size, tool tip
//   pLink->SetLinkColours(Qt::blue, Qt::blue, Qt::blue);
//
// Attach() plays the part of taking over a dialog's static control: it takes
// the text as address when none was set (or shows the address when there is
// no text), makes the fonts and re-sizes around the old geometry. It runs by
// itself when the label is first shown. Alignment decides the re-sizing: a
// horizontally centred label shrinks around its middle, a right-aligned one
// keeps its right edge; Qt::AlignVCenter keeps the vertical middle.
//
// A click opens the address through qvxui::OpenWithShell (the program's one
// way of opening, ui/OpenDocumentUi.h). A failed open beeps and shows
// "Unable to open hyperlink:" with the text for the code (see OpenErrorText)
// through qvxui::MessageBoxes().
#pragma once

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QLabel>
#include <QString>
#include <QTimer>
#include <optional>
#include <string>

class CHyperlinkLabel : public QLabel {
    Q_OBJECT

public:
    static constexpr int kHoverTimerMs = 100;

    explicit CHyperlinkLabel(QWidget* pParent = nullptr);
    explicit CHyperlinkLabel(const QString& text, QWidget* pParent = nullptr);
    ~CHyperlinkLabel() override;

    void Attach();
    bool IsAttached() const { return m_bAttached; }

    void SetAddress(const QString& address);
    QString GetAddress() const { return m_address; }

    // An invalid hover colour stands for the palette's highlight colour.
    void SetLinkColours(const QColor& link, const QColor& visited, const QColor& hover);
    QColor GetLinkColour() const { return m_linkColour; }
    QColor GetVisitedColour() const { return m_visitedColour; }
    QColor GetHoverColour() const { return m_hoverColour; }
    // An invalid colour: no background of its own, the parent shows through.
    void SetBackColour(const QColor& colour);
    QColor GetBackColour() const { return m_backColour; }

    void SetVisitedState(bool bVisited);
    bool GetVisitedState() const { return m_bVisited; }

    // None: the default pointing hand.
    void SetHandCursor(const std::optional<QCursor>& cursor);
    std::optional<QCursor> GetHandCursor() const { return m_cursor; }

    // 1 always underlined, 0 never, -1 only while hovered.
    void SetUnderlineMode(int nMode);
    int GetUnderlineMode() const { return m_nUnderlineMode; }

    void SetFitToText(bool bFit);
    bool GetFitToText() const { return m_bFitToText; }
    // Re-sizes to the text after the text changed (a language switch).
    void FitToText();

    bool IsHovered() const { return m_bHovered; }
    bool IsHoverTimerActive() const { return m_hoverTimer.isActive(); }
    QColor CurrentTextColour() const;

    // The message of a failed open: "Unable to open hyperlink:\n\n" + the
    // text for the code.
    static QString OpenErrorText(int nCode);

signals:
    // After every click, with the opener's result.
    void AddressOpened(int nResult);

protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void mouseMoveEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;
    void leaveEvent(QEvent* pEvent) override;

private:
    void Init();
    void OnHoverTimer();
    void LeaveHover();
    void ReSize();
    void SelectFont(bool bUnderlined);
    void OnClicked();

    QString m_address;
    QColor m_linkColour{0, 0, 238};
    QColor m_visitedColour{85, 26, 139};
    QColor m_hoverColour{255, 0, 0};
    QColor m_backColour;
    bool m_bHovered = false;
    bool m_bVisited = false;
    int m_nUnderlineMode = -1;
    bool m_bFitToText = true;
    bool m_bAttached = false;
    std::optional<QCursor> m_cursor;
    QFont m_normalFont;
    QFont m_underlinedFont;
    QTimer m_hoverTimer;
};

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QToolTip>
#include <QtTest>
#include <string>
#include <vector>

#include "gui/controls/ButtonIcons.h"
#include "gui/controls/HyperlinkLabel.h"
#include "gui/controls/IconButton.h"
#include "gui/kit/DialogUi.h"
#include "gui/kit/MessageBoxesUi.h"
#include "gui/kit/OpenDocumentUi.h"

class TestControls : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void offsetColour_data();
    void offsetColour();
    void colourIndexAndAmountAreChecked();
    void defaultColoursFollowPalette();
    void flatButtonStates();
    void disabledButtonShowsDisabledIconAndEmbossedCaption();
    void disablingFocusedButtonMovesFocus();
    void iconPlacement_data();
    void iconPlacement();
    void doubleClickCountsAsTwoClicks();
    void tooltipRules();
    void longTooltipIsWrapped();
    void focusedBackground();
    void iconIdsAreChecked();

    void linkAttachTakesTextOrAddress();
    void linkColours();
    void linkUnderlineModes_data();
    void linkUnderlineModes();
    void linkFitsTextAroundAnchor_data();
    void linkFitsTextAroundAnchor();
    void linkOpensThroughOpener();
    void linkFailedOpenShowsError();
    void linkErrorTexts();
    void linkUsesProcessWideOpener();

private:
    QWidget* m_pWindow = nullptr;
    qvxui::CScriptedMessageBoxes m_boxes;
};

namespace {

void SendMouse(QWidget* pWidget, QEvent::Type eType, QPoint pos, Qt::MouseButtons buttons) {
    QMouseEvent event(eType, QPointF(pos), QPointF(pWidget->mapToGlobal(pos)), Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(pWidget, &event);
}

void Hover(QWidget* pWidget) {
    const QPoint centre = pWidget->rect().center();
    QCursor::setPos(pWidget->mapToGlobal(centre));
    SendMouse(pWidget, QEvent::MouseMove, centre, Qt::NoButton);
}

QImage Grab(QWidget* pWidget) {
    return pWidget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool ContainsColour(const QImage& image, const QRect& area, const QColor& colour) {
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixelColor(x, y).rgb() == colour.rgb()) return true;
    return false;
}

}  // namespace

void TestControls::init() {
    m_boxes.Clear();
    qvxui::SetMessageBoxes(&m_boxes);
    m_pWindow = new QWidget;
    m_pWindow->resize(400, 200);
    m_pWindow->move(20, 20);
}

void TestControls::cleanup() {
    delete m_pWindow;
    m_pWindow = nullptr;
    qvxui::SetMessageBoxes(nullptr);
    qvxui::SetShellOpener(nullptr);
}

void TestControls::offsetColour_data() {
    QTest::addColumn<QColor>("start");
    QTest::addColumn<int>("amount");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("limited by the lightest part") << QColor(240, 240, 240) << 30 << QColor(255, 255, 255);
    QTest::newRow("room for all") << QColor(212, 208, 200) << 30 << QColor(242, 238, 230);
    QTest::newRow("uneven, limited by red") << QColor(250, 10, 100) << 30 << QColor(255, 15, 105);
    QTest::newRow("darker, limited by blue") << QColor(100, 50, 20) << -30 << QColor(80, 30, 0);
    QTest::newRow("full range down") << QColor(200, 200, 200) << -255 << QColor(0, 0, 0);
    QTest::newRow("white cannot get lighter") << QColor(255, 255, 255) << 255 << QColor(255, 255, 255);
    QTest::newRow("zero") << QColor(1, 2, 3) << 0 << QColor(1, 2, 3);
}

void TestControls::offsetColour() {
    QFETCH(QColor, start);
    QFETCH(int, amount);
    QFETCH(QColor, expected);
    CIconButton button(m_pWindow);
    QCOMPARE(button.SetButtonColour(CIconButton::kColourBackHover, start), int(CIconButton::kOk));
    QCOMPARE(button.OffsetButtonColour(CIconButton::kColourBackHover, amount), int(CIconButton::kOk));
    QCOMPARE(button.GetButtonColour(CIconButton::kColourBackHover).rgb(), expected.rgb());
}

void TestControls::colourIndexAndAmountAreChecked() {
    CIconButton button(m_pWindow);
    button.SetButtonColour(2, QColor(10, 20, 30));
    QCOMPARE(button.SetButtonColour(6, Qt::red), int(CIconButton::kInvalidIndex));
    QCOMPARE(button.SetButtonColour(-1, Qt::red), int(CIconButton::kInvalidIndex));
    QCOMPARE(button.OffsetButtonColour(6, 10), int(CIconButton::kInvalidIndex));
    QCOMPARE(button.OffsetButtonColour(2, 256), int(CIconButton::kBadParam));
    QCOMPARE(button.OffsetButtonColour(2, -256), int(CIconButton::kBadParam));
    QCOMPARE(button.GetButtonColour(2).rgb(), QColor(10, 20, 30).rgb());
    QVERIFY(!button.GetButtonColour(7).isValid());
}

void TestControls::defaultColoursFollowPalette() {
    CIconButton button(m_pWindow);
    const QPalette pal = button.palette();
    for (int i = 0; i < 6; ++i) {
        const QPalette::ColorRole role = (i % 2) ? QPalette::ButtonText : QPalette::Button;
        QCOMPARE(button.GetButtonColour(i).rgb(), pal.color(QPalette::Active, role).rgb());
    }
    button.OffsetButtonColour(0, 30);
    const QPalette saved = QApplication::palette();
    QPalette changed = saved;
    changed.setColor(QPalette::Button, QColor(100, 110, 120));
    QApplication::setPalette(changed);
    QCoreApplication::processEvents();
    QCOMPARE(button.GetButtonColour(0).rgb(), QColor(100, 110, 120).rgb());
    QCOMPARE(button.GetButtonColour(2).rgb(), QColor(100, 110, 120).rgb());
    QApplication::setPalette(saved);
    QCoreApplication::processEvents();

    // A parent's own palette is no change of the system colours.
    button.SetButtonColour(2, Qt::white);
    QPalette white = m_pWindow->palette();
    white.setColor(QPalette::Window, Qt::white);
    m_pWindow->setPalette(white);
    QCoreApplication::processEvents();
    QCOMPARE(button.GetButtonColour(2).rgb(), QColor(Qt::white).rgb());
}

void TestControls::flatButtonStates() {
    auto* pButton = new CIconButton(QStringLiteral("Complete"), m_pWindow);
    pButton->setGeometry(10, 10, 100, 26);
    pButton->SetButtonIcons(qvxicons::kOk, qvxicons::kOkDisabled);
    pButton->SetButtonColour(2, QColor(212, 208, 200));
    pButton->SetButtonColour(4, QColor(212, 208, 200));
    pButton->SetButtonColour(0, QColor(212, 208, 200));
    pButton->OffsetButtonColour(0, 30);
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow));
    const QPalette pal = pButton->palette();

    // Away: no border, the normal background everywhere.
    QImage image = Grab(pButton);
    QCOMPARE(image.pixelColor(0, 0).rgb(), QColor(212, 208, 200).rgb());
    QCOMPARE(image.pixelColor(99, 25).rgb(), QColor(212, 208, 200).rgb());
    const QRect restIcon = pButton->IconRect();
    const QRect restCaption = pButton->CaptionRect();
    QCOMPARE(pButton->CurrentIconSlot(), CIconButton::kSlotNormal);

    // Hovered: lighter background inside a raised border.
    Hover(pButton);
    QVERIFY(pButton->IsHovered());
    QCOMPARE(pButton->CurrentBackColour().rgb(), QColor(242, 238, 230).rgb());
    QCOMPARE(pButton->CurrentIconSlot(), CIconButton::kSlotHover);
    image = Grab(pButton);
    QCOMPARE(image.pixelColor(0, 0).rgb(), pal.color(QPalette::Light).rgb());
    QCOMPARE(image.pixelColor(99, 25).rgb(), pal.color(QPalette::Dark).rgb());
    QCOMPARE(image.pixelColor(50, 2).rgb(), QColor(242, 238, 230).rgb());

    // Pressed: sunken border, icon and caption one pixel lower right.
    SendMouse(pButton, QEvent::MouseButtonPress, pButton->rect().center(), Qt::LeftButton);
    QVERIFY(pButton->isDown());
    image = Grab(pButton);
    QCOMPARE(image.pixelColor(0, 0).rgb(), pal.color(QPalette::Dark).rgb());
    QCOMPARE(image.pixelColor(99, 25).rgb(), pal.color(QPalette::Light).rgb());
    QCOMPARE(pButton->IconRect(), restIcon.translated(1, 1));
    QCOMPARE(pButton->CaptionRect(), restCaption.translated(1, 1));
    SendMouse(pButton, QEvent::MouseButtonRelease, pButton->rect().center(), Qt::NoButton);

    // Leaving the button ends the hover.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(pButton, &leave);
    QVERIFY(!pButton->IsHovered());
    QCOMPARE(Grab(pButton).pixelColor(0, 0).rgb(), QColor(212, 208, 200).rgb());

    // A button drawn with a 3D frame never takes the hover state.
    pButton->SetFlatStyle(false);
    Hover(pButton);
    QVERIFY(!pButton->IsHovered());
}

void TestControls::disabledButtonShowsDisabledIconAndEmbossedCaption() {
    auto* pButton = new CIconButton(QStringLiteral("Cancel"), m_pWindow);
    pButton->setGeometry(10, 10, 100, 26);
    // Pure colours make the two layers of the embossed caption easy to find.
    QPalette pal = pButton->palette();
    pal.setColor(QPalette::Light, QColor(255, 0, 0));
    pal.setColor(QPalette::Dark, QColor(0, 0, 255));
    pButton->setPalette(pal);
    pButton->SetButtonIcons(qvxicons::kCancel, qvxicons::kCancelDisabled);
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow));
    Hover(pButton);
    QVERIFY(pButton->IsHovered());

    pButton->setEnabled(false);
    QVERIFY(!pButton->IsHovered());
    SendMouse(pButton, QEvent::MouseMove, pButton->rect().center(), Qt::NoButton);
    QVERIFY(!pButton->IsHovered());
    QCOMPARE(pButton->CurrentIconSlot(), CIconButton::kSlotDisabled);

    const QImage image = Grab(pButton);
    // The disabled twin is grey: its circle reads the same in all channels.
    const QColor iconPixel = image.pixelColor(pButton->IconRect().topLeft() + QPoint(4, 8));
    QCOMPARE(iconPixel.red(), iconPixel.green());
    QCOMPARE(iconPixel.green(), iconPixel.blue());
    const QRect caption = pButton->CaptionRect();
    int nReddish = 0, nBluish = 0;
    for (int y = caption.top(); y <= caption.bottom(); ++y)
        for (int x = caption.left(); x <= caption.right(); ++x) {
            const QColor p = image.pixelColor(x, y);
            nReddish += p.red() > 180 && p.green() < 120 && p.blue() < 120;
            nBluish += p.blue() > 180 && p.red() < 120 && p.green() < 120;
        }
    QVERIFY(nReddish > 5);
    QVERIFY(nBluish > 5);
    QVERIFY(!ContainsColour(image, caption, pButton->GetButtonColour(3)));
}

void TestControls::disablingFocusedButtonMovesFocus() {
    auto* pFirst = new CIconButton(QStringLiteral("One"), m_pWindow);
    auto* pSecond = new CIconButton(QStringLiteral("Two"), m_pWindow);
    pSecond->move(0, 40);
    m_pWindow->show();
    QApplication::setActiveWindow(m_pWindow);
    QVERIFY(QTest::qWaitForWindowActive(m_pWindow));
    pFirst->setFocus();
    QTRY_VERIFY(pFirst->hasFocus());
    pFirst->setEnabled(false);
    QVERIFY(!pFirst->hasFocus());
    QVERIFY(pSecond->hasFocus());
}

void TestControls::iconPlacement_data() {
    QTest::addColumn<int>("align");
    QTest::addColumn<QString>("caption");
    QTest::newRow("left") << int(CIconButton::kIconLeft) << QStringLiteral("OK");
    QTest::newRow("above") << int(CIconButton::kIconAbove) << QStringLiteral("OK");
    QTest::newRow("right") << int(CIconButton::kIconRight) << QStringLiteral("OK");
    QTest::newRow("left, no caption") << int(CIconButton::kIconLeft) << QString();
    QTest::newRow("above, no caption") << int(CIconButton::kIconAbove) << QString();
    QTest::newRow("right, no caption") << int(CIconButton::kIconRight) << QString();
}

void TestControls::iconPlacement() {
    QFETCH(int, align);
    QFETCH(QString, caption);
    CIconButton button(caption, m_pWindow);
    button.setGeometry(0, 0, 90, 50);
    button.SetButtonIcons(qvxicons::kHelp, qvxicons::kHelpDisabled);
    button.SetIconAlignment(static_cast<CIconButton::Alignment>(align));
    const QRect icon = button.IconRect();
    const QRect text = button.CaptionRect();
    QCOMPARE(icon.size(), QSize(16, 16));
    const int gap = 3;
    if (caption.isEmpty()) {
        QCOMPARE(icon.center(), QRect(0, 0, 90, 50).center());
        return;
    }
    switch (align) {
        case CIconButton::kIconLeft:
            QCOMPARE(icon.left(), gap);
            QCOMPARE(icon.top(), (50 - 16) / 2);
            QCOMPARE(text.left(), icon.right() + 1 + gap);
            break;
        case CIconButton::kIconAbove:
            QCOMPARE(icon.top(), gap);
            QCOMPARE(icon.left(), (90 - 16) / 2);
            QCOMPARE(text.top(), icon.bottom() + 1 + gap);
            break;
        case CIconButton::kIconRight:
            QCOMPARE(icon.right(), 89 - gap);
            QCOMPARE(text.right(), icon.left() - 1 - gap);
            break;
    }
}

void TestControls::doubleClickCountsAsTwoClicks() {
    auto* pButton = new CIconButton(QStringLiteral("Go"), m_pWindow);
    pButton->resize(80, 24);
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow));
    QSignalSpy clicks(pButton, &QAbstractButton::clicked);
    QSignalSpy presses(pButton, &QAbstractButton::pressed);
    const QPoint c = pButton->rect().center();

    // The double click takes the place of the second press.
    SendMouse(pButton, QEvent::MouseButtonPress, c, Qt::LeftButton);
    SendMouse(pButton, QEvent::MouseButtonRelease, c, Qt::NoButton);
    SendMouse(pButton, QEvent::MouseButtonDblClick, c, Qt::LeftButton);
    SendMouse(pButton, QEvent::MouseButtonRelease, c, Qt::NoButton);
    QCOMPARE(clicks.count(), 2);

    // The double click follows a second press.
    SendMouse(pButton, QEvent::MouseButtonPress, c, Qt::LeftButton);
    SendMouse(pButton, QEvent::MouseButtonRelease, c, Qt::NoButton);
    SendMouse(pButton, QEvent::MouseButtonPress, c, Qt::LeftButton);
    SendMouse(pButton, QEvent::MouseButtonDblClick, c, Qt::LeftButton);
    SendMouse(pButton, QEvent::MouseButtonRelease, c, Qt::NoButton);
    QCOMPARE(clicks.count(), 4);
    QCOMPARE(presses.count(), 4);
}

void TestControls::tooltipRules() {
    CIconButton button(m_pWindow);
    button.SetButtonTooltip(QString());
    QVERIFY(button.toolTip().isEmpty());
    QVERIFY(!button.IsTooltipActive());
    button.SetButtonTooltip(QStringLiteral("Browse for a file"));
    QCOMPARE(button.toolTip(), QStringLiteral("Browse for a file"));
    button.SetButtonTooltip(QStringLiteral("Quiet"), false);
    QVERIFY(button.toolTip().isEmpty());
    QCOMPARE(button.GetButtonTooltip(), QStringLiteral("Quiet"));
    button.SetButtonTooltip(QString());
    QCOMPARE(button.GetButtonTooltip(), QStringLiteral("Quiet"));
}

void TestControls::longTooltipIsWrapped() {
    CIconButton button(m_pWindow);
    QString text;
    for (int i = 0; i < 40; ++i) text += QStringLiteral("word%1 ").arg(i);
    text = text.trimmed();
    button.SetButtonTooltip(text);
    QCOMPARE(button.GetButtonTooltip(), text);
    const QStringList lines = button.toolTip().split(QLatin1Char('\n'));
    QVERIFY(lines.size() > 1);
    const QFontMetrics fm(QToolTip::font());
    for (const QString& line : lines) QVERIFY(fm.horizontalAdvance(line) <= 400);
    QCOMPARE(lines.join(QLatin1Char(' ')), text);
}

void TestControls::focusedBackground() {
    auto* pButton = new CIconButton(QStringLiteral("OK"), m_pWindow);
    pButton->SetButtonColour(2, QColor(1, 2, 3));
    pButton->SetButtonColour(4, QColor(4, 5, 6));
    m_pWindow->show();
    QApplication::setActiveWindow(m_pWindow);
    QVERIFY(QTest::qWaitForWindowActive(m_pWindow));
    pButton->setFocus();
    QTRY_VERIFY(pButton->hasFocus());
    QCOMPARE(pButton->CurrentBackColour().rgb(), QColor(4, 5, 6).rgb());
    pButton->clearFocus();
    QCOMPARE(pButton->CurrentBackColour().rgb(), QColor(1, 2, 3).rgb());
}

void TestControls::iconIdsAreChecked() {
    CIconButton button(m_pWindow);
    QCOMPARE(button.CurrentIconSlot(), CIconButton::kSlotNone);
    const int pairs[][2] = {{133, 137}, {134, 136}, {135, 139}, {149, 152}, {150, 151},
                            {157, 158}, {159, 160}, {161, 162}, {163, 164}};
    for (const auto& pair : pairs) {
        QCOMPARE(button.SetButtonIcons(pair[0], pair[1]), int(CIconButton::kOk));
        QCOMPARE(button.NormalIconId(), pair[0]);
    }
    QCOMPARE(button.SetButtonIcons(999, 152), int(CIconButton::kInvalidResource));
    QCOMPARE(button.SetButtonIcons(149, 998), int(CIconButton::kInvalidResource));
    QCOMPARE(button.CurrentIconSlot(), CIconButton::kSlotNormal);
    QVERIFY(qvxicons::RenderPicture(140).size() == QSize(272, 60));
    QVERIFY(!qvxicons::ProgramIcon().isNull());
}

void TestControls::linkAttachTakesTextOrAddress() {
    auto* pFromText = new CHyperlinkLabel(QStringLiteral("https://example.org/"), m_pWindow);
    pFromText->Attach();
    QCOMPARE(pFromText->GetAddress(), QStringLiteral("https://example.org/"));
    QCOMPARE(pFromText->toolTip(), QStringLiteral("https://example.org/"));
    QCOMPARE(pFromText->cursor().shape(), Qt::PointingHandCursor);

    auto* pFromAddress = new CHyperlinkLabel(m_pWindow);
    pFromAddress->SetAddress(QStringLiteral("https://example.net/"));
    pFromAddress->Attach();
    QCOMPARE(pFromAddress->text(), QStringLiteral("https://example.net/"));

    // Later addresses change the tool tip, not the text.
    pFromAddress->SetAddress(QStringLiteral("https://example.com/"));
    QCOMPARE(pFromAddress->toolTip(), QStringLiteral("https://example.com/"));
    QCOMPARE(pFromAddress->text(), QStringLiteral("https://example.net/"));

    // Shown without an explicit Attach, the label attaches itself.
    auto* pAuto = new CHyperlinkLabel(QStringLiteral("www.example.org"), m_pWindow);
    m_pWindow->show();
    QVERIFY(pAuto->IsAttached());
    QCOMPARE(pAuto->GetAddress(), QStringLiteral("www.example.org"));
}

void TestControls::linkColours() {
    auto* pLink = new CHyperlinkLabel(QStringLiteral("https://example.org/"), m_pWindow);
    pLink->move(50, 50);
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow));
    QCOMPARE(pLink->CurrentTextColour().rgb(), QColor(0, 0, 238).rgb());
    pLink->SetVisitedState(true);
    QCOMPARE(pLink->CurrentTextColour().rgb(), QColor(85, 26, 139).rgb());
    Hover(pLink);
    QCOMPARE(pLink->CurrentTextColour().rgb(), QColor(255, 0, 0).rgb());
    QVERIFY(ContainsColour(Grab(pLink), pLink->rect(), QColor(255, 0, 0)));

    pLink->SetLinkColours(Qt::blue, Qt::blue, QColor());
    QCOMPARE(pLink->GetHoverColour().rgb(), pLink->palette().color(QPalette::Highlight).rgb());

    QCOMPARE(Grab(pLink).pixelColor(0, 0).rgb(), m_pWindow->palette().color(QPalette::Window).rgb());
    pLink->SetBackColour(Qt::white);
    QCOMPARE(Grab(pLink).pixelColor(0, 0).rgb(), QColor(Qt::white).rgb());
}

void TestControls::linkUnderlineModes_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("whileHovered");
    QTest::addColumn<bool>("afterLeaving");
    QTest::newRow("while hovered") << -1 << true << false;
    QTest::newRow("always") << 1 << true << true;
    QTest::newRow("never") << 0 << false << false;
}

void TestControls::linkUnderlineModes() {
    QFETCH(int, mode);
    QFETCH(bool, whileHovered);
    QFETCH(bool, afterLeaving);
    auto* pLink = new CHyperlinkLabel(QStringLiteral("https://example.org/"), m_pWindow);
    pLink->move(100, 100);
    pLink->SetUnderlineMode(mode);
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow));
    QCOMPARE(pLink->font().underline(), mode == 1);

    Hover(pLink);
    QVERIFY(pLink->IsHovered());
    QVERIFY(pLink->IsHoverTimerActive());
    QCOMPARE(pLink->font().underline(), whileHovered);

    // The timer notices that the cursor has gone.
    QCursor::setPos(m_pWindow->mapToGlobal(QPoint(2, 2)));
    QTRY_VERIFY_WITH_TIMEOUT(!pLink->IsHovered(), 2000);
    QVERIFY(!pLink->IsHoverTimerActive());
    QCOMPARE(pLink->font().underline(), afterLeaving);
}

void TestControls::linkFitsTextAroundAnchor_data() {
    QTest::addColumn<int>("align");
    QTest::newRow("left") << int(Qt::AlignLeft | Qt::AlignTop);
    QTest::newRow("centred") << int(Qt::AlignHCenter | Qt::AlignTop);
    QTest::newRow("right") << int(Qt::AlignRight | Qt::AlignTop);
    QTest::newRow("centred both ways") << int(Qt::AlignHCenter | Qt::AlignVCenter);
}

void TestControls::linkFitsTextAroundAnchor() {
    QFETCH(int, align);
    auto* pLink = new CHyperlinkLabel(QStringLiteral("abc"), m_pWindow);
    const QRect old(20, 30, 300, 60);
    pLink->setGeometry(old);
    pLink->setAlignment(Qt::Alignment(align));
    pLink->Attach();
    const QSize extent = QFontMetrics(pLink->font()).size(0, QStringLiteral("abc"));
    const QRect now = pLink->geometry();
    QCOMPARE(now.size(), extent);
    if (align & Qt::AlignHCenter)
        QVERIFY(qAbs(now.center().x() - old.center().x()) <= 1);
    else if (align & Qt::AlignRight)
        QCOMPARE(now.right(), old.right());
    else
        QCOMPARE(now.left(), old.left());
    if (align & Qt::AlignVCenter)
        QVERIFY(qAbs(now.center().y() - old.center().y()) <= 1);
    else
        QCOMPARE(now.top(), old.top());

    // Auto-size off: the geometry stays.
    pLink->SetFitToText(false);
    pLink->setGeometry(old);
    pLink->SetAddress(QStringLiteral("https://example.org/"));
    QCOMPARE(pLink->geometry(), old);
}

void TestControls::linkOpensThroughOpener() {
    auto* pLink = new CHyperlinkLabel(QString::fromUtf8("https://example.org/?a=1&b=\xc3\xa4"), m_pWindow);
    std::vector<std::string> opened;
    qvxui::SetShellOpener([&](const std::string& address) {
        opened.push_back(address);
        return 42;
    });
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow));
    Hover(pLink);
    QTest::mouseClick(pLink, Qt::LeftButton, Qt::NoModifier, pLink->rect().center());
    QCOMPARE(opened.size(), size_t(1));
    QCOMPARE(opened[0], std::string("https://example.org/?a=1&b=\xc3\xa4"));
    QVERIFY(pLink->GetVisitedState());
    QVERIFY(!pLink->IsHovered());
    QCOMPARE(pLink->CurrentTextColour().rgb(), QColor(85, 26, 139).rgb());
    QCOMPARE(m_boxes.Count(), 0);
}

void TestControls::linkFailedOpenShowsError() {
    auto* pLink = new CHyperlinkLabel(QStringLiteral("nowhere:x"), m_pWindow);
    qvxui::SetShellOpener([](const std::string&) { return 31; });
    pLink->SetVisitedState(true);
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow));
    QSignalSpy opened(pLink, &CHyperlinkLabel::AddressOpened);
    QTest::mouseClick(pLink, Qt::LeftButton, Qt::NoModifier, pLink->rect().center());
    QCOMPARE(m_boxes.Count(), 1);
    const auto shown = m_boxes.Last();
    QCOMPARE(shown.text, QStringLiteral("Unable to open hyperlink:\n\nThere is no application associated\n"
                                        "with the given filename extension."));
    QCOMPARE(shown.caption, QStringLiteral("Quorvex"));
    QCOMPARE(shown.eIcon, qvxui::MsgIcon::Warning);
    QVERIFY(!pLink->GetVisitedState());
    QCOMPARE(opened.count(), 1);
    QCOMPARE(opened.at(0).at(0).toInt(), 31);
}

void TestControls::linkErrorTexts() {
    const QString prefix = QStringLiteral("Unable to open hyperlink:\n\n");
    QCOMPARE(CHyperlinkLabel::OpenErrorText(2), prefix + QStringLiteral("The specified file was not found."));
    QCOMPARE(CHyperlinkLabel::OpenErrorText(26), prefix + QStringLiteral("A sharing violation occurred. "));
    QCOMPARE(CHyperlinkLabel::OpenErrorText(0),
             prefix + QStringLiteral("The operating system is out\nof memory or resources."));
    QCOMPARE(CHyperlinkLabel::OpenErrorText(33), prefix + QStringLiteral("Unknown Error (33) occurred."));
    QCOMPARE(CHyperlinkLabel::OpenErrorText(-1), prefix + QStringLiteral("Unknown Error (-1) occurred."));
}

void TestControls::linkUsesProcessWideOpener() {
    std::string opened;
    qvxui::SetShellOpener([&](const std::string& address) {
        opened = address;
        return 33;
    });
    auto* pLink = new CHyperlinkLabel(QStringLiteral("https://example.org/x"), m_pWindow);
    m_pWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pWindow));
    QTest::mouseClick(pLink, Qt::LeftButton, Qt::NoModifier, pLink->rect().center());
    qvxui::SetShellOpener(nullptr);
    QCOMPARE(opened, std::string("https://example.org/x"));
    QVERIFY(pLink->GetVisitedState());
}

QTEST_MAIN(TestControls)
#include "tst_controls.moc"

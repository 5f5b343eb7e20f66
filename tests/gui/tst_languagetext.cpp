#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "gui/controls/IconButton.h"
#include "gui/i18n/LanguageTextUi.h"
#include "i18n/LanguageTable.h"

class TestLanguageText : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void appliesTextsByWidgetKind();
    void toolTips();
    void cutsAtBufferWithoutBrokenCharacter();

private:
    QTemporaryDir m_dir;
};

void TestLanguageText::initTestCase() {
    QVERIFY(m_dir.isValid());
    const QString path = m_dir.filePath(QStringLiteral("language.ini"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(
        "[currentLanguage]\n"
        "language=English\n"
        "\n"
        "[English]\n"
        "Caption=&Complete\n"
        "Label=CSV file:\n"
        "Title=Quorvex Wizard\n"
        "Tip=Browse for a CSV file\n"
        "Long=\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\n");
    file.close();
    QVERIFY(SetLanguageFile(path.toUtf8().constData()));
    QVERIFY(SetLanguage("English"));
}

void TestLanguageText::appliesTextsByWidgetKind() {
    QWidget window;
    QPushButton button(&window);
    QLabel label(&window);
    QLineEdit edit(&window);
    QGroupBox group(&window);
    qvxui::ApplyTextKey(&button, "Caption");
    qvxui::ApplyTextKey(&label, "Label");
    qvxui::ApplyTextKey(&edit, "Label");
    qvxui::ApplyTextKey(&group, "Label");
    qvxui::ApplyTextKey(&window, "Title");
    QCOMPARE(button.text(), QStringLiteral("&Complete"));
    QCOMPARE(label.text(), QStringLiteral("CSV file:"));
    QCOMPARE(edit.text(), QStringLiteral("CSV file:"));
    QCOMPARE(group.title(), QStringLiteral("CSV file:"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Quorvex Wizard"));

    // A missing key is an empty text.
    qvxui::ApplyTextKey(&label, "NoSuchKey");
    QCOMPARE(label.text(), QString());
    qvxui::ApplyWindowTitleKey(&button, "Title");
    QCOMPARE(button.windowTitle(), QStringLiteral("Quorvex Wizard"));
}

void TestLanguageText::toolTips() {
    QWidget window;
    QLabel label(&window);
    CIconButton button(&window);
    qvxui::ApplyToolTipKey(&label, "Tip");
    qvxui::ApplyToolTipKey(&button, "Tip");
    QCOMPARE(label.toolTip(), QStringLiteral("Browse for a CSV file"));
    QCOMPARE(button.GetButtonTooltip(), QStringLiteral("Browse for a CSV file"));
    QVERIFY(button.IsTooltipActive());
    // An icon button keeps its tip when the language has none.
    qvxui::ApplyToolTipKey(&button, "NoSuchKey");
    QCOMPARE(button.toolTip(), QStringLiteral("Browse for a CSV file"));
}

void TestLanguageText::cutsAtBufferWithoutBrokenCharacter() {
    // Five two-byte characters in a buffer of 6 bytes: 5 bytes fit, the
    // half character at the end is dropped.
    QCOMPARE(qvxui::LanguageText("Long", 6), QString::fromUtf8("\xc3\xa4\xc3\xa4"));
    QCOMPARE(qvxui::LanguageText("Long", 7), QString::fromUtf8("\xc3\xa4\xc3\xa4\xc3\xa4"));
    QCOMPARE(qvxui::LanguageText("Long"), QString::fromUtf8("\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4"));
    QCOMPARE(qvxui::LanguageText(nullptr), QString());
    QCOMPARE(qvxui::LanguageText("Long", 0), QString());
}

QTEST_MAIN(TestLanguageText)
#include "tst_languagetext.moc"

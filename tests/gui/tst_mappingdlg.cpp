#include <unistd.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ComboTestUtil.h"
#include "gui/controls/IconButton.h"
#include "gui/kit/MessageBoxesUi.h"
#include "gui/mapping_editor/ListCtrlComboBox.h"
#include "gui/mapping_editor/MappingDlg.h"
#include "gui/mapping_editor/PropertyListCtrl.h"
#include "i18n/LanguageTable.h"
#include "import/DataMap.h"
#include "platform/ProgramPath.h"
#include "support/Log.h"

namespace {

// Item order of every drop-down.
enum Item { kPhone = 0, kName, kCompany, kLocation, kEmail, kOther, kHidden };

const std::vector<std::string> kFiveHeaders = {"Name", "Firma", "Telefon", "E-Mail", "Notiz"};

std::unique_ptr<CDataMap> MakeTable(const std::vector<std::string>& headers,
                                    const std::vector<const char*>& codes = {}) {
    auto table = std::make_unique<CDataMap>();
    table->SetColumnCount(static_cast<int>(headers.size()));
    for (size_t i = 0; i < headers.size(); ++i)
        table->GetHeaderRow()->SetField(static_cast<int>(i), headers[i].c_str());
    for (size_t i = 0; i < codes.size(); ++i) table->GetMappingRow()->SetField(static_cast<int>(i), codes[i]);
    return table;
}

std::string Code(CDataMap& table, int nColumn) {
    auto code = table.GetMappingRow()->PeekField(nColumn);
    return code ? std::string(*code) : std::string("<absent>");
}

QString Text(const char* pszKey, size_t nSize = 261) {
    return QString::fromUtf8(GetText(pszKey, nSize).c_str());
}

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

using combotest::Choose;

// The info text's lines for columns without a type, naming them.
QString EmptyInfo(const QStringList& columns) {
    QStringList quoted;
    for (const QString& column : columns) quoted << "\"" + column + "\"";
    return Text("MappingDlg_Info_Empty_Entry", 128) + "\n" +
           Text("MappingDlg_Info_Empty_Columns", 128).replace("%s", quoted.join(", "));
}

}  // namespace

class TestMappingDlg : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void newModeFromEmptyToComplete();
    void brokenRuleIsNamedAndNothingSaved_data();
    void brokenRuleIsNamedAndNothingSaved();
    void newModeSavesIntoMappingsFolder();
    void nameInPartsWithoutCompanySaves();
    void editModeReplacesCurrentFileAfterQuestion();
    void declinedOverwriteLeavesFileAlone();
    void cancelLeavesFileUnchanged();
    void unwritableTargetKeepsDialogOpen();
    void untouchedNameKeepsItsBytes();
    void typedTextsAreLimitedToOneLine();
    void widerDialogMovesAnchoredControls();
    void anchoredRect_data();
    void anchoredRect();
    void listShowsCodes();
    void boxesAndColumnWidths();
    void sampleColumnShowsFirstValues();
    void scrollingRebindsPool();
    void keyboardOpensRowDropDown();
    void manyColumns();
    void languageChangeKeepsChoices();
    void mappingPathAndResultBuffers();
    void newStartFromNearestMapping();
    void namePartsOrderTheName();

private:
    CMappingDlg* OpenDialog(CDataMap* pTable, bool bNewMode, const QString& mappingPath);
    QString InfoOf(CMappingDlg* pDlg) const { return pDlg->findChild<QLabel*>("1057")->text(); }
    QString LogText() const;

    QTemporaryDir m_programDir;
    QString m_mappings;
    QString m_logDir;
    qvxui::CScriptedMessageBoxes m_boxes;
    std::unique_ptr<CMappingDlg> m_pDlg;
};

void TestMappingDlg::initTestCase() {
    QVERIFY(m_programDir.isValid());
    const QString program = m_programDir.path();
    QVERIFY(QFile::copy(QStringLiteral(QVX_PROGRAM_DIR "/language.ini"), program + "/language.ini"));
    QFile::setPermissions(program + "/language.ini", QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(QDir(program).mkpath("mappings"));
    QVERIFY(QDir(program).mkpath("log"));
    m_mappings = program + "/mappings";
    m_logDir = program + "/log";
    qvxplatform::SetProgramFolder(program.toStdString());
    QVERIFY(SetLanguageFile((program + "/language.ini").toUtf8().constData()));

    // The trace log goes into the temporary folder, so that its records can be read.
    QVERIFY(chdir(m_logDir.toUtf8().constData()) == 0);
    LOG_INIT();
    LOG_CONFIG config{};
    config.nMode = 1;
    strcpy(config.szFileName, "QVXWizard.l_0");
    config.nMaxSize = 0x1000000;
    QVERIFY(LOG_START(&config) >= 0);
}

void TestMappingDlg::init() {
    QVERIFY(SetLanguage("English"));
    m_boxes.Clear();
    qvxui::SetMessageBoxes(&m_boxes);
}

void TestMappingDlg::cleanup() {
    m_pDlg.reset();
    qvxui::SetMessageBoxes(nullptr);
    QDir mappings(m_mappings);
    for (const QString& name : mappings.entryList(QDir::Files)) mappings.remove(name);
}

QString TestMappingDlg::LogText() const {
    return QString::fromUtf8(ReadBytes(m_logDir + "/QVXWizard.l_0"));
}

CMappingDlg* TestMappingDlg::OpenDialog(CDataMap* pTable, bool bNewMode, const QString& mappingPath) {
    m_pDlg = std::make_unique<CMappingDlg>();
    if (bNewMode) m_pDlg->SetNewMode();
    m_pDlg->SetDataMap(pTable);
    const QByteArray path = QFile::encodeName(mappingPath);
    m_pDlg->SetMappingPath(path.constData(), 261);
    m_pDlg->show();
    if (!QTest::qWaitForWindowExposed(m_pDlg.get())) return nullptr;
    return m_pDlg.get();
}

void TestMappingDlg::newModeFromEmptyToComplete() {
    // Codes left from another mapping are dropped in new mode.
    auto table = MakeTable(kFiveHeaders, {"N", "C", "PD", "E", "-"});
    table->SetName("old");
    CMappingDlg* pDlg = OpenDialog(table.get(), true, m_mappings + "/");
    QVERIFY(pDlg);
    QCOMPARE(pDlg->windowTitle(), Text("MappingDlg_WindowText_New"));
    QCOMPARE(pDlg->findChild<QLineEdit*>("1012")->text(), QString());
    CPropertyListCtrl* pList = pDlg->PropertyList();
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(pList->item(i, 0)->text(), QString::fromStdString(kFiveHeaders[size_t(i)]));
        QCOMPARE(pList->BoxForRow(i)->currentIndex(), -1);
        QCOMPARE(Code(*table, i), std::string());
    }

    const QString noName = Text("MappingDlg_Info_No_Name", 128) + "\n";
    const QString twoCompanies = Text("MappingDlg_Info_ToMany_Company", 128) + "\n";
    QCOMPARE(InfoOf(pDlg), noName + EmptyInfo({"Name", "Firma", "Telefon", "E-Mail", "Notiz"}));

    struct Step {
        int nRow;
        int nItem;
        const char* pszCode;
        QString info;
    };
    const Step steps[] = {
        {2, kPhone, "PD", noName + EmptyInfo({"Name", "Firma", "E-Mail", "Notiz"})},
        {0, kName, "N", EmptyInfo({"Firma", "E-Mail", "Notiz"})},
        {1, kCompany, "C", EmptyInfo({"E-Mail", "Notiz"})},
        {3, kEmail, "E", EmptyInfo({"Notiz"})},
        {4, kHidden, "X", QString()},
        {4, kOther, "-", QString()},
        {3, kName, "N", QString()},  // the name in two columns
        {3, kCompany, "C", twoCompanies},
        {0, kPhone, "PD", noName + twoCompanies},
        {0, kName, "N", twoCompanies},
        {3, kLocation, "L", QString()},
        {1, kOther, "-", QString()},  // no company column at all
    };
    for (const Step& step : steps) {
        QVERIFY(Choose(pList->BoxForRow(step.nRow), step.nItem));
        QCOMPARE(Code(*table, step.nRow), std::string(step.pszCode));
        QCOMPARE(InfoOf(pDlg), step.info);
    }
}

void TestMappingDlg::brokenRuleIsNamedAndNothingSaved_data() {
    QTest::addColumn<QStringList>("codes");
    QTest::addColumn<QString>("key");
    QTest::newRow("no name") << QStringList{"PD", "C", "E"} << "MappingDlg_Info_No_Name";
    QTest::newRow("no name before two companies") << QStringList{"C", "C", ""} << "MappingDlg_Info_No_Name";
    QTest::newRow("two companies") << QStringList{"N", "C", "C"} << "MappingDlg_Info_ToMany_Company";
    QTest::newRow("two companies around the name")
        << QStringList{"C", "N", "C"} << "MappingDlg_Info_ToMany_Company";
    QTest::newRow("two names before empty") << QStringList{"N", "N", ""} << "MappingDlg_Info_Empty_Entry";
    QTest::newRow("empty code") << QStringList{"N", "C", ""} << "MappingDlg_Info_Empty_Entry";
}

void TestMappingDlg::brokenRuleIsNamedAndNothingSaved() {
    QFETCH(QStringList, codes);
    QFETCH(QString, key);
    std::vector<std::string> stored;
    for (const QString& code : codes) stored.push_back(code.toStdString());
    auto table =
        MakeTable({"Name", "Firma", "Telefon"}, {stored[0].c_str(), stored[1].c_str(), stored[2].c_str()});
    const QString file = m_mappings + "/kept.map";
    WriteBytes(file, "Quorvex mapping file\r\n\"a\"\r\n\"N\"\r\nName:\r\nDescription:\r\n");
    CMappingDlg* pDlg = OpenDialog(table.get(), false, file);
    QVERIFY(pDlg);
    m_boxes.QueueFileName(file);  // must not be asked for

    QTest::mouseClick(pDlg->findChild<CIconButton*>("1"), Qt::LeftButton);
    QCOMPARE(m_boxes.Count(), 1);
    const auto shown = m_boxes.Last();
    QCOMPARE(int(shown.eKind), int(qvxui::CScriptedMessageBoxes::Kind::Message));
    QCOMPARE(shown.text, Text(key.toUtf8().constData(), 261));
    QCOMPARE(shown.caption, QStringLiteral("Quorvex"));
    QCOMPARE(int(shown.eIcon), int(qvxui::MsgIcon::None));
    QCOMPARE(int(shown.eButtons), int(qvxui::MsgButtons::Ok));
    QVERIFY(pDlg->isVisible());
    QCOMPARE(pDlg->result(), 0);
    QCOMPARE(ReadBytes(file),
             QByteArray("Quorvex mapping file\r\n\"a\"\r\n\"N\"\r\nName:\r\nDescription:\r\n"));
}

void TestMappingDlg::newModeSavesIntoMappingsFolder() {
    auto table = MakeTable({"Name", "Firma", "Tel \"privat\""});
    CMappingDlg* pDlg = OpenDialog(table.get(), true, m_mappings + "/");
    QVERIFY(pDlg);
    CPropertyListCtrl* pList = pDlg->PropertyList();
    QVERIFY(Choose(pList->BoxForRow(0), kName));
    QVERIFY(Choose(pList->BoxForRow(1), kCompany));
    QVERIFY(Choose(pList->BoxForRow(2), kPhone));
    QTest::keyClicks(pDlg->findChild<QLineEdit*>("1012"), "Office");
    QTest::keyClicks(pDlg->findChild<QPlainTextEdit*>("1013"), "Work contacts");

    const QString target = m_mappings + "/office";  // the suffix is added
    m_boxes.QueueFileName(target);
    QTest::mouseClick(pDlg->findChild<CIconButton*>("1"), Qt::LeftButton);
    QTRY_VERIFY(!pDlg->isVisible());
    QCOMPARE(pDlg->result(), int(QDialog::Accepted));

    const auto history = m_boxes.History();
    QCOMPARE(int(history.size()), 1);  // no question before a new file is made
    QCOMPARE(int(history[0].eKind), int(qvxui::CScriptedMessageBoxes::Kind::SaveFile));
    QCOMPARE(history[0].options.startFolder, m_mappings + "/");
    QCOMPARE(history[0].options.fileName, QStringLiteral("Office.map"));  // from the name
    QCOMPARE(history[0].options.filter, QStringLiteral("*.map|*.map||"));
    QCOMPARE(history[0].options.defaultSuffix, QStringLiteral("map"));
    QVERIFY(history[0].options.bOverwritePrompt);
    QVERIFY(!history[0].options.bCreatePrompt);

    QCOMPARE(ReadBytes(target + ".map"), QByteArray("Quorvex mapping file\r\n"
                                                    "\"Name\",\"Firma\",\"Tel \"\"privat\"\"\"\r\n"
                                                    "\"N\",\"C\",\"PD\"\r\n"
                                                    "Name:Office\r\n"
                                                    "Description:Work contacts\r\n"));
    char szName[261], szPath[261], szSmall[260] = "untouched";
    pDlg->GetFileName(szName, sizeof szName);
    pDlg->GetFilePath(szPath, sizeof szPath);
    pDlg->GetFileName(szSmall, sizeof szSmall);
    QCOMPARE(QString(szName), QStringLiteral("office.map"));
    QCOMPARE(QFile::decodeName(szPath), target + ".map");
    QCOMPARE(QString(szSmall), QStringLiteral("untouched"));
    char szText[97];
    QCOMPARE(table->GetName(szText, 96), 0);
    QCOMPARE(QString(szText), QStringLiteral("Office"));
    QCOMPARE(table->GetDescription(szText, 96), 0);
    QCOMPARE(QString(szText), QStringLiteral("Work contacts"));
}

void TestMappingDlg::nameInPartsWithoutCompanySaves() {
    auto table = MakeTable({"Vorname", "Nachname", "Telefon", "E-Mail"});
    CMappingDlg* pDlg = OpenDialog(table.get(), true, m_mappings + "/");
    QVERIFY(pDlg);
    CPropertyListCtrl* pList = pDlg->PropertyList();
    QVERIFY(Choose(pList->BoxForRow(0), kName));
    QVERIFY(Choose(pList->BoxForRow(1), kName));
    QVERIFY(Choose(pList->BoxForRow(2), kPhone));
    QVERIFY(Choose(pList->BoxForRow(3), kEmail));
    QCOMPARE(InfoOf(pDlg), QString());
    const QString target = m_mappings + "/parts.map";
    m_boxes.QueueFileName(target);
    m_boxes.QueueAnswer(qvxui::MsgAnswer::Yes);
    QTest::mouseClick(pDlg->findChild<CIconButton*>("1"), Qt::LeftButton);
    QTRY_VERIFY(!pDlg->isVisible());
    QCOMPARE(ReadBytes(target), QByteArray("Quorvex mapping file\r\n"
                                           "\"Vorname\",\"Nachname\",\"Telefon\",\"E-Mail\"\r\n"
                                           "\"N\",\"N\",\"PD\",\"E\"\r\n"
                                           "Name:\r\n"
                                           "Description:\r\n"));
}

void TestMappingDlg::editModeReplacesCurrentFileAfterQuestion() {
    const QString file = m_mappings + "/current.map";
    WriteBytes(file,
               "Quorvex mapping file\r\n\"Name\",\"Firma\"\r\n\"N\",\"C\"\r\nName:Old\r\nDescription:D\r\n");
    auto table = MakeTable({"Name", "Firma", "Mobil"}, {"N", "C", ""});
    table->SetName("Old");
    table->SetDescription("D");
    CMappingDlg* pDlg = OpenDialog(table.get(), false, file);
    QVERIFY(pDlg);
    QCOMPARE(pDlg->windowTitle(), Text("MappingDlg_WindowText_Edit"));
    QCOMPARE(pDlg->findChild<QLineEdit*>("1012")->text(), QStringLiteral("Old"));
    QCOMPARE(pDlg->findChild<QPlainTextEdit*>("1013")->toPlainText(), QStringLiteral("D"));
    CPropertyListCtrl* pList = pDlg->PropertyList();
    QCOMPARE(pList->BoxForRow(0)->currentIndex(), int(kName));
    QCOMPARE(pList->BoxForRow(1)->currentIndex(), int(kCompany));
    QCOMPARE(InfoOf(pDlg), EmptyInfo({"Mobil"}));
    QVERIFY(Choose(pList->BoxForRow(2), kPhone));
    QCOMPARE(InfoOf(pDlg), QString());

    m_boxes.QueueFileName(file);
    m_boxes.QueueAnswer(qvxui::MsgAnswer::Yes);
    QTest::keyClick(pDlg->findChild<QLineEdit*>("1012"), Qt::Key_Return);  // OK is the default button
    QTRY_VERIFY(!pDlg->isVisible());

    const auto history = m_boxes.History();
    QCOMPARE(int(history.size()), 2);
    QCOMPARE(history[0].options.fileName, file);
    QCOMPARE(history[1].text, qvxui::OverwriteQuestion(file));
    QCOMPARE(int(history[1].eIcon), int(qvxui::MsgIcon::Warning));
    QCOMPARE(ReadBytes(file), QByteArray("Quorvex mapping file\r\n\"Name\",\"Firma\",\"Mobil\"\r\n"
                                         "\"N\",\"C\",\"PD\"\r\nName:Old\r\nDescription:D\r\n"));
    QVERIFY(QDir(m_mappings).entryList(QDir::Files) == QStringList{"current.map"});
}

void TestMappingDlg::declinedOverwriteLeavesFileAlone() {
    const QByteArray before =
        "Quorvex mapping file\r\n\"Name\",\"Firma\"\r\n\"N\",\"C\"\r\nName:\r\nDescription:\r\n";
    const QString file = m_mappings + "/current.map";
    WriteBytes(file, before);
    auto table = MakeTable({"Name", "Firma"}, {"C", "N"});
    CMappingDlg* pDlg = OpenDialog(table.get(), false, file);
    QVERIFY(pDlg);
    m_boxes.QueueFileName(file);
    m_boxes.QueueAnswer(qvxui::MsgAnswer::No);  // then the file dialog again, cancelled
    QTest::mouseClick(pDlg->findChild<CIconButton*>("1"), Qt::LeftButton);
    QCOMPARE(m_boxes.Count(), 3);
    QVERIFY(pDlg->isVisible());
    QCOMPARE(ReadBytes(file), before);
    char szPath[261] = "x";
    pDlg->GetFilePath(szPath, sizeof szPath);
    QCOMPARE(QString(szPath), QString());
}

void TestMappingDlg::cancelLeavesFileUnchanged() {
    const QByteArray before =
        "Quorvex mapping file\r\n\"Name\",\"Firma\"\r\n\"N\",\"C\"\r\nName:A\r\nDescription:B\r\n";
    const QString file = m_mappings + "/current.map";
    for (bool bEscape : {false, true}) {
        WriteBytes(file, before);
        auto table = MakeTable({"Name", "Firma"}, {"N", "C"});
        CMappingDlg* pDlg = OpenDialog(table.get(), false, file);
        QVERIFY(pDlg);
        QVERIFY(Choose(pDlg->PropertyList()->BoxForRow(0), kCompany));
        QTest::keyClicks(pDlg->findChild<QLineEdit*>("1012"), "changed");
        if (bEscape)
            QTest::keyClick(pDlg, Qt::Key_Escape);
        else
            QTest::mouseClick(pDlg->findChild<CIconButton*>("2"), Qt::LeftButton);
        QTRY_VERIFY(!pDlg->isVisible());
        QCOMPARE(pDlg->result(), int(QDialog::Rejected));
        QCOMPARE(m_boxes.Count(), 0);
        QCOMPARE(ReadBytes(file), before);
        // The table keeps the choice; the caller applies the file again.
        QCOMPARE(Code(*table, 0), std::string("C"));
    }
}

void TestMappingDlg::unwritableTargetKeepsDialogOpen() {
    auto table = MakeTable({"Name", "Firma"}, {"N", "C"});
    CMappingDlg* pDlg = OpenDialog(table.get(), false, m_mappings + "/x.map");
    QVERIFY(pDlg);
    const QString target = m_mappings + "/missing-folder/x.map";
    m_boxes.QueueFileName(target);
    QTest::mouseClick(pDlg->findChild<CIconButton*>("1"), Qt::LeftButton);
    QVERIFY(pDlg->isVisible());
    QCOMPARE(m_boxes.Count(), 1);  // no message about the failure
    QVERIFY(LogText().contains("WARNING: SaveMapping() Open file(" + target + ") failed !"));

    // A path the caller could not keep in its 261 bytes is refused the same way.
    m_boxes.Clear();
    const QString longPath = m_mappings + "/" + QString(250, 'a') + ".map";
    m_boxes.QueueFileName(longPath);
    m_boxes.QueueAnswer(qvxui::MsgAnswer::Yes);
    QTest::mouseClick(pDlg->findChild<CIconButton*>("1"), Qt::LeftButton);
    QVERIFY(pDlg->isVisible());
    QVERIFY(!QFile::exists(longPath));
}

void TestMappingDlg::untouchedNameKeepsItsBytes() {
    // A name in another code page shows with replacement marks; saving it
    // untouched must write the bytes it came from.
    auto table = MakeTable({"Name", "Firma"}, {"N", "C"});
    table->SetName("Caf\xE9");
    table->SetDescription("M\xFCller & Co");
    const QString file = m_mappings + "/latin.map";
    CMappingDlg* pDlg = OpenDialog(table.get(), false, file);
    QVERIFY(pDlg);
    m_boxes.QueueFileName(file);
    m_boxes.QueueAnswer(qvxui::MsgAnswer::Yes);
    QTest::mouseClick(pDlg->findChild<CIconButton*>("1"), Qt::LeftButton);
    QTRY_VERIFY(!pDlg->isVisible());
    QVERIFY(ReadBytes(file).endsWith("Name:Caf\xE9\r\nDescription:M\xFCller & Co\r\n"));
}

void TestMappingDlg::typedTextsAreLimitedToOneLine() {
    auto table = MakeTable({"Name", "Firma"}, {"N", "C"});
    const QString file = m_mappings + "/limits.map";
    CMappingDlg* pDlg = OpenDialog(table.get(), false, file);
    QVERIFY(pDlg);
    auto* pName = pDlg->findChild<QLineEdit*>("1012");
    auto* pDescription = pDlg->findChild<QPlainTextEdit*>("1013");
    // 96 characters can be typed; the 96-byte buffer keeps 95 of them, cut
    // before a character that would not fit whole.
    QTest::keyClicks(pName, QString(100, 'n'));
    QCOMPARE(pName->text().size(), 96);
    pName->setText(QString(47, QChar(0xE4)) + "xy");
    QTest::keyClicks(pDescription, QString(300, 'd'));
    QCOMPARE(pDescription->toPlainText().size(), 256);
    pDescription->clear();
    QTest::keyClicks(pDescription, "first");
    QTest::keyClick(pDescription, Qt::Key_Return);  // no line break: Enter belongs to the dialog
    QVERIFY(pDlg->isVisible());
    QApplication::clipboard()->setText("\nline two\r\nend");
    pDescription->paste();
    QCOMPARE(pDescription->toPlainText(), QStringLiteral("first line two end"));

    m_boxes.QueueFileName(file);
    m_boxes.QueueAnswer(qvxui::MsgAnswer::Yes);
    QTest::mouseClick(pDlg->findChild<CIconButton*>("1"), Qt::LeftButton);
    QTRY_VERIFY(!pDlg->isVisible());
    // 47 two-byte characters and "x" are 95 bytes; "y" is cut.
    const QByteArray expectedName = "Name:" + QString(47, QChar(0xE4)).toUtf8() + "x\r\n";
    QVERIFY(ReadBytes(file).endsWith(expectedName + "Description:first line two end\r\n"));
}

void TestMappingDlg::widerDialogMovesAnchoredControls() {
    auto table = MakeTable(kFiveHeaders);
    CMappingDlg* pDlg = OpenDialog(table.get(), true, m_mappings + "/");
    QVERIFY(pDlg);
    // It opens taller than the size it can shrink to.
    const QSize opening = pDlg->OpeningSize();
    QCOMPARE(pDlg->minimumSize(), opening);
    QVERIFY(pDlg->height() > opening.height());
    pDlg->resize(opening);
    QTRY_COMPARE(pDlg->size(), opening);
    const char* ids[] = {"1016", "1017", "1012", "1013", "1011", "1057", "1", "2"};
    std::vector<QRect> before;
    for (const char* id : ids) before.push_back(pDlg->findChild<QWidget*>(id)->geometry());

    const int dx = 120, dy = 60;
    pDlg->resize(opening.width() + dx, opening.height() + dy);
    QTRY_COMPARE(pDlg->size(), QSize(opening.width() + dx, opening.height() + dy));
    std::vector<QRect> after;
    for (const char* id : ids) after.push_back(pDlg->findChild<QWidget*>(id)->geometry());
    QCOMPARE(after[0], before[0]);  // labels stay
    QCOMPARE(after[1], before[1]);
    QCOMPARE(after[2], before[2].adjusted(0, 0, dx, 0));                    // name box widens
    QCOMPARE(after[3], before[3].adjusted(0, 0, dx, 0));                    // description widens
    QCOMPARE(after[4], before[4].adjusted(0, 0, dx, dy));                   // list grows
    QCOMPARE(after[5], before[5].translated(0, dy).adjusted(0, 0, dx, 0));  // info follows the bottom
    QCOMPARE(after[6], before[6].translated(dx, dy));                       // buttons follow the corner
    QCOMPARE(after[7], before[7].translated(dx, dy));
    CPropertyListCtrl* pList = pDlg->PropertyList();
    QTRY_COMPARE(pList->columnWidth(0) + pList->columnWidth(1) + pList->columnWidth(2),
                 pList->viewport()->width());
    QCOMPARE(pList->Box(0)->x(), pList->columnViewportPosition(1));
    QCOMPARE(pList->Box(0)->width(), pList->columnWidth(1));

    pDlg->resize(opening.width() - 50, opening.height() - 50);
    QTRY_COMPARE(pDlg->size(), opening);
    for (size_t i = 0; i < before.size(); ++i)
        QCOMPARE(pDlg->findChild<QWidget*>(ids[i])->geometry(), before[i]);

    // A control anchored on neither side of an axis is not moved.
    QWidget* pLabel = pDlg->findChild<QWidget*>("1016");
    CMappingDlg::CtrlAnchor loose;
    loose.bLeft = true;
    pDlg->UpdateCtrlSpacing(pLabel, loose, 999, 999);
    QCOMPARE(pLabel->geometry(), before[0]);
    QVERIFY(LogText().contains(
        "WARNING: UpdateCtrlSpacing() Ctrl should be anchored at Top or Bottom and Left or Right ("));
}

void TestMappingDlg::anchoredRect_data() {
    QTest::addColumn<int>("sides");  // bits: 1 top, 2 bottom, 4 left, 8 right
    QTest::addColumn<QRect>("expected");
    // Anchors 10 / 20 / 30 / 40 where anchored, else a size of 50 x 60 (height x width).
    QTest::newRow("all four") << 15 << QRect(30, 10, 400 - 30 - 40, 300 - 10 - 20);
    QTest::newRow("bottom right") << 10 << QRect(400 - 40 - 60, 300 - 20 - 50, 60, 50);
    QTest::newRow("top left") << 5 << QRect(30, 10, 60, 50);
    QTest::newRow("top, left and right") << 13 << QRect(30, 10, 330, 50);
    QTest::newRow("only left") << 4 << QRect();
    QTest::newRow("top and bottom only") << 3 << QRect();
}

void TestMappingDlg::anchoredRect() {
    QFETCH(int, sides);
    QFETCH(QRect, expected);
    CMappingDlg::CtrlAnchor a;
    a.bTop = sides & 1;
    a.bBottom = sides & 2;
    a.bLeft = sides & 4;
    a.bRight = sides & 8;
    a.nTop = a.bTop ? 10 : 50;
    a.nBottom = a.bBottom ? 20 : 50;
    a.nLeft = a.bLeft ? 30 : 60;
    a.nRight = a.bRight ? 40 : 60;
    QRect rect;
    QCOMPARE(CMappingDlg::AnchoredRect(a, 400, 300, &rect), expected.isValid());
    if (expected.isValid()) QCOMPARE(rect, expected);
}

void TestMappingDlg::listShowsCodes() {
    auto table = MakeTable({"a", "b", "c", "d", "e", "f"}, {"X", "Q", "G", "I", "pd", "-"});
    CMappingDlg* pDlg = OpenDialog(table.get(), false, m_mappings + "/x.map");
    QVERIFY(pDlg);
    CPropertyListCtrl* pList = pDlg->PropertyList();
    QCOMPARE(pList->BoxForRow(0)->currentText(), Text("PropertyType_Hidden", 129));
    QCOMPARE(pList->BoxForRow(1)->currentIndex(), -1);  // unknown code
    QCOMPARE(pList->BoxForRow(1)->placeholderText(), QString());
    // Group codes are shown, but cannot be chosen.
    QCOMPARE(pList->BoxForRow(2)->currentIndex(), -1);
    QCOMPARE(pList->BoxForRow(2)->placeholderText(), Text("PropertyType_Group", 129));
    QCOMPARE(pList->BoxForRow(3)->placeholderText(), Text("PropertyType_GroupInfo", 129));
    QCOMPARE(pList->BoxForRow(4)->currentIndex(), -1);  // codes are compared exactly
    QCOMPARE(pList->BoxForRow(5)->currentIndex(), int(kOther));
    QCOMPARE(pList->BoxForRow(0)->count(), 7);
    for (int i = 0; i < 6; ++i) QVERIFY(pList->BoxForRow(i)->findText(Text("PropertyType_Group", 129)) < 0);
    QCOMPARE(Code(*table, 3), std::string("I"));  // shown, not changed
    QVERIFY(Choose(pList->BoxForRow(2), kLocation));
    QCOMPARE(Code(*table, 2), std::string("L"));
    QCOMPARE(pList->BoxForRow(2)->placeholderText(), QString());
}

void TestMappingDlg::boxesAndColumnWidths() {
    auto table = MakeTable({"a", "b", "c"});
    CMappingDlg* pDlg = OpenDialog(table.get(), true, m_mappings + "/");
    QVERIFY(pDlg);
    CPropertyListCtrl* pList = pDlg->PropertyList();
    QCOMPARE(pList->CreatedBoxCount(), 7);
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(pList->findChild<CListCtrlComboBox*>(QString::number(5000 + i)), pList->Box(i));
        QCOMPARE(pList->Box(i)->isVisible(), i < 3);
    }
    const int nWidth = pList->viewport()->width();
    QCOMPARE(pList->columnWidth(0), 165);
    QCOMPARE(pList->columnWidth(1), 150);
    QCOMPARE(pList->columnWidth(2), nWidth - 165 - 150);

    // The first divider dragged to the far right leaves the others their 20 pixels.
    pList->horizontalHeader()->resizeSection(0, 5000);
    QCOMPARE(pList->columnWidth(0), nWidth - 40);
    QCOMPARE(pList->columnWidth(1), 20);
    QCOMPARE(pList->columnWidth(2), 20);
    QCOMPARE(pList->Box(0)->geometry().left(), pList->columnViewportPosition(1));
    QCOMPARE(pList->Box(0)->width(), 20);
    pList->horizontalHeader()->resizeSection(0, 3);
    QCOMPARE(pList->columnWidth(0), 20);
    QCOMPARE(pList->columnWidth(1), 20);
    QCOMPARE(pList->columnWidth(2), nWidth - 40);
    // The second one: the samples keep 20 pixels, the first column stays.
    pList->horizontalHeader()->resizeSection(1, 5000);
    QCOMPARE(pList->columnWidth(0), 20);
    QCOMPARE(pList->columnWidth(1), nWidth - 40);
    QCOMPARE(pList->columnWidth(2), 20);
    QCOMPARE(pList->Box(0)->width(), nWidth - 40);
}

void TestMappingDlg::sampleColumnShowsFirstValues() {
    auto table = MakeTable({"Phone 1 - Label", "Phone 1 - Value", "Notes", "Empty"});
    m_pDlg = std::make_unique<CMappingDlg>();
    m_pDlg->SetNewMode();
    m_pDlg->SetDataMap(table.get());
    const std::string longValue(2000, 'x');
    m_pDlg->SetSamples(
        {{"Mobile", "Work", "Home"}, {"+49 171 1", "+49 30 2"}, {"first line\nsecond line", longValue}, {}});
    m_pDlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pDlg.get()));
    CPropertyListCtrl* pList = m_pDlg->PropertyList();
    QCOMPARE(pList->columnCount(), 3);
    QCOMPARE(pList->horizontalHeaderItem(2)->text(), Text("MappingDlg_ListCtrl_Samples"));
    QCOMPARE(pList->item(0, 2)->text(), QStringLiteral("Mobile | Work | Home"));
    QCOMPARE(pList->item(0, 2)->toolTip(), QStringLiteral("Mobile\nWork\nHome"));
    QCOMPARE(pList->item(1, 2)->text(), QStringLiteral("+49 171 1 | +49 30 2"));
    // One line in the list, the whole values (up to a detail's length) in the tool tip.
    QCOMPARE(pList->item(2, 2)->text(), "first line second line | " + QString(1025, 'x'));
    QCOMPARE(pList->item(2, 2)->toolTip(), "first line\nsecond line\n" + QString(1025, 'x'));
    QVERIFY(pList->item(3, 2) == nullptr || pList->item(3, 2)->text().isEmpty());
    // Cut to fit: the list elides what does not fit the column.
    QCOMPARE(pList->textElideMode(), Qt::ElideRight);
    QVERIFY(pList->columnWidth(2) >= CPropertyListCtrl::kMinColumnWidth);

    QVERIFY(SetLanguage("Deutsch"));
    QEvent change(QEvent::LanguageChange);
    QApplication::sendEvent(m_pDlg.get(), &change);
    QCOMPARE(pList->horizontalHeaderItem(2)->text(), QStringLiteral("Beispielwerte"));
}

void TestMappingDlg::scrollingRebindsPool() {
    std::vector<std::string> headers;
    std::vector<const char*> codes;
    const char* cycle[] = {"PD", "N", "C", "L", "E", "-", "X"};
    for (int i = 0; i < 20; ++i) {
        headers.push_back("col" + std::to_string(i));
        codes.push_back(cycle[i % 7]);
    }
    auto table = MakeTable(headers, codes);
    CMappingDlg* pDlg = OpenDialog(table.get(), false, m_mappings + "/x.map");
    QVERIFY(pDlg);
    CPropertyListCtrl* pList = pDlg->PropertyList();
    QCOMPARE(pList->columnWidth(0), 149);
    // Make the list show exactly eight rows.
    const int nExtra = 8 * pList->RowHeight() - pList->viewport()->height();
    pDlg->resize(pDlg->width(), pDlg->height() + nExtra);
    QTRY_COMPARE(pList->RowsPerPage(), 8);
    QVERIFY(pList->CreatedBoxCount() >= 9);  // made for the taller opening
    QCOMPARE(pList->Box(0)->BoundRow(), 0);

    pList->verticalScrollBar()->setValue(1);
    QTRY_COMPARE(pList->TopRow(), 1);
    QCOMPARE(pList->Box(0)->BoundRow(), 1);
    QCOMPARE(pList->Box(0)->currentIndex(), 1);  // row 1 holds "N"
    QCOMPARE(pList->Box(0)->geometry().top(), pList->rowViewportPosition(1));
    QCOMPARE(pList->BoxForRow(0), nullptr);

    // Choosing through a re-bound box writes the row it shows.
    QVERIFY(Choose(pList->Box(0), kEmail));
    QCOMPARE(Code(*table, 1), std::string("E"));
    QCOMPARE(Code(*table, 0), std::string("PD"));
}

void TestMappingDlg::keyboardOpensRowDropDown() {
    std::vector<std::string> headers;
    for (int i = 0; i < 20; ++i) headers.push_back("col" + std::to_string(i));
    auto table = MakeTable(headers, std::vector<const char*>(20, "N"));
    CMappingDlg* pDlg = OpenDialog(table.get(), false, m_mappings + "/x.map");
    QVERIFY(pDlg);
    CPropertyListCtrl* pList = pDlg->PropertyList();
    pList->setFocus();
    pList->setCurrentCell(15, 0);
    QTest::keyClick(pList, Qt::Key_F4);
    CListCtrlComboBox* pBox = pList->BoxForRow(15);
    QVERIFY(pBox);
    QTRY_VERIFY(pBox->view()->isVisible());
    QTest::keyClick(pBox->view(), Qt::Key_Down);
    QTest::keyClick(pBox->view(), Qt::Key_Return);
    QTRY_VERIFY(!pBox->view()->isVisible());
    QCOMPARE(Code(*table, 15), std::string("C"));
    QCOMPARE(Code(*table, 14), std::string("N"));
}

void TestMappingDlg::manyColumns() {
    const int nColumns = 2000;
    std::vector<std::string> headers;
    for (int i = 0; i < nColumns; ++i) headers.push_back("Spalte " + std::to_string(i));
    auto table = MakeTable(headers);
    CMappingDlg* pDlg = OpenDialog(table.get(), true, m_mappings + "/");
    QVERIFY(pDlg);
    CPropertyListCtrl* pList = pDlg->PropertyList();
    QCOMPARE(pList->rowCount(), nColumns);
    QCOMPARE(pList->CreatedBoxCount(), std::max(7, pList->RowsPerPage() + 1));
    QCOMPARE(int(pList->findChildren<CListCtrlComboBox*>().size()), pList->CreatedBoxCount());

    CListCtrlComboBox* pLast = pList->ShowRow(nColumns - 1);
    QVERIFY(pLast);
    QCOMPARE(pLast->BoundRow(), nColumns - 1);
    QVERIFY(Choose(pLast, kOther));
    QCOMPARE(Code(*table, nColumns - 1), std::string("-"));
    QCOMPARE(Code(*table, nColumns - 2), std::string());
    QVERIFY(pList->ShowRow(0));
    QCOMPARE(pList->BoxForRow(0)->currentIndex(), -1);
    QCOMPARE(int(pList->findChildren<CListCtrlComboBox*>().size()), pList->CreatedBoxCount());
}

void TestMappingDlg::languageChangeKeepsChoices() {
    auto table = MakeTable({"Name", "Firma"}, {"N", ""});
    CMappingDlg* pDlg = OpenDialog(table.get(), false, m_mappings + "/x.map");
    QVERIFY(pDlg);
    QVERIFY(SetLanguage("Deutsch"));
    QEvent change(QEvent::LanguageChange);
    QApplication::sendEvent(pDlg, &change);
    QCOMPARE(pDlg->windowTitle(), Text("MappingDlg_WindowText_Edit"));
    QCOMPARE(pDlg->windowTitle(), QStringLiteral("Zuordnung bearbeiten"));
    QCOMPARE(pDlg->findChild<CIconButton*>("1")->text(), Text("MappingDlg_Button_OK"));
    QCOMPARE(pDlg->findChild<CIconButton*>("2")->GetButtonTooltip(), Text("MappingDlg_ButtonToolTip_Cancel"));
    CPropertyListCtrl* pList = pDlg->PropertyList();
    QCOMPARE(pList->horizontalHeaderItem(0)->text(), Text("MappingDlg_ListCtrl_Header"));
    QCOMPARE(pList->BoxForRow(0)->currentText(), Text("PropertyType_Name", 129));
    QCOMPARE(pList->BoxForRow(1)->itemText(kCompany), QStringLiteral("Firma"));
    QCOMPARE(InfoOf(pDlg), EmptyInfo({"Firma"}));
    // German item texts still give the codes.
    QVERIFY(Choose(pList->BoxForRow(1), kCompany));
    QCOMPARE(Code(*table, 1), std::string("C"));
    QCOMPARE(InfoOf(pDlg), QString());
}

void TestMappingDlg::mappingPathAndResultBuffers() {
    CMappingDlg dlg;
    const std::string folder = (m_mappings + "/").toStdString();
    dlg.SetMappingPath(folder.c_str(), 262);  // too large a size: ignored
    auto table = MakeTable({"Name", "Firma"}, {"N", "C"});
    dlg.SetDataMap(table.get());
    dlg.SetMappingPath("abcdef", 4);  // at most size - 1 bytes
    dlg.show();
    m_boxes.QueueFileName(QString());
    QVERIFY(!dlg.SaveMapping());
    QCOMPARE(m_boxes.Last().options.fileName, QStringLiteral("abc"));
}

// A file no mapping fits: the new mapping starts from the nearest one, the
// columns it does not know guessed and marked (sure, doubtful or unknown)
// until the user changes them, the doubtful ones named, and Save As
// proposes a file of its own beside the nearest mapping's file.
void TestMappingDlg::newStartFromNearestMapping() {
    const QString nearest = m_mappings + "/Google-mine.map";
    WriteBytes(nearest,
               "Quorvex mapping file\r\n\"First Name\",\"Last Name\",\"Phone 1 - Value\","
               "\"Organization Name\"\r\n\"N\",\"N\",\"PD\",\"C\"\r\nName:Google\r\nDescription:\r\n");
    auto table = MakeTable({"First Name", "Last Name", "Phone 1 - Value", "Organization Name",
                            "Phone 7 - Value", "Zeitstempel", "Mobiltelefon"},
                           {"E", "E", "E", "E", "E", "E", "E"});  // left from another mapping
    m_pDlg = std::make_unique<CMappingDlg>();
    m_pDlg->SetNewStart(nearest.toStdString(), "Google (mine)");
    m_pDlg->SetDataMap(table.get());
    m_pDlg->SetMappingPath((m_mappings + "/").toUtf8().constData(), 261);
    m_pDlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pDlg.get()));
    CMappingDlg* pDlg = m_pDlg.get();
    QCOMPARE(pDlg->windowTitle(), Text("MappingDlg_WindowText_New"));
    QCOMPARE(pDlg->findChild<QLineEdit*>("1012")->text(), QStringLiteral("Google (mine)"));
    const char* expected[] = {"N", "N", "PD", "C", "PD", "X", "PD"};
    for (int i = 0; i < 7; ++i) QCOMPARE(Code(*table, i), std::string(expected[i]));

    CPropertyListCtrl* pList = pDlg->PropertyList();
    QVERIFY(pList->RowsPerPage() >= 15);  // many more rows than the template's six
    QVERIFY(!pList->IsMarkedForReview(3));
    QCOMPARE(pList->item(3, 0)->background().style(), Qt::NoBrush);
    QVERIFY(pList->IsMarkedForReview(4));
    QVERIFY(pList->item(4, 0)->toolTip().endsWith(Text("MappingDlg_ToolTip_Sure")));
    QVERIFY(pList->item(5, 0)->toolTip().endsWith(Text("MappingDlg_ToolTip_Unknown")));
    QVERIFY(pList->item(6, 0)->toolTip().endsWith(Text("MappingDlg_ToolTip_Guessed")));
    QVERIFY(pList->item(4, 0)->background() != pList->item(5, 0)->background());
    QVERIFY(pList->item(4, 0)->background() != pList->item(6, 0)->background());
    QVERIFY(pList->item(5, 0)->background() != pList->item(6, 0)->background());
    const QString doubtful = Text("MappingDlg_Info_Guessed", 128).replace("%s", "\"Mobiltelefon\"");
    const QString order =
        "\n" + Text("MappingDlg_Info_NameOrder", 128)
                   .replace("%s", "\"First Name\" (" + Text("MappingDlg_NamePart_Given") +
                                      ") + \"Last Name\" (" + Text("MappingDlg_NamePart_Family") + ")");
    QCOMPARE(InfoOf(pDlg), Text("MappingDlg_Info_Review", 128).replace("%s", "3") + "\n" + doubtful + order);

    QVERIFY(Choose(pList->BoxForRow(5), kOther));  // looked at: no longer marked
    QVERIFY(!pList->IsMarkedForReview(5));
    QCOMPARE(pList->item(5, 0)->background().style(), Qt::NoBrush);
    QCOMPARE(InfoOf(pDlg), Text("MappingDlg_Info_Review", 128).replace("%s", "2") + "\n" + doubtful + order);

    const QString proposed = m_mappings + "/Google-mine-2.map";
    m_boxes.QueueFileName(proposed);
    QTest::mouseClick(pDlg->findChild<CIconButton*>("1"), Qt::LeftButton);
    QTRY_VERIFY(!pDlg->isVisible());
    QCOMPARE(m_boxes.Count(), 1);
    QCOMPARE(m_boxes.Last().options.fileName, QStringLiteral("Google-mine-2.map"));
    QVERIFY(ReadBytes(proposed).startsWith(
        "Quorvex mapping file\r\n\"First Name\",\"Last Name\",\"Phone 1 - Value\","
        "\"Organization Name\",\"Phone 7 - Value\",\"Zeitstempel\",\"Mobiltelefon\"\r\n"
        "\"N\",\"N\",\"PD\",\"C\",\"PD\",\"-\",\"PD\"\r\nName:Google (mine)\r\n"));
    QVERIFY(ReadBytes(nearest).contains("Name:Google\r\n"));  // the nearest mapping's own file stays
}

// The name columns are shown with their parts in the order they are joined;
// choosing a column's part reorders them, and the saved file keeps it.
void TestMappingDlg::namePartsOrderTheName() {
    auto table = MakeTable({"Nachname", "Vorname", "Telefon"}, {"", "", ""});
    m_pDlg = std::make_unique<CMappingDlg>();
    m_pDlg->SetNewStart(std::string(), "Liste");
    m_pDlg->SetDataMap(table.get());
    m_pDlg->SetMappingPath((m_mappings + "/").toUtf8().constData(), 261);
    m_pDlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pDlg.get()));
    CMappingDlg* pDlg = m_pDlg.get();
    auto orderLine = [](const QString& parts) {
        return Text("MappingDlg_Info_NameOrder", 128).replace("%s", parts);
    };
    const QString given = " (" + Text("MappingDlg_NamePart_Given") + ")";
    const QString family = " (" + Text("MappingDlg_NamePart_Family") + ")";
    QVERIFY(InfoOf(pDlg).endsWith(orderLine("\"Vorname\"" + given + " + \"Nachname\"" + family)));

    // A list whose headers are the wrong way round.
    pDlg->SetNamePart(0, NameKind::kGiven);
    pDlg->SetNamePart(1, NameKind::kFamily);
    QVERIFY(InfoOf(pDlg).endsWith(orderLine("\"Nachname\"" + given + " + \"Vorname\"" + family)));
    pDlg->SetNamePart(0, NameKind::kNone);
    QVERIFY(InfoOf(pDlg).endsWith(orderLine("\"Vorname\"" + family + " + \"Nachname\"")));
    pDlg->SetNamePart(0, NameKind::kSuffix);

    const QString saved = m_mappings + "/Liste.map";
    m_boxes.QueueFileName(saved);
    QTest::mouseClick(pDlg->findChild<CIconButton*>("1"), Qt::LeftButton);
    QTRY_VERIFY(!pDlg->isVisible());
    QVERIFY(ReadBytes(saved).endsWith("Description:\r\nName order:2=family,1=suffix\r\n"));
}

QTEST_MAIN(TestMappingDlg)
#include "tst_mappingdlg.moc"

// The whole way through the real dialogs: a CSV file typed into the main
// dialog, the mapping from the mappings folder (or made in the mapping
// editor), Complete, the build behind the create-database dialog, then the
// copy-to-phone dialog with a simulated phone made by qvx-phone; the database
// and the semaphore file that arrive on the phone are checked, and last.db is
// back in the program folder.
#include <sqlite3.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "../database/DbTestUtil.h"
#include "../gui/ComboTestUtil.h"
#include "../gui/WizardTestUtil.h"
#include "gui/app/QVXWizardDlg.h"
#include "gui/kit/MessageBoxesUi.h"
#include "gui/mapping_editor/ListCtrlComboBox.h"
#include "gui/mapping_editor/MappingDlg.h"
#include "gui/mapping_editor/PropertyListCtrl.h"
#include "gui/transfer/CopyToPhoneDlg.h"
#include "i18n/LanguageTable.h"
#include "import/Mapping.h"

using qvxui::CScriptedMessageBoxes;
using qvxui::MsgAnswer;

namespace {

int CountRows(const QString& dbPath, const char* pszTable) {
    sqlite3* pDb = nullptr;
    int nCount = -1;
    if (sqlite3_open_v2(QFile::encodeName(dbPath).constData(), &pDb, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* pStmt = nullptr;
        const std::string sql = std::string("SELECT COUNT(*) FROM ") + pszTable;
        if (sqlite3_prepare_v2(pDb, sql.c_str(), -1, &pStmt, nullptr) == SQLITE_OK &&
            sqlite3_step(pStmt) == SQLITE_ROW)
            nCount = sqlite3_column_int(pStmt, 0);
        sqlite3_finalize(pStmt);
    }
    sqlite3_close(pDb);
    return nCount;
}

QStringList FilesIn(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files);
    while (it.hasNext()) files << it.next();
    files.sort();
    return files;
}

// The device library and one simulated phone with room and Quorvex installed.
bool SetUpPhone(const wiztest::ProgramFolder& folder) {
    const QString phones = folder.File("phones");
    const QByteArray device = QVX_PROGRAM_DIR "/libqvxdevice.so";
    if (!wiztest::WriteBytes(folder.File("registry.ini"),
                             "[HKEY_LOCAL_MACHINE\\SOFTWARE\\PC Connectivity Solution\\API]\n"
                             "DMAPI=" +
                                 device + "\nFSAPI=" + device + "\nCFAPI=" + device +
                                 "\nOptions=1\nPhonesFolder=" + QFile::encodeName(phones) + "\n"))
        return false;
    if (!QDir().mkpath(phones)) return false;
    qputenv("QVX_PHONES_DIR", QFile::encodeName(phones));
    QProcess tool;
    tool.start(QStringLiteral(QVX_PROGRAM_DIR "/qvx-phone"),
               {"--phones", phones, "add", "Testphone", "--free", "100000000", "--installed"});
    return tool.waitForFinished(30000) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

// Presses Complete and runs the copy dialog it opens in its own modal loop:
// the one phone is selected and Copy pressed. False when the dialog never
// came or Copy could not be pressed.
bool CompleteAndCopy(QPushButton* pComplete) {
    int nStep = 0;
    QTimer driver;
    driver.setInterval(20);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* pCopyDlg = qobject_cast<CCopyToPhoneDlg*>(QApplication::activeModalWidget());
        if (!pCopyDlg) return;
        auto* pList = pCopyDlg->findChild<QListWidget*>(QString::number(CCopyToPhoneDlg::kIdDevices));
        auto* pCopy = pCopyDlg->findChild<QPushButton*>(QString::number(CCopyToPhoneDlg::kIdCopy));
        if (!pList || !pCopy) return;
        if (nStep == 0 && pList->count() == 1) {
            pList->setCurrentRow(0);
            nStep = 1;
        } else if (nStep == 1 && pCopy->isEnabled()) {
            QTest::mouseClick(pCopy, Qt::LeftButton);
            nStep = 2;
        }
    });
    driver.start();
    QTest::mouseClick(pComplete, Qt::LeftButton);
    driver.stop();
    return nStep == 2;
}

// The first column of a query's rows, joined by "|".
QString QueryJoined(const QString& dbPath, const char* pszSql) {
    sqlite3* pDb = nullptr;
    QStringList values;
    if (sqlite3_open_v2(QFile::encodeName(dbPath).constData(), &pDb, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt* pStmt = nullptr;
        if (sqlite3_prepare_v2(pDb, pszSql, -1, &pStmt, nullptr) == SQLITE_OK) {
            while (sqlite3_step(pStmt) == SQLITE_ROW)
                values << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(pStmt, 0)));
        }
        sqlite3_finalize(pStmt);
    }
    sqlite3_close(pDb);
    return values.join('|');
}

// What arrived on the phone: the database with its contacts and the
// semaphore file holding its size; last.db in the program folder is the
// same database.
void CheckArrived(const wiztest::ProgramFolder& folder) {
    const QStringList arrived = FilesIn(folder.File("phones") + "/Testphone/C/Data/Quorvex");
    QCOMPARE(arrived.size(), 2);
    QVERIFY(arrived[0].endsWith(".db"));
    QVERIFY(arrived[1].endsWith(".sem"));
    QCOMPARE(QFileInfo(arrived[0]).completeBaseName(), QFileInfo(arrived[1]).completeBaseName());
    QCOMPARE(wiztest::ReadBytes(arrived[1]).trimmed(), QByteArray::number(QFileInfo(arrived[0]).size()));
    QCOMPARE(CountRows(arrived[0], "Contact"), 2);
    QVERIFY(CountRows(arrived[0], "ContactDetail") >= 2);
    QCOMPARE(wiztest::ReadBytes(folder.File("last.db")), wiztest::ReadBytes(arrived[0]));
    QVERIFY(FilesIn(folder.Path()).filter(".sem").isEmpty());
}

// Installs the scripted boxes for one test and undoes what the test set up
// process-wide, also when a check gave up early.
struct ScriptedBoxesScope {
    explicit ScriptedBoxesScope(CScriptedMessageBoxes* pBoxes) { qvxui::SetMessageBoxes(pBoxes); }
    ~ScriptedBoxesScope() {
        qvxui::SetMessageBoxes(nullptr);
        qunsetenv("QVX_PHONES_DIR");
    }
    ScriptedBoxesScope(const ScriptedBoxesScope&) = delete;
    ScriptedBoxesScope& operator=(const ScriptedBoxesScope&) = delete;
};

// Picks the item of pszCode the way a user does: open the drop-down, click.
bool ChooseCode(CListCtrlComboBox* pBox, const char* pszCode) {
    int nIndex = -1;
    for (int i = 0; i < 7; ++i)
        if (strcmp(g_OfferedPropertyTypes[i].pszCode, pszCode) == 0) nIndex = i;
    return combotest::Choose(pBox, nIndex);
}

}  // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void newDatabaseArrivesOnPhone();
    void mappingMadeInEditorArrivesOnPhone();
    void outlookExportArrivesWhole();
    void readyMappingChosenByItselfGivesFullNames_data();
    void readyMappingChosenByItselfGivesFullNames();
};

void TestEndToEnd::newDatabaseArrivesOnPhone() {
    wiztest::ProgramFolder folder;
    QVERIFY(SetUpPhone(folder));
    QVERIFY(wiztest::WriteBytes(folder.File("mappings/kontakte.map"), wiztest::ContactsMapping()));
    QVERIFY(wiztest::WriteBytes(folder.File("kontakte.csv"), wiztest::ContactsCsv()));

    CScriptedMessageBoxes boxes;
    ScriptedBoxesScope scope(&boxes);
    // After the copy the wizard asks whether to send to another phone: No leaves.
    boxes.QueueAnswer(MsgAnswer::No);

    auto dlg = std::make_unique<CQVXWizardDlg>();
    QVERIFY(SetLanguage("English"));
    dlg->show();
    auto* pEdit = dlg->findChild<QLineEdit*>("1003");
    auto* pComplete = dlg->findChild<QPushButton*>("1010");
    QVERIFY(pEdit && pComplete);
    pEdit->setFocus();
    QTest::keyClicks(pEdit, folder.File("kontakte.csv"));
    QTRY_VERIFY(!dlg->IsBusy() && dlg->IsAnalysisIdle());
    QCOMPARE(dlg->GetMappingState(), 2);
    QVERIFY(pComplete->isEnabled());

    QVERIFY(CompleteAndCopy(pComplete));
    QCOMPARE(dlg->GetCreateDBResult(), 1);
    QTRY_VERIFY(!dlg->IsBusy());

    CheckArrived(folder);
    if (QTest::currentTestFailed()) return;
    // The wizard found the new last.db without a restart.
    QVERIFY(dlg->LastDBExists());
    QVERIFY(dlg->findChild<QWidget*>("1000")->isEnabled());

    // The build gave the file's lines back; the editor still shows the first values.
    QString samples;
    QTimer::singleShot(0, [&] {
        auto* pEditor = qobject_cast<CMappingDlg*>(QApplication::activeModalWidget());
        if (!pEditor) return;
        if (QTableWidgetItem* pItem = pEditor->PropertyList()->item(0, 2)) samples = pItem->text();
        QTest::keyClick(pEditor, Qt::Key_Escape);
    });
    QTest::mouseClick(dlg->findChild<QPushButton*>("1008"), Qt::LeftButton);
    QCOMPARE(samples, QStringLiteral("Anna Muster | Bert Beispiel"));
}

// A German Outlook export (Windows-1252, notes over several lines) with the
// mapping saved for it on Windows: one contact per person, whole, in UTF-8.
void TestEndToEnd::outlookExportArrivesWhole() {
    wiztest::ProgramFolder folder;
    QVERIFY(SetUpPhone(folder));
    const QString fixtures = QStringLiteral(QVX_SOURCE_DIR "/tests/cases/export-outlook-de/");
    QVERIFY(QFile::copy(fixtures + "mapping.map", folder.File("mappings/outlook-de.map")));
    QVERIFY(QFile::copy(fixtures + "input.csv", folder.File("outlook-de.csv")));

    CScriptedMessageBoxes boxes;
    ScriptedBoxesScope scope(&boxes);
    boxes.QueueAnswer(MsgAnswer::No);

    auto dlg = std::make_unique<CQVXWizardDlg>();
    QVERIFY(SetLanguage("English"));
    dlg->show();
    auto* pEdit = dlg->findChild<QLineEdit*>("1003");
    auto* pComplete = dlg->findChild<QPushButton*>("1010");
    QVERIFY(pEdit && pComplete);
    pEdit->setFocus();
    QTest::keyClicks(pEdit, folder.File("outlook-de.csv"));
    QTRY_VERIFY(!dlg->IsBusy() && dlg->IsAnalysisIdle());
    QCOMPARE(dlg->GetCSVState(), 2);
    QCOMPARE(dlg->GetMappingState(), 2);
    QVERIFY(CompleteAndCopy(pComplete));
    QCOMPARE(dlg->GetCreateDBResult(), 1);
    QTRY_VERIFY(!dlg->IsBusy());

    const std::string db = folder.File("last.db").toStdString();
    QCOMPARE(qvxdbtest::Scalar(db, "SELECT COUNT(*) FROM Contact"), std::string("8"));
    QCOMPARE(qvxdbtest::Scalar(db, "SELECT COUNT(DISTINCT Name) FROM Contact"), std::string("8"));
    QCOMPARE(qvxdbtest::Scalar(db, "SELECT Company FROM Contact WHERE Name = 'Müller'"),
             std::string("Müller & Söhne GmbH"));
    QCOMPARE(qvxdbtest::Scalar(db,
                               "SELECT Value FROM ContactDetail WHERE PropertyKey = 'Notizen' AND Value "
                               "LIKE 'Kunde%'"),
             std::string("Kunde seit 2019.\r\nRückruf wegen Angebot über 1.200 € – „dringend“."));
}

void TestEndToEnd::mappingMadeInEditorArrivesOnPhone() {
    wiztest::ProgramFolder folder;
    QVERIFY(SetUpPhone(folder));
    QVERIFY(wiztest::WriteBytes(folder.File("kontakte.csv"), wiztest::ContactsCsv()));
    // The only mapping at hand leaves a column out.
    QVERIFY(wiztest::WriteBytes(folder.File("mappings/alt.map"), wiztest::IncompleteMapping()));
    const QString saved = folder.File("mappings/eigene.map");

    CScriptedMessageBoxes boxes;
    ScriptedBoxesScope scope(&boxes);
    // The editor's save dialog, then No to sending to another phone.
    boxes.QueueFileName(saved);
    boxes.QueueAnswer(MsgAnswer::No);

    auto dlg = std::make_unique<CQVXWizardDlg>();
    QVERIFY(SetLanguage("English"));
    dlg->show();
    auto* pEdit = dlg->findChild<QLineEdit*>("1003");
    auto* pCreate = dlg->findChild<QPushButton*>("1037");
    auto* pComplete = dlg->findChild<QPushButton*>("1010");
    auto* pMappings = dlg->findChild<QComboBox*>("1007");
    QVERIFY(pEdit && pCreate && pComplete && pMappings);
    pEdit->setFocus();
    QTest::keyClicks(pEdit, folder.File("kontakte.csv"));
    QTRY_VERIFY(!dlg->IsBusy() && dlg->IsAnalysisIdle());
    // None fits: none is selected.
    QCOMPARE(dlg->GetMappingState(), 0);
    QCOMPARE(pMappings->count(), 1);
    QCOMPARE(pMappings->currentIndex(), -1);
    QVERIFY(!pComplete->isEnabled());
    QVERIFY(pCreate->isEnabled());

    // The editor runs in its own modal loop: script it once it is up.
    bool bEditorSeen = false;
    bool bChosen = false;
    bool bOkEnabled = false;
    QTimer driver;
    driver.setInterval(20);
    connect(&driver, &QTimer::timeout, [&] {
        auto* pEditor = qobject_cast<CMappingDlg*>(QApplication::activeModalWidget());
        if (!pEditor || !pEditor->isVisible()) return;
        driver.stop();
        bEditorSeen = true;
        CPropertyListCtrl* pList = pEditor->PropertyList();
        // Name, company, phone number for the three columns.
        const char* codes[] = {"N", "C", "PD"};
        bChosen = pList->RowCount() == 3;
        for (int nRow = 0; bChosen && nRow < 3; ++nRow)
            bChosen = ChooseCode(pList->ShowRow(nRow), codes[nRow]);
        auto* pName = pEditor->findChild<QLineEdit*>(QString::number(CMappingDlg::kIdName));
        auto* pOk = pEditor->findChild<QPushButton*>(QString::number(CMappingDlg::kIdOk));
        if (pName && pOk) {
            pName->setFocus();
            pName->clear();  // in place of the proposed name
            QTest::keyClicks(pName, "Eigene Kontakte");
            bOkEnabled = pOk->isEnabled();
            QTest::mouseClick(pOk, Qt::LeftButton);
        }
        // A refused OK leaves the editor open: close it so the test ends.
        if (QApplication::activeModalWidget() == pEditor) pEditor->reject();
    });
    driver.start();
    QTest::mouseClick(pCreate, Qt::LeftButton);
    driver.stop();
    QVERIFY(bEditorSeen);
    QVERIFY(bChosen);
    QVERIFY(bOkEnabled);
    QTRY_VERIFY(!qobject_cast<CMappingDlg*>(QApplication::activeModalWidget()));

    // The save dialog, opened in the mappings folder, asks nothing more; the
    // file holds the columns with their codes and the name.
    const auto shown = boxes.History();
    QCOMPARE(shown.size(), size_t(1));
    QCOMPARE(shown[0].eKind, CScriptedMessageBoxes::Kind::SaveFile);
    QCOMPARE(QDir(shown[0].options.startFolder).canonicalPath(),
             QDir(folder.File("mappings")).canonicalPath());
    QCOMPARE(wiztest::ReadBytes(saved), wiztest::MappingFile("\"Name\",\"Firma\",\"Telefon\"",
                                                             "\"N\",\"C\",\"PD\"", "Eigene Kontakte", ""));

    // Listed, selected and ready for Complete.
    QTRY_VERIFY(!dlg->IsBusy() && dlg->IsAnalysisIdle());
    QCOMPARE(pMappings->count(), 2);
    QCOMPARE(pMappings->currentText(), QString("Eigene Kontakte [eigene.map]"));
    // The closed box may be too narrow for the entry: its tool tip has all of it.
    QTRY_COMPARE(pMappings->toolTip(), pMappings->currentText());
    QCOMPARE(QString(dlg->GetMappingFile()), saved);
    QCOMPARE(dlg->GetMappingState(), 2);
    QTRY_VERIFY(pComplete->isEnabled());

    QVERIFY(CompleteAndCopy(pComplete));
    QCOMPARE(dlg->GetCreateDBResult(), 1);
    QTRY_VERIFY(!dlg->IsBusy());
    CheckArrived(folder);
}

void TestEndToEnd::readyMappingChosenByItselfGivesFullNames_data() {
    QTest::addColumn<QString>("csv");
    QTest::addColumn<QString>("mapping");
    QTest::addColumn<QString>("mobile");
    QTest::newRow("Google") << "google.csv"
                            << "Google Contacts"
                            << "Phone 1 - Value";
    QTest::newRow("Outlook") << "outlook-en.csv"
                             << "Outlook (English)"
                             << "Mobile Phone";
    QTest::newRow("Outlook, German") << "outlook-de.csv"
                                     << "Outlook (Deutsch)"
                                     << "Mobiltelefon";
}

// An export of a known program: choosing the file and Complete are all it takes.
void TestEndToEnd::readyMappingChosenByItselfGivesFullNames() {
    QFETCH(QString, csv);
    QFETCH(QString, mapping);
    QFETCH(QString, mobile);
    wiztest::ProgramFolder folder;
    QVERIFY(SetUpPhone(folder));
    for (const QString& name : QDir(QStringLiteral(QVX_PROGRAM_DIR "/mappings")).entryList(QDir::Files))
        QVERIFY(QFile::copy(QStringLiteral(QVX_PROGRAM_DIR "/mappings/") + name,
                            folder.File("mappings/" + name)));
    QVERIFY(QFile::copy(QStringLiteral(QVX_SOURCE_DIR "/tests/cases/shape-") + csv.chopped(4) + "/input.csv",
                        folder.File(csv)));

    CScriptedMessageBoxes boxes;
    ScriptedBoxesScope scope(&boxes);
    boxes.QueueAnswer(MsgAnswer::No);
    auto dlg = std::make_unique<CQVXWizardDlg>();
    QVERIFY(SetLanguage("English"));
    dlg->show();
    auto* pEdit = dlg->findChild<QLineEdit*>("1003");
    auto* pComplete = dlg->findChild<QPushButton*>("1010");
    auto* pMappings = dlg->findChild<QComboBox*>("1007");
    auto* pInfo = dlg->findChild<QLabel*>("1017");
    QVERIFY(pEdit && pComplete && pMappings && pInfo);
    pEdit->setFocus();
    QTest::keyClicks(pEdit, folder.File(csv));
    QTRY_VERIFY(!dlg->IsBusy() && dlg->IsAnalysisIdle());
    QCOMPARE(dlg->GetMappingState(), 2);
    QVERIFY(pMappings->currentText().startsWith(mapping + " ["));
    QVERIFY2(pInfo->text().contains("\"" + mapping + "\""), qPrintable(pInfo->text()));
    QVERIFY(pComplete->isEnabled());

    QVERIFY(CompleteAndCopy(pComplete));
    QCOMPARE(dlg->GetCreateDBResult(), 1);
    QTRY_VERIFY(!dlg->IsBusy());
    const QString db = folder.File("last.db");
    // The third entry, a company alone, is listed under the company.
    QCOMPARE(QueryJoined(db, "SELECT Name || '/' || Company FROM Contact ORDER BY ContactId"),
             QStringLiteral("Hans-Peter Schmidt/Praxis Schmidt|José Luis García Pérez/|"
                            "Müller & Söhne GmbH/Müller & Söhne GmbH"));
    QCOMPARE(QueryJoined(db, ("SELECT Value FROM ContactDetail WHERE ContactId = 0 AND PropertyKey = '" +
                              mobile.toStdString() + "'")
                                 .c_str()),
             QStringLiteral("+49 171 2345678"));
    QCOMPARE(QueryJoined(db,
                         "SELECT Value FROM ContactDetail WHERE ContactId = 1 AND PropertyType = 'E' "
                         "ORDER BY Position"),
             QStringLiteral("jl.garcia@example.es|garcia@empresa.example"));
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"

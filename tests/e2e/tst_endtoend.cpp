// The whole way through the real dialogs: a CSV file typed into the main
// dialog, the mapping from the mappings folder, Complete, the build behind
// the create-database dialog, then the copy-to-phone dialog with a simulated
// phone made by qvx-phone; the database and the semaphore file that arrive
// on the phone are checked, and last.db is back in the program folder.
#include <sqlite3.h>

#include <QApplication>
#include <QDirIterator>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "../ui/WizardTestUtil.h"
#include "app/MessageBoxesUi.h"
#include "app/QVXWizardDlg.h"
#include "i18n/LanguageTable.h"
#include "transfer/CopyToPhoneDlg.h"

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

}  // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void newDatabaseArrivesOnPhone();
};

void TestEndToEnd::newDatabaseArrivesOnPhone() {
    wiztest::ProgramFolder folder;
    const QString phones = folder.File("phones");
    const QByteArray device = QVX_PROGRAM_DIR "/libqvxdevice.so";
    QVERIFY(wiztest::WriteBytes(folder.File("registry.ini"),
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\PC Connectivity Solution\\API]\n"
                                "DMAPI=" +
                                    device + "\nFSAPI=" + device + "\nCFAPI=" + device +
                                    "\nOptions=1\nPhonesFolder=" + QFile::encodeName(phones) + "\n"));
    QVERIFY(QDir().mkpath(phones));
    qputenv("QVX_PHONES_DIR", QFile::encodeName(phones));
    QProcess tool;
    tool.start(QStringLiteral(QVX_PROGRAM_DIR "/qvx-phone"),
               {"--phones", phones, "add", "Testphone", "--free", "100000000", "--installed"});
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitCode(), 0);
    QVERIFY(wiztest::WriteBytes(folder.File("mappings/kontakte.map"), wiztest::ContactsMapping()));
    QVERIFY(wiztest::WriteBytes(folder.File("kontakte.csv"), wiztest::ContactsCsv()));

    CScriptedMessageBoxes boxes;
    qvxui::SetMessageBoxes(&boxes);
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

    // The copy dialog runs in its own modal loop: drive it from a timer.
    int nStep = 0;
    bool bSawCopyDialog = false;
    QTimer driver;
    driver.setInterval(20);
    connect(&driver, &QTimer::timeout, [&] {
        auto* pCopyDlg = qobject_cast<CCopyToPhoneDlg*>(QApplication::activeModalWidget());
        if (!pCopyDlg) return;
        bSawCopyDialog = true;
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

    QVERIFY(bSawCopyDialog);
    QCOMPARE(nStep, 2);
    QCOMPARE(dlg->GetCreateDBResult(), 1);
    QTRY_VERIFY(!dlg->IsBusy());

    // On the phone: the database and its semaphore file with the size.
    const QStringList arrived = FilesIn(phones + "/Testphone/C/Data/Quorvex");
    QCOMPARE(arrived.size(), 2);
    QVERIFY(arrived[0].endsWith(".db"));
    QVERIFY(arrived[1].endsWith(".sem"));
    QCOMPARE(QFileInfo(arrived[0]).completeBaseName(), QFileInfo(arrived[1]).completeBaseName());
    QCOMPARE(wiztest::ReadBytes(arrived[1]).trimmed(), QByteArray::number(QFileInfo(arrived[0]).size()));
    QCOMPARE(CountRows(arrived[0], "Contact"), 2);
    QVERIFY(CountRows(arrived[0], "ContactDetail") >= 2);
    // Back in the program folder: last.db, the same bytes, no semaphore file.
    QCOMPARE(wiztest::ReadBytes(folder.File("last.db")), wiztest::ReadBytes(arrived[0]));
    QVERIFY(FilesIn(folder.Path()).filter(".sem").isEmpty());
    // The wizard found the new last.db without a restart.
    QVERIFY(dlg->LastDBExists());
    QVERIFY(dlg->findChild<QWidget*>("1000")->isEnabled());

    dlg.reset();
    qvxui::SetMessageBoxes(nullptr);
    qunsetenv("QVX_PHONES_DIR");
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"

// The copy-to-phone dialog with simulated phones of the device service.
#include <signal.h>
#include <sqlite3.h>

#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>
#include <memory>

#include "DlgTestEnv.h"
#include "database/QVXDBBuilder.h"
#include "gui/transfer/CopyToPhoneDlg.h"
#include "platform/ProgramPath.h"

using qvxui::CScriptedMessageBoxes;
using qvxui::MsgAnswer;
using qvxui::MsgButtons;
using qvxui::MsgIcon;

namespace {

constexpr int kMiB = 1024 * 1024;

QListWidget* List(QDialog& dlg) {
    return dlg.findChild<QListWidget*>("1027");
}
QString Info(QDialog& dlg) {
    return dlg.findChild<QLabel*>("1029")->text();
}
QPushButton* CopyButton(QDialog& dlg) {
    return dlg.findChild<QPushButton*>("1031");
}
QPushButton* BackButton(QDialog& dlg) {
    return dlg.findChild<QPushButton*>("1032");
}
int Progress(QDialog& dlg) {
    return dlg.findChild<QProgressBar*>("1035")->value();
}

void ClickRow(QDialog& dlg, int nRow) {
    QListWidget* pList = List(dlg);
    QListWidgetItem* pItem = pList->item(nRow);
    QVERIFY(pItem);
    QTest::mouseClick(pList->viewport(), Qt::LeftButton, {}, pList->visualItemRect(pItem).center());
}

QString T(const char* pszKey) {
    return qvxtest::DialogEnv::Text(pszKey);
}

}  // namespace

class TestCopyToPhoneDlg : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_env = std::make_unique<qvxtest::DialogEnv>();
        m_database = QByteArray(kMiB, 'd');
        qvxtest::WriteBytes(m_env->Program() + "/last.db", m_database);
    }
    void cleanup() { m_env.reset(); }

    // Run in a child process by killedWhileOpenLeavesLastDb: opens the dialog
    // in the given program folder and waits to be killed.
    void holdOpenUntilKilled() {
        const QByteArray folder = qgetenv("QVX_HOLD_PROGRAM");
        if (folder.isEmpty()) return;  // only as that child
        qvxplatform::SetProgramFolder(folder.toStdString());
        CCopyToPhoneDlg dlg;
        dlg.show();
        qvxtest::WriteBytes(QString::fromUtf8(qgetenv("QVX_HOLD_MARK")), "open");
        for (;;) QTest::qWait(100);
    }

    void killedWhileOpenLeavesLastDb() {
        for (int nSignal : {SIGKILL, SIGTERM, SIGHUP}) {
            const QString mark = m_env->Phones() + "/../open-" + QString::number(nSignal);
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("QVX_HOLD_PROGRAM", m_env->Program());
            env.insert("QVX_HOLD_MARK", mark);
            child.setProcessEnvironment(env);
            child.start(QCoreApplication::applicationFilePath(), {"holdOpenUntilKilled"});
            QVERIFY(child.waitForStarted());
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(mark), 15000);
            QCOMPARE(m_env->ProgramFiles("*.db").size(), 2);  // lent by a second name
            ::kill(static_cast<pid_t>(child.processId()), nSignal);
            QVERIFY(child.waitForFinished(10000));
            QCOMPARE(qvxtest::ReadBytes(m_env->Program() + "/last.db"), m_database);
            // The next start of the wizard tidies what the killed one left.
            CQVXDBBuilder::TidyProgramFolder();
            QCOMPARE(m_env->ProgramFiles("*.db"), QStringList{"last.db"});
            QVERIFY(m_env->ProgramFiles("*.sem").isEmpty());
        }
    }

    void withoutPhoneNothingCanBeCopied() {
        {
            CCopyToPhoneDlg dlg;
            dlg.show();
            QCOMPARE(List(dlg)->count(), 0);
            QCOMPARE(Info(dlg), T("CopyToPhoneDlg_Info_NoDevice"));
            QVERIFY(!CopyButton(dlg)->isEnabled());
            QVERIFY(BackButton(dlg)->isEnabled());
            QCOMPARE(dlg.windowTitle(), T("CopyToPhoneDlg_WindowText_Idle"));
            QCOMPARE(CopyButton(dlg)->text(), T("CopyToPhoneDlg_Button_Copy"));
            // last.db is lent under the dialog's own name, with its semaphore file; it stays.
            const QStringList sems = m_env->ProgramFiles("*.sem");
            QCOMPARE(sems.size(), 1);
            QCOMPARE(qvxtest::ReadBytes(m_env->Program() + "/" + sems[0]), QByteArray::number(kMiB));
            QCOMPARE(m_env->ProgramFiles("*.db").size(), 2);
            QCOMPARE(qvxtest::ReadBytes(m_env->Program() + "/last.db"), m_database);
            QTest::mouseClick(BackButton(dlg), Qt::LeftButton);
            QVERIFY(!dlg.isVisible());
        }
        QCOMPARE(m_env->ProgramFiles("*.db"), QStringList{"last.db"});
        QVERIFY(m_env->ProgramFiles("*.sem").isEmpty());
        QCOMPARE(qvxtest::ReadBytes(m_env->Program() + "/last.db"), m_database);
    }

    void twoPhonesEachWithItsOwnMemory() {
        m_env->AddPhone("a", "Name=First\nSerialNumber=S1\nFreeMemory=10485760\n");
        m_env->AddPhone("b", "Name=Second\nSerialNumber=S2\nFreeMemory=1048576\n");
        CCopyToPhoneDlg dlg;
        dlg.show();
        QCOMPARE(List(dlg)->count(), 2);
        QCOMPARE(List(dlg)->item(0)->text(), QString("First"));
        QCOMPARE(List(dlg)->item(1)->text(), QString("Second"));
        QCOMPARE(Info(dlg), T("CopyToPhoneDlg_Info_NoDeviceSelected"));

        ClickRow(dlg, 1);
        QCOMPARE(Info(dlg), "Memory needed:\t2.00 MiB\nMemory free:  \t1.00 MiB\n" +
                                T("CopyToPhoneDlg_Info_MemoryNotOK"));
        QVERIFY(!CopyButton(dlg)->isEnabled());
        ClickRow(dlg, 0);
        QCOMPARE(Info(dlg),
                 "Memory needed:\t2.00 MiB\nMemory free:  \t10.00 MiB\n" + T("CopyToPhoneDlg_Info_MemoryOK"));
        QVERIFY(CopyButton(dlg)->isEnabled());
    }

    void databaseMustFitTwice_data() {
        QTest::addColumn<qint64>("free");
        QTest::addColumn<bool>("enabled");
        const qint64 nSize = kMiB + 123;
        QTest::newRow("exactly twice") << 2 * nSize << true;
        QTest::newRow("one byte less") << 2 * nSize - 1 << false;
        QTest::newRow("once only") << nSize << false;
    }
    void databaseMustFitTwice() {
        QFETCH(qint64, free);
        QFETCH(bool, enabled);
        m_env.reset();
        m_env = std::make_unique<qvxtest::DialogEnv>();
        qvxtest::WriteBytes(m_env->Program() + "/last.db", QByteArray(kMiB + 123, 'x'));
        m_env->AddPhone("p", "Name=P\nFreeMemory=" + QByteArray::number(free) + "\n");
        CCopyToPhoneDlg dlg;
        dlg.show();
        ClickRow(dlg, 0);
        QCOMPARE(CopyButton(dlg)->isEnabled(), enabled);
    }

    void memoryReportAlignsTheFigures() {
        QCOMPARE(CCopyToPhoneDlg::FormatMemoryReport("Short:", 1.5, "Much longer:", -2.0 / 1024 / 1024, "ok"),
                 std::string("Short:      \t1.50 MiB\nMuch longer:\t-0.00 MiB\nok"));
    }

    // Figures in mebibytes, named so, with the language's decimal and thousands separators.
    void memoryReportInTheLanguagesNumberFormat() {
        QVERIFY(SetLanguage("Deutsch"));
        QCOMPARE(CCopyToPhoneDlg::FormatMemoryReport("A:", 0.125, "B:", 1234.5, "ok"),
                 std::string("A:\t0,12 MiB\nB:\t1.234,50 MiB\nok"));
        QCOMPARE(CCopyToPhoneDlg::FormatMemoryReport("A:", 72344.456, "B:", 1234567.0, "ok"),
                 std::string("A:\t72.344,46 MiB\nB:\t1.234.567,00 MiB\nok"));
        QVERIFY(SetLanguage("English"));
        QCOMPARE(CCopyToPhoneDlg::FormatMemoryReport("A:", 0.125, "B:", 1234.5, "ok"),
                 std::string("A:\t0.12 MiB\nB:\t1,234.50 MiB\nok"));
        QCOMPARE(CCopyToPhoneDlg::FormatMemoryReport("A:", 999.999, "B:", -72344.456, "ok"),
                 std::string("A:\t1,000.00 MiB\nB:\t-72,344.46 MiB\nok"));
    }

    // A database without a contact would empty the phone's contact book: the
    // dialog says so and copies it only when the user confirms.
    void emptyDatabaseIsCopiedOnlyWhenConfirmed() {
        const QByteArray path = QFile::encodeName(m_env->Program() + "/last.db");
        QFile::remove(m_env->Program() + "/last.db");
        sqlite3* pDb = nullptr;
        QCOMPARE(sqlite3_open(path.constData(), &pDb), SQLITE_OK);
        QCOMPARE(sqlite3_exec(pDb, "CREATE TABLE Contact(ContactId); CREATE TABLE ContactDetail(ContactId)",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(pDb);
        m_env->AddPhone("p", "Name=Phone\nSerialNumber=P1\nFreeMemory=104857600\n");
        for (const char* pszLanguage : {"Deutsch", "English"}) {
            QVERIFY(SetLanguage(pszLanguage));
            CCopyToPhoneDlg shown;
            shown.show();
            const QLabel* pLabel = shown.findChild<QLabel*>("1036");
            QCOMPARE(pLabel->text(), T("CopyToPhoneDlg_Info_Empty"));
            QVERIFY2(pLabel->heightForWidth(pLabel->width()) <= pLabel->height(), pszLanguage);  // not cut
        }
        CCopyToPhoneDlg dlg;
        dlg.show();
        const QString base = QFileInfo(m_env->ProgramFiles("*.sem").value(0)).completeBaseName();
        const QString data = m_env->PhoneData("p");

        m_env->m_boxes.QueueAnswer(MsgAnswer::No);
        ClickRow(dlg, 0);
        QTest::mouseClick(CopyButton(dlg), Qt::LeftButton);
        QCOMPARE(m_env->m_boxes.Count(), 1);
        QCOMPARE(m_env->m_boxes.Last().text, T("CopyToPhoneDlg_Msg_Empty"));
        QCOMPARE(m_env->m_boxes.Last().eButtons, MsgButtons::YesNo);
        QVERIFY(!dlg.IsRunActive());
        QVERIFY(BackButton(dlg)->isEnabled());
        QVERIFY(!QFile::exists(data + "/" + base + ".db"));

        m_env->m_boxes.QueueAnswer(MsgAnswer::Yes);
        m_env->m_boxes.QueueAnswer(MsgAnswer::Yes);  // another phone: stay
        QTest::mouseClick(CopyButton(dlg), Qt::LeftButton);
        QTRY_COMPARE(m_env->m_boxes.Count(), 3);
        QCOMPARE(m_env->m_boxes.Last().text, T("CopyToPhoneDlg_Msg_Finish"));
        QVERIFY(QFile::exists(data + "/" + base + ".sem"));
        QTRY_VERIFY(!dlg.IsRunActive());
    }

    void copyThenAnswerTheFinishQuestion_data() {
        QTest::addColumn<bool>("another");
        QTest::newRow("Yes: another phone") << true;
        QTest::newRow("No: back to the wizard") << false;
    }
    void copyThenAnswerTheFinishQuestion() {
        QFETCH(bool, another);
        m_env->AddPhone("p", "Name=Phone\nSerialNumber=P1\nFreeMemory=104857600\n");
        m_env->m_boxes.QueueAnswer(another ? MsgAnswer::Yes : MsgAnswer::No);
        CCopyToPhoneDlg dlg;
        dlg.show();
        const QString base = QFileInfo(m_env->ProgramFiles("*.sem").value(0)).completeBaseName();
        ClickRow(dlg, 0);
        QTest::mouseClick(CopyButton(dlg), Qt::LeftButton);
        QTRY_COMPARE(m_env->m_boxes.Count(), 1);
        const CScriptedMessageBoxes::Shown box = m_env->m_boxes.Last();
        QCOMPARE(box.text, T("CopyToPhoneDlg_Msg_Finish"));
        QCOMPARE(box.eIcon, MsgIcon::Question);
        QCOMPARE(box.eButtons, MsgButtons::YesNo);
        QCOMPARE(box.caption, QString("Quorvex"));

        const QString data = m_env->PhoneData("p");
        QCOMPARE(qvxtest::ReadBytes(data + "/" + base + ".db"), m_database);
        QCOMPARE(qvxtest::ReadBytes(data + "/" + base + ".sem"), QByteArray::number(kMiB));
        if (another) {
            QTRY_VERIFY(!dlg.IsRunActive());
            QVERIFY(dlg.isVisible());
            QCOMPARE(dlg.windowTitle(), T("CopyToPhoneDlg_WindowText_Idle"));
            QCOMPARE(CopyButton(dlg)->text(), T("CopyToPhoneDlg_Button_Copy"));
            QVERIFY(BackButton(dlg)->isEnabled());
            QCOMPARE(List(dlg)->count(), 1);
            QCOMPARE(Info(dlg), T("CopyToPhoneDlg_Info_NoDeviceSelected"));
            QVERIFY(QFile::exists(m_env->Program() + "/" + base + ".sem"));
        } else {
            QTRY_VERIFY(!dlg.isVisible());
            QCOMPARE(m_env->ProgramFiles("*.db"), QStringList{"last.db"});
            QVERIFY(m_env->ProgramFiles("*.sem").isEmpty());
        }
    }

    void abortAndLeavingDuringARun() {
        // About five seconds for the database at this speed.
        m_env->AddPhone("p", "Name=Slow\nFreeMemory=104857600\nCopySpeed=200000\n");
        CCopyToPhoneDlg dlg;
        dlg.show();
        ClickRow(dlg, 0);
        QTest::mouseClick(CopyButton(dlg), Qt::LeftButton);
        QVERIFY(dlg.IsRunActive());
        QCOMPARE(dlg.windowTitle(), T("CopyToPhoneDlg_WindowText_Copy"));
        QCOMPARE(CopyButton(dlg)->text(), T("CopyToPhoneDlg_Button_Abort"));
        QVERIFY(!BackButton(dlg)->isEnabled());
        QTRY_VERIFY(Progress(dlg) > 0);
        QVERIFY(Info(dlg).startsWith(T("CopyToPhoneDlg_Info_Copy")));

        // No way out while the database is in use, and no list refresh.
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QTest::keyClick(&dlg, Qt::Key_Return);
        dlg.close();
        QVERIFY(dlg.isVisible());
        m_env->AddPhone("q", "Name=Other\n");
        QTest::qWait(700);
        QCOMPARE(List(dlg)->count(), 1);

        QTest::mouseClick(CopyButton(dlg), Qt::LeftButton);
        QTRY_VERIFY(!dlg.IsRunActive());
        QCOMPARE(m_env->m_boxes.Count(), 1);
        QCOMPARE(m_env->m_boxes.Last().text, T("CopyToPhoneDlg_Msg_Abort"));
        QCOMPARE(m_env->m_boxes.Last().eIcon, MsgIcon::Information);
        QCOMPARE(m_env->m_boxes.Last().eButtons, MsgButtons::Ok);
        QCOMPARE(Progress(dlg), 0);
        QCOMPARE(List(dlg)->count(), 2);
        QVERIFY(BackButton(dlg)->isEnabled());
        QVERIFY(QDir(m_env->PhoneData("p")).entryList(QDir::Files).isEmpty());
        // Idle again: Escape now leaves like Back.
        QTest::keyClick(&dlg, Qt::Key_Escape);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(qvxtest::ReadBytes(m_env->Program() + "/last.db"), m_database);
    }

    void disconnectDuringTheCopy() {
        m_env->AddPhone("p", "Name=Loose\nFreeMemory=104857600\nDisconnectAfter=100000\n");
        CCopyToPhoneDlg dlg;
        dlg.show();
        ClickRow(dlg, 0);
        QTest::mouseClick(CopyButton(dlg), Qt::LeftButton);
        QTRY_VERIFY(!dlg.IsRunActive());
        QCOMPARE(m_env->m_boxes.Count(), 1);
        QCOMPARE(m_env->m_boxes.Last().text, T("CopyToPhoneDlg_Msg_Abort"));
        QCOMPARE(CopyButton(dlg)->text(), T("CopyToPhoneDlg_Button_Copy"));
        QVERIFY(QDir(m_env->PhoneData("p")).entryList(QDir::Files).isEmpty());
    }

    void semaphoreFileThatDoesNotArriveIsNoSuccess() {
        m_env->AddPhone("p", "Name=Full\nFreeMemory=104857600\n");
        CCopyToPhoneDlg dlg;
        dlg.show();
        // The semaphore file's name on the phone is taken by a folder.
        const QString base = QFileInfo(m_env->ProgramFiles("*.sem").value(0)).completeBaseName();
        QVERIFY(QDir().mkpath(m_env->PhoneData("p") + "/" + base + ".sem"));
        ClickRow(dlg, 0);
        QTest::mouseClick(CopyButton(dlg), Qt::LeftButton);
        QTRY_VERIFY(!dlg.IsRunActive());
        QCOMPARE(m_env->m_boxes.Count(), 1);
        QCOMPARE(m_env->m_boxes.Last().text, T("CopyToPhoneDlg_Msg_Incomplete"));
        QVERIFY(QDir(m_env->PhoneData("p")).entryList(QDir::Files).isEmpty());
    }

    void installQuestion_data() {
        QTest::addColumn<bool>("accept");
        QTest::newRow("accepted") << true;
        QTest::newRow("declined") << false;
    }
    void installQuestion() {
        QFETCH(bool, accept);
        m_env->AddPhone("p", "Name=New\nFreeMemory=104857600\n", false);
        m_env->m_boxes.QueueAnswer(accept ? MsgAnswer::Yes : MsgAnswer::No);
        m_env->m_boxes.QueueAnswer(MsgAnswer::Yes);  // the finish question, once installed
        CCopyToPhoneDlg dlg;
        dlg.show();
        ClickRow(dlg, 0);
        QTest::mouseClick(CopyButton(dlg), Qt::LeftButton);
        QTRY_VERIFY(!dlg.IsRunActive());
        const auto history = m_env->m_boxes.History();
        QCOMPARE(history.size(), size_t(2));
        QCOMPARE(history[0].text, T("CopyToPhoneDlg_Msg_Prog_NotFound"));
        QCOMPARE(history[0].eIcon, MsgIcon::Question);
        QCOMPARE(history[0].eButtons, MsgButtons::YesNo);
        const QStringList copied = QDir(m_env->PhoneData("p")).entryList(QDir::Files);
        if (accept) {
            QCOMPARE(history[1].text, T("CopyToPhoneDlg_Msg_Finish"));
            QVERIFY(QDir(m_env->Phones() + "/p/C/Quorvex").exists());
            QCOMPARE(copied.size(), 2);
        } else {
            QCOMPARE(history[1].text, T("CopyToPhoneDlg_Msg_Inst_Abort"));
            QCOMPARE(history[1].eIcon, MsgIcon::Information);
            QVERIFY(copied.isEmpty());
            QVERIFY(!QDir(m_env->Phones() + "/p/C/Quorvex").exists());
        }
        QVERIFY(dlg.isVisible());
    }

    void phonesComingAndGoing() {
        CCopyToPhoneDlg dlg;
        dlg.show();
        QCOMPARE(List(dlg)->count(), 0);
        m_env->AddPhone("p", "Name=Plugged\n");
        QTRY_COMPARE(List(dlg)->count(), 1);
        QCOMPARE(Info(dlg), T("CopyToPhoneDlg_Info_NoDeviceSelected"));
        m_env->RemovePhone("p");
        QTRY_COMPARE(List(dlg)->count(), 0);
        QCOMPARE(Info(dlg), T("CopyToPhoneDlg_Info_NoDevice"));
    }

    void leavingWithoutBackStillRestoresLastDb() {
        {
            CCopyToPhoneDlg dlg;
            dlg.show();
            QCOMPARE(m_env->ProgramFiles("*.db").size(), 2);
            QTest::keyClick(List(dlg), Qt::Key_Return);
            QVERIFY(!dlg.isVisible());
            QCOMPARE(m_env->ProgramFiles("*.db"), QStringList{"last.db"});
            QCOMPARE(qvxtest::ReadBytes(m_env->Program() + "/last.db"), m_database);
            dlg.show();  // opened again: lends the database again
            QCOMPARE(m_env->ProgramFiles("*.db").size(), 2);
        }
        // Destroyed while open: the database goes back all the same.
        QCOMPARE(m_env->ProgramFiles("*.db"), QStringList{"last.db"});
        QVERIFY(m_env->ProgramFiles("*.sem").isEmpty());
    }

    void dotsAreAddedOncePerSecond() {
        CCopyToPhoneDlg dlg;
        qint64 nNow = QDateTime::currentSecsSinceEpoch() + 1;
        dlg.SetClock([&] { return nNow; });
        dlg.show();
        const std::string base = "Copying";
        const QStringList expected = {"Copying.", "Copying..", "Copying...", "Copying", "Copying."};
        for (const QString& text : expected) {
            ++nNow;
            dlg.AnimateInfoText(base);
            QCOMPARE(Info(dlg), text);
            dlg.AnimateInfoText(base);  // the same second: no change
            QCOMPARE(Info(dlg), text);
        }
        // A text that leaves no room for three dots stays as it was.
        ++nNow;
        dlg.AnimateInfoText(std::string(257, 'x'));
        QCOMPARE(Info(dlg), QString("Copying."));
    }

private:
    std::unique_ptr<qvxtest::DialogEnv> m_env;
    QByteArray m_database;
};

QTEST_MAIN(TestCopyToPhoneDlg)
#include "tst_copytophonedlg.moc"

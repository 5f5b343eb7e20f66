// Start-up of the wizard: the language check, the probe of the three service
// groups of the connectivity library and what opens afterwards.
#include <QtTest>
#include <memory>

#include "WizardTestUtil.h"
#include "gui/app/QVXWizardApp.h"
#include "gui/app/QVXWizardDlg.h"
#include "gui/kit/MessageBoxesUi.h"
#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "transfer/ConnApi.h"

using qvxui::CScriptedMessageBoxes;

namespace {

class CTestWizardApp : public CQVXWizardApp {
public:
    int m_nMainRuns = 0;
    int m_nNoticeRuns = 0;
    bool m_bGroupLoadedAtMain = false;

protected:
    void RunMainDialog(CQVXWizardDlg&) override {
        ++m_nMainRuns;
        m_bGroupLoadedAtMain = qvxconn::IsGroupLoaded(qvxconn::ApiGroup::DM) ||
                               qvxconn::IsGroupLoaded(qvxconn::ApiGroup::FS) ||
                               qvxconn::IsGroupLoaded(qvxconn::ApiGroup::CF);
    }
    void RunPCSuiteDialog() override { ++m_nNoticeRuns; }
};

// registry.ini naming the library of each group.
QByteArray Registry(const QByteArray& dm, const QByteArray& fs, const QByteArray& cf) {
    return "[HKEY_LOCAL_MACHINE\\SOFTWARE\\PC Connectivity Solution\\API]\n"
           "DMAPI=" +
           dm + "\nFSAPI=" + fs + "\nCFAPI=" + cf + "\nOptions=1\n";
}

const QByteArray kDevice = QVX_PROGRAM_DIR "/libqvxdevice.so";
const QByteArray kMissing = "/nonexistent/libqvxdevice.so";

}  // namespace

class TestWizardApp : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_boxes.Clear();
        qvxui::SetMessageBoxes(&m_boxes);
    }
    void cleanup() { qvxui::SetMessageBoxes(nullptr); }

    void noLanguageFile();
    void noFolderForTheUsersFiles();
    void probe_data();
    void probe();

private:
    CScriptedMessageBoxes m_boxes;
};

void TestWizardApp::noLanguageFile() {
    wiztest::ProgramFolder folder(false);
    // Even without the phone service only the language message shows.
    QVERIFY(wiztest::WriteBytes(folder.File("registry.ini"), Registry(kMissing, kMissing, kMissing)));
    CTestWizardApp app;
    QCOMPARE(app.InitInstance(), false);
    QCOMPARE(app.LastOutcome(), CQVXWizardApp::kNoLanguage);
    QCOMPARE(m_boxes.Count(), 1);
    QCOMPARE(m_boxes.Last().text, QString("language.ini not found"));
    QCOMPARE(m_boxes.Last().caption, QString("Quorvex"));
    QCOMPARE(m_boxes.Last().eIcon, qvxui::MsgIcon::Error);
    QCOMPARE(m_boxes.Last().eButtons, qvxui::MsgButtons::Ok);
    QCOMPARE(app.m_nMainRuns + app.m_nNoticeRuns, 0);
    QCOMPARE(folder.CountInLog("Error initializing"), 0);
}

void TestWizardApp::noFolderForTheUsersFiles() {
    wiztest::ProgramFolder folder;
    QVERIFY(wiztest::WriteBytes(folder.File("registry.ini"), Registry(kDevice, kDevice, kDevice)));
    QVERIFY(wiztest::WriteBytes(folder.File("installed"), "installed\n"));
    // Installed, with a file where the user's folders would go.
    QVERIFY(wiztest::WriteBytes(folder.File("in-the-way"), "a file\n"));
    const QByteArray blocked = QFile::encodeName(folder.File("in-the-way"));
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", blocked);
    qputenv("XDG_DATA_HOME", blocked);
    qputenv("XDG_STATE_HOME", blocked);
    CTestWizardApp app;
    app.InitInstance();
    qputenv("HOME", oldHome);
    qunsetenv("XDG_DATA_HOME");
    qunsetenv("XDG_STATE_HOME");
    // Said once, in the user's language; the wizard runs on.
    QCOMPARE(m_boxes.Count(), 1);
    QVERIFY2(m_boxes.Last().text.contains(QString::fromUtf8(GetText(qvxtext::kMsg_NoUserFolders, 1025))
                                              .section(QStringLiteral("%s"), 0, 0)),
             qPrintable(m_boxes.Last().text));
    QVERIFY(m_boxes.Last().text.contains(QStringLiteral("~/.local/share/qvxwizard")));
    QCOMPARE(app.m_nMainRuns, 1);
}

void TestWizardApp::probe_data() {
    QTest::addColumn<QByteArray>("dm");
    QTest::addColumn<QByteArray>("fs");
    QTest::addColumn<QByteArray>("cf");
    QTest::addColumn<QString>("warning");
    QTest::newRow("all services") << kDevice << kDevice << kDevice << "";
    QTest::newRow("device service missing") << kMissing << kDevice << kDevice << "DMAPI";
    QTest::newRow("file service missing") << kDevice << kMissing << kDevice << "FSAPI";
    QTest::newRow("common service missing") << kDevice << kDevice << kMissing << "CFAPI";
}

void TestWizardApp::probe() {
    QFETCH(QByteArray, dm);
    QFETCH(QByteArray, fs);
    QFETCH(QByteArray, cf);
    QFETCH(QString, warning);
    wiztest::ProgramFolder folder;
    QVERIFY(wiztest::WriteBytes(folder.File("registry.ini"), Registry(dm, fs, cf)));
    CTestWizardApp app;
    QCOMPARE(app.InitInstance(), false);
    QCOMPARE(m_boxes.Count(), 0);
    if (warning.isEmpty()) {
        QCOMPARE(app.LastOutcome(), CQVXWizardApp::kMainDialog);
        QCOMPARE(app.m_nMainRuns, 1);
        QCOMPARE(app.m_nNoticeRuns, 0);
        QVERIFY(!app.m_bGroupLoadedAtMain);
        QCOMPARE(folder.CountInLog("Error initializing"), 0);
    } else {
        QCOMPARE(app.LastOutcome(), CQVXWizardApp::kPCSuiteNotice);
        QCOMPARE(app.m_nMainRuns, 0);
        QCOMPARE(app.m_nNoticeRuns, 1);
        // One warning, and no attempt at the groups after the failing one.
        QCOMPARE(folder.CountInLog("Error initializing"), 1);
        QCOMPARE(folder.CountInLog("WizApp") > 0, true);
        QVERIFY(folder.Log().contains(
            QRegularExpression("WARNING: Error initializing " + warning + " -?\\d+ \\(\\d+\\)")));
    }
    QVERIFY(!qvxconn::IsGroupLoaded(qvxconn::ApiGroup::DM));
    QVERIFY(!qvxconn::IsGroupLoaded(qvxconn::ApiGroup::FS));
    QVERIFY(!qvxconn::IsGroupLoaded(qvxconn::ApiGroup::CF));
}

QTEST_MAIN(TestWizardApp)
#include "tst_wizardapp.moc"

// The progress dialog's counting and texts, and the create-database dialog
// driving a real build.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DlgTestEnv.h"
#include "database/CreateDBThread.h"
#include "gui/database/CreateDBDlg.h"
#include "gui/database/ProgressDlg.h"
#include "gui/kit/UiThreadAdapter.h"
#include "import/AnalysisStep.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "threads/CallbackCodes.h"

namespace {

QString PercentLabel(const QDialog& dlg) {
    return dlg.findChild<QLabel*>("1026")->text();
}
QString InfoLabel(const QDialog& dlg) {
    return dlg.findChild<QLabel*>("1025")->text();
}
int BarValue(const QDialog& dlg) {
    return dlg.findChild<QProgressBar*>("1023")->value();
}

class CountingProgressDlg : public CProgressDlg {
public:
    int m_nCancels = 0;
    int m_nInits = 0;

protected:
    void OnInitProgress() override { ++m_nInits; }
    void OnCancelProgress() override { ++m_nCancels; }
};

// The main dialog's part: records what the create-database dialog passes on.
class Owner : public CCallbackReceiver {
public:
    int OnReceiveCallback(unsigned nCode, void* pParam) override {
        if (nCode == CB::START_THREAD && m_onStart) m_onStart();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_codes.push_back(nCode);
        if (nCode == CB::RESULT && pParam) m_nResult = *static_cast<int*>(pParam);
        return 0;
    }
    std::vector<unsigned> Codes() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_codes;
    }
    std::function<void()> m_onStart;
    int m_nResult = -1;

private:
    std::mutex m_mutex;
    std::vector<unsigned> m_codes;
};

// A build that reports a range and ends without a single step.
class NoStepWorker : public CCreateDBThread {
public:
    bool StartWork() override {
        SendCallback(CB::START_THREAD);
        int nTotal = 4;
        SendCallback(CB::SET_RANGE, &nTotal);
        return true;
    }
    void DoWork() override { StopWork(); }
};

}  // namespace

class TestProgressDlg : public QObject {
    Q_OBJECT

private slots:
    void init() { m_env = std::make_unique<qvxtest::DialogEnv>(); }
    void cleanup() { m_env.reset(); }

    void percentLabelRunsOneAhead_data() {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("steps");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("position");
        QTest::newRow("4: 25%") << 4 << 1 << "26 %" << 1;
        QTest::newRow("4: 50%") << 4 << 2 << "51 %" << 2;
        QTest::newRow("4: 75%") << 4 << 3 << "76 %" << 3;
        QTest::newRow("4: 100%") << 4 << 4 << "100 %" << 4;
        QTest::newRow("4: beyond the total") << 4 << 7 << "100 %" << 4;
        QTest::newRow("1000: nine steps") << 1000 << 9 << "0 %" << 9;
        QTest::newRow("1000: ten steps") << 1000 << 10 << "2 %" << 10;
        QTest::newRow("1000: 98%") << 1000 << 989 << "99 %" << 989;
        QTest::newRow("1000: 99% shows 100") << 1000 << 990 << "100 %" << 990;
        QTest::newRow("3: 33%") << 3 << 1 << "34 %" << 1;
    }
    void percentLabelRunsOneAhead() {
        QFETCH(int, total);
        QFETCH(int, steps);
        QFETCH(QString, label);
        QFETCH(int, position);
        CProgressDlg dlg;
        dlg.show();
        QCOMPARE(PercentLabel(dlg), QString("0 %"));
        dlg.SetProgressRange(total);
        int nReturned = -1;
        for (int i = 0; i < steps; ++i) nReturned = dlg.StepProgress();
        QCOMPARE(PercentLabel(dlg), label);
        QCOMPARE(nReturned, position);
        QCOMPARE(BarValue(dlg), position);
        QCOMPARE(dlg.GetCount(), steps);
    }

    void stepsFromAWorkerThreadReachTheWindow() {
        CProgressDlg dlg;
        dlg.show();
        std::thread worker([&] {
            dlg.SetProgressRange(100000);
            dlg.SetInfoText("from the worker");
            for (int i = 0; i < 100000; ++i) dlg.StepProgress();
        });
        QTRY_COMPARE(PercentLabel(dlg), QString("100 %"));
        worker.join();
        QTRY_COMPARE(BarValue(dlg), 100000);
        QCOMPARE(InfoLabel(dlg), QString("from the worker"));
    }

    void rangesAndStepsWithoutRange() {
        CProgressDlg dlg;
        dlg.show();
        // No range yet: counted, nothing divided, nothing shown.
        QCOMPARE(dlg.StepProgress(), 0);
        QCOMPARE(dlg.GetCount(), 1);
        QCOMPARE(PercentLabel(dlg), QString("0 %"));
        dlg.SetProgressRange(0);
        dlg.SetProgressRange(-3);
        QCOMPARE(dlg.GetTotal(), 0);
        // A new range restarts the count but never lowers the percentage shown.
        dlg.SetProgressRange(4);
        dlg.StepProgress();
        dlg.StepProgress();
        QCOMPARE(PercentLabel(dlg), QString("51 %"));
        dlg.SetProgressRange(100);
        QCOMPARE(dlg.GetCount(), 0);
        QCOMPARE(BarValue(dlg), 0);
        dlg.StepProgress();
        QCOMPARE(PercentLabel(dlg), QString("51 %"));
        QCOMPARE(dlg.GetShownPercent(), 50);
    }

    void infoTextsOverTheLimitAreDropped() {
        CProgressDlg dlg;
        dlg.show();
        const std::string fits(128, 'a');
        dlg.SetInfoText(fits.c_str());
        QCOMPARE(InfoLabel(dlg), QString::fromStdString(fits));
        const std::string tooLong(129, 'b');
        dlg.SetInfoText(tooLong.c_str());
        dlg.SetInfoText(nullptr);
        QCOMPARE(InfoLabel(dlg), QString::fromStdString(fits));
        // The limit counts bytes: 64 two-byte letters fit exactly.
        std::string umlauts;
        for (int i = 0; i < 64; ++i) umlauts += "\xC3\xBC";
        dlg.SetInfoText(umlauts.c_str());
        QCOMPARE(InfoLabel(dlg).size(), 64);
    }

    void cancelNeverClosesTheDialog() {
        CountingProgressDlg dlg;
        dlg.show();
        QCOMPARE(dlg.m_nInits, 1);
        QVERIFY(dlg.WaitForInit(0));
        auto* pCancel = dlg.findChild<QPushButton*>("2");
        QVERIFY(pCancel);
        QTest::mouseClick(pCancel, Qt::LeftButton);
        QTest::keyClick(&dlg, Qt::Key_Escape);
        dlg.close();
        QCOMPARE(dlg.m_nCancels, 3);
        QVERIFY(dlg.isVisible());
        dlg.CloseProgress();
        QTRY_VERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(dlg.m_nInits, 1);
    }

    void buildRunsToItsEnd() {
        CContactsFile parser;
        CDataMap table;
        Analyze(parser, table);
        CImportData import{&table, &parser};
        CCreateDBThread worker;
        worker.SetImportData(&import);
        Owner owner;
        {
            CCreateDBDlg dlg;
            dlg.SetWorker(&worker);
            dlg.m_Owner.SetReceiver(&owner);
            QCOMPARE(dlg.exec(), int(QDialog::Rejected));
            QCOMPARE(dlg.windowTitle(), qvxtest::DialogEnv::Text("ProgressDlg_WindowText"));
            QCOMPARE(dlg.findChild<QPushButton*>("2")->text(),
                     qvxtest::DialogEnv::Text("ProgressDlg_Button_Cancel"));
            QVERIFY(dlg.GetTotal() > 0);
            QVERIFY(dlg.GetCount() > 0);
        }
        QCOMPARE(owner.Codes(), (std::vector<unsigned>{CB::START_THREAD, CB::RESULT, CB::END_THREAD}));
        QCOMPARE(owner.m_nResult, 1);
        QCOMPARE(m_env->ProgramFiles("*.db"), QStringList{"last.db"});
    }

    void cancelDuringTheBuildKeepsLastDb() {
        qvxtest::WriteBytes(m_env->Program() + "/last.db", "previous");
        CContactsFile parser;
        CDataMap table;
        Analyze(parser, table);
        CImportData import{&table, &parser};
        CCreateDBThread worker;
        worker.SetImportData(&import);
        Owner owner;
        CCreateDBDlg dlg;
        // The user presses Cancel twice as soon as the build has begun.
        owner.m_onStart = [&] {
            qvxui::CallOnUiThread(&dlg, [&] {
                QTest::mouseClick(dlg.findChild<QPushButton*>("2"), Qt::LeftButton);
                QTest::keyClick(&dlg, Qt::Key_Escape);
            });
        };
        dlg.SetWorker(&worker);
        dlg.m_Owner.SetReceiver(&owner);
        dlg.exec();
        QCOMPARE(dlg.IsCompleted(), 0);
        QCOMPARE(owner.m_nResult, 0);
        QCOMPARE(owner.Codes().back(), CB::END_THREAD);
        QCOMPARE(m_env->ProgramFiles("*.db"), QStringList{"last.db"});
        QCOMPARE(qvxtest::ReadBytes(m_env->Program() + "/last.db"), QByteArray("previous"));
    }

    void aDatabaseThatCannotBecomeLastDbStopsTheWay() {
        QVERIFY(QDir(m_env->Program()).mkdir("last.db"));
        CContactsFile parser;
        CDataMap table;
        Analyze(parser, table);
        CImportData import{&table, &parser};
        CCreateDBThread worker;
        worker.SetImportData(&import);
        Owner owner;
        {
            CCreateDBDlg dlg;
            dlg.SetWorker(&worker);
            dlg.m_Owner.SetReceiver(&owner);
            dlg.exec();
        }
        // No copy of the previous last.db follows; the user is told why.
        QCOMPARE(owner.m_nResult, 0);
        QCOMPARE(m_env->m_boxes.Count(), 1);
        QVERIFY(m_env->m_boxes.Last().text.startsWith(
            qvxtest::DialogEnv::Text("CreateDBDlg_Msg_LastDBNotReplaced")));
        QVERIFY(QFileInfo(m_env->Program() + "/last.db").isDir());
        QCOMPARE(QDir(m_env->Program()).entryList({"*.unfinished", "*_full.db"}, QDir::Files), QStringList{});
    }

    void workerWithoutStepsEndsAtZero() {
        NoStepWorker worker;
        Owner owner;
        CCreateDBDlg dlg;
        dlg.SetWorker(&worker);
        dlg.m_Owner.SetReceiver(&owner);
        dlg.exec();
        QCOMPARE(PercentLabel(dlg), QString("0 %"));
        QCOMPARE(owner.m_nResult, 1);
        QCOMPARE(owner.Codes(), (std::vector<unsigned>{CB::START_THREAD, CB::RESULT, CB::END_THREAD}));
    }

    void withoutWorkerTheOwnerStillHearsTheEnd() {
        Owner owner;
        CCreateDBDlg dlg;
        dlg.m_Owner.SetReceiver(&owner);
        dlg.exec();
        QCOMPARE(owner.m_nResult, 0);
        QCOMPARE(owner.Codes(), (std::vector<unsigned>{CB::RESULT, CB::END_THREAD}));
    }

private:
    void Analyze(CContactsFile& parser, CDataMap& table) {
        const QString csv = m_env->Program() + "/contacts.csv";
        const QString map = m_env->Program() + "/contacts.map";
        QVERIFY(QFile::copy(QStringLiteral(QVX_FIXTURE_DIR "/dialogs/contacts.csv"), csv));
        QVERIFY(QFile::copy(QStringLiteral(QVX_FIXTURE_DIR "/dialogs/contacts.map"), map));
        parser.SetCSVFileName(csv.toUtf8().constData());
        parser.SetMappingFileName(map.toUtf8().constData());
        int nCsvState = CSV_STATE_CHOSEN;
        int nMappingState = MAPPING_STATE_CHOSEN;
        QCOMPARE(AnalyzeCSVFile(parser, table, nCsvState, nMappingState), 0);
        QCOMPARE(nMappingState, int(MAPPING_STATE_COMPLETE));
    }

    std::unique_ptr<qvxtest::DialogEnv> m_env;
};

QTEST_MAIN(TestProgressDlg)
#include "tst_progressdlg.moc"

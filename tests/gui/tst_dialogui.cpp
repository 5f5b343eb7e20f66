#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <thread>
#include <vector>

#include "gui/kit/DialogUi.h"
#include "gui/kit/MessageBoxesUi.h"
#include "gui/kit/UiThreadAdapter.h"

using qvxui::CScriptedMessageBoxes;
using qvxui::MsgAnswer;
using qvxui::MsgButtons;
using qvxui::MsgIcon;

namespace {

// Records on which thread each box was shown.
class CThreadRecordingBoxes : public CScriptedMessageBoxes {
public:
    MsgAnswer ShowMessage(QWidget* pParent, const QString& text, MsgIcon eIcon, MsgButtons eButtons,
                          const QString& caption) override {
        m_pThread = QThread::currentThread();
        return CScriptedMessageBoxes::ShowMessage(pParent, text, eIcon, eButtons, caption);
    }
    std::atomic<QThread*> m_pThread{nullptr};
};

void Touch(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

}  // namespace

class TestDialogUi : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void blockingCallFromWorkerReturnsValue();
    void postedAndBlockingCallsKeepOrder();
    void blockingCallOnOwnThreadRunsPostedCallsFirst();
    void callsToDestroyedContextAreDropped();

    void scriptedAnswers();
    void messageBoxFromWorkerIsShownOnUiThread();
    void saveDialogAsksBeforeOverwriting();
    void saveDialogAsksBeforeCreating();
    void openDialogNeedsExistingFile();
    void fileFilters_data();
    void fileFilters();

    void dialogUnits();
    void localTexts_data();
    void localTexts();

private:
    CScriptedMessageBoxes m_boxes;
};

void TestDialogUi::init() {
    m_boxes.Clear();
    qvxui::SetMessageBoxes(&m_boxes);
}

void TestDialogUi::cleanup() {
    qvxui::SetMessageBoxes(nullptr);
}

void TestDialogUi::blockingCallFromWorkerReturnsValue() {
    QObject context;
    QThread* pUiThread = QThread::currentThread();
    std::atomic<bool> bDone{false};
    std::atomic<bool> bRanOnUi{false};
    int nResult = 0;
    std::thread worker([&] {
        nResult = qvxui::CallOnUiThread(&context, [&] {
            bRanOnUi = QThread::currentThread() == pUiThread;
            return 4711;
        });
        qvxui::CallOnUiThread(&context, [] {});  // void actions too
        bDone = true;
    });
    QTRY_VERIFY(bDone.load());
    worker.join();
    QCOMPARE(nResult, 4711);
    QVERIFY(bRanOnUi.load());

    // Without a context nothing runs and a default value comes back.
    bool bRan = false;
    QCOMPARE(qvxui::CallOnUiThread(nullptr,
                                   [&] {
                                       bRan = true;
                                       return 5;
                                   }),
             0);
    QVERIFY(!bRan);
    QVERIFY(!qvxui::PostToUiThread(nullptr, [] {}));
}

void TestDialogUi::postedAndBlockingCallsKeepOrder() {
    QObject context;
    std::vector<int> order;  // touched on the UI thread only
    std::atomic<bool> bDone{false};
    std::thread worker([&] {
        for (int i = 0; i < 200; ++i) {
            if (i % 7 == 3)
                qvxui::CallOnUiThread(&context, [&order, i] { order.push_back(i); });
            else
                qvxui::PostToUiThread(&context, [&order, i] { order.push_back(i); });
        }
        qvxui::CallOnUiThread(&context, [] {});
        bDone = true;
    });
    QTRY_VERIFY(bDone.load());
    worker.join();
    QCOMPARE(order.size(), size_t(200));
    for (int i = 0; i < 200; ++i) QCOMPARE(order[i], i);
}

void TestDialogUi::blockingCallOnOwnThreadRunsPostedCallsFirst() {
    QObject context;
    std::vector<int> order;
    qvxui::PostToUiThread(&context, [&] { order.push_back(1); });
    qvxui::PostToUiThread(&context, [&] { order.push_back(2); });
    const int n = qvxui::CallOnUiThread(&context, [&] {
        order.push_back(3);
        return 3;
    });
    QCOMPARE(n, 3);
    QCOMPARE(order, (std::vector<int>{1, 2, 3}));
}

void TestDialogUi::callsToDestroyedContextAreDropped() {
    bool bRan = false;
    auto* pContext = new QObject;
    QVERIFY(qvxui::PostToUiThread(pContext, [&] { bRan = true; }));
    delete pContext;
    QCoreApplication::processEvents();
    QVERIFY(!bRan);
}

void TestDialogUi::scriptedAnswers() {
    QVERIFY(qvxui::AskYesNo(nullptr, QStringLiteral("unscripted")));  // first button: Yes
    m_boxes.QueueAnswer(MsgAnswer::No);
    QVERIFY(!qvxui::AskYesNo(nullptr, QStringLiteral("Install?")));
    // An answer the box has no button for counts as closing it.
    m_boxes.QueueAnswer(MsgAnswer::Yes);
    QCOMPARE(qvxui::MessageBox(nullptr, QStringLiteral("Done"), MsgIcon::Information, MsgButtons::Ok),
             MsgAnswer::Ok);
    m_boxes.SetDefaultAnswer(MsgAnswer::No);
    QCOMPARE(qvxui::MessageBox(nullptr, QStringLiteral("Again?"), MsgIcon::Question, MsgButtons::YesNo),
             MsgAnswer::No);
    qvxui::ShowError(nullptr, QStringLiteral("language.ini not found"));

    const auto history = m_boxes.History();
    QCOMPARE(history.size(), size_t(5));
    QCOMPARE(history[1].text, QStringLiteral("Install?"));
    QCOMPARE(history[1].caption, QStringLiteral("Quorvex"));
    QCOMPARE(history[1].eIcon, MsgIcon::Question);
    QCOMPARE(history[1].eButtons, MsgButtons::YesNo);
    QCOMPARE(history[1].eAnswer, MsgAnswer::No);
    QCOMPARE(history[4].eIcon, MsgIcon::Error);
    QCOMPARE(history[4].eAnswer, MsgAnswer::Ok);
}

void TestDialogUi::messageBoxFromWorkerIsShownOnUiThread() {
    CThreadRecordingBoxes boxes;
    qvxui::SetMessageBoxes(&boxes);
    QWidget dialog;
    boxes.QueueAnswer(MsgAnswer::Yes);
    std::atomic<int> nAnswer{-1};
    std::thread worker([&] { nAnswer = qvxui::AskYesNo(&dialog, QStringLiteral("Copy finished. Again?")); });
    QTRY_COMPARE(nAnswer.load(), 1);
    worker.join();
    QCOMPARE(boxes.m_pThread.load(), QThread::currentThread());
}

void TestDialogUi::saveDialogAsksBeforeOverwriting() {
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("old.map"));
    Touch(existing);
    qvxui::FileDialogOptions options;
    options.filter = QStringLiteral("*.map|*.map||");
    options.defaultSuffix = QStringLiteral("map");
    options.startFolder = dir.path();

    // No to the question shows the dialog again; the second name is new.
    m_boxes.QueueFileName(existing);
    m_boxes.QueueAnswer(MsgAnswer::No);
    m_boxes.QueueFileName(dir.filePath(QStringLiteral("fresh")));
    QString path;
    QVERIFY(qvxui::GetSaveFileName(nullptr, options, &path));
    QCOMPARE(path, dir.filePath(QStringLiteral("fresh.map")));
    auto history = m_boxes.History();
    QCOMPARE(history.size(), size_t(3));
    QCOMPARE(history[0].eKind, CScriptedMessageBoxes::Kind::SaveFile);
    QCOMPARE(history[0].options.startFolder, dir.path());
    QCOMPARE(history[1].text, qvxui::OverwriteQuestion(existing));
    QCOMPARE(history[1].eButtons, MsgButtons::YesNo);

    // Yes replaces; a cancelled dialog chooses nothing.
    m_boxes.Clear();
    m_boxes.QueueFileName(existing);
    m_boxes.QueueAnswer(MsgAnswer::Yes);
    QVERIFY(qvxui::GetSaveFileName(nullptr, options, &path));
    QCOMPARE(path, existing);
    path = QStringLiteral("unchanged");
    QVERIFY(!qvxui::GetSaveFileName(nullptr, options, &path));
    QCOMPARE(path, QStringLiteral("unchanged"));
}

void TestDialogUi::saveDialogAsksBeforeCreating() {
    QTemporaryDir dir;
    qvxui::FileDialogOptions options;
    options.defaultSuffix = QStringLiteral("map");
    options.bCreatePrompt = true;
    m_boxes.QueueFileName(dir.filePath(QStringLiteral("new.map")));
    m_boxes.QueueAnswer(MsgAnswer::Yes);
    QString path;
    QVERIFY(qvxui::GetSaveFileName(nullptr, options, &path));
    QCOMPARE(path, dir.filePath(QStringLiteral("new.map")));
    QCOMPARE(m_boxes.History().at(1).text, qvxui::CreateQuestion(path));

    // A script that always says No still ends.
    m_boxes.Clear();
    m_boxes.SetDefaultAnswer(MsgAnswer::No);
    for (int i = 0; i < 100; ++i) m_boxes.QueueFileName(dir.filePath(QStringLiteral("x.map")));
    QVERIFY(!qvxui::GetSaveFileName(nullptr, options, &path));
}

void TestDialogUi::openDialogNeedsExistingFile() {
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("contacts.csv"));
    Touch(csv);
    qvxui::FileDialogOptions options;
    options.filter = QStringLiteral("*.csv; *.txt|*.csv; *.txt||");
    options.defaultSuffix = QStringLiteral("csv");
    m_boxes.QueueFileName(dir.filePath(QStringLiteral("missing.csv")));
    m_boxes.QueueFileName(dir.filePath(QStringLiteral("contacts")));  // suffix added
    QString path;
    QVERIFY(qvxui::GetOpenFileName(nullptr, options, &path));
    QCOMPARE(path, csv);
    QCOMPARE(m_boxes.Count(), 2);
    QCOMPARE(m_boxes.Last().eKind, CScriptedMessageBoxes::Kind::OpenFile);
}

void TestDialogUi::fileFilters_data() {
    QTest::addColumn<QString>("windows");
    QTest::addColumn<QString>("qt");
    QTest::newRow("csv") << "*.csv; *.txt|*.csv; *.txt||"
                         << "*.csv; *.txt (*.csv *.txt)";
    QTest::newRow("map") << "*.map|*.map||"
                         << "*.map (*.map)";
    QTest::newRow("two") << "Text files|*.txt|All files|*.*||"
                         << "Text files (*.txt);;All files (*.*)";
    QTest::newRow("qt already") << "Maps (*.map)"
                                << "Maps (*.map)";
    QTest::newRow("odd end") << "Maps|*.map|Dangling"
                             << "Maps (*.map)";
    QTest::newRow("empty") << ""
                           << "";
}

void TestDialogUi::fileFilters() {
    QFETCH(QString, windows);
    QFETCH(QString, qt);
    QCOMPARE(qvxui::ConvertFileFilter(windows), qt);
}

void TestDialogUi::dialogUnits() {
    const qvxui::DialogBaseUnits base{6, 13};
    // 204 * 6 / 4 = 306; 27 * 13 / 8 = 43.9; 15 * 6 / 4 = 22.5; 14 * 13 / 8 = 22.75
    QCOMPARE(qvxui::DialogUnitsToPixels(base, 204, 27, 15, 14), QRect(306, 44, 23, 23));
    QCOMPARE(qvxui::DialogUnitsToPixels(base, 0, 0, 0, 0), QRect(0, 0, 0, 0));

    QFont font = QApplication::font();
    font.setPixelSize(13);
    const QFontMetrics fm(font);
    QWidget dialog;
    dialog.setFont(font);
    QWidget child(&dialog);
    qvxui::PlaceByDialogUnits(&child, 7, 143, 55, 14);
    const int letters =
        fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const QRect expected = qvxui::DialogUnitsToPixels(
        qvxui::DialogBaseUnits{(letters / 26 + 1) / 2, fm.height()}, 7, 143, 55, 14);
    QCOMPARE(child.geometry(), expected);
    QCOMPARE(qvxui::DialogSizeToPixels(font, 268, 175),
             qvxui::DialogUnitsToPixels(font, 0, 0, 268, 175).size());

    // A layout table names each control and places it by its id.
    constexpr qvxui::DialogItem kLayout[] = {{1, 1, 2, 3, 4}, {2, 7, 143, 55, 14}};
    auto* pListed = qvxui::Placed(new QWidget(&dialog), 2, kLayout);
    QCOMPARE(pListed->objectName(), QStringLiteral("2"));
    QCOMPARE(pListed->geometry(), expected);
    auto* pUnlisted = new QWidget(&dialog);
    pUnlisted->setGeometry(5, 6, 7, 8);
    qvxui::PlaceDialogItem(pUnlisted, 1043, kLayout);
    QCOMPARE(pUnlisted->objectName(), QStringLiteral("1043"));
    QCOMPARE(pUnlisted->geometry(), QRect(5, 6, 7, 8));
}

void TestDialogUi::localTexts_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QByteArray("Complete") << QStringLiteral("Complete");
    QTest::newRow("umlaut") << QByteArray(
                                   "Zur\xc3\xbc"
                                   "ck")
                            << QString::fromUtf8(
                                   "Zur\xc3\xbc"
                                   "ck");
    QTest::newRow("cut after lead byte") << QByteArray("abc\xc3") << QStringLiteral("abc");
    QTest::newRow("cut inside euro") << QByteArray("ab\xe2\x82") << QStringLiteral("ab");
    QTest::newRow("whole euro") << QByteArray("ab\xe2\x82\xac") << QString::fromUtf8("ab\xe2\x82\xac");
    QTest::newRow("cut four-byte") << QByteArray("x\xf0\x9f\x98") << QStringLiteral("x");
    QTest::newRow("invalid inside") << QByteArray(
                                           "a\xff"
                                           "b")
                                    << QString::fromUtf8(
                                           "a\xff"
                                           "b");
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestDialogUi::localTexts() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(qvxui::FromLocalText(bytes.constData(), size_t(bytes.size())), text);
    QCOMPARE(qvxui::FromLocalText(std::string(bytes.constData(), size_t(bytes.size()))), text);
    QCOMPARE(qvxui::FromLocalText(static_cast<const char*>(nullptr)), QString());
}

QTEST_MAIN(TestDialogUi)
#include "tst_dialogui.moc"

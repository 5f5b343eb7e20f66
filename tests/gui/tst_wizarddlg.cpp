// The main wizard dialog driven through its widgets: the CSV path field, the
// analysis on the worker, the enabled states, the info texts, Complete in
// both ways, closing while busy, the mapping list, dropped files, the
// languages menu and help.
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QUrl>
#include <QtTest>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "WizardTestUtil.h"
#include "gui/app/MappingList.h"
#include "gui/app/QVXWizardDlg.h"
#include "gui/i18n/InfoDlg.h"
#include "gui/kit/MessageBoxesUi.h"
#include "gui/kit/OpenDocumentUi.h"
#include "gui/mapping_editor/MappingDlg.h"
#include "gui/mapping_editor/PropertyListCtrl.h"
#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "platform/ShellOpen.h"
#include "support/ProductInfo.h"
#include "threads/CallbackCodes.h"

using qvxui::CScriptedMessageBoxes;
using wiztest::WriteBytes;

namespace {

// Plays the create-database dialog: the worker's reports come from a thread
// of their own, passed on to the owner as the real dialog does.
class CFakeCreateDBDlg : public QDialog {
public:
    CFakeCreateDBDlg(CQVXWizardDlg* pOwner, int nResult, bool bReportResult, std::vector<std::string>* pShown)
        : QDialog(pOwner),
          m_pOwner(pOwner),
          m_nResult(nResult),
          m_bReportResult(bReportResult),
          m_pShown(pShown) {}

protected:
    void showEvent(QShowEvent* pEvent) override {
        QDialog::showEvent(pEvent);
        m_pShown->push_back("createdb");
        QTimer::singleShot(0, this, [this] { Run(); });
    }

private:
    void Run() {
        std::atomic<bool> bDone{false};
        std::thread worker([this, &bDone] {
            m_pOwner->OnReceiveCallback(CB::START_THREAD, nullptr);
            int nResult = m_nResult;
            if (m_bReportResult) m_pOwner->OnReceiveCallback(CB::RESULT, &nResult);
            m_pOwner->OnReceiveCallback(CB::END_THREAD, nullptr);
            bDone = true;
        });
        while (!bDone) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        worker.join();
        accept();
    }
    CQVXWizardDlg* m_pOwner;
    int m_nResult;
    bool m_bReportResult;
    std::vector<std::string>* m_pShown;
};

// Records that it was shown and closes again.
class CFakeDlg : public QDialog {
public:
    CFakeDlg(QWidget* pParent, const char* pszName, std::vector<std::string>* pShown)
        : QDialog(pParent), m_name(pszName), m_pShown(pShown) {}

protected:
    void showEvent(QShowEvent* pEvent) override {
        QDialog::showEvent(pEvent);
        m_pShown->push_back(m_name);
        QTimer::singleShot(0, this, &QDialog::reject);
    }

private:
    std::string m_name;
    std::vector<std::string>* m_pShown;
};

// The wizard with its sub-dialogs replaced by recorders.
class CTestWizardDlg : public CQVXWizardDlg {
public:
    std::vector<std::string> m_dialogs;
    int m_nResultToReport = 1;
    bool m_bReportResult = true;
    int m_nMade = 0;
    std::function<bool(std::string&, std::string&)> m_editor;
    bool m_bRealEditor = false;

protected:
    QDialog* NewCreateDBDialog() override {
        ++m_nMade;
        return new CFakeCreateDBDlg(this, m_nResultToReport, m_bReportResult, &m_dialogs);
    }
    QDialog* NewCopyToPhoneDialog() override {
        ++m_nMade;
        return new CFakeDlg(this, "copy", &m_dialogs);
    }
    bool RunMappingEditor(bool bNewMode, const std::string& folder, const std::string& file,
                          std::string& name, std::string& path) override {
        m_dialogs.push_back(bNewMode ? "editor-new" : "editor-edit");
        if (m_bRealEditor) return CQVXWizardDlg::RunMappingEditor(bNewMode, folder, file, name, path);
        return m_editor ? m_editor(name, path) : false;
    }
};

struct Controls {
    explicit Controls(QWidget* p)
        : edit(p->findChild<QLineEdit*>("1003")),
          combo(p->findChild<QComboBox*>("1007")),
          newDB(p->findChild<QRadioButton*>("1001")),
          lastDB(p->findChild<QRadioButton*>("1000")),
          info(p->findChild<QLabel*>("1017")),
          lastDBInfo(p->findChild<QLabel*>("1046")) {
        for (const char* id : {"1004", "1036", "1008", "1037", "1010", "2", "1056", "1057"})
            buttons[id] = p->findChild<QPushButton*>(id);
    }
    QPushButton* button(const char* id) { return buttons.value(id); }
    // Enabled states in the order edit, 1004, 1007, 1036, 1008, 1037, 1010, 2, 1001, 1000.
    QString enabledStates() {
        QString s;
        for (QWidget* w :
             std::initializer_list<QWidget*>{edit, button("1004"), combo, button("1036"), button("1008"),
                                             button("1037"), button("1010"), button("2"), newDB, lastDB})
            s += w->isEnabled() ? '1' : '0';
        return s;
    }
    QLineEdit* edit;
    QComboBox* combo;
    QRadioButton* newDB;
    QRadioButton* lastDB;
    QLabel* info;
    QLabel* lastDBInfo;
    QHash<QString, QPushButton*> buttons;
};

QString English(const char* key) {
    return QString::fromUtf8(GetText(key, 129).c_str());
}

// A name that is not taken is told every extension that is (the text once left out .vcf).
QString NotTaken(const QString& file) {
    QString text = English("MainDlg_Info_CSVNotTaken_Type");
    const qsizetype first = text.indexOf("%s");
    text.replace(first, 2, file);
    return text.replace(text.indexOf("%s", first + file.size()), 2, ".csv, .txt, .vcf");
}

}  // namespace

class TestWizardDlg : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void csvPathField_data();
    void csvPathField();
    void csvThatCannotBeAnalysed();
    void updateControlsTable();
    void infoTexts();
    void noFittingMappingStartsANewOne();
    void infoTextsNameWhatReadingFound();
    void lastDBInfoUsesFormatsSafely();
    void completeNewDatabase_data();
    void completeNewDatabase();
    void completeLastDatabase();
    void resultWithoutParameterIsLogged();
    void closingRefusedWhileBusy();
    void enterNeverEndsTheProgram();
    void lastDatabaseInfoText();
    void mappingList();
    void mappingThatFitsIsKept();
    void mappingBrowseAddsOnce();
    void mappingCreateAddsAndSelects();
    void realEditorCancelledAppliesMappingAgain();
    void infoDialogSwitchesLanguageOfMainDialog();
    void vcardGivenOnTheCommandLine();
    void dropTakesFirstOfEachKind();
    void dropIsNeverAMove();
    void dropNotTakenLeavesNoEarlierFileCurrent();
    void dropOfMappingAndCsvAnalysesOnce();
    void dropWhileBusyIsIgnored();
    void languageMenuRelabels();
    void helpOpensGuideOfStoredLanguage_data();
    void helpOpensGuideOfStoredLanguage();
    void openingThatFailsSaysWhy();
    void captionsFitInBothLanguages();

private:
    // Opens the dialog on the current program folder, in English.
    void Open();
    void TypeCsv(const QString& text);
    void Drop(const QStringList& paths);
    void WaitIdle();
    // A worker's report as the dialog's own thread gets it, shown at once.
    void Report(unsigned nCode);

    std::unique_ptr<wiztest::ProgramFolder> m_folder;
    CScriptedMessageBoxes m_boxes;
    std::unique_ptr<CTestWizardDlg> m_dlg;
    std::unique_ptr<Controls> m_c;
    QString m_oldDir;
    // What help and the web button asked to open, and the answer they get.
    std::vector<std::string> m_opened;
    int m_nOpenResult = qvxplatform::kShellOpenOk;
};

void TestWizardDlg::init() {
    m_folder = std::make_unique<wiztest::ProgramFolder>();
    m_boxes.Clear();
    qvxui::SetMessageBoxes(&m_boxes);
    m_opened.clear();
    m_nOpenResult = qvxplatform::kShellOpenOk;
    qvxui::SetShellOpener([this](const std::string& target) {
        m_opened.push_back(target);
        return m_nOpenResult;
    });
    m_oldDir = QDir::currentPath();
    QDir::setCurrent(m_folder->Path());
}

void TestWizardDlg::cleanup() {
    if (m_dlg) {
        WaitIdle();
        m_dlg.reset();
    }
    m_c.reset();
    qvxui::SetMessageBoxes(nullptr);
    qvxui::SetShellOpener(nullptr);
    QDir::setCurrent(m_oldDir);
    m_folder.reset();
}

void TestWizardDlg::Open() {
    m_dlg = std::make_unique<CTestWizardDlg>();
    QVERIFY(SetLanguage("English"));
    m_dlg->show();
    m_c = std::make_unique<Controls>(m_dlg.get());
    QVERIFY(m_c->edit && m_c->combo && m_c->info && m_c->lastDBInfo && m_c->button("1010"));
}

void TestWizardDlg::TypeCsv(const QString& text) {
    m_c->edit->setFocus();
    QTest::keyClicks(m_c->edit, text);
}

void TestWizardDlg::WaitIdle() {
    QTRY_VERIFY(!m_dlg->IsBusy() && m_dlg->IsAnalysisIdle());
}

void TestWizardDlg::Report(unsigned nCode) {
    m_dlg->OnReceiveCallback(nCode, nullptr);
    const bool bBusy = nCode == CB::START_THREAD;
    QTRY_COMPARE(m_dlg->IsBusy(), bBusy);
    QTRY_COMPARE(m_c->button("2")->isEnabled(), !bBusy);
}

void TestWizardDlg::Drop(const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    data.setUrls(urls);
    const QPoint pos = m_dlg->rect().center();
    QDragEnterEvent enter(pos, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_dlg.get(), &enter);
    QDropEvent drop(QPointF(pos), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_dlg.get(), &drop);
}

void TestWizardDlg::csvPathField_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("fileOnDisk");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("five characters") << "a.csv"
                                     << "a.csv" << true;
    QTest::newRow("four characters") << ".csv"
                                     << ".csv" << false;
    QTest::newRow("upper-case extension") << "DATA.TXT"
                                          << "DATA.TXT" << true;
    QTest::newRow("wrong extension") << "data.doc"
                                     << "data.doc" << false;
    QTest::newRow("no dot") << "datacsv"
                            << "datacsv" << false;
    QTest::newRow("extension only before a slash") << "x.csv/data"
                                                   << "" << false;
    QTest::newRow("missing file") << "missing.csv"
                                  << "" << false;
    QTest::newRow("folder named like a file") << "folder.csv"
                                              << "folder.csv/" << false;
}

void TestWizardDlg::csvPathField() {
    QFETCH(QString, typed);
    QFETCH(QString, fileOnDisk);
    QFETCH(bool, accepted);
    if (fileOnDisk.endsWith('/'))
        QVERIFY(QDir(m_folder->Path()).mkpath(fileOnDisk));
    else if (!fileOnDisk.isEmpty())
        QVERIFY(WriteBytes(m_folder->File(fileOnDisk), wiztest::ContactsCsv()));
    Open();
    TypeCsv(typed);
    WaitIdle();
    if (accepted) {
        QCOMPARE(m_dlg->GetCSVState(), 2);
        QCOMPARE(m_folder->CountInLog("New CSV file Selected: " + typed + "\n"), 1);
    } else {
        QCOMPARE(m_dlg->GetCSVState(), 0);
        QCOMPARE(m_folder->CountInLog("New CSV file Selected"), 0);
        // A file that is there is named with the reason it is not taken.
        const bool bFile = !fileOnDisk.isEmpty() && !fileOnDisk.endsWith('/');
        QCOMPARE(m_c->info->text(), (bFile ? NotTaken(typed) : English("MainDlg_Info_NoCSVFile")) + "\n");
        QVERIFY(m_c->edit->isEnabled());
    }
    QCOMPARE(m_boxes.Count(), 0);
}

void TestWizardDlg::csvThatCannotBeAnalysed() {
    QVERIFY(WriteBytes(m_folder->File("mappings/k.map"), wiztest::ContactsMapping()));
    QVERIFY(WriteBytes(m_folder->File("bad.csv"), "nothing\r\nto\r\nseparate\r\n"));
    Open();
    QCOMPARE(m_dlg->GetMappingState(), 1);
    TypeCsv(m_folder->File("bad.csv"));
    WaitIdle();
    QCOMPARE(m_boxes.Count(), 1);
    const auto shown = m_boxes.Last();
    // The file is named with the reason, not the general advice.
    QVERIFY2(shown.text.startsWith("No field separator was found in " + m_folder->File("bad.csv") + "."),
             qPrintable(shown.text));
    QCOMPARE(shown.caption, QString("Quorvex"));
    QCOMPARE(shown.eIcon, qvxui::MsgIcon::Information);
    QCOMPARE(shown.eButtons, qvxui::MsgButtons::Ok);
    QCOMPARE(m_dlg->GetCSVState(), 0);
    QCOMPARE(m_dlg->GetMappingState(), 1);  // untouched by a failed analysis
    QCOMPARE(m_c->enabledStates(), QString("1100000110"));
}

void TestWizardDlg::updateControlsTable() {
    QVERIFY(WriteBytes(m_folder->File("c.csv"), wiztest::ContactsCsv()));
    QVERIFY(WriteBytes(m_folder->File("last.db"), "db"));
    Open();
    QVERIFY(m_dlg->LastDBExists());
    // CSV state not 2: the CSV row is on, the radios follow last.db.
    QCOMPARE(m_c->enabledStates(), QString("1100000111"));
    // Analysed, no mapping at all: all but Edit and Complete, so that the user
    // can choose another file or mapping, or create one.
    TypeCsv(m_folder->File("c.csv"));
    WaitIdle();
    QCOMPARE(m_dlg->GetCSVState(), 2);
    QCOMPARE(m_dlg->GetMappingState(), 0);
    QCOMPARE(m_c->enabledStates(), QString("1111010111"));
    // Busy: everything off, help and web stay on.
    Report(CB::START_THREAD);
    QCOMPARE(m_c->enabledStates(), QString("0000000000"));
    QVERIFY(m_c->button("1056")->isEnabled() && m_c->button("1057")->isEnabled());
    Report(CB::END_THREAD);
    QCOMPARE(m_c->enabledStates(), QString("1111010111"));
    // Way "last database": only Complete, Cancel and the radios.
    QTest::mouseClick(m_c->lastDB, Qt::LeftButton, {}, QPoint(5, m_c->lastDB->height() / 2));
    QCOMPARE(m_dlg->GetMode(), 1);
    QCOMPARE(m_c->enabledStates(), QString("0000001111"));
    QTest::mouseClick(m_c->newDB, Qt::LeftButton, {}, QPoint(5, m_c->newDB->height() / 2));
    QCOMPARE(m_dlg->GetMode(), 0);
    QCOMPARE(m_c->enabledStates(), QString("1111010111"));

    // A complete mapping: edit and Complete come on too. (Which controls
    // each state turns on is the wizard-state table's; here only that every
    // control follows its rule.)
    QVERIFY(WriteBytes(m_folder->File("full.map"), wiztest::ContactsMapping()));
    Drop({m_folder->File("full.map")});
    WaitIdle();
    QCOMPARE(m_dlg->GetMappingState(), 2);
    QCOMPARE(m_c->enabledStates(), QString("1111111111"));
}

void TestWizardDlg::infoTexts() {
    QVERIFY(WriteBytes(m_folder->File("mappings/k.map"), wiztest::ContactsMapping()));
    QVERIFY(WriteBytes(m_folder->File("c.csv"), wiztest::ContactsCsv()));
    Open();
    // CSV state 0: the first line only, whatever the mapping state.
    QCOMPARE(m_dlg->GetMappingState(), 1);
    QCOMPARE(m_c->info->text(), English("MainDlg_Info_NoCSVFile") + "\n");
    QCOMPARE(m_c->lastDBInfo->text(), English("MainDlg_Info_LastDB_NotFound"));
    TypeCsv(m_folder->File("c.csv"));
    WaitIdle();
    QCOMPARE(m_c->info->text(), English("MainDlg_Info_CSVFileOK") + "\n" +
                                    English("MainDlg_Info_MappingFileOK") + "\n" +
                                    English("MainDlg_Info_ReadyToComplete"));

    // An incomplete mapping while a listed one fits: that one is taken, and
    // the info text names it.
    QVERIFY(WriteBytes(m_folder->File("part.map"), wiztest::IncompleteMapping()));
    Drop({m_folder->File("part.map")});
    WaitIdle();
    QCOMPARE(m_dlg->GetMappingState(), 2);
    QCOMPARE(QString(m_dlg->GetMappingFile()), m_folder->File("mappings/k.map"));
    QVERIFY(m_c->combo->currentText().startsWith("Kontakte ["));
    QCOMPARE(m_c->info->text(), English("MainDlg_Info_CSVFileOK") + "\n" +
                                    English("MainDlg_Info_MappingChosen").replace("%s", "Kontakte") + "\n" +
                                    English("MainDlg_Info_ReadyToComplete"));
    QCOMPARE(m_folder->CountInLog("Mapping chosen by itself: " + m_folder->File("mappings/k.map")), 1);

    // A file that no listed mapping fits: none is selected, and the next line
    // says what the user can do.
    QVERIFY(WriteBytes(m_folder->File("c4.csv"), "Name;Firma;Telefon;Mobil\r\nAnna;ACME;0711 1;0171 2\r\n"));
    Drop({m_folder->File("c4.csv")});
    WaitIdle();
    QCOMPARE(QString(m_dlg->GetCSVFile()), m_folder->File("c4.csv"));
    QCOMPARE(m_dlg->GetMappingState(), 0);
    QCOMPARE(m_c->combo->currentIndex(), -1);
    QCOMPARE(m_c->info->text(),
             English("MainDlg_Info_CSVFileOK") + "\n" + English("MainDlg_Info_NoMappingFits"));
    // A listed mapping file that can no longer be applied drops the mapping choice.
    QVERIFY(
        WriteBytes(m_folder->File("two.map"), wiztest::MappingFile("\"Name\",\"Firma\",\"Telefon\",\"Mobil\"",
                                                                   "\"N\",\"C\",\"C\",\"PD\"", "Zwei")));
    Drop({m_folder->File("two.map")});
    WaitIdle();
    QCOMPARE(m_dlg->GetMappingState(), 3);
    QVERIFY(WriteBytes(m_folder->File("two.map"), "garbage\r\n"));
    QVERIFY(m_c->combo->isEnabled());
    emit m_c->combo->activated(m_c->combo->currentIndex());
    WaitIdle();
    QCOMPARE(m_dlg->GetMappingState(), 0);
    QCOMPARE(m_folder->CountInLog("WARNING: Analyze CSV file: ParseAdditionalInformation() failed ! ("), 1);
    QCOMPARE(m_c->info->text(),
             English("MainDlg_Info_CSVFileOK") + "\n" + English("MainDlg_Info_MappingFileNotOK"));
    QCOMPARE(m_c->enabledStates(), QString("1111010110"));
}

// The nearest mapping is named, and only the user's click opens the editor,
// on a new mapping for the file that starts from it.
void TestWizardDlg::noFittingMappingStartsANewOne() {
    QVERIFY(WriteBytes(m_folder->File("mappings/k.map"), wiztest::ContactsMapping()));
    QVERIFY(WriteBytes(m_folder->File("mappings/near.map"),
                       wiztest::MappingFile("\"Name\",\"Firma\",\"Telefon\",\"Mobil\"",
                                            "\"N\",\"C\",\"PD\",\"PD\"", "Nah")));
    QVERIFY(WriteBytes(m_folder->File("c.csv"), wiztest::ContactsCsv()));
    QVERIFY(WriteBytes(m_folder->File("c5.csv"),
                       "Name;Firma;Telefon;Mobil;Fax\r\nAnna;ACME;0711 1;0171 2;0711 3\r\n"));
    Open();
    TypeCsv(m_folder->File("c.csv"));
    WaitIdle();
    QCOMPARE(m_dlg->GetMappingState(), 2);
    Drop({m_folder->File("c5.csv")});
    WaitIdle();
    QCOMPARE(m_dlg->GetMappingState(), 0);
    QCOMPARE(m_c->combo->currentIndex(), -1);
    QCOMPARE(m_c->info->text(), English("MainDlg_Info_CSVFileOK") + "\n" +
                                    English("MainDlg_Info_NearestMapping").replace("%s", "Nah"));
    QVERIFY(m_c->info->heightForWidth(m_c->info->contentsRect().width()) <=
            m_c->info->contentsRect().height());
    QVERIFY(m_dlg->m_dialogs.empty());  // the editor waits for the user's click

    m_dlg->m_bRealEditor = true;
    QString name;
    bool bMarked = false;
    QTimer::singleShot(0, [&] {
        auto* pEditor = qobject_cast<CMappingDlg*>(QApplication::activeModalWidget());
        if (!pEditor) return;
        name = pEditor->findChild<QLineEdit*>("1012")->text();
        CPropertyListCtrl* pList = pEditor->PropertyList();
        bMarked = !pList->IsMarkedForReview(3) && pList->IsMarkedForReview(4);
        QTest::keyClick(pEditor, Qt::Key_Escape);
    });
    QTest::mouseClick(m_c->button("1037"), Qt::LeftButton);
    QCOMPARE(m_dlg->m_dialogs, std::vector<std::string>{"editor-new"});
    QCOMPARE(name, QStringLiteral("Nah (c5)"));
    QVERIFY(bMarked);
    WaitIdle();
    QCOMPARE(m_dlg->GetMappingState(), 0);
}

void TestWizardDlg::infoTextsNameWhatReadingFound() {
    QVERIFY(WriteBytes(m_folder->File("mappings/k.map"), wiztest::ContactsMapping()));
    // Windows-1252, a note over two lines, two rows that do not fit and one
    // that gives no contact.
    QVERIFY(WriteBytes(m_folder->File("c.csv"),
                       "Name;Firma;Telefon\r\n"
                       "M\xFCller;\"Stra\xDF"
                       "e\r\n2\";1\r\n"
                       "A;B;C;D\r\n"
                       "B;C\r\n"
                       ";;0711 5\r\n"));
    Open();
    TypeCsv(m_folder->File("c.csv"));
    WaitIdle();
    QCOMPARE(m_dlg->GetCSVState(), 2);
    QCOMPARE(
        m_c->info->text(),
        English("MainDlg_Info_CSVFileOK") + "\n" +
            English("MainDlg_Info_ReadAs").replace("%s", "Windows-1252") + "\n" +
            English("MainDlg_Info_RowsMismatched").replace("%s rows", "2 rows").replace("%s", "4, 5") + "\n" +
            English("MainDlg_Info_MappingFileOK") + "\n" +
            English("MainDlg_Info_RowSkipped").replace("%s", "6") + "\n" +
            English("MainDlg_Info_ValuesNotStored").replace("%s values", "2 values").replace("%s", "2, 4") +
            "\n" + English("MainDlg_Info_ReadyToComplete"));
    // Every line of it is in the info box (scrolled to when it needs more room).
    QTRY_VERIFY(m_c->info->heightForWidth(m_c->info->width()) <= m_c->info->height());
    // In German the lines need more room than the box has: it scrolls to
    // the last one instead of hiding it.
    for (QAction* a : m_dlg->GetLanguagesMenu()->actions())
        if (a->text() == "Deutsch") a->trigger();
    QVERIFY(
        m_c->info->text().endsWith(QString::fromUtf8(GetText("MainDlg_Info_ReadyToComplete", 129).c_str())));
    auto* pArea = qobject_cast<QScrollArea*>(m_c->info->parentWidget()->parentWidget());
    QVERIFY(pArea);
    QTRY_VERIFY(pArea->verticalScrollBar()->maximum() > 0);
    QTRY_VERIFY(m_c->info->heightForWidth(m_c->info->width()) <= m_c->info->height());
    for (QAction* a : m_dlg->GetLanguagesMenu()->actions())
        if (a->text() == "English") a->trigger();

    QVERIFY(WriteBytes(m_folder->File("d.csv"), wiztest::ContactsCsv()));
    Drop({m_folder->File("d.csv")});
    WaitIdle();
    QCOMPARE(m_c->info->text(), English("MainDlg_Info_CSVFileOK") + "\n" +
                                    English("MainDlg_Info_MappingFileOK") + "\n" +
                                    English("MainDlg_Info_ReadyToComplete"));
}

void TestWizardDlg::lastDBInfoUsesFormatsSafely() {
    // The line beside the way shows last.db's date through the texts of language.ini.
    QByteArray ini = wiztest::ReadBytes(m_folder->File("language.ini"));
    ini.replace("MainDlg_Info_LastDB=Last built on %s", "MainDlg_Info_LastDB=Built: %s");
    ini.replace("TimeFormat_DateAndTime=%d %b %Y at %H:%M", "TimeFormat_DateAndTime=%Y|%n|%Q");
    QVERIFY(WriteBytes(m_folder->File("language.ini"), ini));
    QVERIFY(WriteBytes(m_folder->File("last.db"), "db"));
    Open();
    const QString year = QString::number(QFileInfo(m_folder->File("last.db")).lastModified().date().year());
    QCOMPARE(m_c->lastDBInfo->text(), "Built: " + year + "|%n|%Q");
}

void TestWizardDlg::completeNewDatabase_data() {
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("dialogs");
    QTest::newRow("build ran to its end") << 1 << "createdb copy";
    QTest::newRow("cancelled") << 0 << "createdb";
}

void TestWizardDlg::completeNewDatabase() {
    QFETCH(int, result);
    QFETCH(QString, dialogs);
    QVERIFY(WriteBytes(m_folder->File("mappings/k.map"), wiztest::ContactsMapping()));
    QVERIFY(WriteBytes(m_folder->File("c.csv"), wiztest::ContactsCsv()));
    Open();
    TypeCsv(m_folder->File("c.csv"));
    WaitIdle();
    QVERIFY(m_c->button("1010")->isEnabled());
    m_dlg->m_nResultToReport = result;
    QTest::mouseClick(m_c->button("1010"), Qt::LeftButton);
    WaitIdle();
    QStringList shown;
    for (const auto& d : m_dlg->m_dialogs) shown << QString::fromStdString(d);
    QCOMPARE(shown.join(' '), dialogs);
    QCOMPARE(m_dlg->GetCreateDBResult(), result);
    QCOMPARE(m_dlg->m_nMade, 2);
    QTRY_COMPARE(m_c->enabledStates(), QString("1111111110"));
}

void TestWizardDlg::completeLastDatabase() {
    QVERIFY(WriteBytes(m_folder->File("last.db"), "db"));
    Open();
    QTest::mouseClick(m_c->lastDB, Qt::LeftButton, {}, QPoint(5, m_c->lastDB->height() / 2));
    QVERIFY(m_c->button("1010")->isEnabled());
    QTest::mouseClick(m_c->button("1010"), Qt::LeftButton);
    QCOMPARE(m_dlg->m_dialogs, std::vector<std::string>{"copy"});
    QCOMPARE(m_dlg->GetMode(), 1);
}

void TestWizardDlg::resultWithoutParameterIsLogged() {
    Open();
    QCOMPARE(m_dlg->OnReceiveCallback(CB::RESULT, nullptr), 0);
    QCOMPARE(m_folder->CountInLog("WARNING: OnReceiveCallback(6): NULL-Pointer ("), 1);
    QCOMPARE(m_dlg->OnReceiveCallback(CB::STEP, nullptr), 0);
    QCOMPARE(m_folder->CountInLog("NULL-Pointer"), 1);
}

void TestWizardDlg::closingRefusedWhileBusy() {
    Open();
    Report(CB::START_THREAD);
    QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
    QTest::keyClick(m_dlg.get(), Qt::Key_Return);
    m_dlg->close();
    QVERIFY(m_dlg->isVisible());
    Report(CB::END_THREAD);
    QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
    QVERIFY(!m_dlg->isVisible());
    QCOMPARE(m_dlg->result(), int(QDialog::Rejected));
}

void TestWizardDlg::enterNeverEndsTheProgram() {
    QVERIFY(WriteBytes(m_folder->File("c.csv"), wiztest::ContactsCsv()));
    Open();
    // Enter after a path typed by hand, before and after it names the file.
    const QString path = m_folder->File("c.csv");
    TypeCsv(path.left(path.size() - 1));
    QTest::keyClick(m_c->edit, Qt::Key_Return);
    QVERIFY(m_dlg->isVisible());
    QTest::keyClicks(m_c->edit, "v");
    WaitIdle();
    QCOMPARE(m_dlg->GetCSVState(), 2);
    QVERIFY(m_c->edit->isEnabled());
    // The field was off while the analysis ran; the focus is back in it.
    QCOMPARE(m_dlg->focusWidget(), m_c->edit);
    QTest::keyClick(m_c->edit, Qt::Key_Return);
    QTest::keyClick(m_c->edit, Qt::Key_Enter);
    QVERIFY(m_dlg->isVisible());
    // Nor does Enter in the field press a button that has the focus elsewhere.
    m_c->button("1056")->setFocus();
    QTest::keyClick(m_c->edit, Qt::Key_Return);
    QTest::keyClick(m_c->edit, Qt::Key_Enter);
    QCOMPARE(m_boxes.Count(), 0);
    QVERIFY(m_opened.empty());
    // Nor on a radio button or the mapping list.
    m_c->newDB->setFocus();
    QTest::keyClick(m_c->newDB, Qt::Key_Return);
    m_c->combo->setFocus();
    QTest::keyClick(m_c->combo, Qt::Key_Return);
    QVERIFY(m_dlg->isVisible());
    QCOMPARE(m_dlg->GetCSVState(), 2);
    // A focused button is pressed.
    m_c->button("1057")->setFocus();
    QTest::keyClick(m_c->button("1057"), Qt::Key_Return);
    QCOMPARE(m_opened.size(), size_t(1));
    QVERIFY(m_dlg->isVisible());
    // Escape still ends the wizard.
    QTest::keyClick(m_c->edit, Qt::Key_Escape);
    QVERIFY(!m_dlg->isVisible());
    QCOMPARE(m_dlg->result(), int(QDialog::Rejected));
}

void TestWizardDlg::lastDatabaseInfoText() {
    QVERIFY(WriteBytes(m_folder->File("mappings/k.map"), wiztest::ContactsMapping()));
    QVERIFY(WriteBytes(m_folder->File("c.csv"), wiztest::ContactsCsv()));
    QVERIFY(WriteBytes(m_folder->File("last.db"), "db"));
    Open();
    TypeCsv(m_folder->File("c.csv"));
    WaitIdle();
    const QString newWay = m_c->info->text();
    QVERIFY(newWay.endsWith(English("MainDlg_Info_ReadyToComplete")));
    QPushButton* pComplete = m_c->button("1010");
    QCOMPARE(pComplete->toolTip(), English("MainDlg_ButtonToolTip_Complete"));
    // Complete sends last.db: the info text and its tool tip say so, not that it builds.
    QTest::mouseClick(m_c->lastDB, Qt::LeftButton, {}, QPoint(5, m_c->lastDB->height() / 2));
    QCOMPARE(m_c->info->text(), English("MainDlg_Info_SendLastDB"));
    QCOMPARE(pComplete->toolTip(), English("MainDlg_ButtonToolTip_CompleteLastDB"));
    for (QAction* a : m_dlg->GetLanguagesMenu()->actions())
        if (a->text() == "Deutsch") a->trigger();
    QVERIFY(m_c->info->text().contains(QString::fromUtf8("zuletzt erstellte Kontaktdatenbank")));
    QVERIFY(pComplete->toolTip().startsWith(QString::fromUtf8("Zuletzt erstellte Datenbank")));
    for (QAction* a : m_dlg->GetLanguagesMenu()->actions())
        if (a->text() == "English") a->trigger();
    QCOMPARE(m_dlg->GetMode(), 1);
    QCOMPARE(pComplete->toolTip(), English("MainDlg_ButtonToolTip_CompleteLastDB"));
    QTest::mouseClick(m_c->newDB, Qt::LeftButton, {}, QPoint(5, m_c->newDB->height() / 2));
    QCOMPARE(m_c->info->text(), newWay);
    QCOMPARE(pComplete->toolTip(), English("MainDlg_ButtonToolTip_Complete"));
}

void TestWizardDlg::mappingList() {
    // File names and internal names sort differently; the list shows the names.
    QVERIFY(WriteBytes(m_folder->File("mappings/a.map"), wiztest::ContactsMapping("Zeta")));
    QVERIFY(WriteBytes(m_folder->File("mappings/b.map"), wiztest::ContactsMapping("alpha")));
    QVERIFY(WriteBytes(m_folder->File("mappings/c.map"), wiztest::ContactsMapping("Mitte")));
    QVERIFY(WriteBytes(m_folder->File("mappings/d.map"), wiztest::ContactsMapping("")));
    QVERIFY(WriteBytes(m_folder->File("mappings/e.map"), "not a mapping\r\n"));
    QVERIFY(WriteBytes(m_folder->File("mappings/f.map"), wiztest::ContactsMapping(QByteArray(90, 'L'))));
    QVERIFY(WriteBytes(m_folder->File("mappings/notes.txt"), "x"));
    QVERIFY(WriteBytes(m_folder->File("mappings/Beispielkontakte.map"),
                       wiztest::ContactsMapping("Beispielkontakte")));
    Open();
    QStringList labels;
    for (int i = 0; i < m_c->combo->count(); ++i) labels << m_c->combo->itemText(i);
    QCOMPARE(labels, QStringList({"alpha [b.map]", "Beispielkontakte [Beispielkontakte.map]", "d.map",
                                  QString(78, 'L') + " [f.map]", "Mitte [c.map]", "Zeta [a.map]"}));
    QCOMPARE(labels[3].size(), 86);
    // The closed list never cuts a label off mid-word: a name without its
    // file name, else cut with an ellipsis.
    auto* pList = m_dlg->findChild<CMappingList*>();
    QVERIFY(pList);
    QCOMPARE(pList->ShownText(), QString("alpha [b.map]"));
    m_c->combo->setCurrentIndex(1);
    QCOMPARE(pList->ShownText(), QString::fromUtf8("Beispielkontakte […]"));
    m_c->combo->setCurrentIndex(3);
    QVERIFY(pList->ShownText().startsWith("LLL") && pList->ShownText().endsWith(QChar(0x2026)));
    m_c->combo->setCurrentIndex(0);
    QCOMPARE(m_folder->CountInLog("Init Mappings: Get mapping information failed !"), 1);
    // The first entry of the list is current.
    QCOMPARE(QString(m_dlg->GetMappingFile()), m_folder->File("mappings/b.map"));
    QCOMPARE(m_dlg->GetMappingState(), 1);
}

void TestWizardDlg::mappingThatFitsIsKept() {
    // Both fit; the one listed first (by file name) is a.map, the current
    // one (first shown) is b.map: it stays.
    QVERIFY(WriteBytes(m_folder->File("mappings/a.map"), wiztest::ContactsMapping("Zeta")));
    QVERIFY(WriteBytes(m_folder->File("mappings/b.map"), wiztest::ContactsMapping("alpha")));
    QVERIFY(WriteBytes(m_folder->File("c.csv"), wiztest::ContactsCsv()));
    Open();
    TypeCsv(m_folder->File("c.csv"));
    WaitIdle();
    QCOMPARE(m_dlg->GetMappingState(), 2);
    QCOMPARE(QString(m_dlg->GetMappingFile()), m_folder->File("mappings/b.map"));
    QCOMPARE(m_c->info->text(), English("MainDlg_Info_CSVFileOK") + "\n" +
                                    English("MainDlg_Info_MappingFileOK") + "\n" +
                                    English("MainDlg_Info_ReadyToComplete"));
    QCOMPARE(m_folder->CountInLog("Mapping chosen by itself"), 0);
}

void TestWizardDlg::mappingBrowseAddsOnce() {
    QVERIFY(WriteBytes(m_folder->File("mappings/k.map"), wiztest::ContactsMapping("Alt")));
    QVERIFY(WriteBytes(m_folder->File("c.csv"), wiztest::ContactsCsv()));
    Open();
    TypeCsv(m_folder->File("c.csv"));
    WaitIdle();
    // Browsing for a listed file only renews its name.
    QVERIFY(WriteBytes(m_folder->File("mappings/k.map"), wiztest::ContactsMapping("Neu")));
    m_boxes.QueueFileName(m_folder->File("mappings/k.map"));
    QTest::mouseClick(m_c->button("1036"), Qt::LeftButton);
    WaitIdle();
    QCOMPARE(m_boxes.Last().options.defaultSuffix, QString("map"));
    QCOMPARE(m_c->combo->count(), 1);
    QCOMPARE(m_c->combo->itemText(0), QString("Neu [k.map]"));
    // A file from elsewhere is added and selected.
    QVERIFY(WriteBytes(m_folder->File("extern.map"), wiztest::ContactsMapping("Extern")));
    m_boxes.QueueFileName(m_folder->File("extern.map"));
    QTest::mouseClick(m_c->button("1036"), Qt::LeftButton);
    WaitIdle();
    QCOMPARE(m_c->combo->count(), 2);
    QCOMPARE(m_c->combo->currentText(), QString("Extern [extern.map]"));
    QCOMPARE(QString(m_dlg->GetMappingFile()), m_folder->File("extern.map"));
    QCOMPARE(m_dlg->GetMappingState(), 2);
    QCOMPARE(m_dlg->GetMappingCount(), 2);
}

void TestWizardDlg::mappingCreateAddsAndSelects() {
    QVERIFY(WriteBytes(m_folder->File("mappings/k.map"), wiztest::ContactsMapping("Alt")));
    QVERIFY(WriteBytes(m_folder->File("c.csv"), wiztest::ContactsCsv()));
    Open();
    TypeCsv(m_folder->File("c.csv"));
    WaitIdle();
    const QString saved = m_folder->File("mappings/neu.map");
    m_dlg->m_editor = [&](std::string& name, std::string& path) {
        WriteBytes(saved, wiztest::ContactsMapping("Neue Zuordnung"));
        name = "neu.map";
        path = saved.toStdString();
        return true;
    };
    QTest::mouseClick(m_c->button("1008"), Qt::LeftButton);
    WaitIdle();
    QCOMPARE(m_dlg->m_dialogs, std::vector<std::string>{"editor-edit"});
    QCOMPARE(m_c->combo->count(), 2);
    QVERIFY(m_c->combo->currentText().endsWith(" [neu.map]"));
    QCOMPARE(QString(m_dlg->GetMappingFile()), saved);
    QCOMPARE(m_dlg->GetMappingState(), 2);
}

void TestWizardDlg::realEditorCancelledAppliesMappingAgain() {
    QVERIFY(WriteBytes(m_folder->File("mappings/k.map"), wiztest::ContactsMapping()));
    QVERIFY(WriteBytes(m_folder->File("c.csv"), wiztest::ContactsCsv()));
    Open();
    TypeCsv(m_folder->File("c.csv"));
    WaitIdle();
    m_dlg->m_bRealEditor = true;
    bool bNewMode = false;
    QString samples;
    QTimer::singleShot(0, [&] {
        auto* pEditor = qobject_cast<CMappingDlg*>(QApplication::activeModalWidget());
        if (!pEditor) return;
        bNewMode = pEditor->IsNewMode();
        // The sample column shows the file's first values.
        if (QTableWidgetItem* pItem = pEditor->PropertyList()->item(0, 2)) samples = pItem->text();
        QTest::keyClick(pEditor, Qt::Key_Escape);
    });
    QTest::mouseClick(m_c->button("1037"), Qt::LeftButton);
    QCOMPARE(m_dlg->m_dialogs, std::vector<std::string>{"editor-new"});
    QVERIFY(bNewMode);
    QCOMPARE(samples, QStringLiteral("Anna Muster | Bert Beispiel"));
    // The new mode emptied the table's mapping row: the file is applied again.
    WaitIdle();
    QCOMPARE(m_folder->CountInLog("CQVXWAnalyzeCSVThread::StartWork()"), 2);
    QCOMPARE(m_dlg->GetMappingState(), 2);
    QCOMPARE(m_c->combo->count(), 1);
}

void TestWizardDlg::infoDialogSwitchesLanguageOfMainDialog() {
    Open();
    bool bSeen = false;
    QTimer::singleShot(0, [&] {
        auto* pInfo = qobject_cast<CInfoDlg*>(QApplication::activeModalWidget());
        if (!pInfo) return;
        bSeen = true;
        auto* pLanguages = pInfo->findChild<QComboBox*>("1048");
        if (pLanguages) pLanguages->setCurrentIndex(pLanguages->findText("Deutsch"));
        pInfo->reject();
    });
    m_dlg->GetInfoAction()->trigger();
    QVERIFY(bSeen);
    QCOMPARE(m_dlg->windowTitle(), QString("Quorvex Assistent 1.0.0"));
    for (QAction* a : m_dlg->GetLanguagesMenu()->actions()) QCOMPARE(a->isChecked(), a->text() == "Deutsch");
}

// "Open with" a vCard file: taken at the start with the built-in mapping,
// named in the list and the info text; editing it starts a new mapping and
// a cancelled editor applies it again. The file dialog offers such files.
void TestWizardDlg::vcardGivenOnTheCommandLine() {
    QVERIFY(WriteBytes(m_folder->File("mappings/k.map"), wiztest::ContactsMapping()));
    QVERIFY(WriteBytes(m_folder->File("Kontakte.VCF"),
                       "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna Muster\r\nTEL;TYPE=CELL:0171 1\r\nEND:VCARD\r\n"
                       "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bert\r\n"));
    m_dlg = std::make_unique<CTestWizardDlg>();
    m_dlg->SetStartFile(m_folder->File("Kontakte.VCF").toStdString());
    QVERIFY(SetLanguage("English"));
    m_dlg->show();
    m_c = std::make_unique<Controls>(m_dlg.get());
    WaitIdle();
    QCOMPARE(m_dlg->GetCSVState(), 2);
    QCOMPARE(m_dlg->GetMappingState(), 2);
    QCOMPARE(QString(m_dlg->GetMappingFile()), QStringLiteral("built-in:vcard"));
    QCOMPARE(m_c->combo->currentText(), English("VCard_Mapping_Name"));
    QCOMPARE(m_c->combo->count(), 2);
    QCOMPARE(m_c->info->text(),
             English("VCard_Info_ReadAs").replace("%s", "3.0") + "\n" +
                 English("VCard_Info_CardUnreadable").replace("%s", "6") + "\n" +
                 English("MainDlg_Info_MappingChosen").replace("%s", English("VCard_Mapping_Name")) + "\n" +
                 English("MainDlg_Info_ReadyToComplete"));

    QTest::mouseClick(m_c->button("1008"), Qt::LeftButton);
    WaitIdle();
    QCOMPARE(m_dlg->m_dialogs, std::vector<std::string>{"editor-new"});
    QCOMPARE(QString(m_dlg->GetMappingFile()), QStringLiteral("built-in:vcard"));
    QCOMPARE(m_dlg->GetMappingState(), 2);

    // A CSV file next: the mapping that fits it is shown and applied, and
    // Complete and Preview are on without picking it again.
    QVERIFY(WriteBytes(m_folder->File("c.csv"), wiztest::ContactsCsv()));
    Drop({m_folder->File("c.csv")});
    WaitIdle();
    QCOMPARE(QString(m_dlg->GetMappingFile()), m_folder->File("mappings/k.map"));
    QCOMPARE(m_dlg->GetMappingState(), 2);
    QCOMPARE(m_c->combo->count(), 1);
    QVERIFY(m_c->combo->currentText().startsWith("Kontakte ["));
    QVERIFY(m_c->button("1010")->isEnabled());
    QVERIFY(m_dlg->findChild<QPushButton*>("1058")->isEnabled());

    QCOMPARE(qvxui::ConvertFileFilter(CQVXWizardDlg::ContactsFileFilter()),
             QStringLiteral("Contacts (*.csv *.txt *.vcf);;All files (*)"));
}

void TestWizardDlg::dropTakesFirstOfEachKind() {
    QVERIFY(WriteBytes(m_folder->File("one.csv"), wiztest::ContactsCsv()));
    QVERIFY(WriteBytes(m_folder->File("two.csv"), wiztest::ContactsCsv()));
    QVERIFY(WriteBytes(m_folder->File("readme"), "x"));
    Open();
    Drop({m_folder->File("readme"), m_folder->File("one.csv"), m_folder->File("two.csv")});
    WaitIdle();
    QCOMPARE(m_c->edit->text(), m_folder->File("one.csv"));
    QCOMPARE(QString(m_dlg->GetCSVFile()), m_folder->File("one.csv"));
    QCOMPARE(m_folder->CountInLog("New CSV file Selected"), 1);
}

// A source that offers a move (Shift held) gets a copy, or a link; one that
// offers only a move is refused, since it could delete the user's export.
void TestWizardDlg::dropIsNeverAMove() {
    QVERIFY(WriteBytes(m_folder->File("one.csv"), wiztest::ContactsCsv()));
    QVERIFY(WriteBytes(m_folder->File("two.csv"), wiztest::ContactsCsv()));
    Open();
    const QPoint pos = m_dlg->rect().center();
    struct Case {
        const char* pszFile;
        Qt::DropActions offered;
        Qt::DropAction taken;  // IgnoreAction: refused
    };
    for (const Case& c : {Case{"one.csv", Qt::CopyAction | Qt::MoveAction, Qt::CopyAction},
                          Case{"two.csv", Qt::LinkAction | Qt::MoveAction, Qt::LinkAction},
                          Case{"one.csv", Qt::MoveAction, Qt::IgnoreAction}}) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(m_folder->File(c.pszFile))});
        QDragEnterEvent enter(pos, c.offered, &data, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(m_dlg.get(), &enter);
        QDragMoveEvent move(pos, c.offered, &data, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(m_dlg.get(), &move);
        QDropEvent drop(QPointF(pos), c.offered, &data, Qt::LeftButton, Qt::ShiftModifier);
        QApplication::sendEvent(m_dlg.get(), &drop);
        WaitIdle();
        const bool bTaken = c.taken != Qt::IgnoreAction;
        QCOMPARE(enter.isAccepted(), bTaken);
        QCOMPARE(move.isAccepted(), bTaken);
        QCOMPARE(drop.isAccepted(), bTaken);
        if (bTaken) {
            QCOMPARE(enter.dropAction(), c.taken);
            QCOMPARE(move.dropAction(), c.taken);
            QCOMPARE(drop.dropAction(), c.taken);
        }
    }
    QCOMPARE(QString(m_dlg->GetCSVFile()), m_folder->File("two.csv"));
    QCOMPARE(m_folder->CountInLog("New CSV file Selected"), 2);
}

void TestWizardDlg::dropNotTakenLeavesNoEarlierFileCurrent() {
    QVERIFY(WriteBytes(m_folder->File("mappings/k.map"), wiztest::ContactsMapping()));
    QVERIFY(WriteBytes(m_folder->File("c.csv"), wiztest::ContactsCsv()));
    QVERIFY(WriteBytes(m_folder->File("notes.doc"), wiztest::ContactsCsv()));
    Open();
    TypeCsv(m_folder->File("c.csv"));
    WaitIdle();
    QVERIFY(m_c->button("1010")->isEnabled());
    Drop({m_folder->File("notes.doc")});
    WaitIdle();
    // The dropped file shows with the reason; nothing of c.csv can be completed.
    QCOMPARE(m_c->edit->text(), m_folder->File("notes.doc"));
    QCOMPARE(m_dlg->GetCSVState(), 0);
    QCOMPARE(QString(m_dlg->GetCSVFile()), QString());
    QCOMPARE(m_c->info->text(), NotTaken(m_folder->File("notes.doc")) + "\n");
    QVERIFY(!m_c->button("1010")->isEnabled());
    QCOMPARE(m_boxes.Count(), 0);
}

void TestWizardDlg::dropOfMappingAndCsvAnalysesOnce() {
    QVERIFY(WriteBytes(m_folder->File("c.csv"), wiztest::ContactsCsv()));
    QVERIFY(WriteBytes(m_folder->File("d.csv"), wiztest::ContactsCsv()));
    QVERIFY(WriteBytes(m_folder->File("k.map"), wiztest::ContactsMapping()));
    Open();
    TypeCsv(m_folder->File("c.csv"));
    WaitIdle();
    QCOMPARE(m_dlg->GetCSVState(), 2);
    QCOMPARE(m_folder->CountInLog("CQVXWAnalyzeCSVThread::StartWork()"), 1);
    // The CSV file first in the drop: still one analysis that applies both.
    Drop({m_folder->File("d.csv"), m_folder->File("k.map")});
    WaitIdle();
    QCOMPARE(m_folder->CountInLog("CQVXWAnalyzeCSVThread::StartWork()"), 2);
    QCOMPARE(m_folder->CountInLog("Analysis not started"), 0);
    QCOMPARE(QString(m_dlg->GetCSVFile()), m_folder->File("d.csv"));
    QCOMPARE(m_dlg->GetCSVState(), 2);
    QCOMPARE(m_dlg->GetMappingState(), 2);
}

void TestWizardDlg::dropWhileBusyIsIgnored() {
    QVERIFY(WriteBytes(m_folder->File("c.csv"), wiztest::ContactsCsv()));
    Open();
    Report(CB::START_THREAD);
    Drop({m_folder->File("c.csv")});
    QVERIFY(m_c->edit->text().isEmpty());
    QCOMPARE(m_dlg->GetCSVState(), 0);
    Report(CB::END_THREAD);
}

void TestWizardDlg::languageMenuRelabels() {
    QVERIFY(WriteBytes(m_folder->File("c.csv"), wiztest::ContactsCsv()));
    Open();
    QCOMPARE(m_dlg->windowTitle(), QString("Quorvex Wizard 1.0.0"));
    TypeCsv(m_folder->File("c.csv"));
    WaitIdle();
    QMenu* pMenu = m_dlg->GetLanguagesMenu();
    QVERIFY(pMenu);
    QCOMPARE(m_dlg->GetLanguageCount(), pMenu->actions().size());
    QAction* pGerman = nullptr;
    for (QAction* a : pMenu->actions()) {
        if (a->text() == "Deutsch") pGerman = a;
        QCOMPARE(a->isChecked(), a->text() == "English");
    }
    QVERIFY(pGerman);
    pGerman->trigger();
    QCOMPARE(m_dlg->windowTitle(), QString("Quorvex Assistent 1.0.0"));
    QCOMPARE(m_c->newDB->text(), QString::fromUtf8(GetText("MainDlg_RadioButton_NewDB", 261).c_str()));
    QVERIFY(m_c->newDB->text().startsWith("Neue Kontaktdatenbank"));
    QCOMPARE(m_c->button("2")->text(), QString("Beenden"));
    QCOMPARE(m_c->button("1010")->toolTip().isEmpty(), false);
    QVERIFY(m_c->info->text().startsWith("Die CSV-Datei wurde erfolgreich gelesen."));
    QCOMPARE(m_dlg->GetLanguagesMenu()->title(), QString("Sprache"));
    QCOMPARE(m_dlg->GetInfoAction()->text(), QString::fromUtf8("Über Quorvex Assistent"));
    for (QAction* a : pMenu->actions()) QCOMPARE(a->isChecked(), a == pGerman);
    QCOMPARE(m_dlg->GetCSVState(), 2);
    char szStored[261] = {};
    QVERIFY(GetCurrentLanguage(szStored, sizeof szStored));
    QCOMPARE(QString(szStored), QString("Deutsch"));

    // The built-in vCard mapping's label, and its name in the info text,
    // follow a switch back.
    QVERIFY(WriteBytes(m_folder->File("k.vcf"),
                       "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna\r\nTEL;TYPE=CELL:0171 1\r\nEND:VCARD\r\n"));
    Drop({m_folder->File("k.vcf")});
    WaitIdle();
    QCOMPARE(m_c->combo->currentText(), QString::fromUtf8("vCard (automatisch)"));
    for (QAction* a : pMenu->actions())
        if (a->text() == "English") a->trigger();
    QCOMPARE(m_c->combo->currentText(), QString::fromUtf8("vCard (automatic)"));
    QCOMPARE(m_c->combo->toolTip(), QString::fromUtf8("vCard (automatic)"));
    QVERIFY(
        m_c->info->text().contains(English("MainDlg_Info_MappingChosen").replace("%s", "vCard (automatic)")));
}

void TestWizardDlg::helpOpensGuideOfStoredLanguage_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("guide");
    QTest::newRow("German") << QByteArray("Deutsch") << "Quorvex Benutzerdokumentation.pdf";
    QTest::newRow("English") << QByteArray("English") << "Quorvex User Guide.pdf";
    QTest::newRow("lower-case german") << QByteArray("deutsch") << "Quorvex User Guide.pdf";
}

void TestWizardDlg::helpOpensGuideOfStoredLanguage() {
    QFETCH(QByteArray, stored);
    QFETCH(QString, guide);
    QVERIFY(WriteBytes(m_folder->File("Quorvex Benutzerdokumentation.pdf"), "%PDF"));
    QVERIFY(WriteBytes(m_folder->File("Quorvex User Guide.pdf"), "%PDF"));
    Open();
    QByteArray ini = wiztest::ReadBytes(m_folder->File("language.ini"));
    const int nStart = ini.indexOf("language=");
    QVERIFY(nStart >= 0);
    const int nEnd = ini.indexOf('\n', nStart);
    ini.replace(nStart, nEnd - nStart, "language=" + stored + (ini.at(nEnd - 1) == '\r' ? "\r" : ""));
    QVERIFY(WriteBytes(m_folder->File("language.ini"), ini));
    QTest::mouseClick(m_c->button("1056"), Qt::LeftButton);
    QCOMPARE(m_opened, std::vector<std::string>{m_folder->FileBytes(guide)});
    QCOMPARE(m_boxes.Count(), 0);
    // A missing guide is not handed on, and the user is told.
    QFile::remove(m_folder->File(guide));
    QTest::mouseClick(m_c->button("1056"), Qt::LeftButton);
    QCOMPARE(m_opened.size(), size_t(1));
    QCOMPARE(m_boxes.Count(), 1);
    QCOMPARE(m_boxes.Last().eIcon, qvxui::MsgIcon::Warning);
    QCOMPARE(m_boxes.Last().text, English(qvxtext::kOpen_Msg_FileNotFound)
                                      .replace("%s", QString::fromUtf8(m_folder->FileBytes(guide))));
}

// No program for the guide, no browser for the address: a warning each, in
// the current language, naming what could not be opened.
void TestWizardDlg::openingThatFailsSaysWhy() {
    QVERIFY(WriteBytes(m_folder->File("Quorvex User Guide.pdf"), "%PDF"));
    Open();
    QTest::mouseClick(m_c->button("1057"), Qt::LeftButton);
    QCOMPARE(m_opened, std::vector<std::string>{qvxproduct::kMakerWebAddress});
    QCOMPARE(m_boxes.Count(), 0);

    m_nOpenResult = qvxplatform::kShellErrNoAssociation;
    QTest::mouseClick(m_c->button("1057"), Qt::LeftButton);
    QCOMPARE(m_boxes.Count(), 1);
    QCOMPARE(
        m_boxes.Last().text,
        English(qvxtext::kOpen_Msg_NoBrowser).replace("%s", QString::fromUtf8(qvxproduct::kMakerWebAddress)));
    QTest::mouseClick(m_c->button("1056"), Qt::LeftButton);
    QCOMPARE(m_boxes.Count(), 2);
    QCOMPARE(m_boxes.Last().eIcon, qvxui::MsgIcon::Warning);
    const std::string guide = m_folder->FileBytes("Quorvex User Guide.pdf");
    QCOMPARE(m_opened.back(), guide);
    QCOMPARE(m_boxes.Last().text,
             English(qvxtext::kOpen_Msg_NoProgram).replace("%s", QString::fromUtf8(guide)));
    // xdg-open's "no such file" for a document that vanished meanwhile.
    m_nOpenResult = qvxplatform::kShellErrFileNotFound;
    QTest::mouseClick(m_c->button("1056"), Qt::LeftButton);
    QCOMPARE(m_boxes.Last().text,
             English(qvxtext::kOpen_Msg_FileNotFound).replace("%s", QString::fromUtf8(guide)));
}

void TestWizardDlg::captionsFitInBothLanguages() {
    Open();
    for (const char* language : {"English", "Deutsch"}) {
        for (QAction* a : m_dlg->GetLanguagesMenu()->actions())
            if (a->text() == language) a->trigger();
        for (const char* id : {"1010", "2"}) {
            QPushButton* pButton = m_c->button(id);
            QVERIFY2(pButton->width() >= pButton->sizeHint().width(), qPrintable(pButton->text()));
            QVERIFY(pButton->geometry().right() < m_dlg->width());
        }
        QVERIFY(m_c->button("1010")->geometry().right() < m_c->button("2")->geometry().left());
        QVERIFY(m_c->button("1057")->geometry().right() < m_c->button("1010")->geometry().left());
    }
}

QTEST_MAIN(TestWizardDlg)
#include "tst_wizarddlg.moc"

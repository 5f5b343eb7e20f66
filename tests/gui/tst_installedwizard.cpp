// The wizard as an installed program: Qt's own texts (standard buttons, file
// dialogs) in the language chosen, the shipped and the user's own mappings
// both listed, new mappings and last.db in the user's data folder, and the
// CSV file dialog opening where the sample lies.
#include <stdlib.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <memory>

#include "WizardTestUtil.h"
#include "gui/app/QVXWizardDlg.h"
#include "gui/i18n/QtTranslationsUi.h"
#include "gui/kit/MessageBoxesUi.h"
#include "i18n/LanguageTable.h"

using wiztest::WriteBytes;

namespace {

class CEditorFolderWizardDlg : public CQVXWizardDlg {
public:
    std::string m_folder;
    std::string m_file;
    QByteArray m_saved;  // what the editor saves into the file it edits; empty: Cancel

protected:
    bool RunMappingEditor(bool, const std::string& folder, const std::string& file, std::string& name,
                          std::string& path) override {
        m_folder = folder;
        m_file = file;
        if (m_saved.isEmpty() || file.empty() || !WriteBytes(QString::fromStdString(file), m_saved))
            return false;
        path = file;
        name = path.substr(path.rfind('/') + 1);
        return true;
    }
};

class TestInstalledWizard : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void qtTextsFollowTheLanguage();
    void unknownLanguageKeepsQtEnglish();
    void mappingsOfBothFoldersAndTheUsersLastDb();
    void csvDialogOpensAtTheSamples();

private:
    void Install();
    QString Data() const { return m_home.path() + "/data/qvxwizard"; }

    std::unique_ptr<wiztest::ProgramFolder> m_folder;
    QTemporaryDir m_home;
    QByteArray m_oldHome;
    qvxui::CScriptedMessageBoxes m_boxes;
};

void TestInstalledWizard::init() {
    m_folder = std::make_unique<wiztest::ProgramFolder>();
    SetLanguageFile(m_folder->FileBytes("language.ini").c_str());
    qvxui::SetMessageBoxes(&m_boxes);
    m_boxes.Clear();
}

void TestInstalledWizard::cleanup() {
    qvxui::SetMessageBoxes(nullptr);
    SetLanguageListener(nullptr);
    SetLanguageChoiceFile(nullptr);
    SetLanguage("English");
    qvxui::ApplyQtTranslations("English");
    unsetenv("XDG_DATA_HOME");
    if (!m_oldHome.isEmpty()) setenv("HOME", m_oldHome.constData(), 1);
    m_oldHome.clear();
    m_folder.reset();
}

// The program folder marked as installed; the user's data in a folder of the test.
void TestInstalledWizard::Install() {
    QVERIFY(WriteBytes(m_folder->File("installed"), "installed\n"));
    setenv("XDG_DATA_HOME", QFile::encodeName(m_home.path() + "/data").constData(), 1);
    // Nothing of the test may reach the real home folder.
    m_oldHome = qgetenv("HOME");
    setenv("HOME", QFile::encodeName(m_home.path()).constData(), 1);
}

void TestInstalledWizard::qtTextsFollowTheLanguage() {
    QVERIFY(SetLanguage("English"));
    qvxui::FollowLanguageWithQtTexts();
    auto buttons = [] {
        QMessageBox box(QMessageBox::Question, "t", "x", QMessageBox::Yes | QMessageBox::No);
        return box.button(QMessageBox::Yes)->text() + "|" + box.button(QMessageBox::No)->text();
    };
    QCOMPARE(buttons(), QString("&Yes|&No"));

    // The switch alone brings Qt's texts along, as from the language menu.
    QVERIFY(SetLanguage("Deutsch"));
    QCOMPARE(buttons(), QString("&Ja|&Nein"));
    QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
    QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QString("Abbrechen"));
    QCOMPARE(QLocale().language(), QLocale::German);

    QVERIFY(SetLanguage("English"));
    QCOMPARE(buttons(), QString("&Yes|&No"));
    QCOMPARE(QLocale().language(), QLocale::English);
}

void TestInstalledWizard::unknownLanguageKeepsQtEnglish() {
    QVERIFY(!qvxui::ApplyQtTranslations("Klingon"));
    QMessageBox box(QMessageBox::Question, "t", "x", QMessageBox::Yes);
    QCOMPARE(box.button(QMessageBox::Yes)->text(), QString("&Yes"));
    QVERIFY(qvxui::ApplyQtTranslations("Deutsch"));
}

void TestInstalledWizard::mappingsOfBothFoldersAndTheUsersLastDb() {
    Install();
    QVERIFY(WriteBytes(m_folder->File("mappings/shipped.map"), wiztest::ContactsMapping("Geliefert")));
    QVERIFY(QDir().mkpath(Data() + "/mappings"));
    QVERIFY(WriteBytes(Data() + "/mappings/own.map", wiztest::ContactsMapping("Eigene")));
    QVERIFY(WriteBytes(Data() + "/last.db", "database"));
    CEditorFolderWizardDlg dlg;
    QVERIFY(SetLanguage("English"));
    dlg.show();
    auto* pCombo = dlg.findChild<QComboBox*>("1007");
    QVERIFY(pCombo);
    QStringList labels;
    for (int i = 0; i < pCombo->count(); ++i) labels << pCombo->itemText(i);
    QCOMPARE(labels, QStringList({"Eigene [own.map]", "Geliefert [shipped.map]"}));
    // The last database is the user's.
    QVERIFY(dlg.findChild<QRadioButton*>("1000")->isEnabled());
    // New mappings are saved among the user's.
    QVERIFY(WriteBytes(m_folder->File("c.csv"), wiztest::ContactsCsv()));
    auto* pEdit = dlg.findChild<QLineEdit*>("1003");
    pEdit->setFocus();
    QTest::keyClicks(pEdit, m_folder->File("c.csv"));
    QTRY_VERIFY(!dlg.IsBusy() && dlg.IsAnalysisIdle());
    auto* pCreate = dlg.findChild<QPushButton*>("1037");
    QTRY_VERIFY(pCreate->isEnabled());
    QTest::mouseClick(pCreate, Qt::LeftButton);
    QCOMPARE(QString::fromStdString(dlg.m_folder), Data() + "/mappings/");
    QTRY_VERIFY(!dlg.IsBusy() && dlg.IsAnalysisIdle());
    // A shipped mapping, once edited, is saved as the user's own.
    const int nShipped = pCombo->findText("Geliefert [shipped.map]");
    pCombo->setCurrentIndex(nShipped);
    emit pCombo->activated(nShipped);
    QTRY_VERIFY(!dlg.IsBusy() && dlg.IsAnalysisIdle());
    auto* pEdit2 = dlg.findChild<QPushButton*>("1008");
    QTRY_VERIFY(pEdit2->isEnabled());
    dlg.m_saved = wiztest::ContactsMapping("Geliefert");
    QTest::mouseClick(pEdit2, Qt::LeftButton);
    QCOMPARE(QString::fromStdString(dlg.m_file), Data() + "/mappings/shipped.map");
    // The user's copy takes the shipped mapping's place, marked, here and at the next start.
    QTRY_VERIFY(!dlg.IsBusy() && dlg.IsAnalysisIdle());
    const QStringList expected({"Eigene [own.map]", "Geliefert [shipped.map, your version]"});
    labels.clear();
    for (int i = 0; i < pCombo->count(); ++i) labels << pCombo->itemText(i);
    QCOMPARE(labels, expected);
    QCOMPARE(QString(dlg.GetMappingFile()), Data() + "/mappings/shipped.map");
    QVERIFY(SetLanguage("Deutsch"));
    dlg.UpdateTexts();
    QCOMPARE(pCombo->itemText(1), QString::fromUtf8("Geliefert [shipped.map, Ihre Fassung]"));
    QVERIFY(SetLanguage("English"));
    CEditorFolderWizardDlg next;
    next.show();
    auto* pNextCombo = next.findChild<QComboBox*>("1007");
    labels.clear();
    for (int i = 0; i < pNextCombo->count(); ++i) labels << pNextCombo->itemText(i);
    QCOMPARE(labels, expected);
    // Nothing of the user's landed in the program folder.
    QVERIFY(!QFile::exists(m_folder->File("last.db")));
}

void TestInstalledWizard::csvDialogOpensAtTheSamples() {
    CEditorFolderWizardDlg dlg;
    dlg.show();
    auto* pBrowse = dlg.findChild<QPushButton*>("1004");
    QVERIFY(pBrowse);
    QTest::mouseClick(pBrowse, Qt::LeftButton);
    QCOMPARE(m_boxes.Last().options.startFolder, m_folder->Path() + "/");
    QVERIFY(QDir().mkpath(m_folder->File("samples")));
    QTest::mouseClick(pBrowse, Qt::LeftButton);
    QCOMPARE(m_boxes.Last().options.startFolder, m_folder->Path() + "/samples/");
}

}  // namespace

QTEST_MAIN(TestInstalledWizard)
#include "tst_installedwizard.moc"

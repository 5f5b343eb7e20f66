// The about box: version, pictures, link, and the hidden language choice.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "DlgTestEnv.h"
#include "gui/controls/HyperlinkLabel.h"
#include "gui/i18n/InfoDlg.h"
#include "support/ProductInfo.h"

class TestInfoDlg : public QObject {
    Q_OBJECT

private slots:
    void versionLineInEveryLanguage_data() {
        QTest::addColumn<QString>("language");
        QTest::newRow("English") << "English";
        QTest::newRow("Deutsch") << "Deutsch";
    }
    void versionLineInEveryLanguage() {
        QFETCH(QString, language);
        qvxtest::DialogEnv env;
        SetLanguage(language.toUtf8().constData());
        CInfoDlg dlg;
        QCOMPARE(dlg.findChild<QLabel*>("1043")->text(), QString("Version: 1.0.0.41"));
        QCOMPARE(dlg.windowTitle(), qvxtest::DialogEnv::Text("InfoDlg_WindowText"));
        QCOMPARE(dlg.findChild<QPushButton*>("2")->text(), qvxtest::DialogEnv::Text("InfoDlg_Button_OK"));
    }

    void onlyTheLanguageChoiceIsHidden() {
        qvxtest::DialogEnv env;
        CInfoDlg dlg;
        dlg.show();
        for (const char* pszId : {"1045", "1044", "1039", "1050", "1041", "1043", "2"})
            QVERIFY2(dlg.findChild<QWidget*>(pszId)->isVisible(), pszId);
        QVERIFY(!dlg.findChild<QWidget*>("1049")->isVisible());
        QVERIFY(!dlg.findChild<QWidget*>("1048")->isVisible());
        for (const char* pszId : {"1045", "1044", "1041"})
            QVERIFY2(!dlg.findChild<QLabel*>(pszId)->pixmap().isNull(), pszId);
        QCOMPARE(dlg.palette().color(QPalette::Window), QColor(Qt::white));
        auto* pLink = dlg.findChild<CHyperlinkLabel*>("1050");
        QCOMPARE(pLink->GetAddress(), QString::fromUtf8(qvxproduct::kMakerWebAddress));
        QCOMPARE(pLink->GetLinkColour(), QColor(0, 0, 255));
        QCOMPARE(pLink->GetBackColour(), QColor(Qt::white));
        QTest::mouseClick(dlg.findChild<QPushButton*>("2"), Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
    }

    void languageChoiceSwitchesTheProgram() {
        qvxtest::DialogEnv env;
        CInfoDlg dlg;
        auto* pCombo = dlg.findChild<QComboBox*>("1048");
        QCOMPARE(pCombo->count(), 2);
        QCOMPARE(pCombo->currentText(), QString("English"));
        int nOwnerUpdates = 0;
        dlg.SetOwner([&] { ++nOwnerUpdates; });
        pCombo->setCurrentIndex(pCombo->findText("Deutsch"));
        QCOMPARE(QString::fromStdString(GetCurrentLanguageName()), QString("Deutsch"));
        QCOMPARE(nOwnerUpdates, 1);
        QCOMPARE(dlg.windowTitle(), qvxtest::DialogEnv::Text("InfoDlg_WindowText"));
        QCOMPARE(dlg.findChild<QLabel*>("1049")->text(), QString("Sprache:"));
        // A new dialog finds the stored choice.
        CInfoDlg again;
        QCOMPARE(again.findChild<QComboBox*>("1048")->currentText(), QString("Deutsch"));
    }
};

QTEST_MAIN(TestInfoDlg)
#include "tst_infodlg.moc"

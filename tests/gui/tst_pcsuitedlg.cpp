// The notice shown when the phone connection service cannot be started.
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "DlgTestEnv.h"
#include "gui/controls/HyperlinkLabel.h"
#include "gui/transfer/PCSuiteDlg.h"
#include "support/ProductInfo.h"

class TestPCSuiteDlg : public QObject {
    Q_OBJECT

private slots:
    void messageFollowsTheBuildNumber_data() {
        QTest::addColumn<QByteArray>("registry");
        QTest::addColumn<bool>("old");
        QTest::addColumn<QString>("version");
        const QByteArray key = "[HKEY_LOCAL_MACHINE\\Software\\Nokia]\nPCSuiteBuildNumber=";
        QTest::newRow("no key") << QByteArray() << false << QString();
        QTest::newRow("no value") << QByteArray("[HKEY_LOCAL_MACHINE\\Software\\Nokia]\nOther=1\n") << false
                                  << QString();
        QTest::newRow("three characters") << key + "683\n" << false << QString();
        QTest::newRow("683 in four characters") << key + "6830\n" << true << "6830";
        QTest::newRow("683 with more") << key + "683.12.0\n" << true << "683.12.0";
        QTest::newRow("684 is new enough") << key + "6840\n" << false << QString();
        QTest::newRow("700 is new enough") << key + "700.1\n" << false << QString();
        QTest::newRow("one digit and a dot") << key + "7.00.1\n" << true << "7.00.1";
        QTest::newRow("no digits") << key + "abcd\n" << true << "abcd";
        QTest::newRow("percent signs are data") << key + "12%n%s\n" << true << "12%n%s";
    }
    void messageFollowsTheBuildNumber() {
        QFETCH(QByteArray, registry);
        QFETCH(bool, old);
        QFETCH(QString, version);
        qvxtest::DialogEnv env(registry.toStdString());
        CPCSuiteDlg dlg;
        const QString message = dlg.findChild<QLabel*>("1053")->text();
        const QString line = dlg.findChild<QLabel*>("1054")->text();
        if (old) {
            QCOMPARE(message, qvxtest::DialogEnv::Text("Error_PCSuite_Old_Version"));
            QCOMPARE(line, "Installed version: " + version);
        } else {
            QCOMPARE(message, qvxtest::DialogEnv::Text("Error_PCSuite_NotInstalled"));
            QVERIFY(line.isEmpty());
        }
    }

    void prefixIsReadLikeADecimalConversion() {
        QCOMPARE(CPCSuiteDlg::BuildNumberPrefix("6839"), 683);
        QCOMPARE(CPCSuiteDlg::BuildNumberPrefix("7.00"), 7);
        QCOMPARE(CPCSuiteDlg::BuildNumberPrefix("x684"), 0);
        QCOMPARE(CPCSuiteDlg::BuildNumberPrefix(""), 0);
    }

    void brokenVersionFormatIsShownAsItStands() {
        qvxtest::DialogEnv env("[HKEY_LOCAL_MACHINE\\Software\\Nokia]\nPCSuiteBuildNumber=6001\n");
        const QString ini = env.Program() + "/language.ini";
        QByteArray text = qvxtest::ReadBytes(ini);
        text.replace("Installed version: %s", "Version %d of %s %n");
        qvxtest::WriteBytes(ini, text);
        CPCSuiteDlg dlg;
        QCOMPARE(dlg.findChild<QLabel*>("1054")->text(), QString("Version %d of %s %n"));
    }

    void titleLinkAndButtons() {
        qvxtest::DialogEnv env;
        CPCSuiteDlg dlg;
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QString("Quorvex"));
        auto* pLink = dlg.findChild<CHyperlinkLabel*>("1055");
        QVERIFY(pLink);
        QCOMPARE(pLink->GetAddress(), QString::fromUtf8(qvxproduct::kPhoneSuiteDownloadAddress));
        QCOMPARE(pLink->text(), pLink->GetAddress());
        QCOMPARE(pLink->GetLinkColour(), QColor(0, 0, 255));
        QCOMPARE(pLink->GetVisitedColour(), QColor(0, 0, 255));
        QCOMPARE(pLink->GetHoverColour(), QColor(0, 0, 255));
        auto* pHidden = dlg.findChild<QPushButton*>("2");
        QVERIFY(pHidden && !pHidden->isVisible() && !pHidden->isEnabled());
        auto* pOk = dlg.findChild<QPushButton*>("1");
        QCOMPARE(pOk->text(), QString("OK"));
        QTest::mouseClick(pOk, Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(TestPCSuiteDlg)
#include "tst_pcsuitedlg.moc"

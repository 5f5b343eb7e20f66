// The user guides that the build prints into the program folder, and the
// program folder that `cmake --install` lays out.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "i18n/LanguageTable.h"

namespace {

const QString kProgramDir = QStringLiteral(QVX_PROGRAM_DIR);

const QString kSourceDir = QStringLiteral(QVX_SOURCE_DIR);

// The dialogs of the source tree, each pictured once in every guide. Looked
// up when the test runs, so that a dialog that joins the build is expected
// from then on.
int DialogsInBuild() {
    int n = 0;
    for (const char* pszHeader :
         {"gui/app/QVXWizardDlg.h", "gui/mapping_editor/MappingDlg.h", "gui/database/CreateDBDlg.h",
          "gui/transfer/CopyToPhoneDlg.h", "gui/i18n/InfoDlg.h", "gui/transfer/PCSuiteDlg.h"}) {
        if (QFileInfo::exists(kSourceDir + "/src/" + pszHeader)) ++n;
    }
    return n;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int CountMatches(const QByteArray& bytes, const char* pszPattern) {
    const QString text = QString::fromLatin1(bytes);
    int n = 0;
    for (auto it = QRegularExpression(QString::fromLatin1(pszPattern)).globalMatch(text); it.hasNext();
         it.next())
        ++n;
    return n;
}

// The value of a key of the [Desktop Entry] group, with the string escapes undone.
QString DesktopValue(const QByteArray& entry, const QString& key) {
    for (const QByteArray& line : entry.split('\n')) {
        const QString text = QString::fromUtf8(line);
        if (!text.startsWith(key + "=")) continue;
        QString value;
        const QString raw = text.mid(key.size() + 1);
        for (int i = 0; i < raw.size(); ++i) {
            if (raw[i] == '\\' && i + 1 < raw.size()) {
                const QChar c = raw[++i];
                value += c == 's' ? QChar(' ') : c == 'n' ? QChar('\n') : c == 't' ? QChar('\t') : c;
            } else {
                value += raw[i];
            }
        }
        return value;
    }
    return QString();
}

// The first argument of an Exec value: quoted with \ " ` $ escaped inside, or bare.
QString ExecProgram(const QString& exec) {
    if (!exec.startsWith('"')) return exec.section(' ', 0, 0);
    QString program;
    for (int i = 1; i < exec.size(); ++i) {
        if (exec[i] == '\\' && i + 1 < exec.size()) {
            program += exec[++i];
        } else if (exec[i] == '"') {
            return program;
        } else {
            program += exec[i];
        }
    }
    return QString();  // unterminated
}

// The guide's text as a reader sees it: no tags, entities resolved, every run
// of white space one blank.
QString ReadableText(const QString& html) {
    QString text = html;
    text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    text.replace(QStringLiteral("&mdash;"), QString(QChar(0x2014)));
    return text.simplified();
}

// The first sentence of a text, which is all the guide quotes of a longer one.
QString FirstSentence(const QString& text) {
    const qsizetype nEnd = text.indexOf(QStringLiteral(". "));
    return nEnd < 0 ? text : text.left(nEnd + 1);
}

}  // namespace

class TestUserGuide : public QObject {
    Q_OBJECT

private slots:
    void guideQuotesTheProgramsTexts_data();
    void guideQuotesTheProgramsTexts();
    void guideIsAPrintedDocument_data();
    void guideIsAPrintedDocument();
    void installLaysOutTheProgramFolder_data();
    void installLaysOutTheProgramFolder();
};

void TestUserGuide::guideQuotesTheProgramsTexts_data() {
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("source");
    QTest::newRow("English") << QStringLiteral("English") << QStringLiteral("en.html");
    QTest::newRow("German") << QStringLiteral("Deutsch") << QStringLiteral("de.html");
}

// The guides name buttons, labels and messages by the texts the program
// shows; a text changed in language.ini must be changed in the guide too.
void TestUserGuide::guideQuotesTheProgramsTexts() {
    QFETCH(QString, language);
    QFETCH(QString, source);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ini = dir.path() + "/language.ini";
    QVERIFY(QFile::copy(kProgramDir + "/language.ini", ini));  // choosing a language writes the file
    QVERIFY(SetLanguageFile(QFile::encodeName(ini).constData()));
    QVERIFY(SetLanguage(language.toUtf8().constData()));
    const QString guide = ReadableText(QString::fromUtf8(ReadAll(kSourceDir + "/docs/guide/" + source)));
    QVERIFY(!guide.isEmpty());

    static const char* const kQuoted[] = {"MainDlg_RadioButton_NewDB",
                                          "MainDlg_RadioButton_LastDB",
                                          "MainDlg_Button_Complete",
                                          "MainDlg_Static_CSV",
                                          "MainDlg_Static_Mapping",
                                          "MainDlg_ButtonToolTip_BrowseCsv",
                                          "MainDlg_ButtonToolTip_BrowseMap",
                                          "MainDlg_ButtonToolTip_EditMap",
                                          "MainDlg_ButtonToolTip_CreateMap",
                                          "MainDlg_Info_CSVFileOK",
                                          "MainDlg_Info_MappingFileOK",
                                          "MainDlg_Info_MappingIncomplete",
                                          "MainDlg_Info_MappingFileNotOK",
                                          "MainDlg_Info_ReadyToComplete",
                                          "MainDlg_MsgBox_AnalyzeCSVFailed",
                                          "SysMenu_Languages",
                                          "InfoDlg_WindowText",
                                          "MappingDlg_Button_OK",
                                          "MappingDlg_Button_Cancel",
                                          "MappingDlg_ListCtrl_PropTypes",
                                          "MappingDlg_ListCtrl_Samples",
                                          "MappingDlg_Info_No_Name",
                                          "MappingDlg_Info_ToMany_Company",
                                          "MappingDlg_Info_Empty_Entry",
                                          "PropertyType_Phonenumer",
                                          "PropertyType_Name",
                                          "PropertyType_Company",
                                          "PropertyType_Location",
                                          "PropertyType_Email",
                                          "PropertyType_Other",
                                          "PropertyType_Hidden",
                                          "ProgressDlg_Button_Cancel",
                                          "CopyToPhoneDlg_Static_Devices",
                                          "CopyToPhoneDlg_Button_Copy",
                                          "CopyToPhoneDlg_Button_Abort",
                                          "CopyToPhoneDlg_Button_Cancel",
                                          "CopyToPhoneDlg_Info_NoDevice",
                                          "CopyToPhoneDlg_Info_MemoryNotOK",
                                          "CopyToPhoneDlg_Info_Inst_Failed"};
    for (const char* pszKey : kQuoted) {
        const QString text = FirstSentence(QString::fromUtf8(GetText(pszKey, 261)));
        QVERIFY2(!text.isEmpty(), pszKey);
        QVERIFY2(guide.contains(text),
                 qPrintable(QStringLiteral("%1: \"%2\" is not in the guide").arg(pszKey, text)));
    }
}

void TestUserGuide::guideIsAPrintedDocument_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("English") << QStringLiteral("Quorvex User Guide.pdf");
    QTest::newRow("German") << QStringLiteral("Quorvex Benutzerdokumentation.pdf");
}

void TestUserGuide::guideIsAPrintedDocument() {
    QFETCH(QString, name);
    const QByteArray pdf = ReadAll(kProgramDir + "/" + name);
    QVERIFY2(!pdf.isEmpty(), qPrintable(name + " is missing beside the program"));
    QVERIFY(pdf.startsWith("%PDF-"));
    QVERIFY(pdf.trimmed().endsWith("%%EOF"));  // written to its end
    QVERIFY2(CountMatches(pdf, "/Type\\s*/Page(?![a-zA-Z])") > 1, "a guide has more than one page");
    // A4 (595 x 842 points).
    QVERIFY(CountMatches(pdf, "/MediaBox\\s*\\[\\s*0\\s+0\\s+595(\\.\\d+)?\\s+84[12](\\.\\d+)?\\s*\\]") > 0);
    // Every dialog of this build is pictured.
    QVERIFY(CountMatches(pdf, "/Subtype\\s*/Image") >= DialogsInBuild());
}

void TestUserGuide::installLaysOutTheProgramFolder_data() {
    QTest::addColumn<QString>("prefixName");
    QTest::addColumn<bool>("bRelative");
    QTest::newRow("plain prefix") << QStringLiteral("prefix") << false;
    // Exec must quote and escape what the desktop would otherwise take apart.
    QTest::newRow("blank and dollar") << QStringLiteral("my $HOME prefix") << false;
    // The desktop entry names installed paths in full also then.
    QTest::newRow("relative prefix") << QStringLiteral("relative") << true;
}

void TestUserGuide::installLaysOutTheProgramFolder() {
    QFETCH(QString, prefixName);
    QFETCH(bool, bRelative);
    const QString cmake = QStandardPaths::findExecutable(QStringLiteral("cmake"));
    if (cmake.isEmpty()) QSKIP("cmake is not on the PATH");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString prefix = dir.path() + "/" + prefixName;
    const QString buildDir = QFileInfo(kProgramDir).absolutePath();

    QProcess install;
    install.setWorkingDirectory(dir.path());
    install.start(cmake, {QStringLiteral("--install"), buildDir, QStringLiteral("--prefix"),
                          bRelative ? QStringLiteral("./") + prefixName : prefix});
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0,
             install.readAllStandardError().constData());

    const QString folder = prefix + "/lib/qvxwizard";
    QStringList expected = {QStringLiteral("language.ini"),
                            QStringLiteral("mappings/Beispielkontakte.map"),
                            QStringLiteral("Quorvex User Guide.pdf"),
                            QStringLiteral("Quorvex Benutzerdokumentation.pdf"),
                            QStringLiteral("qvxwizard.svg"),
                            QStringLiteral("qvxbuild"),
                            QStringLiteral("qvx-phone"),
                            QStringLiteral("libqvxdevice.so"),
                            QStringLiteral("qVxLocal.sisx"),
                            QStringLiteral("samples/contacts-example.csv"),
                            QStringLiteral("samples/Beispielkontakte.map"),
                            QStringLiteral("installed")};
    // The program is built once its start-up exists.
    const bool bWizard = QFileInfo::exists(kSourceDir + "/src/gui/app/main.cpp");
    if (bWizard) expected << QStringLiteral("QVXWizard");
    for (const QString& file : expected)
        QVERIFY2(QFileInfo(folder + "/" + file).isFile(), qPrintable(file + " is missing"));
    for (const char* pszProgram : {"qvxbuild", "qvx-phone"})
        QVERIFY(QFileInfo(folder + "/" + pszProgram).isExecutable());
    // The installed files are the built ones.
    QCOMPARE(ReadAll(folder + "/Quorvex User Guide.pdf"), ReadAll(kProgramDir + "/Quorvex User Guide.pdf"));
    QCOMPARE(ReadAll(folder + "/language.ini"), ReadAll(kProgramDir + "/language.ini"));
    QVERIFY(QFileInfo(prefix + "/share/icons/hicolor/scalable/apps/qvxwizard.svg").isFile());

    // The links in bin lead into the program folder, so the programs find their files.
    const QFileInfo link(prefix + "/bin/qvxbuild");
    QVERIFY(link.isSymLink());
    QCOMPARE(link.canonicalFilePath(), QFileInfo(folder + "/qvxbuild").canonicalFilePath());

    const QString entryPath = prefix + "/share/applications/qvxwizard.desktop";
    if (!bWizard) {
        QVERIFY(!QFileInfo::exists(entryPath));
        return;
    }
    const QByteArray entry = ReadAll(entryPath);
    QVERIFY(entry.startsWith("[Desktop Entry]\n"));
    QCOMPARE(DesktopValue(entry, "Name"), QStringLiteral("QVXWizard"));
    QCOMPARE(DesktopValue(entry, "Type"), QStringLiteral("Application"));
    QCOMPARE(DesktopValue(entry, "Categories"), QStringLiteral("Office;Utility;"));
    QVERIFY(!DesktopValue(entry, "Comment").isEmpty());
    QCOMPARE(ExecProgram(DesktopValue(entry, "Exec")), folder + "/QVXWizard");
    QVERIFY(QFileInfo(ExecProgram(DesktopValue(entry, "Exec"))).isExecutable());
    QCOMPARE(DesktopValue(entry, "Path"), folder);
    // "Open with" a contacts file: the entry takes one and names the types.
    QVERIFY(DesktopValue(entry, "Exec").endsWith(QStringLiteral(" %f")));
    QVERIFY(DesktopValue(entry, "MimeType").startsWith(QStringLiteral("text/csv;")));
    QVERIFY(DesktopValue(entry, "MimeType").contains(QStringLiteral(";text/vcard;")));
    // The icon by its name in the hicolor theme.
    QCOMPARE(DesktopValue(entry, "Icon"), QStringLiteral("qvxwizard"));
    QVERIFY(QFileInfo(prefix + "/share/icons/hicolor/scalable/apps/qvxwizard.svg").isFile());
    for (const char* pszPage : {"QVXWizard.1.gz", "qvxbuild.1.gz", "qvx-phone.1.gz"})
        QVERIFY2(QFileInfo(prefix + "/share/man/man1/" + pszPage).isFile(), pszPage);
    for (const char* pszTool : {"qvxbuild", "qvx-phone"})
        QVERIFY(QFileInfo(prefix + "/share/bash-completion/completions/" + pszTool).isFile());
    QVERIFY(QFileInfo(prefix + "/share/metainfo/example.quorvex.qvxwizard.metainfo.xml").isFile());
    QVERIFY(!entry.contains('@'));  // every placeholder filled
}

QTEST_GUILESS_MAIN(TestUserGuide)
#include "tst_userguide.moc"

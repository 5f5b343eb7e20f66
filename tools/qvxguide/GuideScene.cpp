#include "GuideScene.h"

#include <stdlib.h>
#include <sys/time.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <ctime>

#include "database/CreateDBThread.h"
#include "i18n/LanguageTable.h"
#include "import/AnalysisStep.h"
#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "platform/ProgramPath.h"
#include "threads/CallbackReceiver.h"

namespace qvxguide {
namespace {

bool CopyFile(const QString& from, const QString& to, QString* pError) {
    QFile::remove(to);
    if (QFile::copy(from, to)) return true;
    *pError = QStringLiteral("cannot copy %1 to %2").arg(from, to);
    return false;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The build reports nothing anyone needs here.
class SilentReceiver : public CCallbackReceiver {
public:
    int OnReceiveCallback(unsigned, void*) override { return 0; }
};

}  // namespace

GuideScene::GuideScene() = default;

GuideScene::~GuideScene() {
    if (m_bPrepared) {
        qvxplatform::SetProgramFolder(std::string());
        unsetenv("QVX_PHONES_DIR");
    }
}

bool GuideScene::Prepare(const QString& sourceDir, const QString& builtProgramDir, QString* pError) {
    if (!m_dir.isValid()) {
        *pError = QStringLiteral("cannot create a temporary folder");
        return false;
    }
    QDir root(m_dir.path());
    root.mkpath(QStringLiteral("program/mappings"));
    root.mkpath(QStringLiteral("phones"));
    root.mkpath(QStringLiteral("Documents"));
    const QString program = ProgramDir();
    if (!CopyFile(builtProgramDir + "/language.ini", program + "/language.ini", pError)) return false;
    if (!CopyFile(builtProgramDir + "/mappings/Beispielkontakte.map", MappingPath(), pError)) return false;
    if (!CopyFile(sourceDir + "/samples/contacts-example.csv", CsvPath(), pError)) return false;
    // Without the phone package the copy dialog still works; it is only
    // needed for an installation, which the guide's pictures do not show.
    QFile::copy(builtProgramDir + "/qVxLocal.sisx", program + "/qVxLocal.sisx");

    // The device service of the build; Options=1 keeps the restart watchers off.
    const QByteArray lib =
        QFile::encodeName(QFileInfo(builtProgramDir + "/libqvxdevice.so").absoluteFilePath());
    const QByteArray registry =
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\PC Connectivity Solution\\API]\nCFAPI=" + lib + "\nDMAPI=" + lib +
        "\nFSAPI=" + lib + "\nOptions=1\n";
    if (!WriteFile(program + "/registry.ini", registry)) {
        *pError = QStringLiteral("cannot write registry.ini");
        return false;
    }
    qvxplatform::SetProgramFolder(QFile::encodeName(program).toStdString());
    setenv("QVX_PHONES_DIR", QFile::encodeName(PhonesDir()).constData(), 1);
    m_bPrepared = true;
    SetLanguageFile(QFile::encodeName(program + "/language.ini").constData());
    if (!UseLanguage("English")) {
        *pError = QStringLiteral("language.ini has no English section");
        return false;
    }
    return AnalyseSample(pError) && BuildLastDB(pError);
}

bool GuideScene::UseLanguage(const char* pszLanguage) {
    return SetLanguage(pszLanguage);
}

bool GuideScene::AttachPhone(const QString& name) {
    QDir phones(PhonesDir());
    for (const QString& old : phones.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden))
        QDir(PhonesDir() + "/" + old).removeRecursively();
    // Prepared under a hidden name, so that the service never sees half a phone.
    const QString stage = ".phone";
    if (!phones.mkpath(stage + "/C/Data/Quorvex") || !phones.mkpath(stage + "/C/Quorvex")) return false;
    const QByteArray ini = "[Phone]\nName=" + name.toUtf8() +
                           "\nSerialNumber=356938035643809\nTotalMemory=1073741824\nFreeMemory=734003200\n";
    return WriteFile(PhonesDir() + "/" + stage + "/phone.ini", ini) && phones.rename(stage, "phone1");
}

bool GuideScene::AnalyseSample(QString* pError) {
    m_pParser = std::make_unique<CContactsFile>();
    m_pTable = std::make_unique<CDataMap>();
    int nCSVState = CSV_STATE_NONE;
    int nMappingState = MAPPING_STATE_NONE;
    if (m_pParser->SetCSVFileName(QFile::encodeName(CsvPath()).constData()) == 0)
        nCSVState = CSV_STATE_CHOSEN;
    if (m_pParser->SetMappingFileName(QFile::encodeName(MappingPath()).constData()) == 0)
        nMappingState = MAPPING_STATE_CHOSEN;
    if (nCSVState == CSV_STATE_CHOSEN) AnalyzeCSVFile(*m_pParser, *m_pTable, nCSVState, nMappingState);
    if (nCSVState != CSV_STATE_ANALYZED || nMappingState != MAPPING_STATE_COMPLETE) {
        *pError = QStringLiteral("the sample file and its mapping do not fit (states %1, %2)")
                      .arg(nCSVState)
                      .arg(nMappingState);
        return false;
    }
    return true;
}

bool GuideScene::BuildLastDB(QString* pError) {
    CImportData import;
    import.m_pDataMap = m_pTable.get();
    import.m_pCSVParser = m_pParser.get();
    SilentReceiver receiver;
    CCreateDBThread worker;
    worker.SetImportData(&import);
    worker.SetReceiver(&receiver);
    if (!worker.StartThread(0, 0, 0)) {
        *pError = QStringLiteral("the database build could not be started");
        return false;
    }
    while (!worker.WaitForDone(100)) {
    }
    worker.SetReceiver(nullptr);
    const QString lastDB = ProgramDir() + "/last.db";
    if (worker.GetLastResult() != 0 || !QFileInfo::exists(lastDB)) {
        *pError = QStringLiteral("the sample database could not be built");
        return false;
    }
    // A fixed moment, so that the guide does not change with every build.
    struct tm when {};
    when.tm_year = 2026 - 1900;
    when.tm_mon = 2;
    when.tm_mday = 14;
    when.tm_hour = 10;
    when.tm_min = 30;
    when.tm_isdst = -1;
    const time_t t = mktime(&when);
    struct timeval times[2] = {{t, 0}, {t, 0}};
    utimes(QFile::encodeName(lastDB).constData(), times);
    return true;
}

}  // namespace qvxguide

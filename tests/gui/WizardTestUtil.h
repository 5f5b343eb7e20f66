// Shared pieces of the wizard's dialog tests: a program folder in a temporary
// folder (language.ini copied from the build, an empty mappings folder), the
// trace log written into it so that tests can look at the records, and small
// file helpers.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstring>
#include <string>

#include "platform/ProgramPath.h"
#include "support/Log.h"

namespace wiztest {

inline bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(bytes) == bytes.size();
}

inline QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QByteArray();
    return file.readAll();
}

// A mapping file: five lines, CR LF.
inline QByteArray MappingFile(const QByteArray& headers, const QByteArray& codes, const QByteArray& name,
                              const QByteArray& description = "test mapping") {
    return "Quorvex mapping file\r\n" + headers + "\r\n" + codes + "\r\n" + "Name:" + name + "\r\n" +
           "Description:" + description + "\r\n";
}

// A small contacts file with three columns and two contacts.
inline QByteArray ContactsCsv() {
    return "\"Name\";\"Firma\";\"Telefon\"\r\n"
           "\"Anna Muster\";\"Muster AG\";\"0711 123456\"\r\n"
           "\"Bert Beispiel\";\"Beispiel GmbH\";\"089 987654\"\r\n";
}
inline QByteArray ContactsMapping(const QByteArray& name = "Kontakte") {
    return MappingFile("\"Name\",\"Firma\",\"Telefon\"", "\"N\",\"C\",\"PD\"", name);
}
// Names only two of the three columns.
inline QByteArray IncompleteMapping() {
    return MappingFile("\"Name\",\"Firma\"", "\"N\",\"C\"", "Unvollstaendig");
}

// The program folder of one test: language.ini from the build, mappings/,
// and the log in log/wiz.l_0. Restores the program folder when it goes.
class ProgramFolder {
public:
    explicit ProgramFolder(bool bWithLanguageFile = true) {
        QDir(m_dir.path()).mkpath("mappings");
        QDir(m_dir.path()).mkpath("log");
        if (bWithLanguageFile)
            QFile::copy(QStringLiteral(QVX_PROGRAM_DIR "/language.ini"), File("language.ini"));
        qvxplatform::SetProgramFolder(QFile::encodeName(m_dir.path()).toStdString());
        StartLog();
    }
    ~ProgramFolder() {
        LOG_STOP();
        qvxplatform::SetProgramFolder(std::string());
    }
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    QString Path() const { return m_dir.path(); }
    QString File(const QString& name) const { return m_dir.path() + "/" + name; }
    std::string FileBytes(const QString& name) const { return QFile::encodeName(File(name)).toStdString(); }

    QString Log() const { return QString::fromUtf8(ReadBytes(File("log/wiz.l_0"))); }
    int CountInLog(const QString& text) const { return Log().count(text); }

private:
    void StartLog() {
        LOG_STOP();
        LOG_INIT();
        LOG_CONFIG config;
        std::memset(&config, 0, sizeof config);
        config.nMode = 1;
        const QByteArray name = QFile::encodeName(File("log/wiz.l_0"));
        std::strncpy(config.szFileName, name.constData(), sizeof config.szFileName - 1);
        config.nMaxSize = 0;
        config.nFiles = 2;
        config.bAppend = 0;
        LOG_START(&config);
    }

    QTemporaryDir m_dir;
};

}  // namespace wiztest

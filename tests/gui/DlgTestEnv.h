// A temporary program folder for the dialog tests: the built language.ini
// (English current), a registry.ini that names the built device service,
// an empty phones folder and scripted message boxes.
#pragma once

#include <stdlib.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>
#include <string>

#include "gui/kit/MessageBoxesUi.h"
#include "i18n/LanguageTable.h"
#include "platform/ProgramPath.h"

namespace qvxtest {

inline void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

inline QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class DialogEnv {
public:
    // registryLines: lines added to registry.ini (with their section headers).
    explicit DialogEnv(const std::string& registryLines = std::string()) {
        QDir root(m_dir.path());
        root.mkpath(QStringLiteral("program"));
        root.mkpath(QStringLiteral("phones"));
        root.mkpath(QStringLiteral("signals"));
        const QString bin = QStringLiteral(QVX_PROGRAM_DIR);
        QFile::copy(bin + "/language.ini", Program() + "/language.ini");
        QFile::copy(bin + "/qVxLocal.sisx", Program() + "/qVxLocal.sisx");
        const std::string lib = std::string(QVX_PROGRAM_DIR) + "/libqvxdevice.so";
        // Options=1: no watcher threads for the restart signals.
        const std::string registry =
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\PC Connectivity Solution\\API]\nCFAPI=" + lib + "\nDMAPI=" + lib +
            "\nFSAPI=" + lib + "\nOptions=1\n" + registryLines;
        WriteBytes(Program() + "/registry.ini", QByteArray::fromStdString(registry));
        qvxplatform::SetProgramFolder(Program().toStdString());
        setenv("QVX_PHONES_DIR", Phones().toUtf8().constData(), 1);
        setenv("QVX_CONN_SIGNAL_DIR", (m_dir.path() + "/signals").toUtf8().constData(), 1);
        SetLanguageFile((Program() + "/language.ini").toUtf8().constData());
        SetLanguage("English");
        qvxui::SetMessageBoxes(&m_boxes);
    }
    ~DialogEnv() {
        qvxui::SetMessageBoxes(nullptr);
        qvxplatform::SetProgramFolder("");
        unsetenv("QVX_PHONES_DIR");
        unsetenv("QVX_CONN_SIGNAL_DIR");
    }

    QString Program() const { return m_dir.path() + "/program"; }
    QString Phones() const { return m_dir.path() + "/phones"; }
    QString PhoneData(const QString& name) const { return Phones() + "/" + name + "/C/Data/Quorvex"; }

    // Attaches a simulated phone; it appears complete at once.
    void AddPhone(const QString& name, const QByteArray& iniLines, bool bInstalled = true) {
        QDir phones(Phones());
        const QString stage = "." + name;
        phones.mkpath(stage + "/C/Data");
        if (bInstalled) {
            phones.mkpath(stage + "/C/Data/Quorvex");
            phones.mkpath(stage + "/C/Quorvex");
        }
        WriteBytes(Phones() + "/" + stage + "/phone.ini", "[Phone]\n" + iniLines);
        QVERIFY(phones.rename(stage, name));
    }
    void RemovePhone(const QString& name) { QDir(Phones() + "/" + name).removeRecursively(); }

    // Files of the program folder with the given suffix.
    QStringList ProgramFiles(const QString& pattern) const {
        return QDir(Program()).entryList({pattern}, QDir::Files, QDir::Name);
    }

    static QString Text(const char* pszKey) { return QString::fromStdString(GetText(pszKey, 261)); }

    qvxui::CScriptedMessageBoxes m_boxes;

private:
    QTemporaryDir m_dir;
};

}  // namespace qvxtest

// The stage on which the user guides' screenshots are taken: a program
// folder of its own in a temporary folder (the built language.ini and
// mappings, a registry.ini that names the built device service), a contacts
// file in a "Documents" folder, a last.db built from it, and a phones folder
// with one simulated phone. Nothing of the real program folder is changed.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <memory>

class CContactsFile;
class CDataMap;

namespace qvxguide {

class GuideScene {
public:
    GuideScene();
    ~GuideScene();
    GuideScene(const GuideScene&) = delete;
    GuideScene& operator=(const GuideScene&) = delete;

    // Sets the stage up from the source tree (sample file) and the built
    // program folder; false with a reason when something is missing.
    bool Prepare(const QString& sourceDir, const QString& builtProgramDir, QString* pError);

    // Makes a language current (its name as in language.ini).
    bool UseLanguage(const char* pszLanguage);
    // Replaces the simulated phone by one with the given display name.
    bool AttachPhone(const QString& name);

    QString ProgramDir() const { return m_dir.path() + "/program"; }
    QString PhonesDir() const { return m_dir.path() + "/phones"; }
    QString CsvPath() const { return m_dir.path() + "/Documents/contacts-example.csv"; }
    QString MappingPath() const { return ProgramDir() + "/mappings/Beispielkontakte.map"; }

    // The contacts file analysed with the sample mapping applied, as the
    // mapping editor gets it from the main window.
    CDataMap* Table() const { return m_pTable.get(); }
    CContactsFile* Parser() const { return m_pParser.get(); }

private:
    bool AnalyseSample(QString* pError);
    bool BuildLastDB(QString* pError);

    QTemporaryDir m_dir;
    std::unique_ptr<CContactsFile> m_pParser;
    std::unique_ptr<CDataMap> m_pTable;
    bool m_bPrepared = false;
};

}  // namespace qvxguide

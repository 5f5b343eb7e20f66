// The main dialog's mapping list: the mapping files of the folder "mappings"
// beside the program (and of the user's own mapping folder), and files added
// by browsing, by the mapping editor and by dropping, offered in the combo box
// by the name stored in each file.

#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QListView>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "gui/app/QVXWizardDlg.h"
#include "gui/kit/DialogUi.h"
#include "gui/kit/MessageBoxesUi.h"
#include "import/AnalysisStep.h"
#include "import/CSVParser.h"
#include "import/DataMap.h"
#include "import/MappingChoice.h"
#include "platform/FileSystem.h"
#include "platform/ProgramPath.h"
#include "support/LogModules.h"
#include "support/TextBuffer.h"

namespace {

void ClearEntry(QVXW_MAPPING& entry) {
    std::memset(&entry, 0, sizeof entry);
}

const char* FileNamePart(const char* pszPath) {
    const char* pszSlash = std::strrchr(pszPath, '/');
    return pszSlash ? pszSlash + 1 : pszPath;
}

// The first nChars characters (code points) of a text.
QString LeftChars(const QString& text, int nChars) {
    if (nChars <= 0) return QString();
    const QList<uint> codePoints = text.toUcs4();
    if (codePoints.size() <= nChars) return text;
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(codePoints.constData()), nChars);
}

int CharCount(const QString& text) {
    return static_cast<int>(text.toUcs4().size());
}

}  // namespace

// Plain files matching <program>/mappings/*.map, in file-name order, then
// those of the user's own mapping folder when the user's files are kept
// apart (an installed program); hidden files are left out. Full paths.
void CQVXWizardDlg::ListMappingFolder(std::vector<std::string>& paths) {
    paths.clear();
    std::string folder = m_szMappingSearch;
    const size_t nSlash = folder.rfind('/');
    if (nSlash == std::string::npos) return;
    std::string pattern = folder.substr(nSlash + 1);  // "*.map"
    folder.resize(nSlash);
    const std::string extension = pattern.size() > 1 ? pattern.substr(1) : std::string();
    for (const std::string& dir : qvxplatform::GetMappingFolders(folder)) {
        for (const std::string& name : qvxplatform::ListFilesWithExtension(dir, extension))
            paths.push_back(dir + "/" + name);
    }
}

void CQVXWizardDlg::InitMappings(const std::vector<std::string>& paths) {
    if (m_nMappings == 0) return;
    if (static_cast<int>(paths.size()) != m_nMappings) {
        LOG_WARN(qvxlog::WizDlg, "Init Mappings: Wrong Mappingcount");
        m_nMappings = 0;
        return;
    }
    m_pMappings.assign(static_cast<size_t>(m_nMappings), QVXW_MAPPING{});
    for (int i = 0; i < m_nMappings; ++i) {
        QVXW_MAPPING& entry = m_pMappings[static_cast<size_t>(i)];
        ClearEntry(entry);
        const std::string& path = paths[static_cast<size_t>(i)];
        bool bOk = qvxsupport::CopyWholeOrEmpty(entry.szFileName, sizeof entry.szFileName,
                                                FileNamePart(path.c_str())) &&
                   qvxsupport::CopyWholeOrEmpty(entry.szPath, sizeof entry.szPath, path) && m_lpCSVParser &&
                   m_lpCSVParser->ReadMappingInfo(entry.szPath, entry.szName, sizeof entry.szName,
                                                  entry.szDescription, sizeof entry.szDescription);
        if (!bOk) {
            LOG_WARN(qvxlog::WizDlg, "Init Mappings: Get mapping information failed !");
            ClearEntry(entry);
        }
    }
}

bool CQVXWizardDlg::AddMapping(QVXW_MAPPING entry) {
    entry.szPath[sizeof entry.szPath - 1] = '\0';
    for (QVXW_MAPPING& existing : m_pMappings) {
        if (existing.szPath[0] != '\0' && std::strcmp(existing.szPath, entry.szPath) == 0) {
            std::snprintf(m_szMappingFile, sizeof m_szMappingFile, "%s", entry.szPath);
            if (std::strcmp(existing.szName, entry.szName) != 0)
                std::snprintf(existing.szName, sizeof existing.szName, "%s", entry.szName);
            if (std::strcmp(existing.szDescription, entry.szDescription) != 0)
                std::snprintf(existing.szDescription, sizeof existing.szDescription, "%s",
                              entry.szDescription);
            UpdateComboBox();
            return true;
        }
    }
    if (entry.szPath[0] == '\0' || !m_lpCSVParser ||
        !m_lpCSVParser->ReadMappingInfo(entry.szPath, entry.szName, sizeof entry.szName, entry.szDescription,
                                        sizeof entry.szDescription)) {
        LOG_WARN(qvxlog::WizDlg, "Add mapping: Get mapping information failed !");
        return false;
    }
    if (entry.szFileName[0] == '\0')
        std::snprintf(entry.szFileName, sizeof entry.szFileName, "%s", FileNamePart(entry.szPath));
    m_pMappings.push_back(entry);
    m_nMappings = static_cast<int>(m_pMappings.size());
    std::snprintf(m_szMappingFile, sizeof m_szMappingFile, "%s", entry.szPath);
    UpdateComboBox();
    return true;
}

QString CQVXWizardDlg::MappingLabel(const QVXW_MAPPING& entry) const {
    const QString fileName = qvxui::FromLocalText(entry.szFileName);
    const QString name = qvxui::FromLocalText(entry.szName);
    if (name.isEmpty()) return fileName;
    const QString suffix = QString(" [%1]").arg(fileName);
    const int nRoom = kMaxMappingLabel - CharCount(suffix);
    if (nRoom < 0) return LeftChars(suffix, kMaxMappingLabel);
    return LeftChars(name, nRoom) + suffix;
}

void CQVXWizardDlg::UpdateComboBox() {
    m_ComboBoxMapping->clear();
    for (size_t i = 0; i < m_pMappings.size(); ++i) {
        const QVXW_MAPPING& entry = m_pMappings[i];
        if (entry.szPath[0] == '\0') continue;
        const QString label = MappingLabel(entry);
        // Sorted by label, as the list shows them.
        int nPos = 0;
        const int nCount = m_ComboBoxMapping->count();
        while (nPos < nCount) {
            const QString other = m_ComboBoxMapping->itemText(nPos);
            const int n = QString::compare(label, other, Qt::CaseInsensitive);
            if (n < 0 || (n == 0 && label < other)) break;
            ++nPos;
        }
        m_ComboBoxMapping->insertItem(nPos, label, static_cast<int>(i));
    }
    const int nWidth = GetMaxTextWidth();
    if (m_ComboBoxMapping->view()) m_ComboBoxMapping->view()->setMinimumWidth(nWidth);

    int nSelect = m_ComboBoxMapping->count() > 0 ? 0 : -1;
    for (int nPos = 0; nPos < m_ComboBoxMapping->count(); ++nPos) {
        const int nIndex = m_ComboBoxMapping->itemData(nPos).toInt();
        if (nIndex >= 0 && nIndex < static_cast<int>(m_pMappings.size()) &&
            std::strcmp(m_pMappings[static_cast<size_t>(nIndex)].szPath, m_szMappingFile) == 0) {
            nSelect = nPos;
            break;
        }
    }
    m_ComboBoxMapping->setCurrentIndex(nSelect);
    if (nSelect >= 0 && m_ComboBoxMapping->currentIndex() != nSelect)
        LOG_WARN(qvxlog::WizDlg, "Update combo box: SetCurSel(%d) failed !", nSelect);
    m_ComboBoxMapping->update();
}

int CQVXWizardDlg::GetMaxTextWidth() {
    int nMax = m_ComboBoxMapping->width();
    const QFontMetrics metrics(m_ComboBoxMapping->font());
    for (int i = 0; i < m_ComboBoxMapping->count(); ++i)
        nMax = std::max(nMax, metrics.horizontalAdvance(m_ComboBoxMapping->itemText(i)) + 4);
    return nMax;
}

// Selection handling: after a choice in the combo box and after each of the
// mapping commands.
void CQVXWizardDlg::OnMappingSelected() {
    const int nPos = m_ComboBoxMapping->currentIndex();
    if (m_nMappings == 0 || nPos < 0) return;
    const int nIndex = m_ComboBoxMapping->itemData(nPos).toInt();
    if (nIndex < 0 || nIndex >= static_cast<int>(m_pMappings.size())) return;
    std::snprintf(m_szMappingFile, sizeof m_szMappingFile, "%s",
                  m_pMappings[static_cast<size_t>(nIndex)].szPath);
    LOG_INFO(qvxlog::WizDlg, "New mapping selected: %s", m_szMappingFile);
    if (m_bBusy || m_AnalyzeThread.IsRunning()) {
        LOG_WARN(qvxlog::WizDlg, "Mapping ignored: analysis running");
        return;
    }
    if (IsFileReadable(m_szMappingFile)) {
        SetMappingFile(m_szMappingFile);
        m_ComboBoxMapping->setEnabled(false);
        if (m_nCSVState == CSV_STATE_ANALYZED && !m_bHoldAnalysis) StartAnalysis();
    } else {
        m_szMappingFile[0] = '\0';
        SetMappingFile("");
    }
}

void CQVXWizardDlg::OnSelchangeComboMapping() {
    OnMappingSelected();
}

void CQVXWizardDlg::OnButtonBrowseMap() {
    qvxui::FileDialogOptions options;
    options.filter = "*.map|*.map||";
    options.defaultSuffix = "map";
    options.startFolder = qvxui::FromLocalText(std::string(m_szProgramPath) + "/mappings/");
    QString chosen;
    if (!qvxui::GetOpenFileName(this, options, &chosen)) return;
    const QByteArray path = QFile::encodeName(chosen);
    QVXW_MAPPING entry;
    ClearEntry(entry);
    if (!qvxsupport::CopyWholeOrEmpty(entry.szPath, sizeof entry.szPath, path.toStdString())) return;
    qvxsupport::CopyWholeOrEmpty(entry.szFileName, sizeof entry.szFileName, FileNamePart(entry.szPath));
    if (m_lpCSVParser && m_lpCSVParser->ReadMappingInfo(entry.szPath, entry.szName, sizeof entry.szName,
                                                        entry.szDescription, sizeof entry.szDescription))
        AddMapping(entry);
    OnMappingSelected();
}

// New mappings are saved in the user's mapping folder.
std::string CQVXWizardDlg::UserMappingFolder() const {
    const std::string folder = qvxplatform::GetUserMappingFolder();
    return (folder.empty() ? std::string(m_szProgramPath) + "/mappings" : folder) + "/";
}

void CQVXWizardDlg::OnButtonCreateMap() {
    const std::string folder = UserMappingFolder();
    std::string savedName, savedPath;
    if (RunMappingEditor(true, folder, std::string(), savedName, savedPath))
        AddEditedMapping(savedName, savedPath);
    OnMappingSelected();
}

void CQVXWizardDlg::OnButtonEditMap() {
    const std::string folder = UserMappingFolder();
    // A shipped mapping of an installed program is saved as the user's own.
    std::string file = m_szMappingFile;
    const std::string shipped = std::string(m_szProgramPath) + "/mappings/";
    if (file.rfind(shipped, 0) == 0 && !qvxplatform::UserFilesBesideProgram())
        file = folder + FileNamePart(file.c_str());
    std::string savedName, savedPath;
    if (RunMappingEditor(m_nMappingState == MAPPING_STATE_NONE, folder, file, savedName, savedPath))
        AddEditedMapping(savedName, savedPath);
    OnMappingSelected();
}

void CQVXWizardDlg::AddEditedMapping(const std::string& fileName, const std::string& path) {
    QVXW_MAPPING entry;
    ClearEntry(entry);
    qvxsupport::CopyWholeOrEmpty(entry.szFileName, sizeof entry.szFileName, fileName);
    if (!qvxsupport::CopyWholeOrEmpty(entry.szPath, sizeof entry.szPath, path)) return;
    if (m_lpDataMap) {
        char szName[96] = {};
        char szDescription[256] = {};
        if (m_lpDataMap->GetName(szName, sizeof szName) != 0) szName[0] = '\0';
        if (m_lpDataMap->GetDescription(szDescription, sizeof szDescription) != 0) szDescription[0] = '\0';
        std::snprintf(entry.szName, sizeof entry.szName, "%s", szName);
        std::snprintf(entry.szDescription, sizeof entry.szDescription, "%s", szDescription);
    }
    AddMapping(entry);
}

// ---------------------------------------------------------------------------
// Choosing a fitting mapping by itself

void CQVXWizardDlg::ChooseFittingMapping(int& nMapping) {
    // A mapping that fits is never replaced; otherwise the first of the list,
    // in list order, that makes the file complete. The table keeps the
    // chosen mapping applied when none does, so that editing starts from it.
    const int nFit = FindFittingMapping(*m_lpDataMap, m_mappingCandidates);
    if (nFit < 0) return;
    const std::string& path = m_mappingCandidates[static_cast<size_t>(nFit)];
    if (m_lpCSVParser->SetMappingFileName(path.c_str()) != 0) return;
    int nCsv = CSV_STATE_ANALYZED;
    int nChosen = MAPPING_STATE_CHOSEN;
    ::AnalyzeCSVFile(*m_lpCSVParser, *m_lpDataMap, nCsv, nChosen);
    if (nChosen != MAPPING_STATE_COMPLETE) {
        // Changed since it was tried: the earlier choice stays in the parser.
        m_lpCSVParser->SetMappingFileName(m_szParserMappingFile);
        return;
    }
    LOG_INFO(qvxlog::WizDlg, "Mapping chosen by itself: %s", path.c_str());
    nMapping = nChosen;
    m_autoChosenPath = path;
}

void CQVXWizardDlg::AdoptChosenMapping() {
    if (m_autoChosenPath.empty()) return;
    std::snprintf(m_szMappingFile, sizeof m_szMappingFile, "%s", m_autoChosenPath.c_str());
    std::snprintf(m_szParserMappingFile, sizeof m_szParserMappingFile, "%s", m_autoChosenPath.c_str());
    m_autoChosenName = FileNamePart(m_szMappingFile);
    for (const QVXW_MAPPING& entry : m_pMappings) {
        if (std::strcmp(entry.szPath, m_szMappingFile) == 0 && entry.szName[0] != '\0') {
            m_autoChosenName = entry.szName;
            break;
        }
    }
    m_autoChosenPath.clear();
    UpdateComboBox();
}

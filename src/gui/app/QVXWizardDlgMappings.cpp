// The main dialog's mapping commands on the session's list (the mapping
// files of all mapping folders, and files added by browsing, by the mapping
// editor and by dropping), which the mapping list widget shows: a choice in
// the list, browse, edit, create, the editor and the preview.

#include <QApplication>
#include <QFile>
#include <cstdio>
#include <memory>

#include "gui/app/MappingList.h"
#include "gui/app/PreviewDlg.h"
#include "gui/app/QVXWizardDlg.h"
#include "gui/kit/DialogUi.h"
#include "gui/kit/MessageBoxesUi.h"
#include "gui/mapping_editor/MappingDlg.h"
#include "import/AnalysisStep.h"
#include "import/DataMap.h"
#include "support/LogModules.h"

bool CQVXWizardDlg::AddMapping(const std::string& path) {
    if (!m_session.AddMapping(path)) return false;
    ShowMappingList();
    return true;
}

// Selection handling: after a choice in the combo box and after each of the
// mapping commands.
void CQVXWizardDlg::OnMappingSelected() {
    const std::string path = m_pMappingList->CurrentPath();
    if (path.empty()) return;
    m_session.SelectMapping(path);
    LOG_INFO(qvxlog::WizDlg, "New mapping selected: %s", path.c_str());
    if (m_bBusy || m_AnalyzeThread.IsRunning()) {
        LOG_WARN(qvxlog::WizDlg, "Mapping ignored: analysis running");
        return;
    }
    if (CImportSession::IsBuiltIn(path) || IsFileReadable(path.c_str())) {
        m_session.SetMappingFile(path);
        if (m_session.CSVState() == CSV_STATE_ANALYZED && !m_bHoldAnalysis) StartAnalysis();
    } else {
        m_session.SelectMapping("");
        m_session.SetMappingFile("");
    }
}

void CQVXWizardDlg::OnButtonBrowseMap() {
    qvxui::FileDialogOptions options;
    options.filter = "*.map|*.map||";
    options.defaultSuffix = "map";
    options.startFolder = qvxui::FromLocalText(m_programPath + "/mappings/");
    QString chosen;
    if (!qvxui::GetOpenFileName(this, options, &chosen)) return;
    AddMapping(QFile::encodeName(chosen).toStdString());
    OnMappingSelected();
}

void CQVXWizardDlg::OnButtonCreateMap() {
    std::string savedName, savedPath;
    if (RunMappingEditor(true, m_session.UserMappingFolder(), std::string(), savedName, savedPath))
        AddEditedMapping(savedPath);
    OnMappingSelected();
}

void CQVXWizardDlg::OnButtonEditMap() {
    // A shipped mapping of an installed program is saved as the user's own;
    // the built-in one as a new file.
    const std::string file = m_session.EditTarget(m_session.SelectedMapping());
    const bool bNew = m_session.MappingState() == MAPPING_STATE_NONE || CImportSession::IsBuiltIn(file);
    std::string savedName, savedPath;
    if (RunMappingEditor(bNew, m_session.UserMappingFolder(), file, savedName, savedPath))
        AddEditedMapping(savedPath);
    OnMappingSelected();
}

void CQVXWizardDlg::OnButtonPreview() {
    if (m_bBusy || m_session.MappingState() != MAPPING_STATE_COMPLETE) return;
    OpenPreview(this);
}

void CQVXWizardDlg::OpenPreview(QWidget* pParent) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::unique_ptr<CImportPreview> pPreview = OpenImportPreview(m_session);
    std::unique_ptr<CPreviewDlg> pDlg;
    if (pPreview) pDlg = std::make_unique<CPreviewDlg>(std::move(pPreview), pParent);
    QApplication::restoreOverrideCursor();
    if (pDlg) pDlg->exec();
}

void CQVXWizardDlg::AddEditedMapping(const std::string& path) {
    // Named as the table names it: the editor has just saved it from there.
    char szName[96] = {};
    char szDescription[256] = {};
    CDataMap& table = m_session.Table();
    if (table.GetName(szName, sizeof szName) != 0) szName[0] = '\0';
    if (table.GetDescription(szDescription, sizeof szDescription) != 0) szDescription[0] = '\0';
    const std::string name = szName, description = szDescription;
    if (m_session.AddMapping(path, &name, &description)) ShowMappingList();
}

bool CQVXWizardDlg::RunMappingEditor(bool bNewMode, const std::string& folder, const std::string& file,
                                     std::string& savedName, std::string& savedPath) {
    CMappingDlg dlg(this);
    dlg.SetNewMode(bNewMode);
    // A file no mapping fits: a new mapping for it, from the nearest one.
    if (bNewMode && m_session.NoMappingFits() && m_session.CSVState() == CSV_STATE_ANALYZED)
        dlg.SetNewStart(m_session.Nearest().path, m_session.NewMappingName());
    else if (bNewMode && CImportSession::IsBuiltIn(file) && m_session.CSVState() == CSV_STATE_ANALYZED)
        dlg.SetNewFromTable();
    dlg.SetDataMap(&m_session.Table());
    // The preview follows the editor's mapping as it stands.
    if (m_session.CSVState() == CSV_STATE_ANALYZED) dlg.SetPreview([this, &dlg] { OpenPreview(&dlg); });
    if (m_session.CSVState() == CSV_STATE_ANALYZED) dlg.SetSamples(m_session.ColumnSamples());
    char szTarget[261] = {};
    std::snprintf(szTarget, sizeof szTarget, "%s", (bNewMode ? folder : file).c_str());
    dlg.SetMappingPath(szTarget, sizeof szTarget);
    if (dlg.exec() != QDialog::Accepted) return false;
    char szName[261] = {};
    char szPath[261] = {};
    dlg.GetFileName(szName, sizeof szName);
    dlg.GetFilePath(szPath, sizeof szPath);
    savedName = szName;
    savedPath = szPath;
    return !savedPath.empty();
}

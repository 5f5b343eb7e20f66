// The main dialog's mapping list: the session's list (the mapping files of
// all mapping folders, and files added by browsing, by the mapping editor and
// by dropping), offered in the combo box by the name stored in each file.

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFontMetrics>
#include <QListView>
#include <algorithm>
#include <memory>

#include "gui/app/PreviewDlg.h"
#include "gui/app/QVXWizardDlg.h"
#include "gui/kit/DialogUi.h"
#include "gui/kit/MessageBoxesUi.h"
#include "import/AnalysisStep.h"
#include "import/DataMap.h"
#include "support/LogModules.h"

bool CQVXWizardDlg::AddMapping(const std::string& path) {
    if (!m_session.AddMapping(path)) return false;
    UpdateComboBox();
    return true;
}

// The session's list in its order, which the automatic choice follows too.
void CQVXWizardDlg::UpdateComboBox() {
    m_ComboBoxMapping->clear();
    const std::vector<MappingEntry>& mappings = m_session.Mappings();
    // When no mapping fits the file, none is offered as if it did.
    int nSelect = mappings.empty() || m_session.NoMappingFits() ? -1 : 0;
    for (size_t i = 0; i < mappings.size(); ++i) {
        m_ComboBoxMapping->addItem(qvxui::FromLocalText(CImportSession::MappingLabel(mappings[i])),
                                   static_cast<int>(i));
        if (mappings[i].path == m_session.SelectedMapping()) nSelect = static_cast<int>(i);
    }
    const int nWidth = GetMaxTextWidth();
    if (m_ComboBoxMapping->view()) m_ComboBoxMapping->view()->setMinimumWidth(nWidth);
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
    const std::vector<MappingEntry>& mappings = m_session.Mappings();
    if (mappings.empty() || nPos < 0) return;
    const int nIndex = m_ComboBoxMapping->itemData(nPos).toInt();
    if (nIndex < 0 || nIndex >= static_cast<int>(mappings.size())) return;
    const std::string path = mappings[static_cast<size_t>(nIndex)].path;
    m_session.SelectMapping(path);
    LOG_INFO(qvxlog::WizDlg, "New mapping selected: %s", path.c_str());
    if (m_bBusy || m_AnalyzeThread.IsRunning()) {
        LOG_WARN(qvxlog::WizDlg, "Mapping ignored: analysis running");
        return;
    }
    if (CImportSession::IsBuiltIn(path) || IsFileReadable(path.c_str())) {
        m_session.SetMappingFile(path);
        m_ComboBoxMapping->setEnabled(false);
        if (m_session.CSVState() == CSV_STATE_ANALYZED && !m_bHoldAnalysis) StartAnalysis();
    } else {
        m_session.SelectMapping("");
        m_session.SetMappingFile("");
    }
}

void CQVXWizardDlg::OnSelchangeComboMapping() {
    OnMappingSelected();
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
    if (m_session.AddMapping(path, &name, &description)) UpdateComboBox();
}

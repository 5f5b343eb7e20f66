// CQVXWizardApp: the program's start-up. It builds the main dialog, makes a
// language current, probes the three service groups of the connectivity
// library (each released again at once) and then runs the main dialog, or
// the PC Suite notice when a probe fails. The Qt application object itself is
// made by main() before this one, so the start-up can run inside a test.
#pragma once

#include <string>
#include <utility>

class CQVXWizardDlg;

class CQVXWizardApp {
public:
    // What the last start-up did, for the program's tests.
    enum Outcome { kNotRun, kNoLanguage, kMainDialog, kPCSuiteNotice };

    CQVXWizardApp() = default;
    virtual ~CQVXWizardApp() = default;
    CQVXWizardApp(const CQVXWizardApp&) = delete;
    CQVXWizardApp& operator=(const CQVXWizardApp&) = delete;

    // Runs the whole start-up and returns false: the program ends after it.
    bool InitInstance();
    // A contacts file for the main dialog to open (from the command line).
    void SetStartFile(std::string path) { m_startFile = std::move(path); }
    Outcome LastOutcome() const { return m_eOutcome; }

protected:
    // The modal runs of the two windows; tests replace them.
    virtual void RunMainDialog(CQVXWizardDlg& dlg);
    virtual void RunPCSuiteDialog();

private:
    Outcome m_eOutcome = kNotRun;
    std::string m_startFile;
};

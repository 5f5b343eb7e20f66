// CCreateDBDlg: the progress dialog of a database build. Opening it starts
// the create-database worker; the worker's reports drive the bar and the
// info line; Cancel asks the worker to stop and the dialog stays until the
// worker has ended. The owner (the main dialog) hears through m_Owner:
// CB::START_THREAD when the build begins, then at its end CB::RESULT (1 the
// build ran to its end, 0 the user cancelled or the new database could not
// replace last.db, which a message box names) and CB::END_THREAD.
//
//   CCreateDBDlg dlg(this);
//   dlg.SetWorker(m_lpCreateDBThread);
//   dlg.m_Owner.SetReceiver(this);
//   dlg.exec();
#pragma once

#include <atomic>

#include "gui/database/ProgressDlg.h"
#include "threads/CallbackLink.h"
#include "threads/CallbackReceiver.h"

class CCreateDBThread;

class CCreateDBDlg : public CProgressDlg, public CCallbackReceiver {
    Q_OBJECT

public:
    explicit CCreateDBDlg(QWidget* pParent = nullptr);
    // Waits (serving events) for a build still running, then detaches from
    // the worker.
    ~CCreateDBDlg() override;

    // The worker to start; this dialog becomes its receiver. Not owned.
    void SetWorker(CCreateDBThread* pWorker);

    // Runs on the worker's thread.
    int OnReceiveCallback(unsigned nCode, void* pParam) override;

    // Applies the texts of the current language.
    void UpdateTexts();

    // 1 until the user pressed Cancel.
    int IsCompleted() const { return m_bCompleted.load(); }

    CCallbackLink m_Owner;

protected:
    void OnInitProgress() override;
    void OnCancelProgress() override;

private:
    void EndWithoutWorker();

    std::atomic<int> m_bCompleted{1};
    CCreateDBThread* m_lpWorker = nullptr;
    bool m_bStarted = false;
    std::atomic<bool> m_bEnded{false};
};

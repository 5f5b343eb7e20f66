// CProgressDlg: the small modal progress dialog of long jobs - a bar, a
// percent label, an info line and a Cancel button.
//
// The progress operations (SetProgressRange, StepProgress, SetInfoText,
// CloseProgress) may be called from a worker thread: they update the
// counters at once and hand the window changes to the dialog's thread, and
// only when what the window shows changes. Called on the dialog's thread
// they change the window directly.
//
// The percent label runs one ahead of the computed percentage (0 % before
// the first increase, then 2 %, 3 % ... and 100 % from a computed 99 on), so
// the user never watches a long 0 % (support/ProgressPercent.h).
//
// Cancel (the button, Escape or the window's close button) only calls
// OnCancelProgress: the dialog stays open until its owner calls
// CloseProgress.
#pragma once

#include <QDialog>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>

#include "threads/ManualResetEvent.h"

class CIconButton;
class QLabel;
class QProgressBar;

class CProgressDlg : public QDialog {
    Q_OBJECT

public:
    // Template ids, used as object names.
    static constexpr int kIdProgress = 1023;
    static constexpr int kIdPercent = 1026;
    static constexpr int kIdInfo = 1025;
    static constexpr int kIdCancel = 2;
    // Longer info texts are dropped and the old text stays.
    static constexpr size_t kMaxInfoText = 128;

    explicit CProgressDlg(QWidget* pParent = nullptr);
    ~CProgressDlg() override;

    // A total of 0 or below is ignored; otherwise the count starts again at
    // 0 of the new total. The percentage shown is never lowered.
    void SetProgressRange(int nTotal);
    // One step; returns the bar's position (the count, at most the total;
    // 0 while no range is set).
    int StepProgress();
    void SetInfoText(const char* pszText);
    // Ends the dialog with the Rejected result.
    void CloseProgress();

    int GetCount() const { return m_nCount.load(); }
    int GetTotal() const { return m_nTotal.load(); }
    int GetShownPercent() const { return m_nShownPercent.load(); }
    // True once the dialog's initialisation has run (within nTimeoutMs).
    bool WaitForInit(uint32_t nTimeoutMs) { return m_hInitEvent.Wait(nTimeoutMs); }

    // The label text for a shown percentage: one ahead, capped at 100; "0 %"
    // before the first rise.
    static QString PercentText(int nShownPercent);

public slots:
    void reject() override;

protected:
    // Called at the end of the dialog's initialisation (first show).
    virtual void OnInitProgress() {}
    // Called for Cancel; the dialog does not close by itself.
    virtual void OnCancelProgress() {}

    void UpdatePercent();
    // Runs fn on the dialog's thread: directly when already there, else posted.
    void UpdateWindow(std::function<void()> fn);

    void showEvent(QShowEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;

    CIconButton* m_pCancel = nullptr;
    QLabel* m_pPercent = nullptr;
    QLabel* m_pInfo = nullptr;
    QProgressBar* m_pProgress = nullptr;

    std::atomic<int> m_nCount{0};
    std::atomic<int> m_nTotal{0};
    std::atomic<int> m_nShownPercent{0};
    CManualResetEvent m_hInitEvent{false};

private:
    void InitDialog();
    void PostBarPosition();

    bool m_bInitDone = false;
    // Last bar position handed to the window, in thousandths of the total.
    std::atomic<int> m_nBarPermille{-1};
};

// CCopyToPhoneDlg: the dialog in which the user picks a connected phone,
// sees whether the database fits into its free memory (it must fit twice),
// and starts or aborts the transfer done by its CCopyToPhoneThread. The
// phone service, the device records and last.db belong to its CPhoneSession;
// the dialog keeps only what it shows.
//
// On opening it has the session lend last.db (with the semaphore file); on
// leaving it gives it back. It leaves only that way: Back, Escape,
// Enter and the window's close button all take
// these steps, and all are refused while a run is active. A dialog
// destroyed without leaving (the program ending) takes them too.
//
// Threads: the worker's reports arrive on the worker's thread, the phone
// events on the device service's thread. Reports whose outcome the worker
// waits for (message boxes, the install question, the end of a run) are
// carried to the dialog's thread with a blocking call; progress and phone
// events are posted. A phone event never waits for the dialog's thread,
// since unregistering the listener waits for an event in progress.
#pragma once

#include <QDialog>
#include <QString>
#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "threads/CallbackReceiver.h"
#include "transfer/ConnApiTypes.h"
#include "transfer/CopyToPhoneThread.h"
#include "transfer/PhoneSession.h"

class CIconButton;
class QLabel;
class QListWidget;
class QProgressBar;

class CCopyToPhoneDlg : public QDialog, public CCallbackReceiver, public DMNotifyIF {
    Q_OBJECT

public:
    static constexpr int kIdContents = 1036;
    static constexpr int kIdDevicesLabel = 1033;
    static constexpr int kIdDevices = 1027;
    static constexpr int kIdInfo = 1029;
    static constexpr int kIdProgress = 1035;
    static constexpr int kIdCopy = 1031;
    static constexpr int kIdBack = 1032;

    explicit CCopyToPhoneDlg(QWidget* pParent = nullptr);
    ~CCopyToPhoneDlg() override;

    // The worker's reports (worker or service thread).
    int OnReceiveCallback(unsigned nCode, void* pParam) override;

    // Phone events (service thread).
    void OnDeviceListChanged() override {}
    void OnDeviceAdded(const char16_t* pstrSerialNumber, uint32_t dwStatus) override;
    void OnDeviceRemoved(const char16_t* pstrSerialNumber, uint32_t dwStatus) override;
    void OnDeviceUpdated(const char16_t* pstrSerialNumber, uint32_t dwStatus) override;

    // Dialog thread only from here on.
    void UpdateTexts();
    // What the database to copy holds: its contacts and details.
    void ShowContents();
    // False when the database holds no contact and the user declines to
    // empty the phone's contact book with it.
    bool ConfirmEmptyDatabase();
    void RefreshDeviceList();
    void OnDeviceSelected();
    // The memory check of the selected phone: 1 when done, 0 without an
    // open file system.
    int OnSelchangeListDevices();
    void OnButtonCopy();
    void OnButtonBack();

    // True from the copy button until the run's end report (or until an
    // abort or a failed installation was reported).
    bool IsCopying() const { return m_bCopying.load() != 0; }
    // True from the copy button until the run's end report.
    bool IsRunActive() const { return m_bRunActive.load(); }

    // The two lines of the memory report and the verdict, the labels padded
    // to the longer one so that both figures start in the same column; the
    // figures in the current language's number format.
    static std::string FormatMemoryReport(const std::string& neededLabel, double dNeededMB,
                                          const std::string& freeLabel, double dFreeMB,
                                          const std::string& verdict);

    // The clock of the dot animation, in seconds; tests may replace it.
    void SetClock(std::function<int64_t()> clock) { m_clock = std::move(clock); }
    // Adds one more dot (up to three, then none again) at most once a second.
    void AnimateInfoText(const std::string& base);

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* pEvent) override;
    void closeEvent(QCloseEvent* pEvent) override;
    void keyPressEvent(QKeyEvent* pEvent) override;

private:
    void InitWindow();
    void SetCopyButtonState(bool bRun);
    void SetInfoText(const std::string& text);
    void ClearSelection();
    void RequestLeave();
    void RestoreLastDB();
    void LogDeviceEvent(const char* pszEvent, const char16_t* pstrSerialNumber);
    void PostRefresh();
    int64_t Now() const;

    void OnAbortCopy();
    void OnFinishCopy();
    void OnProgNotFound();
    void OnFailedInstall();
    void OnEndThread();

    // Controls.
    QLabel* m_pContents = nullptr;
    QLabel* m_pDevicesLabel = nullptr;
    QListWidget* m_pDeviceList = nullptr;
    QLabel* m_pInfo = nullptr;
    QProgressBar* m_pProgress = nullptr;
    CIconButton* m_pCopy = nullptr;
    CIconButton* m_pBack = nullptr;

    std::atomic<int> m_bCopying{0};
    std::atomic<bool> m_bRunActive{false};
    int64_t m_tLastDots = 0;
    int m_nDots = 0;
    std::string m_info;           // the info text shown, as bytes
    bool m_bWindowReady = false;  // last.db lent
    std::atomic<bool> m_bClosing{false};

    // Worker side throttle of the progress reports.
    std::atomic<int> m_nLastProgress{-1};
    std::atomic<int64_t> m_tLastProgress{0};
    std::function<int64_t()> m_clock;

    // The session before the worker, so that the worker goes first.
    CPhoneSession m_session;
    CCopyToPhoneThread m_Worker;
};

#include "gui/database/CreateDBDlg.h"

#include <cstring>

#include "database/CreateDBThread.h"
#include "gui/controls/IconButton.h"
#include "gui/i18n/LanguageTextUi.h"
#include "gui/kit/MessageBoxesUi.h"
#include "gui/kit/UiThreadAdapter.h"
#include "gui/kit/WorkerWaitUi.h"
#include "i18n/TextKeys.h"
#include "support/LogModules.h"
#include "threads/CallbackCodes.h"

namespace {
constexpr size_t kTextSize = 129;
}

CCreateDBDlg::CCreateDBDlg(QWidget* pParent) : CProgressDlg(pParent) {}

CCreateDBDlg::~CCreateDBDlg() {
    if (m_lpWorker == nullptr) return;
    if (m_bStarted) {
        // Never leave while the worker may still report to this dialog.
        if (!m_bEnded.load()) {
            m_bCompleted.store(0);
            m_lpWorker->StopWork();
        }
        qvxui::WaitServingEvents([this] { return !m_lpWorker->IsRunning(); });
    }
    m_lpWorker->SetReceiver(nullptr);
}

void CCreateDBDlg::SetWorker(CCreateDBThread* pWorker) {
    m_lpWorker = pWorker;
    if (m_lpWorker) m_lpWorker->SetReceiver(this);
}

void CCreateDBDlg::UpdateTexts() {
    qvxui::ApplyWindowTitleKey(this, qvxtext::kProgressDlg_WindowText, kTextSize);
    qvxui::ApplyTextKey(m_pCancel, qvxtext::kProgressDlg_Button_Cancel, kTextSize);
    qvxui::ApplyToolTipKey(m_pCancel, qvxtext::kProgressDlg_ButtonToolTip_Cancel, kTextSize);
}

void CCreateDBDlg::OnInitProgress() {
    UpdateTexts();
    if (m_lpWorker == nullptr) {
        LOG_WARN(qvxlog::CrDBDlg, "OnInitProgress() no worker");
        EndWithoutWorker();
        return;
    }
    // The previous build has reported its end; its thread may need a moment to finish.
    qvxui::WaitServingEvents([this] { return !m_lpWorker->IsRunning(); });
    m_bEnded.store(false);
    if (!m_lpWorker->StartThread(0, 0, 0)) {
        LOG_WARN(qvxlog::CrDBDlg, "OnInitProgress() StartThread() failed");
        EndWithoutWorker();
        return;
    }
    m_bStarted = true;
}

void CCreateDBDlg::EndWithoutWorker() {
    // No report will come: nothing was built, so the owner must not go on
    // to the transfer, and must not wait for an end report either.
    int nResult = 0;
    m_Owner.SendCallback(CB::RESULT, &nResult);
    m_Owner.SendCallback(CB::END_THREAD);
    m_bEnded.store(true);
    CloseProgress();
}

void CCreateDBDlg::OnCancelProgress() {
    m_bCompleted.store(0);
    if (m_lpWorker) m_lpWorker->StopWork();
}

int CCreateDBDlg::OnReceiveCallback(unsigned nCode, void* pParam) {
    switch (nCode) {
        case CB::START_THREAD:
            return m_Owner.SendCallback(CB::START_THREAD);
        case CB::STEP:
            return StepProgress();
        case CB::INFO_TEXT:
            SetInfoText(static_cast<const char*>(pParam));
            return 0;
        case CB::SET_RANGE:
            if (pParam) SetProgressRange(*static_cast<const int*>(pParam));
            return 0;
        case CB::END_THREAD: {
            LOG_INFO(qvxlog::CrDBDlg, "CB::END_THREAD: %d", m_bCompleted.load());
            int nCompleted = m_bCompleted.load();
            // A database that could not become last.db is a failed build: the
            // copy must not go on with the previous last.db without a word.
            if (m_lpWorker != nullptr && m_lpWorker->GetLastDBError() != 0) {
                nCompleted = 0;
                const QString text = qvxui::LanguageText(qvxtext::kCreateDBDlg_Msg_LastDBNotReplaced) +
                                     "\n(" + QString::fromLocal8Bit(strerror(m_lpWorker->GetLastDBError())) +
                                     ")";
                qvxui::CallOnUiThread(this, [this, text] {
                    qvxui::MessageBox(this, text, qvxui::MsgIcon::Error, qvxui::MsgButtons::Ok);
                    return 0;
                });
            } else if (m_lpWorker != nullptr && m_lpWorker->KeptLaterBuild()) {
                // last.db is another build's: sending it would not send this one.
                nCompleted = 0;
                const QString text = qvxui::LanguageText(qvxtext::kCreateDBDlg_Msg_LaterBuildKept);
                qvxui::CallOnUiThread(this, [this, text] {
                    qvxui::MessageBox(this, text, qvxui::MsgIcon::Warning, qvxui::MsgButtons::Ok);
                    return 0;
                });
            }
            const int nResult = m_Owner.SendCallback(CB::RESULT, &nCompleted);
            m_Owner.SendCallback(CB::END_THREAD);
            m_bEnded.store(true);
            CloseProgress();
            return nResult;
        }
        default:
            return 0;
    }
}

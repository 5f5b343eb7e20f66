// The module records of the trace log: one constant tag and level per module.
// Level 3 writes information records and warnings, level 2 warnings only.
#pragma once

#include "support/Log.h"

namespace qvxlog {

inline constexpr int kLevelInfo = 3;
inline constexpr int kLevelWarn = 2;

inline constexpr int nWizApp = kLevelInfo;
inline constexpr int nWizDlg = kLevelInfo;
inline constexpr int nCSVPars = kLevelInfo;
inline constexpr int nAnThread = kLevelInfo;
inline constexpr int nMapDlg = kLevelInfo;
inline constexpr int nLCtrlCB = kLevelInfo;
inline constexpr int nQVXDBBld = kLevelInfo;
inline constexpr int nDBBld = kLevelInfo;
inline constexpr int nCrDBThr = kLevelInfo;
inline constexpr int nCrDBDlg = kLevelInfo;
inline constexpr int nProgDlg = kLevelInfo;
inline constexpr int nCpyThr = kLevelInfo;
inline constexpr int nCpy2Ph = kLevelInfo;
inline constexpr int nThread = kLevelInfo;
inline constexpr int nINFO = kLevelInfo;
inline constexpr int nKTFI = kLevelWarn;
inline constexpr int nKTST = kLevelWarn;
inline constexpr int nKTSF = kLevelWarn;
inline constexpr int nKTSMT = kLevelWarn;

inline constexpr LOG_MODULE WizApp{"WizApp", nWizApp, &nWizApp};
inline constexpr LOG_MODULE WizDlg{"WizDlg", nWizDlg, &nWizDlg};
inline constexpr LOG_MODULE CSVPars{"CSVPars", nCSVPars, &nCSVPars};
inline constexpr LOG_MODULE AnThread{"AnThread", nAnThread, &nAnThread};
inline constexpr LOG_MODULE MapDlg{"MapDlg", nMapDlg, &nMapDlg};
inline constexpr LOG_MODULE LCtrlCB{"LCtrlCB", nLCtrlCB, &nLCtrlCB};
inline constexpr LOG_MODULE QVXDBBld{"QVXDBBld", nQVXDBBld, &nQVXDBBld};
inline constexpr LOG_MODULE DBBld{"DBBld", nDBBld, &nDBBld};
inline constexpr LOG_MODULE CrDBThr{"CrDBThr", nCrDBThr, &nCrDBThr};
inline constexpr LOG_MODULE CrDBDlg{"CrDBDlg", nCrDBDlg, &nCrDBDlg};
inline constexpr LOG_MODULE ProgDlg{"ProgDlg", nProgDlg, &nProgDlg};
inline constexpr LOG_MODULE CpyThr{"CpyThr", nCpyThr, &nCpyThr};
inline constexpr LOG_MODULE Cpy2Ph{"Cpy2Ph", nCpy2Ph, &nCpy2Ph};
inline constexpr LOG_MODULE Thread{"Thread", nThread, &nThread};
inline constexpr LOG_MODULE INFO{"INFO", nINFO, &nINFO};
inline constexpr LOG_MODULE KTFI{"KTFI", nKTFI, &nKTFI};
inline constexpr LOG_MODULE KTST{"KTST", nKTST, &nKTST};
inline constexpr LOG_MODULE KTSF{"KTSF", nKTSF, &nKTSF};
inline constexpr LOG_MODULE KTSMT{"KTSMT", nKTSMT, &nKTSMT};

}  // namespace qvxlog

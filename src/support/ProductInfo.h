// The product's configuration values: name, version and the web addresses.
// Kept in this one place so that a change of address touches one line.
#pragma once

namespace qvxproduct {

inline constexpr const char kProductName[] = "Quorvex";

inline constexpr int kVersionMajor = 1;
inline constexpr int kVersionMinor = 0;
inline constexpr int kVersionRelease = 0;
inline constexpr int kVersionBuild = 41;

// The maker's web address (info dialog, web button of the main dialog).
inline constexpr const char kMakerWebAddress[] = "https://www.quorvex.example";
// Where the phone connection software can be downloaded (the notice shown
// when the phone connection service cannot be started).
inline constexpr const char kPhoneSuiteDownloadAddress[] = "https://www.quorvex.example/download";

// The maker's notice of the info dialog (two lines, not translated).
inline constexpr const char kMakerNotice[] =
    "Quorvex contact book for mobile phones\n\xC2\xA9 Quorvex. All rights reserved.";

}  // namespace qvxproduct

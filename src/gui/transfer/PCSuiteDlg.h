// CPCSuiteDlg: the notice shown instead of the wizard when the phone
// connection service cannot be initialised. It tells whether the service
// software seems missing or too old - decided by the build number that the
// registry stand-in holds (value "PCSuiteBuildNumber" under
// HKEY_LOCAL_MACHINE\Software\Nokia): fewer than four characters, or a
// number of 684 or more in its first three characters, counts as missing
// (a new enough installation that still failed); a lower number as too old,
// with the version found. A link leads to the download page.
#pragma once

#include <QDialog>
#include <QString>
#include <string>

class CHyperlinkLabel;
class CIconButton;
class QLabel;

class CPCSuiteDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kIdMessage = 1053;
    static constexpr int kIdVersion = 1054;
    static constexpr int kIdLink = 1055;
    static constexpr int kIdOk = 1;
    static constexpr int kIdHidden = 2;
    // Builds from this number on are new enough.
    static constexpr int kFirstSupportedBuild = 684;

    explicit CPCSuiteDlg(QWidget* pParent = nullptr);
    ~CPCSuiteDlg() override;

    // Reads the build number again and applies the texts of the current language.
    void UpdateTexts();

    // The build number as stored (cut to 259 characters); empty when absent.
    static std::string ReadBuildNumber();
    // The number in the first three characters, read like a decimal
    // conversion: leading digits only, 0 when there are none.
    static int BuildNumberPrefix(const std::string& buildNumber);
    // True when the build number says the installation is too old.
    static bool IsOldVersion(const std::string& buildNumber);

private:
    QLabel* m_pMessage = nullptr;
    QLabel* m_pVersion = nullptr;
    CHyperlinkLabel* m_pLink = nullptr;
    CIconButton* m_pOk = nullptr;
    CIconButton* m_pHidden = nullptr;
};

// CInfoDlg: the program's about box - the product pictures, the maker's
// notice, the maker's web address as a link, the version and OK, all on
// white. It also holds a language choice (hidden, as the product ships it)
// whose change switches the language of the whole program and re-labels the
// owner through the function given with SetOwner.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>

class CHyperlinkLabel;
class CIconButton;
class QComboBox;
class QLabel;

class CInfoDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kIdNamePicture = 1045;
    static constexpr int kIdIcon = 1044;
    static constexpr int kIdNotice = 1039;
    static constexpr int kIdLink = 1050;
    static constexpr int kIdPicture = 1041;
    static constexpr int kIdVersion = 1043;
    static constexpr int kIdOk = 2;
    static constexpr int kIdLanguageLabel = 1049;
    static constexpr int kIdLanguages = 1048;

    explicit CInfoDlg(QWidget* pParent = nullptr);
    ~CInfoDlg() override;

    // Called after a language change, to re-label the owner (the main dialog).
    void SetOwner(std::function<void()> updateOwnerTexts) {
        m_updateOwnerTexts = std::move(updateOwnerTexts);
    }

    // Applies the texts of the current language.
    void UpdateTexts();

    // "Version: 1.0.0.41"
    static QString VersionText();

    void OnSelchangeComboLanguages();

private:
    void CreateControls();
    void SelectStoredLanguage();

    CHyperlinkLabel* m_pLink = nullptr;
    QComboBox* m_ComboBox = nullptr;
    CIconButton* m_pOk = nullptr;
    QLabel* m_pLanguageLabel = nullptr;
    QLabel* m_pVersion = nullptr;
    std::function<void()> m_updateOwnerTexts;
};

// Checks the shipped language.ini against the keys the code uses.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "i18n/LanguageTable.h"
#include "i18n/TextKeys.h"
#include "platform/IniFile.h"
#include "wizard/WizardState.h"

namespace {

const std::string kShipped = std::string(QVX_SOURCE_DIR) + "/src/resources/language.ini";

// Texts used as printf formats with one string argument.
const std::set<std::string> kStringFormats = {qvxtext::kMainDlg_Info_LastDB,
                                              qvxtext::kProgressDlg_Info_Details,
                                              qvxtext::kError_PCSuite_Current_Version,
                                              qvxtext::kOpen_Msg_FileNotFound,
                                              qvxtext::kOpen_Msg_NoProgram,
                                              qvxtext::kOpen_Msg_NoBrowser,
                                              qvxtext::kMainDlg_Info_MappingChosen,
                                              qvxtext::kMainDlg_Info_NearestMapping,
                                              qvxtext::kMappingDlg_Info_Empty_Columns,
                                              qvxtext::kMappingDlg_Info_Review,
                                              qvxtext::kMappingDlg_Info_Guessed,
                                              qvxtext::kMappingDlg_Info_NameOrder,
                                              qvxtext::kMainDlg_Info_ReadAs,
                                              qvxtext::kMainDlg_Info_RowMismatched,
                                              qvxtext::kMainDlg_Info_RowSkipped,
                                              qvxtext::kPreviewDlg_Shown,
                                              qvxtext::kMainDlg_Info_ValueNotStored,
                                              qvxtext::kMainDlg_Info_CSVNotTaken_Unreadable,
                                              qvxtext::kMsg_NoUserFolders,
                                              qvxtext::kVCard_Info_ReadAs,
                                              qvxtext::kMsg_File_NotFound,
                                              qvxtext::kMsg_File_Empty,
                                              qvxtext::kMsg_File_NoSeparator,
                                              qvxtext::kMsg_File_HeaderTooLong,
                                              qvxtext::kMsg_File_PathTooLong,
                                              qvxtext::kPreviewDlg_OnLine,
                                              qvxtext::kPreviewDlg_OnLines,
                                              qvxtext::kCopyToPhoneDlg_Count_Contacts,
                                              qvxtext::kCopyToPhoneDlg_Count_Details,
                                              qvxtext::kVCard_Info_CardUnreadable,
                                              qvxtext::kVCard_Info_LineSkipped,
                                              qvxtext::kVCard_Info_ValueNotDecoded,
                                              qvxtext::kVCard_Info_ValueNotKept};
// Texts used as formats with two string arguments.
const std::set<std::string> kTwoStringFormats = {qvxtext::kMainDlg_Info_RowsMismatched,
                                                 qvxtext::kMainDlg_Info_RowsSkipped,
                                                 qvxtext::kMainDlg_Info_ValuesNotStored,
                                                 qvxtext::kPreviewDlg_Counts,
                                                 qvxtext::kPreviewDlg_Skipped,
                                                 qvxtext::kPreviewDlg_Mismatched,
                                                 qvxtext::kPreviewDlg_NotStored,
                                                 qvxtext::kCopyToPhoneDlg_Info_Contents,
                                                 qvxtext::kMainDlg_Info_CSVNotTaken_Type,
                                                 qvxtext::kMsg_File_Unreadable,
                                                 qvxtext::kMsg_Log_Unwritable,
                                                 qvxtext::kMainDlg_Info_ValuesNotStoredInRow,
                                                 qvxtext::kVCard_Info_CardsUnreadable,
                                                 qvxtext::kVCard_Info_LinesSkipped,
                                                 qvxtext::kVCard_Info_ValuesNotDecoded,
                                                 qvxtext::kVCard_Info_ValuesNotKept};

// Texts read into 513-byte or larger buffers (message boxes); all others are
// kept within the 128 bytes of the smallest buffer, so no text is ever cut
// in the middle of a UTF-8 character.
const std::set<std::string> kLongTexts = {qvxtext::kMainDlg_MsgBox_AnalyzeCSVFailed,
                                          qvxtext::kMsg_NoUserFolders,
                                          qvxtext::kCopyToPhoneDlg_Msg_Incomplete,
                                          qvxtext::kCopyToPhoneDlg_Msg_IncompleteLeft,
                                          qvxtext::kCopyToPhoneDlg_Msg_Empty,
                                          qvxtext::kCopyToPhoneDlg_Msg_NameTaken,
                                          qvxtext::kMsg_File_NoSeparator,
                                          qvxtext::kMsg_Log_Unwritable};

class ShippedLanguage : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { ASSERT_TRUE(m_ini.Load(kShipped)) << kShipped; }
    CIniFile m_ini;
};

TEST_P(ShippedLanguage, HoldsExactlyTheKnownKeys) {
    std::set<std::string> known(qvxtext::kAllTextKeys.begin(), qvxtext::kAllTextKeys.end());
    ASSERT_EQ(known.size(), qvxtext::kAllTextKeys.size()) << "a key is listed twice";
    std::set<std::string> present;
    for (const auto& [key, value] : m_ini.GetSection(GetParam())) {
        EXPECT_TRUE(known.count(key)) << "unknown key " << key;
        EXPECT_FALSE(value.empty()) << key;
        present.insert(key);
    }
    for (const std::string& key : known) EXPECT_TRUE(present.count(key)) << "missing key " << key;
}

TEST_P(ShippedLanguage, FormatsAndLengthsFitTheirUse) {
    for (std::string_view key : qvxtext::kAllTextKeys) {
        std::string value;
        ASSERT_TRUE(m_ini.GetValue(GetParam(), key, value)) << key;
        EXPECT_LE(value.size(), kLongTexts.count(std::string(key)) ? 512u : 128u) << key;
        if (kStringFormats.count(std::string(key))) {
            EXPECT_NE(FormatTextWithString(value, "ARG"), value) << key << " is no usable format";
        } else if (kTwoStringFormats.count(std::string(key))) {
            EXPECT_NE(FormatTextWithStrings(value, "A", "B"), value) << key << " is no usable format";
        } else if (key == qvxtext::kTimeFormat_DateAndTime) {
            EXPECT_EQ(FormatTime(value, {}).find('%'), std::string::npos) << key;
        } else {
            EXPECT_EQ(value.find('%'), std::string::npos) << key << " is shown as it stands";
        }
    }
}

// One and many have their own forms: "1 contacts with 1 details" and "on
// lines 5" once slipped through, the number put into a plural text.
TEST_P(ShippedLanguage, OneAndManyHaveTheirOwnForms) {
    const std::string section = GetParam();
    auto lookup = [this, &section](const char* pszKey, size_t) {
        std::string value;
        m_ini.GetValue(section, pszKey, value);
        return value;
    };
    using qvxwizard::DatabaseContentsText;
    using qvxwizard::OnLinesText;
    if (section == "English") {
        EXPECT_EQ(DatabaseContentsText(1, "1", 1, "1", lookup),
                  "The database holds one contact with one detail.");
        EXPECT_EQ(DatabaseContentsText(2, "2", 1, "1", lookup),
                  "The database holds 2 contacts with one detail.");
        EXPECT_EQ(DatabaseContentsText(1, "1", 3, "3", lookup),
                  "The database holds one contact with 3 details.");
        EXPECT_EQ(OnLinesText(1, {5}, lookup), "on line 5");
        EXPECT_EQ(OnLinesText(2, {5, 9}, lookup), "on lines 5, 9");
        EXPECT_EQ(OnLinesText(2, {5}, lookup), "on lines 5, …");
    } else {
        EXPECT_EQ(DatabaseContentsText(1, "1", 1, "1", lookup),
                  "Die Datenbank enthält einen Kontakt mit einem Eintrag.");
        EXPECT_EQ(DatabaseContentsText(1, "1", 2, "2", lookup),
                  "Die Datenbank enthält einen Kontakt mit 2 Einträgen.");
        EXPECT_EQ(DatabaseContentsText(1000, "1.000", 1, "1", lookup),
                  "Die Datenbank enthält 1.000 Kontakte mit einem Eintrag.");
        EXPECT_EQ(OnLinesText(1, {5}, lookup), "in Zeile 5");
        EXPECT_EQ(OnLinesText(3, {5, 9, 12}, lookup), "in den Zeilen 5, 9, 12");
    }
}

INSTANTIATE_TEST_SUITE_P(Sections, ShippedLanguage, ::testing::Values("Deutsch", "English"));

TEST(ShippedLanguageFile, StartsWithEmptyChoiceAndListsBothLanguages) {
    CIniFile ini;
    ASSERT_TRUE(ini.Load(kShipped));
    EXPECT_EQ(ini.GetSectionNames(), (std::vector<std::string>{"currentLanguage", "Deutsch", "English"}));
    std::string language = "x";
    EXPECT_TRUE(ini.GetValue("currentLanguage", "language", language));
    EXPECT_EQ(language, "");
}

}  // namespace

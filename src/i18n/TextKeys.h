// The text keys of language.ini. Code fetches texts only through these
// names, and the test of the shipped file checks it against kAllTextKeys,
// so a key can neither be missing from the file nor be misspelt in code.
#pragma once

#include <array>
#include <string_view>

namespace qvxtext {

inline constexpr const char kMainDlg_WindowText[] = "MainDlg_WindowText";
inline constexpr const char kMainDlg_RadioButton_NewDB[] = "MainDlg_RadioButton_NewDB";
inline constexpr const char kMainDlg_RadioButton_LastDB[] = "MainDlg_RadioButton_LastDB";
inline constexpr const char kMainDlg_Button_Complete[] = "MainDlg_Button_Complete";
inline constexpr const char kMainDlg_Button_Cancel[] = "MainDlg_Button_Cancel";
inline constexpr const char kMainDlg_ButtonToolTip_BrowseCsv[] = "MainDlg_ButtonToolTip_BrowseCsv";
inline constexpr const char kMainDlg_ButtonToolTip_BrowseMap[] = "MainDlg_ButtonToolTip_BrowseMap";
inline constexpr const char kMainDlg_ButtonToolTip_EditMap[] = "MainDlg_ButtonToolTip_EditMap";
inline constexpr const char kMainDlg_ButtonToolTip_CreateMap[] = "MainDlg_ButtonToolTip_CreateMap";
inline constexpr const char kMainDlg_ButtonToolTip_Complete[] = "MainDlg_ButtonToolTip_Complete";
inline constexpr const char kMainDlg_ButtonToolTip_Cancel[] = "MainDlg_ButtonToolTip_Cancel";
inline constexpr const char kMainDlg_ButtonToolTip_Help[] = "MainDlg_ButtonToolTip_Help";
inline constexpr const char kMainDlg_ButtonToolTip_Licence[] = "MainDlg_ButtonToolTip_Licence";
inline constexpr const char kMainDlg_Static_CSV[] = "MainDlg_Static_CSV";
inline constexpr const char kMainDlg_Static_Mapping[] = "MainDlg_Static_Mapping";
inline constexpr const char kMainDlg_Static_Copyright[] = "MainDlg_Static_Copyright";
inline constexpr const char kMainDlg_MsgBox_AnalyzeCSVFailed[] = "MainDlg_MsgBox_AnalyzeCSVFailed";
inline constexpr const char kMainDlg_Info_NoCSVFile[] = "MainDlg_Info_NoCSVFile";
inline constexpr const char kMainDlg_Info_ReadCSVFile[] = "MainDlg_Info_ReadCSVFile";
inline constexpr const char kMainDlg_Info_CSVFileOK[] = "MainDlg_Info_CSVFileOK";
inline constexpr const char kMainDlg_Info_ReadMappingFile[] = "MainDlg_Info_ReadMappingFile";
inline constexpr const char kMainDlg_Info_MappingFileOK[] = "MainDlg_Info_MappingFileOK";
inline constexpr const char kMainDlg_Info_MappingFileNotOK[] = "MainDlg_Info_MappingFileNotOK";
inline constexpr const char kMainDlg_Info_MappingIncomplete[] = "MainDlg_Info_MappingIncomplete";
inline constexpr const char kMainDlg_Info_ReadyToComplete[] = "MainDlg_Info_ReadyToComplete";
inline constexpr const char kMainDlg_Info_LastDB[] = "MainDlg_Info_LastDB";
inline constexpr const char kMainDlg_Info_LastDB_NotFound[] = "MainDlg_Info_LastDB_NotFound";
inline constexpr const char kTimeFormat_DateAndTime[] = "TimeFormat_DateAndTime";
inline constexpr const char kSysMenu_Languages[] = "SysMenu_Languages";
inline constexpr const char kInfoDlg_WindowText[] = "InfoDlg_WindowText";
inline constexpr const char kMappingDlg_WindowText_New[] = "MappingDlg_WindowText_New";
inline constexpr const char kMappingDlg_WindowText_Edit[] = "MappingDlg_WindowText_Edit";
inline constexpr const char kMappingDlg_Static_DBName[] = "MappingDlg_Static_DBName";
inline constexpr const char kMappingDlg_Static_DBDescription[] = "MappingDlg_Static_DBDescription";
inline constexpr const char kMappingDlg_Button_OK[] = "MappingDlg_Button_OK";
inline constexpr const char kMappingDlg_Button_Cancel[] = "MappingDlg_Button_Cancel";
inline constexpr const char kMappingDlg_ButtonToolTip_OK[] = "MappingDlg_ButtonToolTip_OK";
inline constexpr const char kMappingDlg_ButtonToolTip_Cancel[] = "MappingDlg_ButtonToolTip_Cancel";
inline constexpr const char kMappingDlg_Info_No_Name[] = "MappingDlg_Info_No_Name";
inline constexpr const char kMappingDlg_Info_ToMany_Name[] = "MappingDlg_Info_ToMany_Name";
inline constexpr const char kMappingDlg_Info_No_Company[] = "MappingDlg_Info_No_Company";
inline constexpr const char kMappingDlg_Info_ToMany_Company[] = "MappingDlg_Info_ToMany_Company";
inline constexpr const char kMappingDlg_Info_Empty_Entry[] = "MappingDlg_Info_Empty_Entry";
inline constexpr const char kMappingDlg_ListCtrl_Header[] = "MappingDlg_ListCtrl_Header";
inline constexpr const char kMappingDlg_ListCtrl_PropTypes[] = "MappingDlg_ListCtrl_PropTypes";
inline constexpr const char kPropertyType_Phonenumer[] = "PropertyType_Phonenumer";
inline constexpr const char kPropertyType_Name[] = "PropertyType_Name";
inline constexpr const char kPropertyType_Company[] = "PropertyType_Company";
inline constexpr const char kPropertyType_Location[] = "PropertyType_Location";
inline constexpr const char kPropertyType_Email[] = "PropertyType_Email";
inline constexpr const char kPropertyType_Other[] = "PropertyType_Other";
inline constexpr const char kPropertyType_Hidden[] = "PropertyType_Hidden";
inline constexpr const char kPropertyType_Group[] = "PropertyType_Group";
inline constexpr const char kPropertyType_GroupInfo[] = "PropertyType_GroupInfo";
inline constexpr const char kInfoDlg_Static_ChooseLanguage[] = "InfoDlg_Static_ChooseLanguage";
inline constexpr const char kInfoDlg_Button_OK[] = "InfoDlg_Button_OK";
inline constexpr const char kInfoDlg_ButtonToolTip_OK[] = "InfoDlg_ButtonToolTip_OK";
inline constexpr const char kProgressDlg_WindowText[] = "ProgressDlg_WindowText";
inline constexpr const char kProgressDlg_Button_Cancel[] = "ProgressDlg_Button_Cancel";
inline constexpr const char kProgressDlg_ButtonToolTip_Cancel[] = "ProgressDlg_ButtonToolTip_Cancel";
inline constexpr const char kProgressDlg_Info_Parse[] = "ProgressDlg_Info_Parse";
inline constexpr const char kProgressDlg_Info_Contacts[] = "ProgressDlg_Info_Contacts";
inline constexpr const char kProgressDlg_Info_Details[] = "ProgressDlg_Info_Details";
inline constexpr const char kDB_ContactBook_Name[] = "DB_ContactBook_Name";
inline constexpr const char kDB_ContactBook_Description[] = "DB_ContactBook_Description";
inline constexpr const char kDB_ContactGroup_Name[] = "DB_ContactGroup_Name";
inline constexpr const char kDB_ContactGroup_Description[] = "DB_ContactGroup_Description";
inline constexpr const char kCopyToPhoneDlg_WindowText_Idle[] = "CopyToPhoneDlg_WindowText_Idle";
inline constexpr const char kCopyToPhoneDlg_WindowText_Copy[] = "CopyToPhoneDlg_WindowText_Copy";
inline constexpr const char kCopyToPhoneDlg_Button_Copy[] = "CopyToPhoneDlg_Button_Copy";
inline constexpr const char kCopyToPhoneDlg_Button_Abort[] = "CopyToPhoneDlg_Button_Abort";
inline constexpr const char kCopyToPhoneDlg_Button_Cancel[] = "CopyToPhoneDlg_Button_Cancel";
inline constexpr const char kCopyToPhoneDlg_ButtonToolTip_Copy[] = "CopyToPhoneDlg_ButtonToolTip_Copy";
inline constexpr const char kCopyToPhoneDlg_ButtonToolTip_Abort[] = "CopyToPhoneDlg_ButtonToolTip_Abort";
inline constexpr const char kCopyToPhoneDlg_ButtonToolTip_Cancel[] = "CopyToPhoneDlg_ButtonToolTip_Cancel";
inline constexpr const char kCopyToPhoneDlg_Static_Devices[] = "CopyToPhoneDlg_Static_Devices";
inline constexpr const char kCopyToPhoneDlg_Info_NoDevice[] = "CopyToPhoneDlg_Info_NoDevice";
inline constexpr const char kCopyToPhoneDlg_Info_DeviceSelected[] = "CopyToPhoneDlg_Info_DeviceSelected";
inline constexpr const char kCopyToPhoneDlg_Info_NoDeviceSelected[] = "CopyToPhoneDlg_Info_NoDeviceSelected";
inline constexpr const char kCopyToPhoneDlg_Info_Copy[] = "CopyToPhoneDlg_Info_Copy";
inline constexpr const char kCopyToPhoneDlg_Info_DeviceInfo_Needed[] =
    "CopyToPhoneDlg_Info_DeviceInfo_Needed";
inline constexpr const char kCopyToPhoneDlg_Info_DeviceInfo_Free[] = "CopyToPhoneDlg_Info_DeviceInfo_Free";
inline constexpr const char kCopyToPhoneDlg_Info_MemoryOK[] = "CopyToPhoneDlg_Info_MemoryOK";
inline constexpr const char kCopyToPhoneDlg_Info_MemoryNotOK[] = "CopyToPhoneDlg_Info_MemoryNotOK";
inline constexpr const char kCopyToPhoneDlg_Info_Finish[] = "CopyToPhoneDlg_Info_Finish";
inline constexpr const char kCopyToPhoneDlg_Info_Abort[] = "CopyToPhoneDlg_Info_Abort";
inline constexpr const char kCopyToPhoneDlg_Info_Inst_Start[] = "CopyToPhoneDlg_Info_Inst_Start";
inline constexpr const char kCopyToPhoneDlg_Info_Inst_Failed[] = "CopyToPhoneDlg_Info_Inst_Failed";
inline constexpr const char kCopyToPhoneDlg_Msg_Inst_Abort[] = "CopyToPhoneDlg_Msg_Inst_Abort";
inline constexpr const char kCopyToPhoneDlg_Msg_Prog_NotFound[] = "CopyToPhoneDlg_Msg_Prog_NotFound";
inline constexpr const char kCopyToPhoneDlg_Msg_Abort[] = "CopyToPhoneDlg_Msg_Abort";
inline constexpr const char kCopyToPhoneDlg_Msg_Finish[] = "CopyToPhoneDlg_Msg_Finish";
inline constexpr const char kError_PCSuite_NotInstalled[] = "Error_PCSuite_NotInstalled";
inline constexpr const char kError_PCSuite_Old_Version[] = "Error_PCSuite_Old_Version";
inline constexpr const char kError_PCSuite_Current_Version[] = "Error_PCSuite_Current_Version";

inline constexpr std::array<std::string_view, 95> kAllTextKeys = {
    kMainDlg_WindowText,
    kMainDlg_RadioButton_NewDB,
    kMainDlg_RadioButton_LastDB,
    kMainDlg_Button_Complete,
    kMainDlg_Button_Cancel,
    kMainDlg_ButtonToolTip_BrowseCsv,
    kMainDlg_ButtonToolTip_BrowseMap,
    kMainDlg_ButtonToolTip_EditMap,
    kMainDlg_ButtonToolTip_CreateMap,
    kMainDlg_ButtonToolTip_Complete,
    kMainDlg_ButtonToolTip_Cancel,
    kMainDlg_ButtonToolTip_Help,
    kMainDlg_ButtonToolTip_Licence,
    kMainDlg_Static_CSV,
    kMainDlg_Static_Mapping,
    kMainDlg_Static_Copyright,
    kMainDlg_MsgBox_AnalyzeCSVFailed,
    kMainDlg_Info_NoCSVFile,
    kMainDlg_Info_ReadCSVFile,
    kMainDlg_Info_CSVFileOK,
    kMainDlg_Info_ReadMappingFile,
    kMainDlg_Info_MappingFileOK,
    kMainDlg_Info_MappingFileNotOK,
    kMainDlg_Info_MappingIncomplete,
    kMainDlg_Info_ReadyToComplete,
    kMainDlg_Info_LastDB,
    kMainDlg_Info_LastDB_NotFound,
    kTimeFormat_DateAndTime,
    kSysMenu_Languages,
    kInfoDlg_WindowText,
    kMappingDlg_WindowText_New,
    kMappingDlg_WindowText_Edit,
    kMappingDlg_Static_DBName,
    kMappingDlg_Static_DBDescription,
    kMappingDlg_Button_OK,
    kMappingDlg_Button_Cancel,
    kMappingDlg_ButtonToolTip_OK,
    kMappingDlg_ButtonToolTip_Cancel,
    kMappingDlg_Info_No_Name,
    kMappingDlg_Info_ToMany_Name,
    kMappingDlg_Info_No_Company,
    kMappingDlg_Info_ToMany_Company,
    kMappingDlg_Info_Empty_Entry,
    kMappingDlg_ListCtrl_Header,
    kMappingDlg_ListCtrl_PropTypes,
    kPropertyType_Phonenumer,
    kPropertyType_Name,
    kPropertyType_Company,
    kPropertyType_Location,
    kPropertyType_Email,
    kPropertyType_Other,
    kPropertyType_Hidden,
    kPropertyType_Group,
    kPropertyType_GroupInfo,
    kInfoDlg_Static_ChooseLanguage,
    kInfoDlg_Button_OK,
    kInfoDlg_ButtonToolTip_OK,
    kProgressDlg_WindowText,
    kProgressDlg_Button_Cancel,
    kProgressDlg_ButtonToolTip_Cancel,
    kProgressDlg_Info_Parse,
    kProgressDlg_Info_Contacts,
    kProgressDlg_Info_Details,
    kDB_ContactBook_Name,
    kDB_ContactBook_Description,
    kDB_ContactGroup_Name,
    kDB_ContactGroup_Description,
    kCopyToPhoneDlg_WindowText_Idle,
    kCopyToPhoneDlg_WindowText_Copy,
    kCopyToPhoneDlg_Button_Copy,
    kCopyToPhoneDlg_Button_Abort,
    kCopyToPhoneDlg_Button_Cancel,
    kCopyToPhoneDlg_ButtonToolTip_Copy,
    kCopyToPhoneDlg_ButtonToolTip_Abort,
    kCopyToPhoneDlg_ButtonToolTip_Cancel,
    kCopyToPhoneDlg_Static_Devices,
    kCopyToPhoneDlg_Info_NoDevice,
    kCopyToPhoneDlg_Info_DeviceSelected,
    kCopyToPhoneDlg_Info_NoDeviceSelected,
    kCopyToPhoneDlg_Info_Copy,
    kCopyToPhoneDlg_Info_DeviceInfo_Needed,
    kCopyToPhoneDlg_Info_DeviceInfo_Free,
    kCopyToPhoneDlg_Info_MemoryOK,
    kCopyToPhoneDlg_Info_MemoryNotOK,
    kCopyToPhoneDlg_Info_Finish,
    kCopyToPhoneDlg_Info_Abort,
    kCopyToPhoneDlg_Info_Inst_Start,
    kCopyToPhoneDlg_Info_Inst_Failed,
    kCopyToPhoneDlg_Msg_Inst_Abort,
    kCopyToPhoneDlg_Msg_Prog_NotFound,
    kCopyToPhoneDlg_Msg_Abort,
    kCopyToPhoneDlg_Msg_Finish,
    kError_PCSuite_NotInstalled,
    kError_PCSuite_Old_Version,
    kError_PCSuite_Current_Version,
};

}  // namespace qvxtext

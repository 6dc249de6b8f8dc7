#pragma once
// The keys of every text the program shows; the words live in the language
// file. None of the texts is a format string: callers put values beside them.
#include <array>
#include <string_view>

namespace scribly {

inline constexpr std::string_view kTextMessageBoxTitle = "Scribly_MessageBox_Title";
inline constexpr std::string_view kTextNoWritePrivilege = "Scribly_MessageBox_WritePriv_Text";
inline constexpr std::string_view kTextNoBackgroundPrivilege = "Scribly_MessageBox_SetBKPriv_Text";
inline constexpr std::string_view kTextNoShareDocPrivilege =
    "Scribly_MessageBox_AddShareDocPriv_Text";
inline constexpr std::string_view kTextRemoveSystemPage =
    "Scribly_MessageBox_RemoveSystemPage_Text";
inline constexpr std::string_view kTextConfirmRemovePage = "Scribly_MessageBox_Remove_Text";
inline constexpr std::string_view kTextConfirmRemoveShareDoc = "Scribly_MessageBox_Remove_ShareDoc";
inline constexpr std::string_view kTextConfirmClearPage = "Scribly_MessageBox_Clrscr_Text";
inline constexpr std::string_view kTextPageInfo = "Scribly_MessageBox_DisPageInfo_Text";
inline constexpr std::string_view kTextAlreadyShared = "Scribly_MessageBox_AlreadyShare_Text";
inline constexpr std::string_view kTextPrintError = "Scribly_MessageBox_PrintError_Text";
inline constexpr std::string_view kTextPrintSucceeded = "Scribly_MessageBox_PrintResultOK_Text";
inline constexpr std::string_view kTextPrintFailed = "Scribly_MessageBox_PrintResultFailed_Text";
inline constexpr std::string_view kTextPrinting = "Scribly_Tip_Printing_Text";
inline constexpr std::string_view kTextUploadTitle = "Scribly_Tip_UpLoadShareDoc_Text";
inline constexpr std::string_view kTextStartShare = "Scribly_Start_Share";
inline constexpr std::string_view kTextStopShare = "Scribly_Stop_Share";
inline constexpr std::string_view kTextShareDocLibrary = "Scribly_ShareDocLib";
inline constexpr std::string_view kTextLibraryNoFolder = "Scribly_ShareDocLib_Choose";
inline constexpr std::string_view kTextSystemPagesTitle = "Scribly_Contents_SystemPageTitle";
inline constexpr std::string_view kTextUserPagesTitle = "Scribly_Contents_UserPageTitle";
inline constexpr std::string_view kTextExporting = "Scribly_Tip_Exporting_Text";
inline constexpr std::string_view kTextExportFailed = "Scribly_MessageBox_ExportFailed_Text";

inline constexpr std::array kLanguageKeys = {
    kTextMessageBoxTitle,
    kTextNoWritePrivilege,
    kTextNoBackgroundPrivilege,
    kTextNoShareDocPrivilege,
    kTextRemoveSystemPage,
    kTextConfirmRemovePage,
    kTextConfirmRemoveShareDoc,
    kTextConfirmClearPage,
    kTextPageInfo,
    kTextAlreadyShared,
    kTextLibraryNoFolder,
    kTextPrintError,
    kTextPrintSucceeded,
    kTextPrintFailed,
    kTextPrinting,
    kTextUploadTitle,
    kTextStartShare,
    kTextStopShare,
    kTextShareDocLibrary,
    kTextSystemPagesTitle,
    kTextUserPagesTitle,
    kTextExporting,
    kTextExportFailed,
};

}  // namespace scribly

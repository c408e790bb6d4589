#pragma once
// The texts that several parts of the main window show.
#include "tidewell_version.h"

inline constexpr const char* kApplicationTitle = "Tidewell";
inline constexpr const char* kWindowCaption = "Tidewell v." TIDEWELL_VERSION;
inline constexpr const char* kNoItems = "-- No Items --";
inline constexpr const char* kSelectFirst = "Please select an item from the list first.";
// What a removal's question says of an entry whose uninstaller is there.
inline constexpr const char* kUninstallerExists =
    "Its uninstaller exists: removing the entry leaves the program installed, with no way to uninstall it from "
    "this list.";
// The image of a row whose status is still being checked, after the three status icons.
inline constexpr int kCheckingImage = 3;
// The status column's text for an entry whose check is still to come.
inline constexpr const char* kCheckingText = "Checking";
// What the Backups page adds to the name of a file in the user's own backup folder.
inline constexpr const char* kUserBackupMark = " (AppData)";
// The pages, in the order of their tabs.
enum PageIndex { kIntroductionPage, kAccuracyPage, kStatusPage, kFinderPage, kChangePage, kBackupsPage,
                 kAllEntriesPage, kInstallerPage };
// The question of a removal, and its caption.
inline constexpr const char* kRemoveQuestion = "Are you sure you want to remove this entry?";
inline constexpr const char* kRemoveCaption = "Remove Entry?";

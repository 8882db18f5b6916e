#pragma once
// The help lookup of the main window: the help file under RootFolder + "help/" and
// how to open it. The window opens the file with the desktop's handler.
#include <QString>

enum class HelpKind {
    None,       // no help file: the help item and F1 do nothing
    WinHelp,    // a ".hlp" file (its contents page)
    HtmlHelp,   // a ".chm" file
};

// rootFolder + "help/" + the first "*.hlp" file there, else the first "*.chm",
// else empty. rootFolder is used as a prefix as it stands. "First" is in name order;
// extensions match in any case.
QString findHelpFile(const QString &rootFolder);

// What opening `helpFile` means: its upper-case form containing ".HLP" wins over
// ".CHM"; neither (or an empty name) is None.
HelpKind helpAction(const QString &helpFile);

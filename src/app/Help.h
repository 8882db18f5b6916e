#pragma once
// The help lookup of the main window: the help file under RootFolder + "help/" and
// how to open it. A ".hlp" or ".chm" file opens with the desktop's handler; an HTML
// file is the user guide and opens in the program's own guide window (GuideWindow).
#include <QString>

enum class HelpKind {
    None,       // no help file: the help item and F1 do nothing
    WinHelp,    // a ".hlp" file (its contents page)
    HtmlHelp,   // a ".chm" file
    Guide,      // a ".html" or ".htm" file: the user guide, shown inside the program
};

// rootFolder + "help/" + the first "*.hlp" file there, else the first "*.chm", else
// the first "*.html" or "*.htm", else empty. rootFolder is used as a prefix as it
// stands. "First" is in name order; extensions match in any case; folders do not
// count.
QString findHelpFile(const QString &rootFolder);

// What opening `helpFile` means: a file name ending in ".html" or ".htm" (any case)
// is the guide; otherwise its upper-case form containing ".HLP" wins over ".CHM";
// neither (or an empty name) is None.
HelpKind helpAction(const QString &helpFile);

#pragma once
// The program's configuration: section "1" of Cnfg.ini beside the executable, read
// once before any window exists, with the values derived from it. Pure QtCore: the
// font check is passed in by the caller, which has the font database.
//
// An installed copy lives in a folder its users cannot write; its launcher names a
// per-user folder for Cnfg.ini in LEXAR_CONFIG_FOLDER, and the file is read there
// instead (every other default, "RootS" included, still follows the executable).
#include <QByteArray>
#include <QString>

#include <functional>

struct RgbColor {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const RgbColor &o) const
    {
        return red == o.red && green == o.green && blue == o.blue;
    }
};

struct Config {
    // Whether a font family is installed (QFontDatabase::hasFamily in the window code).
    using FontExists = std::function<bool(const QString &family)>;

    // The client's own version, written into every parsed concordance position.
    static constexpr const char ClientVersion[] = "1.4.12";
    // The program's title as its users know it (UTF-8): the caption of a long
    // export's progress. Not the application name, which names its folders.
    static constexpr const char ApplicationTitle[] = "ВЕЛТа";
    static constexpr const char IniFileName[] = "Cnfg.ini";
    // The environment variable naming the folder of Cnfg.ini; unset or empty: the
    // executable's folder.
    static constexpr const char IniFolderVariable[] = "LEXAR_CONFIG_FOLDER";
    static constexpr const char Section[] = "1";
    static constexpr int DefaultFontSize = 8;

    // Reads Cnfg.ini (in `exeDir`, or in the folder LEXAR_CONFIG_FOLDER names),
    // derives the folders (creating the user data folder), looks for the local server
    // in `currentDir`, and in the local mode resets the start signal. A null
    // `fontExists` accepts every font.
    static Config load(const QString &exeDir, const QString &currentDir,
                       const FontExists &fontExists);

    // Reads a key of section "1" again, from the file as it is now ("IP" and "Port"
    // when connecting, "AllowFullText" when the concordance page is set up, ...).
    // The default when the key, the file or the reading is missing.
    QByteArray readKey(const QByteArray &key, const QByteArray &defaultValue = {}) const;

    bool isLocal() const { return ConnectionMode == "LOCAL"; }
    bool isWeb() const { return ConnectionMode == "WEB"; }
    bool isBreak() const { return ConnectionMode == "BREAK"; }

    // RootFolder + the configured animation name; empty when no name is configured.
    QString animationFile() const;
    // The first "Обложка.jpg" under RootFolder and its sub-folders; empty if none.
    QString findCoverPicture() const;

    QString exeFolder;                // the executable's folder, ending with "/"
    QString iniPath;                  // exeFolder + "Cnfg.ini", or in LEXAR_CONFIG_FOLDER
    QString iniError;                 // why Cnfg.ini could not be read (mode "BREAK")
    QString CurrentFolder;            // where the local server's file is looked for

    // "LOCAL" (local server over the local link), "WEB" (TCP) or "BREAK" (the
    // configuration could not be read: the main window closes at first show).
    QByteArray ConnectionMode = "LOCAL";
    bool saveLogAlways = false;       // "CLLOG" = "YES"
    bool textProza = false;           // "TextProza" = "YES" or "ТекстПроза" = "ДА"

    // "Play" followed by "Исполнять" (normally one of them is set). Dropped at load
    // when the flag is clear and RootFolder + name does not exist.
    QString animationName;
    // "Play" = "YES" or "Исполнять" = "ДА": play the designed animation. Set later
    // when a configured file is loaded, cleared when Escape stops the player.
    bool playAnimation = false;

    // "DEFAULT": the face for the list, tree and text views; "Arial" when the named
    // face is not installed; empty: the windows keep their designed fonts.
    QString defaultFont;
    int defaultFontSize = DefaultFontSize;   // "DEFAULTSIZE"; not an integer: 8

    bool testMode = false;            // "Test" = "YES" (Latin letters in any case)
    bool dst = true;                  // "DST"/"ТПС": initial state of CB_DST

    // "RootS", default the executable's folder + "/". Used as a prefix as it stands:
    // a value without a trailing "/" runs into the names appended to it.
    QString RootFolder;

    QByteArray allowFullText = "NO";  // "AllowFullText", raw
    QByteArray allowEmptySign = "NO"; // "AllowEmptySign", raw

    QString UserDataFolder;           // ends with "/"
    QString DocumentsFolder;

    // The local server found in the current directory: "Corvus"/"Corvus.exe", else
    // "VELTe"/"VELTe.cxt"; both empty when neither file exists.
    QString LocalServerName;
    QString LocalServerFile;
    QString LocalServerPath;          // absolute path of LocalServerFile, or empty

    QByteArray versionText;           // the program version, e.g. "1.4.12.0"

    RgbColor filterColor{166, 202, 240};

    // The start-signal reset of the local mode: whether the store was written, and
    // the attempts used (the start-signal timer continues counting from there).
    bool startSignalReset = false;
    int startSignalAttempts = 0;
};

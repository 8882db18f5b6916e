#include "session/Config.h"

#include "model/Cp1251.h"
#include "model/StrictInt.h"
#include "platform/FileSearch.h"
#include "platform/Folders.h"
#include "platform/PrivateProfile.h"
#include "platform/StartSignal.h"

#include <QDir>
#include <QFileInfo>

#ifndef LEXAR_VERSION_TEXT
#define LEXAR_VERSION_TEXT ""
#endif

namespace {

// "Case-insensitive" in the configuration: Latin a-z become capitals, every other
// byte (Cyrillic included) is compared as it stands.
QByteArray latinUpper(QByteArray text)
{
    for (char &c : text) {
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    }
    return text;
}

// A configured path: 1251 bytes to text, Windows separators to "/".
QString configuredPath(const QByteArray &bytes)
{
    QString path = cp1251::decode(bytes);
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path;
}

QString withSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

// The local server: the first candidate whose file is in the current directory.
void findLocalServer(Config &c, const QString &currentDir)
{
    struct Candidate {
        const char *service;
        const char *file;
    };
    static const Candidate candidates[] = {{"Corvus", "Corvus.exe"}, {"VELTe", "VELTe.cxt"}};
    for (const Candidate &candidate : candidates) {
        const QString file = QString::fromLatin1(candidate.file);
        const QFileInfo info(QDir(currentDir).filePath(file));
        if (info.isFile()) {
            c.LocalServerName = QString::fromLatin1(candidate.service);
            c.LocalServerFile = file;
            c.LocalServerPath = info.absoluteFilePath();
            break;
        }
    }
}

// The keys of Cnfg.ini (each one's default when the file could not be read).
void readSettings(Config &c, const platform::PrivateProfile &ini, const Config::FontExists &fontExists)
{
    auto value = [&ini](const QByteArray &key, const QByteArray &def) {
        return ini.value(Config::Section, key, def);
    };

    c.saveLogAlways = value("CLLOG", "NO") == "YES";

    const QByteArray yes = "YES";
    const QByteArray da = cp1251::ru("ДА");
    c.textProza = value("TextProza", "NO") == yes
        || value(cp1251::ru("ТекстПроза"), cp1251::ru("НЕТ")) == da;

    const QByteArray perform = value(cp1251::ru("Исполнять"), QByteArray());
    const QByteArray play = value("Play", QByteArray());
    c.animationName = configuredPath(play + perform);
    c.playAnimation = play == yes || value(cp1251::ru("Исполнять"), cp1251::ru("НЕТ")) == da;

    const QByteArray font = value("DEFAULT", QByteArray());
    if (!font.isEmpty()) {
        c.defaultFont = cp1251::decode(font);
        if (fontExists && !fontExists(c.defaultFont))
            c.defaultFont = QStringLiteral("Arial");
    }
    // Not an integer gives 8; so does a size of zero or below, which no view can use.
    const std::optional<qint32> size =
        strictint::parse(value("DEFAULTSIZE", QByteArray::number(Config::DefaultFontSize)));
    c.defaultFontSize = size && *size > 0 ? *size : Config::DefaultFontSize;

    c.testMode = latinUpper(value("Test", "False")) == yes;

    c.dst = latinUpper(value("DST", "YES")) != "NO"
        || latinUpper(value(cp1251::ru("ТПС"), da)) == cp1251::ru("НЕТ");

    const QByteArray root = value("RootS", QByteArray());
    if (!root.isEmpty() || ini.contains(Config::Section, "RootS"))
        c.RootFolder = root.isEmpty() ? QString() : withSlash(configuredPath(root));

    c.allowFullText = value("AllowFullText", "NO");
    c.allowEmptySign = value("AllowEmptySign", "NO");
}

} // namespace

Config Config::load(const QString &exeDir, const QString &currentDir,
                    const FontExists &fontExists)
{
    Config c;
    c.CurrentFolder = currentDir;

    findLocalServer(c, currentDir);

    c.versionText = QByteArray(LEXAR_VERSION_TEXT);
    c.exeFolder = withSlash(exeDir);
    c.RootFolder = c.exeFolder;
    const QString iniFolder = qEnvironmentVariable(IniFolderVariable);
    c.iniPath = (iniFolder.isEmpty() ? c.exeFolder : withSlash(iniFolder))
        + QLatin1String(IniFileName);

    platform::PrivateProfile ini(c.iniPath);
    if (ini.isUnreadable()) {
        // Every key below then takes its default.
        c.ConnectionMode = "BREAK";
        c.iniError = ini.errorString();
        ini = platform::PrivateProfile();
    } else {
        c.ConnectionMode = ini.value(Section, "IP", "LOCAL") == "LOCAL" ? "LOCAL" : "WEB";
    }
    readSettings(c, ini, fontExists);

    c.UserDataFolder = platform::userDataFolder();
    c.DocumentsFolder = platform::documentsFolder();

    if (!c.playAnimation && !c.animationName.isEmpty()
        && !QFileInfo(c.RootFolder + c.animationName).isFile())
        c.animationName.clear();

    if (c.isLocal()) {
        platform::StartSignal signal(c.UserDataFolder);
        c.startSignalReset = signal.reset();
        c.startSignalAttempts = signal.attempts();
    }
    return c;
}

QByteArray Config::readKey(const QByteArray &key, const QByteArray &defaultValue) const
{
    return platform::PrivateProfile::read(iniPath, Section, key, defaultValue);
}

QString Config::animationFile() const
{
    return animationName.isEmpty() ? QString() : RootFolder + animationName;
}

QString Config::findCoverPicture() const
{
    const QStringList found =
        platform::searchFiles(RootFolder, QStringLiteral("Обложка.jpg"), 'F');
    return found.isEmpty() ? QString() : found.first();
}

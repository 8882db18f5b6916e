// The configuration readers on arbitrary files: Cnfg.ini read the way the profile
// API reads it (every key the client looks up, in both spellings), and the start
// signal's store. Invariants: nothing crashes or loops; a found value carries no
// leading or trailing blanks; a key that is present never yields its default
// unless that is its value; the store reads what it last wrote.
#include "model/Cp1251.h"
#include "platform/PrivateProfile.h"
#include "platform/StartSignal.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        abort();
}

bool blank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const platform::PrivateProfile ini = platform::PrivateProfile::fromBytes(input);
    const QByteArrayList keys{"IP", "Port", "CLLOG", "TextProza", cp1251::ru("ТекстПроза"),
                              "Play", cp1251::ru("Исполнять"), "DEFAULT", "DEFAULTSIZE", "Test",
                              "DST", cp1251::ru("ТПС"), "RootS", "AllowFullText",
                              "AllowEmptySign", "ip", cp1251::ru("тпс")};
    for (const QByteArray &key : keys) {
        const QByteArray v = ini.value("1", key, "\x01" "default");
        if (ini.contains("1", key)) {
            check(v.isEmpty() || (!blank(v.front()) && !blank(v.back())) || v.size() == 1);
        } else {
            check(v == "\x01" "default");
        }
        check(platform::PrivateProfile::equalNames(key, platform::PrivateProfile::upper1251(key)));
    }

    // The start signal's store on the same bytes, then written and read back.
    static QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/registry.ini");
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    f.write(input);
    f.close();
    platform::StartSignalStore store(path);
    store.keyExists();
    store.readStarted();
    if (store.writeStarted(QStringLiteral("TRUE"))) {
        const std::optional<QString> back = store.readStarted();
        check(back && *back == QStringLiteral("TRUE"));
    }
    return 0;
}

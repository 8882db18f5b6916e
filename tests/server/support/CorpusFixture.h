#pragma once
// Writing small corpora for the tests: files under a temporary folder, in UTF-8
// or code page 1251, and building their index with an isolated cache.
#include "corpus/Charset.h"
#include "corpus/Corpus.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <string>

namespace corpusfixture {

// Writes bytes to root/relative, creating the folders.
inline void writeBytes(const QString &root, const QString &relative, const QByteArray &bytes)
{
    const QString path = root + QLatin1Char('/') + relative;
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

inline void writeUtf8(const QString &root, const QString &relative, const char *utf8)
{
    writeBytes(root, relative, QByteArray(utf8));
}

// The UTF-8 source literal stored as 1251 bytes.
inline void write1251(const QString &root, const QString &relative, const char *utf8)
{
    const std::string b = corvus::charset::utf8ToCp1251(utf8);
    writeBytes(root, relative, QByteArray(b.data(), qsizetype(b.size())));
}

// A UTF-8 literal as 1251 (what the index hands out).
inline std::string cp(const char *utf8) { return corvus::charset::utf8ToCp1251(utf8); }
inline QByteArray cpb(const char *utf8)
{
    const std::string s = cp(utf8);
    return QByteArray(s.data(), qsizetype(s.size()));
}
// 1251 from the index, back to UTF-8 for readable failure messages.
inline QByteArray u8(std::string_view cp1251) { return QByteArray::fromStdString(corvus::charset::cp1251ToUtf8(cp1251)); }

inline std::shared_ptr<const corvus::Corpus> build(const QStringList &paths, const QString &cacheDir,
                                                   QString *error = nullptr, bool useCache = true)
{
    corvus::CorpusOptions o;
    o.paths = paths;
    o.cacheDir = cacheDir;
    o.useCache = useCache;
    QString e;
    auto c = corvus::Corpus::load(o, &e);
    if (error)
        *error = e;
    return c;
}

} // namespace corpusfixture

#pragma once
// The real corpus server for end-to-end tests: Corvus.exe from the build's bin folder,
// started over TCP on a free port.
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QtTest>

inline QString corvusPath()
{
    return QString::fromLocal8Bit(qgetenv("LEXAR_BIN_DIR")) + QStringLiteral("/Corvus.exe");
}

// Starts `corvus` with `args` plus "--port 0 --no-local" and returns the port it
// listens on (0 when it did not come up within a minute).
inline quint16 startCorvusTcp(QProcess &corvus, const QStringList &args)
{
    corvus.setProgram(corvusPath());
    corvus.setArguments(args + QStringList{QStringLiteral("--port"), QStringLiteral("0"),
                                           QStringLiteral("--no-local")});
    corvus.start();
    if (!corvus.waitForStarted())
        return 0;
    QString out;
    const QRegularExpression listening(QStringLiteral("listening on [0-9.]+:([0-9]+)"));
    QRegularExpressionMatch m;
    (void)QTest::qWaitFor([&] {
        out += QString::fromLocal8Bit(corvus.readAllStandardOutput());
        m = listening.match(out);
        return m.hasMatch() || corvus.state() == QProcess::NotRunning;
    }, 60000);
    return m.hasMatch() ? quint16(m.captured(1).toUInt()) : 0;
}

// The same on the test home's corpus folder ("<home>/corpus", the cache in
// "<home>/cache"), with `extra` arguments after those.
inline quint16 startCorvusOnHome(QProcess &corvus, const QString &home, const QStringList &extra = {})
{
    return startCorvusTcp(corvus, QStringList{QStringLiteral("--corpus"), home + QStringLiteral("/corpus"),
                                              QStringLiteral("--cache"), home + QStringLiteral("/cache")}
                                      + extra);
}

#include "ServerOptions.h"

#include "corpus/AnnotatedText.h"

#include <QCommandLineParser>
#include <QHostAddress>

namespace {

// An option as written on the command line.
QString dashed(const QString &name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// Why the parser refused `args`, in Russian: an unknown option, a value given to an
// option that takes none, or an option without its value.
QString refusal(const QCommandLineParser &parser, const QStringList &args, const QStringList &flags)
{
    if (!parser.unknownOptionNames().isEmpty())
        return QStringLiteral("Неизвестный параметр: %1").arg(dashed(parser.unknownOptionNames().first()));
    for (const QString &arg : args) {
        const qsizetype eq = arg.indexOf(u'=');
        if (arg.startsWith(QStringLiteral("--")) && eq > 2 && flags.contains(arg.mid(2, eq - 2)))
            return QStringLiteral("Параметр %1 не принимает значения.").arg(arg.left(eq));
    }
    return QStringLiteral("Для параметра %1 не указано значение.").arg(args.isEmpty() ? QString() : args.last());
}

} // namespace

ServerOptionsResult parseServerOptions(const QStringList &args)
{
    ServerOptionsResult r;
    ServerOptions &o = r.options;
    auto fail = [&r](const QString &why) {
        r.ok = false;
        r.error = why;
        return r;
    };

    // Both "--port 1024" and "--port=1024"; values are checked below, so the value
    // names only matter to the parser.
    const QCommandLineOption corpus(QStringLiteral("corpus"), QString(), QStringLiteral("dir"));
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("n"));
    const QCommandLineOption listen(QStringLiteral("listen"), QString(), QStringLiteral("addr"));
    const QCommandLineOption dict(QStringLiteral("dict"), QString(), QStringLiteral("file"));
    const QCommandLineOption cache(QStringLiteral("cache"), QString(), QStringLiteral("dir"));
    const QCommandLineOption service(QStringLiteral("service"), QString(), QStringLiteral("name"));
    const QCommandLineOption idleExit(QStringLiteral("idle-exit"), QString(), QStringLiteral("s"));
    const QCommandLineOption updateDir(QStringLiteral("update-dir"), QString(), QStringLiteral("dir"));
    const QCommandLineOption maxConnections(QStringLiteral("max-connections"), QString(), QStringLiteral("n"));
    const QCommandLineOption vrtColumns(QStringLiteral("vrt-columns"), QString(), QStringLiteral("list"));
    const QCommandLineOption noLocal(QStringLiteral("no-local"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    QCommandLineParser parser;
    parser.addOptions({corpus, port, listen, dict, cache, service, idleExit, updateDir, maxConnections, vrtColumns, noLocal,
                       help});
    // "--" would end the options; the server takes no arguments after them either.
    if (args.contains(QStringLiteral("--")))
        return fail(QStringLiteral("Неизвестный параметр: --"));
    if (!parser.parse(QStringList{QStringLiteral("Corvus.exe")} + args))
        return fail(refusal(parser, args, {QStringLiteral("no-local"), QStringLiteral("help"), QStringLiteral("h")}));
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("Неизвестный параметр: %1").arg(parser.positionalArguments().first()));

    o.help = parser.isSet(help);
    o.localLink = !parser.isSet(noLocal);
    for (const QString &path : parser.values(corpus)) {
        if (path.isEmpty())
            return fail(QStringLiteral("Пустой путь в параметре --corpus."));
        o.corpusPaths.append(path);
    }
    if (parser.isSet(port)) {
        bool ok = false;
        const QString value = parser.value(port);
        const int n = value.toInt(&ok);
        if (!ok || n < 0 || n > 65535)
            return fail(QStringLiteral("Неверный номер порта: %1 (нужно число от 0 до 65535).").arg(value));
        o.port = n;
    }
    if (parser.isSet(listen)) {
        const QString value = parser.value(listen);
        QHostAddress a;
        if (!a.setAddress(value))
            return fail(QStringLiteral("Неверный адрес в параметре --listen: %1").arg(value));
        o.listenAddress = value;
    }
    if (parser.isSet(dict)) {
        if (parser.value(dict).isEmpty())
            return fail(QStringLiteral("Пустой путь в параметре --dict."));
        o.thesaurusPath = parser.value(dict);
        o.thesaurusGiven = true;
    }
    if (parser.isSet(cache)) {
        if (parser.value(cache).isEmpty())
            return fail(QStringLiteral("Пустой путь в параметре --cache."));
        o.cacheDir = parser.value(cache);
    }
    if (parser.isSet(service)) {
        const QString value = parser.value(service);
        if (value.isEmpty() || value.contains(u'/'))
            return fail(QStringLiteral("Неверное имя службы: %1").arg(value));
        o.service = value;
    }
    if (parser.isSet(idleExit)) {
        bool ok = false;
        const QString value = parser.value(idleExit);
        const int s = value.toInt(&ok);
        if (!ok || s < -1)
            return fail(QStringLiteral("Неверное число секунд в параметре --idle-exit: %1").arg(value));
        o.idleExitSeconds = s;
    }
    if (parser.isSet(maxConnections)) {
        bool ok = false;
        const QString value = parser.value(maxConnections);
        const int n = value.toInt(&ok);
        if (!ok || n < 1 || n > 100000)
            return fail(QStringLiteral("Неверное число соединений в параметре --max-connections: %1 "
                                       "(нужно число от 1 до 100000).").arg(value));
        o.maxConnections = n;
    }
    if (parser.isSet(updateDir)) {
        if (parser.value(updateDir).isEmpty())
            return fail(QStringLiteral("Пустой путь в параметре --update-dir."));
        o.updateDir = parser.value(updateDir);
    }
    if (parser.isSet(vrtColumns)) {
        QString why;
        if (!corvus::annotated::vrtLayoutOfColumns(parser.value(vrtColumns), &why))
            return fail(QStringLiteral("Неверный параметр --vrt-columns: %1.").arg(why));
        o.vrtColumns = parser.value(vrtColumns);
    }
    if (!o.localLink && o.port < 0 && !o.help)
        return fail(QStringLiteral("С параметром --no-local нужен --port: иначе серверу некого обслуживать."));
    if (!parser.isSet(idleExit))
        o.idleExitSeconds = o.port < 0 ? DefaultLocalIdleExitSeconds : -1;
    r.ok = true;
    return r;
}

QString serverUsage()
{
    return QStringLiteral(
        "Corvus.exe — корпусный сервер.\n"
        "\n"
        "Вызов: Corvus.exe [параметры]\n"
        "Без параметров сервер обслуживает корпус по умолчанию (fortunes-ru) только по\n"
        "локальной связи — так его запускает клиент.\n"
        "\n"
        "  --corpus ПАПКА     папка (или файл) корпуса; можно повторять. По умолчанию\n"
        "                     установленный корпус fortunes-ru.\n"
        "  --port N           обслуживать клиентов по TCP на порту N (0 — любой\n"
        "                     свободный порт; выбранный выводится в стандартный вывод).\n"
        "  --listen АДРЕС     адрес для TCP (по умолчанию 127.0.0.1; 0.0.0.0 — все).\n"
        "  --dict ФАЙЛ        файл тезауруса в формате mythes (.dat) для словаря\n"
        "                     «Тезаурус» и синонимов в словаре корпуса. По умолчанию\n"
        "                     установленный mythes/th_ru_RU_v2.dat; без него сервер\n"
        "                     работает с одним словарём.\n"
        "  --cache ПАПКА      папка кэша индекса корпуса.\n"
        "  --no-local         не открывать локальную связь (нужен --port).\n"
        "  --service ИМЯ      имя службы локальной связи (по умолчанию Corvus).\n"
        "  --idle-exit СЕК    при обслуживании только по локальной связи завершиться,\n"
        "                     если СЕК секунд нет ни одного клиента (по умолчанию 5;\n"
        "                     -1 — никогда). С --port по умолчанию -1.\n"
        "  --update-dir ПАПКА папка с новой версией клиента: файлы Lexar (клиент),\n"
        "                     LexarE (программа обновления) и VERSION (номер версии,\n"
        "                     например 1.4.13.0). Клиентам более старых версий,\n"
        "                     подключённым по TCP, предлагается обновление.\n"
        "  --max-connections N  обслуживать по TCP не больше N соединений сразу (по\n"
        "                     умолчанию 256); следующим сервер отвечает отказом.\n"
        "  --vrt-columns СПИСОК  столбцы файлов .vrt корпуса через запятую, например\n"
        "                     word,lemma,pos (word — словоформа, lemma — лемма, pos —\n"
        "                     часть речи, feats — грамматические признаки). Важнее\n"
        "                     файла vrt.conf в папке корпуса; без обоих — word,lemma,pos.\n"
        "  --help             эта справка.\n"
        "\n"
        "Леммы, части речи и грамматические признаки обычного текста — по словарю\n"
        "OpenCorpora (opencorpora.org, лицензия CC BY-SA) в сборке пакета az (MIT),\n"
        "из папки corvus/opencorpora; без него леммы даёт hunspell-ru.\n");
}

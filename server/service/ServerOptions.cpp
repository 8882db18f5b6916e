#include "service/ServerOptions.h"

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

// The options of Corvus.exe and the parser that reads them. Both "--port 1024" and
// "--port=1024"; values are checked by the readers below, so the value names only
// matter to the parser.
struct CommandLine {
    const QCommandLineOption corpus{QStringLiteral("corpus"), QString(), QStringLiteral("dir")};
    const QCommandLineOption port{QStringLiteral("port"), QString(), QStringLiteral("n")};
    const QCommandLineOption listen{QStringLiteral("listen"), QString(), QStringLiteral("addr")};
    const QCommandLineOption dict{QStringLiteral("dict"), QString(), QStringLiteral("file")};
    const QCommandLineOption cache{QStringLiteral("cache"), QString(), QStringLiteral("dir")};
    const QCommandLineOption service{QStringLiteral("service"), QString(), QStringLiteral("name")};
    const QCommandLineOption idleExit{QStringLiteral("idle-exit"), QString(), QStringLiteral("s")};
    const QCommandLineOption updateDir{QStringLiteral("update-dir"), QString(), QStringLiteral("dir")};
    const QCommandLineOption maxConnections{QStringLiteral("max-connections"), QString(), QStringLiteral("n")};
    const QCommandLineOption vrtColumns{QStringLiteral("vrt-columns"), QString(), QStringLiteral("list")};
    const QCommandLineOption noLocal{QStringLiteral("no-local")};
    const QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineParser parser;

    CommandLine()
    {
        parser.addOptions({corpus, port, listen, dict, cache, service, idleExit, updateDir, maxConnections,
                           vrtColumns, noLocal, help});
    }

    // Why `args` cannot be read as options, or an empty text.
    QString parse(const QStringList &args)
    {
        // "--" would end the options; the server takes no arguments after them either.
        if (args.contains(QStringLiteral("--")))
            return QStringLiteral("Неизвестный параметр: --");
        if (!parser.parse(QStringList{QStringLiteral("Corvus.exe")} + args))
            return refusal(parser, args, {QStringLiteral("no-local"), QStringLiteral("help"), QStringLiteral("h")});
        if (!parser.positionalArguments().isEmpty())
            return QStringLiteral("Неизвестный параметр: %1").arg(parser.positionalArguments().first());
        return {};
    }
};

// The readers of the options' values: each takes its option into `o` and returns
// why its value is refused, or an empty text.
using ValueReader = QString (*)(const CommandLine &cl, ServerOptions &o);

QString readCorpus(const CommandLine &cl, ServerOptions &o)
{
    for (const QString &path : cl.parser.values(cl.corpus)) {
        if (path.isEmpty())
            return QStringLiteral("Пустой путь в параметре --corpus.");
        o.corpusPaths.append(path);
    }
    return {};
}

QString readPort(const CommandLine &cl, ServerOptions &o)
{
    if (!cl.parser.isSet(cl.port))
        return {};
    bool ok = false;
    const QString value = cl.parser.value(cl.port);
    const int n = value.toInt(&ok);
    if (!ok || n < 0 || n > 65535)
        return QStringLiteral("Неверный номер порта: %1 (нужно число от 0 до 65535).").arg(value);
    o.port = n;
    return {};
}

QString readListen(const CommandLine &cl, ServerOptions &o)
{
    if (!cl.parser.isSet(cl.listen))
        return {};
    const QString value = cl.parser.value(cl.listen);
    QHostAddress a;
    if (!a.setAddress(value))
        return QStringLiteral("Неверный адрес в параметре --listen: %1").arg(value);
    o.listenAddress = value;
    return {};
}

QString readDict(const CommandLine &cl, ServerOptions &o)
{
    if (!cl.parser.isSet(cl.dict))
        return {};
    if (cl.parser.value(cl.dict).isEmpty())
        return QStringLiteral("Пустой путь в параметре --dict.");
    o.thesaurusPath = cl.parser.value(cl.dict);
    o.thesaurusGiven = true;
    return {};
}

QString readCache(const CommandLine &cl, ServerOptions &o)
{
    if (!cl.parser.isSet(cl.cache))
        return {};
    if (cl.parser.value(cl.cache).isEmpty())
        return QStringLiteral("Пустой путь в параметре --cache.");
    o.cacheDir = cl.parser.value(cl.cache);
    return {};
}

QString readService(const CommandLine &cl, ServerOptions &o)
{
    if (!cl.parser.isSet(cl.service))
        return {};
    const QString value = cl.parser.value(cl.service);
    if (value.isEmpty() || value.contains(u'/'))
        return QStringLiteral("Неверное имя службы: %1").arg(value);
    o.service = value;
    return {};
}

QString readIdleExit(const CommandLine &cl, ServerOptions &o)
{
    if (!cl.parser.isSet(cl.idleExit))
        return {};
    bool ok = false;
    const QString value = cl.parser.value(cl.idleExit);
    const int s = value.toInt(&ok);
    if (!ok || s < -1)
        return QStringLiteral("Неверное число секунд в параметре --idle-exit: %1").arg(value);
    o.idleExitSeconds = s;
    return {};
}

QString readMaxConnections(const CommandLine &cl, ServerOptions &o)
{
    if (!cl.parser.isSet(cl.maxConnections))
        return {};
    bool ok = false;
    const QString value = cl.parser.value(cl.maxConnections);
    const int n = value.toInt(&ok);
    if (!ok || n < 1 || n > 100000)
        return QStringLiteral("Неверное число соединений в параметре --max-connections: %1 "
                              "(нужно число от 1 до 100000).").arg(value);
    o.maxConnections = n;
    return {};
}

QString readUpdateDir(const CommandLine &cl, ServerOptions &o)
{
    if (!cl.parser.isSet(cl.updateDir))
        return {};
    if (cl.parser.value(cl.updateDir).isEmpty())
        return QStringLiteral("Пустой путь в параметре --update-dir.");
    o.updateDir = cl.parser.value(cl.updateDir);
    return {};
}

QString readVrtColumns(const CommandLine &cl, ServerOptions &o)
{
    if (!cl.parser.isSet(cl.vrtColumns))
        return {};
    QString why;
    if (!corvus::annotated::vrtLayoutOfColumns(cl.parser.value(cl.vrtColumns), &why))
        return QStringLiteral("Неверный параметр --vrt-columns: %1.").arg(why);
    o.vrtColumns = cl.parser.value(cl.vrtColumns);
    return {};
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

    CommandLine cl;
    if (const QString why = cl.parse(args); !why.isEmpty())
        return fail(why);
    o.help = cl.parser.isSet(cl.help);
    o.localLink = !cl.parser.isSet(cl.noLocal);
    // In this order: of several refused values, the first is reported.
    for (const ValueReader read : {readCorpus, readPort, readListen, readDict, readCache, readService, readIdleExit,
                                   readMaxConnections, readUpdateDir, readVrtColumns}) {
        if (const QString why = read(cl, o); !why.isEmpty())
            return fail(why);
    }
    if (!o.localLink && o.port < 0 && !o.help)
        return fail(QStringLiteral("С параметром --no-local нужен --port: иначе серверу некого обслуживать."));
    if (!cl.parser.isSet(cl.idleExit))
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

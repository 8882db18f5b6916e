#include "ServerOptions.h"

#include <QHostAddress>

namespace {

bool takesValue(const QString &name)
{
    static const QStringList withValue = {
        QStringLiteral("--corpus"), QStringLiteral("--port"),    QStringLiteral("--listen"),
        QStringLiteral("--dict"),   QStringLiteral("--cache"),   QStringLiteral("--service"),
        QStringLiteral("--idle-exit"), QStringLiteral("--update-dir"), QStringLiteral("--max-connections"),
    };
    return withValue.contains(name);
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
    bool idleGiven = false;

    for (int i = 0; i < args.size(); ++i) {
        QString name = args[i];
        QString value;
        bool hasValue = false;
        // Both "--port 1024" and "--port=1024".
        const qsizetype eq = name.indexOf(u'=');
        if (name.startsWith(QStringLiteral("--")) && eq > 2) {
            value = name.mid(eq + 1);
            name = name.left(eq);
            hasValue = true;
        }
        if (name == QStringLiteral("--help") || name == QStringLiteral("-h")) {
            o.help = true;
            continue;
        }
        if (name == QStringLiteral("--no-local")) {
            if (hasValue)
                return fail(QStringLiteral("Параметр --no-local не принимает значения."));
            o.localLink = false;
            continue;
        }
        if (!takesValue(name))
            return fail(QStringLiteral("Неизвестный параметр: %1").arg(args[i]));
        if (!hasValue) {
            if (i + 1 >= args.size())
                return fail(QStringLiteral("Для параметра %1 не указано значение.").arg(name));
            value = args[++i];
        }

        if (name == QStringLiteral("--corpus")) {
            if (value.isEmpty())
                return fail(QStringLiteral("Пустой путь в параметре --corpus."));
            o.corpusPaths.append(value);
        } else if (name == QStringLiteral("--port")) {
            bool ok = false;
            const int port = value.toInt(&ok);
            if (!ok || port < 0 || port > 65535)
                return fail(QStringLiteral("Неверный номер порта: %1 (нужно число от 0 до 65535).").arg(value));
            o.port = port;
        } else if (name == QStringLiteral("--listen")) {
            QHostAddress a;
            if (!a.setAddress(value))
                return fail(QStringLiteral("Неверный адрес в параметре --listen: %1").arg(value));
            o.listenAddress = value;
        } else if (name == QStringLiteral("--dict")) {
            if (value.isEmpty())
                return fail(QStringLiteral("Пустой путь в параметре --dict."));
            o.thesaurusPath = value;
            o.thesaurusGiven = true;
        } else if (name == QStringLiteral("--cache")) {
            if (value.isEmpty())
                return fail(QStringLiteral("Пустой путь в параметре --cache."));
            o.cacheDir = value;
        } else if (name == QStringLiteral("--service")) {
            if (value.isEmpty() || value.contains(u'/'))
                return fail(QStringLiteral("Неверное имя службы: %1").arg(value));
            o.service = value;
        } else if (name == QStringLiteral("--idle-exit")) {
            bool ok = false;
            const int s = value.toInt(&ok);
            if (!ok || s < -1)
                return fail(QStringLiteral("Неверное число секунд в параметре --idle-exit: %1").arg(value));
            o.idleExitSeconds = s;
            idleGiven = true;
        } else if (name == QStringLiteral("--max-connections")) {
            bool ok = false;
            const int n = value.toInt(&ok);
            if (!ok || n < 1 || n > 100000)
                return fail(QStringLiteral("Неверное число соединений в параметре --max-connections: %1 "
                                           "(нужно число от 1 до 100000).").arg(value));
            o.maxConnections = n;
        } else if (name == QStringLiteral("--update-dir")) {
            if (value.isEmpty())
                return fail(QStringLiteral("Пустой путь в параметре --update-dir."));
            o.updateDir = value;
        }
    }
    if (!o.localLink && o.port < 0 && !o.help)
        return fail(QStringLiteral("С параметром --no-local нужен --port: иначе серверу некого обслуживать."));
    if (!idleGiven)
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
        "  --help             эта справка.\n");
}

#include "commandline.h"

#include "error.h"

#include <QTextStream>

#include <cstring>

namespace tolva {

bool startedWith(int argc, char *argv[], std::initializer_list<const char *> options)
{
    for (int i = 1; i < argc; ++i)
        for (const char *option : options)
            if (std::strcmp(argv[i], option) == 0)
                return true;
    return false;
}

CommandLine::CommandLine(const QStringList &args, const QStringList &valued, const QStringList &flags,
                         const QString &usage)
{
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (flags.contains(arg)) {
            given_ << arg;
        } else if (valued.contains(arg)) {
            if (i + 1 >= args.size() || args[i + 1].startsWith(QLatin1String("--")))
                throw CommandFailure{QStringLiteral("%1 后面缺少参数。\n%2").arg(arg, usage)};
            given_ << arg;
            values_.insert(arg, args[++i]);
        } else {
            throw CommandFailure{QStringLiteral("不认识的参数 %1。\n%2").arg(arg, usage)};
        }
    }
}

QDate CommandLine::date(const QString &option) const
{
    const QString text = value(option);
    if (text.isEmpty())
        return QDate();
    const QDate d = QDate::fromString(text, Qt::ISODate);
    if (!d.isValid())
        throw CommandFailure{QStringLiteral("日期 %1 无效，请写作 yyyy-mm-dd。").arg(text)};
    return d;
}

int runCommand(QTextStream &err, const std::function<int()> &mode)
{
    try {
        return mode();
    } catch (const CommandFailure &f) {
        err << f.reason << Qt::endl;
    } catch (const Error &e) {
        err << e.text() << Qt::endl;
    }
    return 1;
}

} // namespace tolva

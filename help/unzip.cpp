#include "unzip.h"

#include "base/outputfile.h"
#include "base/zip.h"

#include <QFileInfo>

namespace tolva::help {

Outcome unpack(const QString &zipFile, const QString &folder)
{
    try {
        unpackZip(zipFile, folder, [](const QString &name) {
            QString file = name;
            while (file.endsWith(QLatin1Char('/')))
                file.chop(1);
            file = file.section(QLatin1Char('/'), -1);
            for (const QString &data : dataFileNames())
                if (file.compare(data, Qt::CaseInsensitive) == 0)
                    return QStringLiteral("是本程序数据文件的名字，下载的文件不能带有数据文件");
            return QString();
        });
        return Outcome::done();
    } catch (const Error &e) {
        return Outcome::refused(QStringLiteral("下载文件失败！") + QLatin1Char('\n') + e.text());
    }
}

} // namespace tolva::help

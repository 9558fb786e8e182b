#include "updaterules.h"

#include "signature.h"
#include "unzip.h"

#include "store/store.h"

#include <QFile>

namespace tolva::help {

Outcome unpackDownload(const QString &zipFile, const QString &folder, const QByteArray &publicKey)
{
    const QString signature = signatureOf(zipFile);
    const QString forged = checkSignature(zipFile, signature, publicKey);
    const Outcome unpacked = forged.isEmpty()
                                 ? unpack(zipFile, folder)
                                 : Outcome::refused(QStringLiteral("下载文件失败！") + QLatin1Char('\n') + forged);
    QFile::remove(zipFile);
    QFile::remove(signature);
    return unpacked;
}

void addProgramNameColumn(Store &store)
{
    if (!store.column(QStringLiteral("srf"), QStringLiteral("qhsoftnow")))
        store.exec(QStringLiteral("ALTER table srf add Column qhsoftnow char(100)"));
}

Outcome recordProgramName(Store &store, const QString &fileName)
{
    store.transaction([&] {
        // The start-up adds the column; a folder that never went through it gets it here.
        addProgramNameColumn(store);
        store.checkCapacity(QStringLiteral("srf"), QStringLiteral("qhsoftnow"), fileName.trimmed());
        store.exec(QStringLiteral("update srf set qhsoftnow=:g1"),
                   {{QStringLiteral("g1"), fileName.trimmed()}});
    });
    return Outcome::done();
}

} // namespace tolva::help

#include "signature.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <openssl/evp.h>

#include <memory>

namespace tolva::help {

namespace {

struct Free {
    void operator()(EVP_PKEY *key) const { EVP_PKEY_free(key); }
    void operator()(EVP_MD_CTX *context) const { EVP_MD_CTX_free(context); }
};

constexpr int KeySize = 32;
constexpr int SignatureSize = 64;

} // namespace

QByteArray makerKey()
{
    // The public half of the key the maker signs the download folder's archives with.
    static const unsigned char key[KeySize] = {
        0x49, 0x32, 0xec, 0x6f, 0x8b, 0x38, 0xd5, 0xad, 0x48, 0x42, 0x3b, 0xf4, 0x52, 0x94, 0xf8, 0x1e,
        0x5b, 0xd2, 0xbc, 0x25, 0x99, 0x8b, 0x25, 0xe5, 0x91, 0x94, 0xb7, 0x8e, 0x1c, 0x8a, 0xd8, 0xab,
    };
    return QByteArray(reinterpret_cast<const char *>(key), KeySize);
}

QString checkSignature(const QString &file, const QString &signatureFile, const QByteArray &publicKey)
{
    const QString name = QFileInfo(file).fileName();
    QFile signature(signatureFile);
    if (!signature.open(QIODevice::ReadOnly))
        return QStringLiteral("%1 没有签名（%2），无法确认它是青禾发布的，已拒绝。")
            .arg(name, QFileInfo(signatureFile).fileName());
    const QByteArray given = signature.read(SignatureSize + 1);
    QFile data(file);
    if (!data.open(QIODevice::ReadOnly))
        return QStringLiteral("无法读取 %1：%2").arg(QDir::toNativeSeparators(file), data.errorString());
    // Ed25519 signs the message whole; the archives are a few megabytes.
    const QByteArray message = data.readAll();
    if (message.size() != data.size())
        return QStringLiteral("无法读取 %1：%2").arg(QDir::toNativeSeparators(file), data.errorString());

    bool valid = false;
    if (given.size() == SignatureSize && publicKey.size() == KeySize) {
        std::unique_ptr<EVP_PKEY, Free> key(EVP_PKEY_new_raw_public_key(
            EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char *>(publicKey.constData()), KeySize));
        std::unique_ptr<EVP_MD_CTX, Free> context(EVP_MD_CTX_new());
        valid = key && context && EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1 &&
                EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char *>(given.constData()),
                                 SignatureSize, reinterpret_cast<const unsigned char *>(message.constData()),
                                 size_t(message.size())) == 1;
    }
    if (!valid)
        return QStringLiteral("%1 的签名不对：它不是青禾发布的文件，或在路上被改动过，已拒绝。").arg(name);
    return QString();
}

} // namespace tolva::help

#pragma once

#include <QByteArray>
#include <QString>

namespace tolva::help {

// The maker's public key, an Ed25519 key of 32 bytes, compiled into the program: a downloaded
// archive is unpacked only when its signature verifies under it.
QByteArray makerKey();

// The signature the download folder publishes beside an archive: "NAME.sig", the 64 bytes of an
// Ed25519 signature over the archive's bytes, as `openssl pkeyutl -sign -rawin` writes it.
inline QString signatureOf(const QString &file) { return file + QStringLiteral(".sig"); }

// Checks that `signatureFile` holds the signature of `file` under `publicKey`: an empty text when
// it does, otherwise why not, for the person's eyes.
QString checkSignature(const QString &file, const QString &signatureFile, const QByteArray &publicKey);

} // namespace tolva::help

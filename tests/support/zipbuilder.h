#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtEndian>

namespace tolva {

// Writes ZIP files byte by byte, for archives no well-behaved tool makes: entries whose stated size
// is not their real one (up to the ZIP64 sizes of a "bomb"), links, any name at all. Entries are
// stored (not compressed) and not encrypted.
class ZipBuilder {
public:
    struct Entry {
        QString name;
        QByteArray data;
        quint32 mode = 0100644; // the Unix mode (file type and permissions); 0 stores none
        qint64 statedSize = -1; // the unpacked size the archive claims; -1: the real one
    };

    ZipBuilder &add(const Entry &entry)
    {
        entries_.append(entry);
        return *this;
    }
    ZipBuilder &add(const QString &name, const QByteArray &data, quint32 mode = 0100644)
    {
        return add(Entry{name, data, mode, -1});
    }

    QByteArray bytes() const
    {
        QByteArray out, directory;
        for (const Entry &e : entries_) {
            const QByteArray name = e.name.toUtf8();
            const quint64 size = e.statedSize < 0 ? quint64(e.data.size()) : quint64(e.statedSize);
            const bool big = size >= 0xffffffffu;
            const quint32 crc = crc32(e.data);
            QByteArray extra;
            if (big) {
                put16(extra, 0x0001);
                put16(extra, 16);
                put64(extra, size);
                put64(extra, quint64(e.data.size()));
            }
            const quint32 offset = quint32(out.size());
            // Local header.
            put32(out, 0x04034b50);
            put16(out, big ? 45 : 20);
            put16(out, 0x0800); // names in UTF-8
            put16(out, 0);      // stored
            put16(out, 0);
            put16(out, 0x21);
            put32(out, crc);
            put32(out, big ? 0xffffffffu : quint32(e.data.size()));
            put32(out, big ? 0xffffffffu : quint32(size));
            put16(out, quint16(name.size()));
            put16(out, quint16(extra.size()));
            out += name + extra + e.data;
            // Central directory entry.
            put32(directory, 0x02014b50);
            put16(directory, (e.mode ? 3 << 8 : 0) | 45);
            put16(directory, big ? 45 : 20);
            put16(directory, 0x0800);
            put16(directory, 0);
            put16(directory, 0);
            put16(directory, 0x21);
            put32(directory, crc);
            put32(directory, big ? 0xffffffffu : quint32(e.data.size()));
            put32(directory, big ? 0xffffffffu : quint32(size));
            put16(directory, quint16(name.size()));
            put16(directory, quint16(extra.size()));
            put16(directory, 0);
            put16(directory, 0);
            put16(directory, 0);
            put32(directory, e.mode << 16);
            put32(directory, offset);
            directory += name + extra;
        }
        const quint32 at = quint32(out.size());
        out += directory;
        put32(out, 0x06054b50);
        put16(out, 0);
        put16(out, 0);
        put16(out, quint16(entries_.size()));
        put16(out, quint16(entries_.size()));
        put32(out, quint32(directory.size()));
        put32(out, at);
        put16(out, 0);
        return out;
    }

    static quint32 crc32(const QByteArray &data)
    {
        quint32 crc = 0xffffffffu;
        for (const char c : data) {
            crc ^= quint8(c);
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
        return ~crc;
    }

private:
    static void put16(QByteArray &b, quint16 v)
    {
        char x[2];
        qToLittleEndian(v, x);
        b.append(x, 2);
    }
    static void put32(QByteArray &b, quint32 v)
    {
        char x[4];
        qToLittleEndian(v, x);
        b.append(x, 4);
    }
    static void put64(QByteArray &b, quint64 v)
    {
        char x[8];
        qToLittleEndian(v, x);
        b.append(x, 8);
    }

    QList<Entry> entries_;
};

} // namespace tolva

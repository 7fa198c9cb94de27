#pragma once
// Little-endian fields of the file formats the program reads and writes
// (BMP headers, WAV chunks): one place for the byte order.
#include <QByteArray>
#include <QtEndian>

inline quint16 readLe16(const void* at) noexcept
{
    return qFromLittleEndian<quint16>(at);
}
inline quint32 readLe32(const void* at) noexcept
{
    return qFromLittleEndian<quint32>(at);
}

// Overwrites the field at `offset`, which must lie within `bytes`.
inline void putLe16(QByteArray& bytes, qsizetype offset, quint16 v)
{
    Q_ASSERT(offset >= 0 && offset + 2 <= bytes.size());
    qToLittleEndian(v, bytes.data() + offset);
}
inline void putLe32(QByteArray& bytes, qsizetype offset, quint32 v)
{
    Q_ASSERT(offset >= 0 && offset + 4 <= bytes.size());
    qToLittleEndian(v, bytes.data() + offset);
}

inline void appendLe16(QByteArray& bytes, quint16 v)
{
    char field[2];
    qToLittleEndian(v, field);
    bytes.append(field, 2);
}
inline void appendLe32(QByteArray& bytes, quint32 v)
{
    char field[4];
    qToLittleEndian(v, field);
    bytes.append(field, 4);
}

// The field alone, for building test data and headers by concatenation.
inline QByteArray le16Bytes(quint16 v)
{
    QByteArray field;
    appendLe16(field, v);
    return field;
}
inline QByteArray le32Bytes(quint32 v)
{
    QByteArray field;
    appendLe32(field, v);
    return field;
}

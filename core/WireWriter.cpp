#include "core/WireWriter.h"

#include <QtEndian>

void WireWriter::putU32(quint32 v)
{
    char field[4];
    qToLittleEndian(v, field);
    m_bytes.append(field, 4);
}

void WireWriter::putI64(qint64 v)
{
    char field[8];
    qToLittleEndian(v, field);
    m_bytes.append(field, 8);
}

void WireWriter::putBytes(QByteArrayView bytes)
{
    putU32(quint32(bytes.size()));
    m_bytes.append(bytes);
}

void WireWriter::putSize(QSize size)
{
    putI32(size.width());
    putI32(size.height());
}

void WireWriter::putRect(const QRect& rect)
{
    putI32(rect.x());
    putI32(rect.y());
    putI32(rect.width());
    putI32(rect.height());
}

#include "core/WireReader.h"

#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>

const char* WireReader::take(qsizetype n)
{
    if (m_failed || n < 0 || n > m_bytes.size() - m_at) {
        m_failed = true;
        return nullptr;
    }
    const char* at = m_bytes.data() + m_at;
    m_at += n;
    return at;
}

quint8 WireReader::u8()
{
    const char* at = take(1);
    return at ? quint8(*at) : 0;
}

quint32 WireReader::u32()
{
    const char* at = take(4);
    return at ? qFromLittleEndian<quint32>(at) : 0;
}

qint64 WireReader::i64()
{
    const char* at = take(8);
    return at ? qFromLittleEndian<qint64>(at) : 0;
}

QByteArray WireReader::bytes()
{
    const quint32 n = u32();
    const char* at = take(qsizetype(n));
    return at ? QByteArray(at, qsizetype(n)) : QByteArray();
}

QString WireReader::text()
{
    const QByteArray utf8 = bytes();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(utf8);
    if (decoder.hasError()) {
        m_failed = true;
        return QString();
    }
    return text;
}

QSize WireReader::size()
{
    const qint32 w = i32();
    return QSize(w, i32());
}

QRect WireReader::rect()
{
    const qint32 x = i32();
    const qint32 y = i32();
    const qint32 w = i32();
    return QRect(x, y, w, i32());
}

qsizetype WireReader::count(qsizetype minimumBytes)
{
    const quint32 n = u32();
    if (m_failed || qint64(n) * std::max<qsizetype>(minimumBytes, 1) > m_bytes.size() - m_at) {
        m_failed = true;
        return 0;
    }
    return qsizetype(n);
}

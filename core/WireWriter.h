#pragma once
// Writes the fields of a message between the viewer and a loader: fixed-size
// integers in little-endian order, byte strings and texts after their
// length. WireReader reads them back.
#include <QByteArray>
#include <QRect>
#include <QSize>
#include <QString>

class WireWriter {
public:
    void putU8(quint8 v) { m_bytes.append(char(v)); }
    void putU32(quint32 v);
    void putI32(qint32 v) { putU32(quint32(v)); }
    void putI64(qint64 v);
    void putBytes(QByteArrayView bytes);
    void putText(const QString& text) { putBytes(text.toUtf8()); }
    void putSize(QSize size);
    void putRect(const QRect& rect);

    const QByteArray& bytes() const noexcept { return m_bytes; }

private:
    QByteArray m_bytes;
};

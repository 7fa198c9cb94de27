#pragma once
// Reads what WireWriter wrote, from bytes nobody vouches for: a field that
// runs past the end, or a count larger than the bytes left could hold,
// marks the whole read failed, and every later field reads as zero.
#include <QByteArray>
#include <QRect>
#include <QSize>
#include <QString>

class WireReader {
public:
    explicit WireReader(QByteArrayView bytes) : m_bytes(bytes) {}

    quint8 u8();
    quint32 u32();
    qint32 i32() { return qint32(u32()); }
    qint64 i64();
    QByteArray bytes();
    // UTF-8; invalid sequences fail the read.
    QString text();
    QSize size();
    QRect rect();
    // A count of elements that take at least `minimumBytes` each.
    qsizetype count(qsizetype minimumBytes);

    // Every field so far was there and well formed.
    bool ok() const noexcept { return !m_failed; }
    // Read whole: no field failed and nothing is left over.
    bool complete() const noexcept { return !m_failed && m_at == m_bytes.size(); }

private:
    const char* take(qsizetype n);

    QByteArrayView m_bytes;
    qsizetype m_at = 0;
    bool m_failed = false;
};

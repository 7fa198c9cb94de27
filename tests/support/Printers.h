#pragma once
// Readable Qt values in assertion failures: text as text, bytes with the
// unprintable ones escaped. Found by argument-dependent lookup.
#include <QByteArray>
#include <QString>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << '"';
    for (const char c : bytes)
        *os << (c >= 0x20 && c < 0x7f ? QByteArray(1, c)
                                      : "\\x" + QByteArray::number(uchar(c), 16).rightJustified(2, '0').toUpper())
                   .constData();
    *os << '"';
}

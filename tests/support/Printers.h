#pragma once
// Readable Qt values in assertion failures: text as text, bytes with the
// unprintable ones escaped. Found by argument-dependent lookup.
#include <QByteArray>
#include <QString>
#include <cstdio>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << '"';
    for (const char c : bytes) {
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", unsigned(static_cast<unsigned char>(c)));
        *os << (c >= 0x20 && c < 0x7f ? std::string(1, c) : std::string(escaped));
    }
    *os << '"';
}

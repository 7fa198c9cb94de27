#pragma once
// Shared pieces of the fuzz targets.
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

inline QByteArray fuzzBytes(const std::uint8_t* data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// Writes the input to this process's scratch file (readers that take a path)
// and returns that path; the extension picks the reader where it matters.
QString fuzzScratchFile(const QByteArray& bytes, const QString& extension);

// Full decodes of huge-but-allowed pictures are correct but slow; the fuzzer
// learns nothing new from zero-filling a gigabyte.
constexpr long long FuzzMaxDecodePixels = 1024LL * 1024LL;

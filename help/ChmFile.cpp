#include "help/ChmFile.h"

#include "core/Errors.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <chm_lib.h>

#include <QHash>
#include <QtEndian>

#include <cstring>
#include <utility>
#include <vector>

namespace {

// The #SYSTEM record codes that matter here.
enum SystemCode : quint16 { kContents = 0, kIndex = 1, kDefaultTopic = 2, kTitle = 3 };

int collectObject(chmFile*, chmUnitInfo* ui, void* context)
{
    auto* list = static_cast<QStringList*>(context);
    const QString path = QString::fromUtf8(ui->path);
    if (!path.endsWith(QLatin1Char('/')))
        list->append(path);
    return CHM_ENUMERATOR_CONTINUE;
}

// chmlib trusts the archive's structure: a zero window size divides by
// zero, a directory chunk pointing at itself loops for ever, entries that
// run past their chunk are read anyway. So the structure is checked here
// first, and a file that fails is no help file.
constexpr qint64 MaxArchiveBytes = qint64(256) << 20;
constexpr quint32 MaxChunkBytes = 65536; // chmlib keeps a chunk on the stack
constexpr int MaxPath = CHM_MAX_PATHLEN;
// No page, picture or sitemap of a help file comes near this.
constexpr quint64 MaxObjectBytes = quint64(64) << 20;

struct Entry {
    quint64 space = 0;
    quint64 start = 0;
    quint64 length = 0;
};

class ArchiveCheck {
public:
    explicit ArchiveCheck(const QByteArray& bytes)
        : m_p(reinterpret_cast<const quint8*>(bytes.constData())), m_size(quint64(bytes.size()))
    {
    }

    bool wellFormed()
    {
        if (m_size < 0x60 || std::memcmp(m_p, "ITSF", 4) != 0)
            return false;
        const quint32 version = u32(4);
        const quint32 headerLen = u32(8);
        if ((version != 2 && version != 3) || headerLen < (version == 3 ? 0x60u : 0x58u))
            return false;
        const quint64 dirOffset = u64(0x48);
        const quint64 dirLen = u64(0x50);
        if (!has(dirOffset, 0x54) || std::memcmp(m_p + dirOffset, "ITSP", 4) != 0)
            return false;
        const quint64 dataOffset = version == 3 ? u64(0x58) : dirOffset + dirLen;
        if (dataOffset > m_size)
            return false;
        const quint64 itsp = dirOffset;
        if (u32(itsp + 4) != 1 || u32(itsp + 8) != 0x54)
            return false;
        m_chunk = u32(itsp + 0x10);
        const qint32 root = qint32(u32(itsp + 0x1c));
        const qint32 head = qint32(u32(itsp + 0x20));
        if (m_chunk < 0x20 || m_chunk > MaxChunkBytes)
            return false;
        m_first = dirOffset + 0x54;
        m_chunks = (m_size - m_first) / m_chunk;
        if (head < 0 || quint64(head) >= m_chunks || root < -1 || (root >= 0 && quint64(root) >= m_chunks))
            return false;

        // Leaves, walked in the order chm_enumerate walks them.
        std::vector<char> seen(m_chunks, 0);
        for (qint64 page = head; page != -1;) {
            if (page < 0 || quint64(page) >= m_chunks || seen[page])
                return false;
            seen[page] = 1;
            if (!leaf(quint64(page), &page))
                return false;
        }
        // The index tree under the root: every child in range, no cycles.
        if (root >= 0 && !indexTree(root, std::vector<char>(m_chunks, 0), 0))
            return false;
        return compression(dataOffset);
    }

private:
    bool has(quint64 off, quint64 len) const { return off <= m_size && len <= m_size - off; }
    quint32 u32(quint64 off) const { return qFromLittleEndian<quint32>(m_p + off); }
    quint64 u64(quint64 off) const { return qFromLittleEndian<quint64>(m_p + off); }
    quint64 chunkAt(quint64 page) const { return m_first + page * m_chunk; }

    // An encoded integer of chmlib's directory, inside [pos, end).
    bool cword(quint64& pos, quint64 end, quint64& value) const
    {
        value = 0;
        for (int n = 0; pos < end; ++n) {
            const quint8 b = m_p[pos++];
            if (n >= 9)
                return false;
            value = (value << 7) | (b & 0x7f);
            if (b < 0x80)
                return true;
        }
        return false;
    }
    bool name(quint64& pos, quint64 end, QByteArray* out) const
    {
        quint64 len = 0;
        if (!cword(pos, end, len) || len > quint64(MaxPath) || len > end - pos)
            return false;
        if (out)
            *out = QByteArray(reinterpret_cast<const char*>(m_p + pos), qsizetype(len));
        pos += len;
        return true;
    }

    bool leaf(quint64 page, qint64* next)
    {
        const quint64 at = chunkAt(page);
        if (std::memcmp(m_p + at, "PMGL", 4) != 0)
            return false;
        const quint32 freeSpace = u32(at + 4);
        if (freeSpace > m_chunk - 0x14)
            return false;
        const qint32 following = qint32(u32(at + 0x10));
        *next = following;
        const quint64 end = at + m_chunk - freeSpace;
        for (quint64 pos = at + 0x14; pos < end;) {
            QByteArray path;
            Entry e;
            if (!name(pos, end, &path) || !cword(pos, end, e.space) || !cword(pos, end, e.start) ||
                !cword(pos, end, e.length))
                return false;
            m_entries.insert(path.toLower(), e);
        }
        return true;
    }

    bool indexTree(qint64 page, std::vector<char> path, int depth) const
    {
        if (page < 0 || quint64(page) >= m_chunks || path[page] || depth > 32)
            return false;
        const quint64 at = chunkAt(quint64(page));
        if (std::memcmp(m_p + at, "PMGL", 4) == 0)
            return true; // leaves were checked on the walk above
        if (std::memcmp(m_p + at, "PMGI", 4) != 0)
            return false;
        path[page] = 1;
        const quint32 freeSpace = u32(at + 4);
        if (freeSpace > m_chunk - 8)
            return false;
        const quint64 end = at + m_chunk - freeSpace;
        for (quint64 pos = at + 8; pos < end;) {
            quint64 child = 0;
            if (!name(pos, end, nullptr) || !cword(pos, end, child) || child >= m_chunks ||
                !indexTree(qint64(child), path, depth + 1))
                return false;
        }
        return true;
    }

    const Entry* entry(const char* path) const
    {
        const auto it = m_entries.constFind(QByteArray(path).toLower());
        return it == m_entries.cend() ? nullptr : &it.value();
    }

    // The LZX section's control data and reset table, as chm_open reads them.
    bool compression(quint64 dataOffset) const
    {
        const Entry* control = entry("::DataSpace/Storage/MSCompressed/ControlData");
        const Entry* reset = entry("::DataSpace/Storage/MSCompressed/Transform/"
                                   "{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable");
        const Entry* content = entry("::DataSpace/Storage/MSCompressed/Content");
        if (!control && !reset && !content)
            return true; // nothing compressed; chm_open refuses such a file itself
        if (!control || !reset || !content || control->space != 0 || reset->space != 0 || content->space != 0)
            return false;
        for (const Entry* e : {control, reset, content})
            if (e->start > m_size || !has(dataOffset + e->start, e->length))
                return false;

        const quint64 c = dataOffset + control->start;
        if (control->length < 0x18 || control->length > 256 || std::memcmp(m_p + c + 4, "LZXC", 4) != 0)
            return false;
        const quint32 version = u32(c + 8);
        quint64 resetInterval = u32(c + 0xc);
        quint64 windowSize = u32(c + 0x10);
        const quint64 windowsPerReset = u32(c + 0x14);
        if (version == 2) {
            resetInterval *= 0x8000;
            windowSize *= 0x8000;
        }
        // LZX windows are 2^15 .. 2^21 bytes; the reset interval is a whole
        // number of half windows.
        if (windowSize < (1u << 15) || windowSize > (1u << 21) || (windowSize & (windowSize - 1)) != 0)
            return false;
        if (resetInterval == 0 || resetInterval > 0xffffffffu || resetInterval % (windowSize / 2) != 0)
            return false;
        if (windowsPerReset == 0 || windowsPerReset > 0xffff)
            return false;

        const quint64 r = dataOffset + reset->start;
        if (reset->length < 0x28 || u32(r) != 2)
            return false;
        const quint64 blockCount = u32(r + 4);
        const quint64 tableOffset = u32(r + 12);
        const quint64 uncompressed = u64(r + 16);
        const quint64 compressed = u64(r + 24);
        const quint64 blockLen = u64(r + 32);
        if (blockLen == 0 || blockLen > windowSize || blockCount == 0 || tableOffset > reset->length ||
            blockCount > (reset->length - tableOffset) / 8)
            return false;
        if (compressed > content->length || uncompressed > quint64(MaxArchiveBytes) * 16 ||
            uncompressed > blockCount * blockLen)
            return false;
        // Every block starts inside the compressed data, in order, and fits
        // the buffer chmlib decompresses it from (block length + 6144).
        quint64 previous = 0;
        for (quint64 i = 0; i <= blockCount; ++i) {
            const quint64 at = i < blockCount ? u64(r + tableOffset + 8 * i) : compressed;
            if (at < previous || at > compressed || (i > 0 && at - previous > blockLen + 6144))
                return false;
            previous = at;
        }
        return true;
    }

    const quint8* m_p;
    quint64 m_size;
    quint32 m_chunk = 0;
    quint64 m_first = 0;
    quint64 m_chunks = 0;
    QHash<QByteArray, Entry> m_entries;
};

QString withRoot(const QString& path)
{
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')))
        return path;
    return QLatin1Char('/') + path;
}

} // namespace

ChmFile::ChmFile(const QString& path) : m_path(path)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw AppError(msg::cannotOpen(path, QStringLiteral("File not found")));
    if (!info.isReadable())
        throw AppError(msg::cannotOpen(path, QStringLiteral("File access denied")));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(msg::cannotOpen(path, QStringLiteral("File access denied")));
    const QByteArray bytes = file.size() <= MaxArchiveBytes ? file.readAll() : QByteArray();
    file.close();
    if (!ArchiveCheck(bytes).wellFormed())
        throw AppError(msg::cannotOpen(path, QStringLiteral("Not a compiled HTML help file")));
    m_handle = chm_open(QFile::encodeName(path).constData());
    if (!m_handle)
        throw AppError(msg::cannotOpen(path, QStringLiteral("Not a compiled HTML help file")));
    readSystem();
}

ChmFile::~ChmFile()
{
    if (m_handle)
        chm_close(m_handle);
}

ChmFile::ChmFile(ChmFile&& other) noexcept
{
    *this = std::move(other);
}

ChmFile& ChmFile::operator=(ChmFile&& other) noexcept
{
    if (this != &other) {
        if (m_handle)
            chm_close(m_handle);
        m_handle = std::exchange(other.m_handle, nullptr);
        m_path = std::move(other.m_path);
        m_contents = std::move(other.m_contents);
        m_index = std::move(other.m_index);
        m_defaultTopic = std::move(other.m_defaultTopic);
        m_title = std::move(other.m_title);
    }
    return *this;
}

QStringList ChmFile::objects() const
{
    QStringList list;
    if (m_handle)
        chm_enumerate(m_handle, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES, collectObject, &list);
    return list;
}

std::optional<QByteArray> ChmFile::read(const QString& path) const
{
    if (!m_handle)
        return std::nullopt;
    // "#SYSTEM" and friends are special objects whose names hold a "#".
    const QString objectPath = path.startsWith(QLatin1String("/#")) ? path : normalizePath(path);
    chmUnitInfo ui;
    if (chm_resolve_object(m_handle, objectPath.toUtf8().constData(), &ui) != CHM_RESOLVE_SUCCESS)
        return std::nullopt;
    // Grown piece by piece: a damaged entry may claim gigabytes it does
    // not have, and must not get them allocated up front.
    constexpr quint64 Piece = 1 << 16;
    QByteArray data;
    for (quint64 offset = 0; offset < ui.length;) {
        const quint64 want = std::min(Piece, ui.length - offset);
        if (offset + want > MaxObjectBytes)
            return std::nullopt;
        data.resize(static_cast<qsizetype>(offset + want));
        const LONGINT64 got =
            chm_retrieve_object(m_handle, &ui, reinterpret_cast<unsigned char*>(data.data() + offset),
                                static_cast<LONGUINT64>(offset), static_cast<LONGINT64>(want));
        if (got != static_cast<LONGINT64>(want))
            return std::nullopt;
        offset += want;
    }
    return data;
}

bool ChmFile::contains(const QString& path) const
{
    if (!m_handle)
        return false;
    chmUnitInfo ui;
    return chm_resolve_object(m_handle, normalizePath(path).toUtf8().constData(), &ui) == CHM_RESOLVE_SUCCESS;
}

void ChmFile::readSystem()
{
    // Layout: a 4-byte version, then records of code, length (both 16-bit
    // little endian) and that many bytes of data.
    const std::optional<QByteArray> sys = read(QStringLiteral("/#SYSTEM"));
    if (sys) {
        const QByteArray& d = *sys;
        qsizetype pos = 4;
        while (pos + 4 <= d.size()) {
            const quint16 code = static_cast<quint8>(d[pos]) | static_cast<quint8>(d[pos + 1]) << 8;
            const quint16 len = static_cast<quint8>(d[pos + 2]) | static_cast<quint8>(d[pos + 3]) << 8;
            pos += 4;
            if (pos + len > d.size())
                break; // a damaged record: keep what was read
            const QByteArray field = d.mid(pos, len);
            const QString text =
                QString::fromUtf8(field.left(field.indexOf('\0') < 0 ? field.size() : field.indexOf('\0')));
            switch (code) {
            case kContents:
                m_contents = withRoot(text);
                break;
            case kIndex:
                m_index = withRoot(text);
                break;
            case kDefaultTopic:
                m_defaultTopic = withRoot(text);
                break;
            case kTitle:
                m_title = text;
                break;
            default:
                break;
            }
            pos += len;
        }
    }
    if (m_contents.isEmpty() || m_index.isEmpty()) {
        for (const QString& object : objects()) {
            if (m_contents.isEmpty() && object.endsWith(QLatin1String(".hhc"), Qt::CaseInsensitive))
                m_contents = object;
            if (m_index.isEmpty() && object.endsWith(QLatin1String(".hhk"), Qt::CaseInsensitive))
                m_index = object;
        }
    }
}

QString ChmFile::normalizePath(const QString& path)
{
    QString p = path;
    const qsizetype cut = p.indexOf(QRegularExpression(QStringLiteral("[#?]")));
    if (cut >= 0)
        p.truncate(cut);
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QStringList out;
    for (const QString& part : p.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (!out.isEmpty())
                out.removeLast();
            continue;
        }
        out.append(part);
    }
    return QLatin1Char('/') + out.join(QLatin1Char('/'));
}

QString ChmFile::resolveLink(const QString& basePath, const QString& link)
{
    QString target = link.trimmed();
    // "ms-its:Help.CHM::/pages/a.htm" and "mk:@MSITStore:...::/..." name a
    // page of a help file; "::/" starts the path inside it.
    const qsizetype inside = target.indexOf(QLatin1String("::"));
    if (inside >= 0)
        target = QLatin1Char('/') + target.mid(inside + 2);

    const qsizetype hash = target.indexOf(QLatin1Char('#'));
    const QString anchor = hash < 0 ? QString() : target.mid(hash);
    const QString page = hash < 0 ? target : target.left(hash);
    if (page.isEmpty())
        return normalizePath(basePath) + anchor; // "#part" stays on the page

    QString joined;
    if (page.startsWith(QLatin1Char('/')) || page.startsWith(QLatin1Char('\\'))) {
        joined = page;
    } else {
        const QString base = normalizePath(basePath);
        joined = base.left(base.lastIndexOf(QLatin1Char('/')) + 1) + page;
    }
    return normalizePath(joined) + anchor;
}

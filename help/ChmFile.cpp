#include "help/ChmFile.h"

#include "graphics/Errors.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <chm_lib.h>

#include <cstring>
#include <utility>

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
    QByteArray data;
    data.resize(static_cast<qsizetype>(ui.length));
    if (ui.length == 0)
        return data;
    const LONGINT64 got = chm_retrieve_object(m_handle, &ui, reinterpret_cast<unsigned char*>(data.data()), 0,
                                              static_cast<LONGINT64>(ui.length));
    if (got != static_cast<LONGINT64>(ui.length))
        return std::nullopt;
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

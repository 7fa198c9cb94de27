#include "help/HelpRules.h"

#include <QRegularExpression>

#include <algorithm>

namespace help {

bool isHtmlHelpFile(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    return fileName.mid(dot).compare(QLatin1String(".chm"), Qt::CaseInsensitive) == 0;
}

static bool hasFolderPart(const QString& path)
{
    return path.contains(QLatin1Char('/')) || path.contains(QLatin1Char('\\')) ||
           path.contains(QLatin1Char(':'));
}

QString resolveHelpFile(const QString& helpFile, const QString& programDir)
{
    QString file = helpFile;
    if (!file.isEmpty() && !hasFolderPart(file)) {
        QString dir = programDir;
        if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/')))
            dir += QLatin1Char('/');
        file = dir + file;
    }
    return file;
}

QString localHelpPath(const QString& helpFile, const QString& dataDir)
{
    static const QRegularExpression drivePath(QStringLiteral("^[A-Za-z]:[\\\\/]"));
    if (!drivePath.match(helpFile).hasMatch())
        return helpFile;
    QString name = helpFile;
    const qsizetype sep = std::max(name.lastIndexOf(QLatin1Char('\\')), name.lastIndexOf(QLatin1Char('/')));
    name = name.mid(sep + 1);
    QString dir = dataDir;
    if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir + QStringLiteral("help/") + name;
}

} // namespace help

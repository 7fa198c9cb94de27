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

QString topicWithExtension(const QString& topic, const QString& defaultExtension)
{
    // The anchor is not part of the file name, so the extension is looked
    // for before it and added before it.
    const qsizetype hash = topic.indexOf(QLatin1Char('#'));
    const QString page = hash < 0 ? topic : topic.left(hash);
    const QString anchor = hash < 0 ? QString() : topic.mid(hash);
    const qsizetype dot = page.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? QString() : page.mid(dot).toLower();
    if (ext == QLatin1String(".htm") || ext == QLatin1String(".html"))
        return topic;
    return page + defaultExtension + anchor;
}

static bool hasFolderPart(const QString& path)
{
    return path.contains(QLatin1Char('/')) || path.contains(QLatin1Char('\\')) ||
           path.contains(QLatin1Char(':'));
}

QString resolveHelpFile(const QString& managerFile, const QString& applicationFile, const QString& programDir)
{
    QString file = managerFile.isEmpty() ? applicationFile : managerFile;
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

QString keywordFromHelpString(const QString& helpString)
{
    const qsizetype colon = helpString.indexOf(QLatin1Char(':'));
    return helpString.mid(colon + 1).trimmed();
}

QString helpStringFor(const QString& viewerName, const QString& keyword)
{
    return QStringLiteral("%1: %2").arg(viewerName, keyword);
}

int selectTableOfContents(const QStringList& entries, const QString& viewerName)
{
    return static_cast<int>(entries.indexOf(viewerName));
}

int selectKeyword(const QStringList& entries, const QString& viewerName)
{
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QString& entry = entries[i];
        const qsizetype colon = entry.indexOf(QLatin1Char(':'));
        if ((colon < 0 ? entry : entry.left(colon)) == viewerName)
            return static_cast<int>(i);
    }
    return 0;
}

HelpCall tableOfContentsCall(const QString& helpFile)
{
    return {HH_DISPLAY_TOC, 0, helpFile, true};
}

HelpCall keywordCall(const QString& helpFile, const QString& helpString)
{
    return {HH_DISPLAY_INDEX, keywordFromHelpString(helpString), helpFile, true};
}

HelpCall topicCall(const QString& helpFile, const QString& topic, const QString& defaultExtension)
{
    return {HH_DISPLAY_TOPIC, 0,
            helpFile + QStringLiteral("::/") + topicWithExtension(topic, defaultExtension), true};
}

HelpCall contextCall(const QString& helpFile, int context)
{
    return {HH_HELP_CONTEXT, context, helpFile, true};
}

HelpCall closeAllCall()
{
    return {HH_CLOSE_ALL, 0, QString(), false};
}

HelpFileArgument splitHelpFileArgument(const QString& argument)
{
    const qsizetype sep = argument.indexOf(QLatin1String("::"));
    if (sep < 0)
        return {argument, QString()};
    QString topic = argument.mid(sep + 2);
    while (topic.startsWith(QLatin1Char('/')))
        topic.remove(0, 1);
    return {argument.left(sep), topic};
}

} // namespace help

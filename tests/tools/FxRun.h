#pragma once
// Runs the pictavo-fx the build made, as a user runs it.
#include <QProcess>

struct FxResult {
    int exitCode = -1;
    QByteArray out, err;
};

// `lang` replaces the locale's variables; `stdoutFile` takes the output.
inline FxResult fx(const QStringList& args, const QString& lang = {}, const QString& stdoutFile = {})
{
    QProcess p;
    if (!lang.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("LC_ALL"));
        env.remove(QStringLiteral("LC_CTYPE"));
        env.insert(QStringLiteral("LANG"), lang);
        p.setProcessEnvironment(env);
    }
    if (!stdoutFile.isEmpty())
        p.setStandardOutputFile(stdoutFile);
    p.start(QStringLiteral(PV_BINARY_DIR "/pictavo-fx"), args);
    FxResult r;
    if (p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit)
        r = {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    return r;
}

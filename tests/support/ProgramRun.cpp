#include "ProgramRun.h"

#include <QProcess>

ProgramRun runCorvanaVidas(const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.start(QStringLiteral(CORVANA_BINARY_DIR "/src/corvana-vidas"), arguments);
    ProgramRun run;
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.outBytes = process.readAllStandardOutput();
    run.errBytes = process.readAllStandardError();
    run.out = QString::fromUtf8(run.outBytes);
    run.err = QString::fromUtf8(run.errBytes);
    return run;
}

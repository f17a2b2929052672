#include "PenduloRun.h"

#include <QProcess>

PenduloRun runPendulo(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral(PENDULO_BIN_DIR "/pendulo"), arguments);
    PenduloRun run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        run.err = QStringLiteral("did not finish: ") + process.errorString();
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

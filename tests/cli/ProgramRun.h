// veltrin-cli started as a process for a test: its exit code, standard output and standard error,
// bounded in time (a program that does not finish is a failure, never a hang).
#pragma once

#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

struct ProgramRun {
    int code = -1; // -1 when it crashed or did not finish
    QByteArray out;
    QString err;
};

inline ProgramRun RunProgram(const QStringList& arguments) {
    QProcess process;
    process.start(PROGRAM, arguments);
    ProgramRun run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "veltrin-cli did not finish";
        return run;
    }
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

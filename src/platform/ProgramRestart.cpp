#include "platform/ProgramRestart.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <cstdio>

ProcessRestart::ProcessRestart(QString program, QStringList arguments)
    : m_program(std::move(program)), m_arguments(std::move(arguments))
{
}

ProcessRestart ProcessRestart::ofThisProgram()
{
    return ProcessRestart(QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1));
}

bool ProcessRestart::startIfRequested() const
{
    if (!m_requested)
        return true;
    if (QProcess::startDetached(m_program, m_arguments, QDir::currentPath()))
        return true;
    std::fprintf(stderr, "corvana: could not start %s again\n", qUtf8Printable(QDir::toNativeSeparators(m_program)));
    return false;
}

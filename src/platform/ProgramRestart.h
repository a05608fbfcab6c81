#pragma once

#include <QString>
#include <QStringList>

// Starting the program again after the settings window saved the servers. The running copy asks,
// then ends; the new copy is started only once this one has let go of its single-copy guard, or it
// would find "another copy" running and end at once. Tests use a fake that records the request.
class ProgramRestart
{
public:
    virtual ~ProgramRestart() = default;
    // The next copy should start when this one ends.
    virtual void requestRestart() = 0;
    virtual bool restartRequested() const = 0;
};

// The same executable with the same arguments (on Windows the installed program, as before).
class ProcessRestart final : public ProgramRestart
{
public:
    ProcessRestart(QString program, QStringList arguments);
    // The running program as it was started.
    static ProcessRestart ofThisProgram();

    void requestRestart() override { m_requested = true; }
    bool restartRequested() const override { return m_requested; }
    // Starts the new copy when one was requested; false when that failed (the reason on stderr).
    bool startIfRequested() const;

private:
    QString m_program;
    QStringList m_arguments;
    bool m_requested = false;
};

#pragma once

#include <QString>
#include <memory>

class QLockFile;

// Keeps a second copy of the program from running. The first copy to ask holds the guard for the
// rest of its life; every later copy is told that another one runs.
class SingleInstance
{
public:
    virtual ~SingleInstance() = default;
    // CheckSingleInstance: true when another copy runs. Otherwise the guard is now held.
    virtual bool anotherCopyRuns() = 0;
};

// Windows: a named mutex named by the program title. Elsewhere: a lock file named by the title in
// `lockFolder` (the system's temporary folder when empty); a lock left by a crashed copy is taken over.
class SystemSingleInstance final : public SingleInstance
{
public:
    explicit SystemSingleInstance(QString title, QString lockFolder = {});
    ~SystemSingleInstance() override;
    SystemSingleInstance(const SystemSingleInstance&) = delete;
    SystemSingleInstance& operator=(const SystemSingleInstance&) = delete;

    bool anotherCopyRuns() override;
    // The lock file used where there are no named mutexes.
    QString lockFilePath() const;

private:
    QString m_title;
    QString m_lockFolder;
#ifdef Q_OS_WIN
    void* m_mutex = nullptr;
#else
    std::unique_ptr<QLockFile> m_lock;
#endif
};

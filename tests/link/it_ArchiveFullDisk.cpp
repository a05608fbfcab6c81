#include "FakeClock.h"
#include "link/AnalyserCapture.h"
#include "link/CaptureArchive.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

// The capture archive on a disk that fills up: nothing received is dropped, and once space comes
// back the archive holds exactly what the analyser sent, every session with its place.
class it_ArchiveFullDisk : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    bool m_mounted = false;

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0)
            QSKIP("a small filesystem of its own needs root to mount");
        const int code = QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", m_dir.path()});
        if (code != 0)
            QSKIP("this machine refuses to mount a tmpfs; the full-disk case is not tried");
        m_mounted = true;
    }

    void cleanupTestCase()
    {
        if (m_mounted)
            QProcess::execute("umount", {m_dir.path()});
    }

    void fullDiskKeepsEveryByte()
    {
        FakeClock clock;
        CaptureArchive archive(InstallFolder(m_dir.path()), clock);
        // Fill the disk, leaving one page for the first sessions.
        QFile filler(QDir(m_dir.path()).filePath("filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
        QVERIFY(filler.resize(filler.size() - 4096));

        const QList<AnalyserCapture::Result> results = AnalyserCapture::generate(60, 7, clock.now());
        QByteArray sent;
        int refused = 0;
        for (const AnalyserCapture::Result& r : results) {
            const QByteArray session = AnalyserCapture::session({r});
            archive.received(session.left(1)); // the lone ENQ
            archive.received(session.mid(1));
            sent += session;
            archive.sessionCut(sent.size(), clock.now(), session.mid(1));
            if (!archive.write())
                ++refused;
        }
        QVERIFY2(refused > 10, qPrintable(QString::number(refused)));
        QVERIFY(archive.pending() > 0);
        const QList<ReceivedSession> early = archive.takeDurable();
        QCOMPARE(archive.waitingSessions() + early.size(), qsizetype(60));

        QVERIFY(filler.remove()); // space comes back
        QVERIFY(archive.write());
        QCOMPARE(archive.pending(), qsizetype(0));
        QFile written(archive.fileFor(clock.today()));
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(written.readAll(), sent);
        QCOMPARE(written.permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther),
                 QFileDevice::Permissions());

        // Every session has its place: the archive cut again gives the same ends, with their times.
        const QList<ReceivedSession> all = early + archive.takeDurable();
        const QList<ReceivedSession> again = CaptureArchive::sessionsIn(written.fileName());
        QCOMPARE(all.size(), 60);
        QCOMPARE(again.size(), 60);
        for (int i = 0; i < 60; ++i) {
            QCOMPARE(all[i].endOffset, again[i].endOffset);
            QCOMPARE(again[i].receivedAt, clock.now());
            QCOMPARE(all[i].bytes, again[i].bytes);
        }
    }
};

QTEST_GUILESS_MAIN(it_ArchiveFullDisk)
#include "it_ArchiveFullDisk.moc"

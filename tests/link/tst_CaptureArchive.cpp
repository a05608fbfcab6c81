#include "FakeClock.h"
#include "link/CaptureArchive.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
} // namespace

class tst_CaptureArchive : public QObject
{
    Q_OBJECT

private slots:
    void keepsTheBytesAsReceived();
    void oneFilePerDay();
    void unwritableFolderKeepsTheBytes();
};

void tst_CaptureArchive::keepsTheBytesAsReceived()
{
    QTemporaryDir dir;
    FakeClock clock;
    CaptureArchive archive(InstallFolder(dir.path()), clock);
    const QString file = QDir(dir.path()).filePath("captures/2026-12-05.bin");
    QCOMPARE(archive.fileFor(clock.today()), file);

    // Nothing is written before a write, and a write without bytes makes no file.
    QVERIFY(archive.write());
    QVERIFY(!QFile::exists(file));
    const QByteArray first("\x00\xff noise\r\n\x05", 11);
    archive.received(first);
    archive.received("\x02\x1emtrsl|rest\x03\x04 partial");
    QCOMPARE(archive.pending(), qsizetype(11 + 22));
    QVERIFY(!QFile::exists(file));
    QVERIFY(archive.write());
    QCOMPARE(archive.pending(), qsizetype(0));
    QCOMPARE(contents(file), first + QByteArray("\x02\x1emtrsl|rest\x03\x04 partial"));

    // Later bytes are appended; a second archive on the same folder appends too.
    archive.received(" next\x04");
    QVERIFY(archive.write());
    CaptureArchive again(InstallFolder(dir.path()), clock);
    again.received("\x05");
    QVERIFY(again.write());
    QCOMPARE(contents(file), first + QByteArray("\x02\x1emtrsl|rest\x03\x04 partial next\x04\x05"));
}

void tst_CaptureArchive::oneFilePerDay()
{
    QTemporaryDir dir;
    FakeClock clock(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)));
    CaptureArchive archive(InstallFolder(dir.path()), clock);
    archive.received("\x05one\x04");
    QVERIFY(archive.write());
    clock.set(QDateTime(QDate(2027, 1, 1), QTime(0, 0, 1)));
    archive.received("\x05two\x04");
    QVERIFY(archive.write());
    QCOMPARE(contents(QDir(dir.path()).filePath("captures/2026-12-31.bin")), QByteArray("\x05one\x04"));
    QCOMPARE(contents(QDir(dir.path()).filePath("captures/2027-01-01.bin")), QByteArray("\x05two\x04"));
}

void tst_CaptureArchive::unwritableFolderKeepsTheBytes()
{
    QTemporaryDir dir;
    FakeClock clock;
    // A file where the folder should be: nothing can be written there, whoever runs the test.
    QFile blocker(QDir(dir.path()).filePath("captures"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    CaptureArchive archive(InstallFolder(dir.path()), clock);
    archive.received("\x05kept\x04");
    QString error;
    QVERIFY(!archive.write(&error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(archive.pending(), qsizetype(6));

    // Once the folder can be made, the kept bytes go first.
    QVERIFY(QFile::remove(blocker.fileName()));
    archive.received("\x05more\x04");
    QVERIFY(archive.write());
    QCOMPARE(contents(QDir(dir.path()).filePath("captures/2026-12-05.bin")), QByteArray("\x05kept\x04\x05more\x04"));
}

QTEST_GUILESS_MAIN(tst_CaptureArchive)
#include "tst_CaptureArchive.moc"

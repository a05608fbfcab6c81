#include "FakeSoundPlayer.h"
#include "PtyPair.h"
#include "TestInstall.h"
#include "link/AnalyserCapture.h"
#include "link/LineIntake.h"
#include "link/ReceiveChain.h"
#include "link/ReceiveWindow.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>

// What the receive window shows of stored results: the count, the list with the export status, the
// flag and the colour of the evaluated result; and what it keeps and plays on the way.
class TestReceiveResults : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestInstall> m_install;
    std::unique_ptr<PtyPair> m_pty;
    FakeSoundPlayer m_sound;
    QPointer<ReceiveWindow> m_window;

    template <typename T> T* control(const char* name) const
    {
        T* found = m_window->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("control %s is missing", name);
        return found;
    }

    QByteArray session(const QByteArray& id, const QByteArray& assay, const QByteArray& value,
                       const QByteArray& reading = {})
    {
        AnalyserCapture::Result r;
        r.sampleId = id;
        r.shortAssay = assay;
        r.longAssay = assay;
        r.at = QDateTime(QDate(2026, 12, 5), QTime(10, 0));
        r.value = value;
        r.reading = reading;
        return AnalyserCapture::session({r});
    }

    // Delivers a session as the analyser does: the ENQ alone, then the rest.
    // Sends a session and waits until the receive worker has stored it.
    void deliver(const QByteArray& bytes)
    {
        QSignalSpy processed(&m_window->intake(), &LineIntake::sessionProcessed);
        m_window->receive(bytes.left(1));
        m_window->receive(bytes.mid(1));
        QVERIFY(processed.wait(5000));
        QCoreApplication::processEvents();
    }

    QColor resultBackground() const { return control<QLabel>("lblLastResult")->palette().color(QPalette::Window); }

private slots:
    void init()
    {
        m_install = std::make_unique<TestInstall>();
        QVERIFY(m_install->installDemoData());
        m_pty = std::make_unique<PtyPair>();
        m_install->setSetting("comsetup", "device", m_pty->slavePath());
        m_install->setSetting("comsetup", "autsavecrv", "1");
        m_install->setSetting("comsetup", "soudorno", "1");
        m_install->setSetting("comsetup", "soundname", "new result.mp3");
        m_sound.calls.clear();
        AppContext& context = m_install->context();
        context.setSoundPlayer(&m_sound);
        m_window = new ReceiveWindow(context);
        QVERIFY(QTest::qWaitFor([&context] { return context.receiverOn() == 1; }, 5000));
    }

    void cleanup()
    {
        delete m_window;
        m_pty.reset();
        m_install.reset();
    }

    void countListAndColours()
    {
        QCOMPARE(control<QLabel>("Lbl_samplenum")->text(), QStringLiteral("0"));
        const QColor red(255, 192, 192), green(214, 254, 242), white(255, 255, 255);

        deliver(sampleBytes("quantitative-unit.bin")); // TSH 2.35: normal
        QCOMPARE(control<QLabel>("Lbl_samplenum")->text(), QStringLiteral("1"));
        QCOMPARE(resultBackground(), green);
        QVERIFY(control<QLabel>("lblLastResult")->autoFillBackground());
        QCOMPARE(control<QLabel>("Txt_TEST_F")->text(), QString());

        deliver(session("260114000123", "TSH", "7.5 uUI/ml")); // high
        QCOMPARE(resultBackground(), red);
        auto* flag = control<QLabel>("Txt_TEST_F");
        QCOMPARE(flag->text().remove(QChar(0x200E)), QStringLiteral("H"));
        QCOMPARE(flag->palette().color(QPalette::WindowText), QColor(0, 0, 255));

        deliver(sampleBytes("qualitative-positive.bin")); // Positive: " *"
        QCOMPARE(resultBackground(), red);
        deliver(sampleBytes("qualitative-only.bin")); // "Négatif", no limits: neither
        QCOMPARE(resultBackground(), white);
        deliver(session("260114000124", "PRL", "", "Negative"));
        QCOMPARE(resultBackground(), green);
        deliver(session("260114000124", "PRL", "")); // nothing to report: not stored, white
        QCOMPARE(resultBackground(), white);

        QCOMPARE(control<QLabel>("Lbl_samplenum")->text(), QStringLiteral("5"));
        QStringList lines;
        for (int i = 0; i < control<QListWidget>("Lst_NotSentID")->count(); ++i)
            lines << control<QListWidget>("Lst_NotSentID")->item(i)->text();
        QCOMPARE(lines, (QStringList{"2601140001230     Yes", "2601140001230     Yes", "2601140007     No",
                                     "2601140009     No", "2601140001247     Yes"}));

        // A reset clears the count and the list.
        QTest::mouseClick(control<QPushButton>("cmd_reset"), Qt::LeftButton);
        QCOMPARE(control<QLabel>("Lbl_samplenum")->text(), QStringLiteral("0"));
        QCOMPARE(control<QListWidget>("Lst_NotSentID")->count(), 0);
    }

    void messageIsArchivedBeforeItIsParsed()
    {
        const QString file = QDir(m_install->path()).filePath("captures/2026-12-05.bin");
        QByteArray onDisk;
        connect(m_window.data(), &ReceiveWindow::parsingMessages, this, [&file, &onDisk] {
            QFile f(file);
            if (f.open(QIODevice::ReadOnly))
                onDisk = f.readAll();
        });
        const QByteArray bytes = sampleBytes("sign-and-unit.bin");
        deliver(bytes);
        QCOMPARE(onDisk, bytes);

        // A message still incomplete when the window unloads is kept too.
        m_window->receive("\x05");
        m_window->receive("\x02partial");
        delete m_window;
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), bytes + "\x05\x02partial");
    }

    void soundIsCutByTimersx()
    {
        auto* timersx = control<QTimer>("Timersx");
        deliver(sampleBytes("quantitative-unit.bin"));
        const QString path = QDir(m_install->path()).filePath("PROC/new result.mp3");
        QCOMPARE(m_sound.calls, (QStringList{"close", "open " + path, "play"}));
        QVERIFY(timersx->isActive());
        QCOMPARE(timersx->interval(), 1500);
        m_sound.calls.clear();
        QTRY_VERIFY_WITH_TIMEOUT(!timersx->isActive(), 3000);
        QCOMPARE(m_sound.calls, QStringList{"close"});

        // Unloading closes the device as well.
        deliver(sampleBytes("quantitative-unit.bin"));
        m_sound.calls.clear();
        delete m_window;
        QCOMPARE(m_sound.calls, QStringList{"close"});
    }
};

QTEST_MAIN(TestReceiveResults)
#include "gui_ReceiveResults.moc"

#include "ProgramRun.h"
#include "ReceiveLab.h"
#include "core/NavigationWidget.h"
#include "core/WindowCodes.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using Db = TestInstall::Db;

// Frm_recivedata on a pseudo-terminal, the analyser played by the test: loading, the port and its
// errors, the buttons, and what the window shows of results, held frames, locks and a lost line.
class TestReceiveWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<ReceiveLab> m_lab;

    void click(const char* button) { QTest::mouseClick(m_lab->control<QPushButton>(button), Qt::LeftButton); }
    QColor background() const { return m_lab->control<QLabel>("lblLastResult")->palette().color(QPalette::Window); }
    bool alarmShown() const { return !m_lab->control<QLabel>("Lbl_alarm")->isHidden(); }
    int stored() { return m_lab->install.text(Db::Interface, "SELECT count(*) FROM Result").toInt(); }
    static QByteArray one(const char* sample, const char* assay, const char* value, const char* reading = "")
    {
        return AnalyserCapture::session({ReceiveLab::result(sample, assay, value, reading)});
    }

private slots:
    void init()
    {
        m_lab = std::make_unique<ReceiveLab>();
        QVERIFY(m_lab->ready);
        m_lab->install.setSettings({"comsetup/soudorno=1", "comsetup/soundname=new result.mp3"});
    }
    void cleanup() { m_lab.reset(); }

    void loadingOpensThePortLater()
    {
        AppContext& context = m_lab->makeContext();
        context.setReceiverOn(1);
        QSignalSpy indicator(&context, &AppContext::receiverIndicatorChanged);
        ReceiveWindow& window = m_lab->window(false);
        QVERIFY(context.receiverOn() == 0 && context.receiveWindowOpen() == 1);
        QCOMPARE(indicator.size(), 1);
        QVERIFY(indicator.at(0).at(0).toBool() && !window.portIsOpen());
        QTRY_COMPARE_WITH_TIMEOUT(context.receiverOn(), 1, 5000);
        QVERIFY(window.portIsOpen() && m_lab->install.dialogs.shown.isEmpty());
        QCOMPARE(m_lab->shown("lblOncom"), "OnCom: Com1 - 9600,n,8,1");

        // The activity indicator turns, shown or hidden.
        auto* progress = m_lab->control<QTimer>("Tmr_progress");
        progress->stop();
        for (const char* lit : {"Img2", "Img3", "Img1"}) {
            QVERIFY(QMetaObject::invokeMethod(progress, "timeout"));
            for (const char* img : {"Img1", "Img2", "Img3"})
                QCOMPARE(m_lab->control<QLabel>(img)->isHidden(), qstrcmp(img, lit) != 0);
        }
        QVERIFY(!m_lab->control<QLabel>("lblLastSample")->isHidden());
    }

    // Settings the port cannot take: the user is asked whether to see them, and the receiver goes OFF.
    void portErrorAsksAndSwitchesOff()
    {
        m_lab->install.setSetting("comsetup", "Parity", "x");
        AppContext& context = m_lab->makeContext();
        QSignalSpy indicator(&context, &AppContext::receiverIndicatorChanged);
        QSignalSpy asks(&context, &AppContext::settingsWindowRequested);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^receiver: "));
        QPointer<ReceiveWindow> window = &m_lab->window();
        QTRY_VERIFY(window.isNull());
        QCOMPARE(m_lab->install.dialogs.shown.size(), 1);
        const DialogRequest& asked = m_lab->install.dialogs.last();
        QCOMPARE(asked.icon, DialogIcon::Information);
        QCOMPARE(asked.buttons, DialogButtons::YesNo);
        QCOMPARE(asked.title, "خطأ فى منفذ الاتصال ..");
        QCOMPARE(asked.text,
                 "خطأ فى منفذ الاتصال التسلسي الخاص بالكمبيوتر\r\nهل تريد التأكد من اعدادات منفذ الاتصال او "
                 "تغيره");
        QCOMPARE(asks.size(), 1); // answered Yes
        QCOMPARE(asks.at(0).at(0).toString(), "comsetup");
        QVERIFY(context.receiverOn() == 0 && context.receiveWindowOpen() == 0);
        QCOMPARE(indicator.size(), 2);
        QCOMPARE(indicator.at(1).at(0).toBool(), false);
    }

    void theLineAndTheButtons()
    {
        // Without the settings file the receiver is ON without a port.
        const QString ini = m_lab->install.settingsIni();
        m_lab->makeContext();
        QVERIFY(QFile::rename(ini, ini + ".away"));
        ReceiveWindow& window = m_lab->window();
        QVERIFY(!window.portIsOpen() && m_lab->context->receiverOn() == 1);
        QCOMPARE(m_lab->shown("lblOncom"), "OnCom: -");
        QVERIFY(QFile::rename(ini + ".away", ini));
        click("cmd_reset");
        QVERIFY(window.portIsOpen());

        QVERIFY(m_lab->pty->write("\x05"));
        QCOMPARE(m_lab->lineOutput(300), "\x06");
        // With data behind it in the same read, an ENQ is data, not a question.
        QVERIFY(m_lab->pty->write("\x05\x02partial \xE9\xB5"));
        QTRY_COMPARE(m_lab->control<QPlainTextEdit>("Txt_buffer")->toPlainText(),
                     QString(QChar(0x2405)) + QChar(0x2402) + QString::fromUtf8("partial éµ"));
        QVERIFY(m_lab->lineOutput(100).isEmpty());

        click("cmd_showdata"); // the raw view
        QVERIFY(m_lab->control<QPlainTextEdit>("Txt_buffer")->isVisibleTo(&window));
        QCOMPARE(window.height(), window.twipsToPixelsY(5300));
        click("cmd_showdata");
        QCOMPARE(window.height(), window.twipsToPixelsY(1600));

        // A reset clears what is shown and reads the settings again.
        m_lab->control<QListWidget>("Lst_NotSentID")->addItem("2601140001     Yes");
        m_lab->control<QLabel>("Lbl_samplenum")->setText("5");
        m_lab->install.setSetting("comsetup", "port", "3");
        click("cmd_reset");
        QVERIFY(m_lab->control<QPlainTextEdit>("Txt_buffer")->toPlainText().isEmpty());
        QCOMPARE(m_lab->listLines(), QStringList());
        QCOMPARE(m_lab->shown("Lbl_samplenum"), "0");
        QCOMPARE(m_lab->shown("lblOncom"), "OnCom: Com3 - 9600,n,8,1");

        // Messages are cut at each EOT and handed on once, the second on the next turn of the loop.
        QSignalSpy parsing(&window, &ReceiveWindow::parsingMessages);
        window.receive("m1\x04m2\x04m3\x04");
        QCOMPARE(parsing.size(), 1);
        QCOMPARE(parsing.at(0).at(0).toByteArray(), "m1\x04");
        QTRY_COMPARE(parsing.size(), 3);
        QCOMPARE(parsing.at(1).at(0).toByteArray(), "m2\x04");
        QCOMPARE(parsing.at(2).at(0).toByteArray(), "m3\x04");
        click("Command1"); // nothing is left to hand over
        QCOMPARE(parsing.size(), 3);

        // Hidden by the title bar's close button, the receiver goes on.
        window.show();
        window.close();
        QVERIFY(window.isHidden());
        QVERIFY(m_lab->pty->write("\x05"));
        QCOMPARE(m_lab->lineOutput(300), "\x06");

        // A passing read error on a line that is still there changes nothing; while a line that went
        // away is being reopened, a reset opens the device the settings name now.
        QVERIFY(m_lab->keepsLineAfterReadError(*window.findChild<QSerialPort*>()));

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^receiver: line lost: "));
        m_lab->pty.reset();
        QTRY_VERIFY(!window.portIsOpen());
        QCOMPARE(window.line().status().state, LineState::Reconnecting);
        QCOMPARE(m_lab->context->receiverOn(), 1);
        m_lab->pty = std::make_unique<PtyPair>();
        m_lab->install.setSetting("comsetup", "device", m_lab->pty->slavePath());
        click("cmd_reset");
        QVERIFY(window.portIsOpen());
        QVERIFY(m_lab->pty->write("\x05"));
        QCOMPARE(m_lab->lineOutput(300), "\x06");

        // Switched OFF: the port is closed and the window goes.
        QSignalSpy indicator(m_lab->context, &AppContext::receiverIndicatorChanged);
        QPointer<ReceiveWindow> gone = &window;
        click("cmd_endprocess");
        QVERIFY(m_lab->context->receiverOn() == 0 && m_lab->context->receiveWindowOpen() == 0);
        QCOMPARE(indicator.size(), 1);
        QCOMPARE(indicator.at(0).at(0).toBool(), false);
        QTRY_VERIFY(gone.isNull());
        QVERIFY(m_lab->pty->write("\x05"));
        QVERIFY(m_lab->lineOutput(200).isEmpty());
        QVERIFY(m_lab->install.dialogs.shown.isEmpty());
    }

    void resultsAreShownCountedAndPlayed()
    {
        ReceiveWindow& window = m_lab->window();
        const QString archive = QDir(m_lab->install.path()).filePath("captures/2026-12-05.bin");
        QByteArray onDisk;
        connect(&window, &ReceiveWindow::parsingMessages, this, [&archive, &onDisk] {
            QFile f(archive);
            onDisk = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        });
        const QColor red(255, 192, 192), green(214, 254, 242), white(255, 255, 255);
        QCOMPARE(m_lab->shown("lblLastSample"), "—");

        QVERIFY(m_lab->deliver(sampleBytes("quantitative-unit.bin"))); // TSH 2.35: normal
        QCOMPARE(onDisk, sampleBytes("quantitative-unit.bin"));        // on disk before it is parsed
        QCOMPARE(background(), green);
        const QString sound = QDir(m_lab->install.path()).filePath("PROC/new result.mp3");
        QCOMPARE(m_lab->sound.calls, (QStringList{"close", "open " + sound, "play"}));
        auto* timersx = m_lab->control<QTimer>("Timersx"); // cuts the sound
        QVERIFY(timersx->isActive());
        timersx->setInterval(5);
        m_lab->sound.calls.clear();
        QTRY_VERIFY(!timersx->isActive());
        QCOMPARE(m_lab->sound.calls, QStringList{"close"});
        QVERIFY(m_lab->deliver(sampleBytes("quantitative-unit.bin"))); // sent again: a result again

        QVERIFY(m_lab->deliver(one("260114000123", "TSH", "7.5 uUI/ml"))); // high
        QCOMPARE(background(), red);
        QCOMPARE(m_lab->shown("Txt_TEST_F"), "H");
        QCOMPARE(m_lab->control<QLabel>("Txt_TEST_F")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(m_lab->deliver(sampleBytes("qualitative-only.bin"))); // "Négatif", no limits: neither
        QCOMPARE(background(), white);
        QVERIFY(m_lab->deliver(one("260114000124", "PRL", "", "Negative")));
        QCOMPARE(background(), green);
        m_lab->sound.calls.clear();
        QVERIFY(m_lab->deliver(one("", "FER", "> 1200 ng/ml"))); // no sample: no sound
        QCOMPARE(m_lab->shown("lblLastSample"), "—");
        QCOMPARE(m_lab->shown("lblLastResult"), "> 1200 ng/ml");
        QVERIFY(!m_lab->sound.calls.contains("play"));
        QVERIFY(m_lab->deliver(sampleBytes("sign-and-unit.bin")));
        QCOMPARE(m_lab->shown("lblLastSample"), "0042");
        QCOMPARE(m_lab->shown("lblLastAssay"), "VITD");
        QCOMPARE(m_lab->shown("lblLastResult"), "< 8.1 µg/l serum");
        QVERIFY(m_lab->shown("lblLastTime").contains("04:55 PM"));
        QCOMPARE(m_lab->shown("Lbl_samplenum"), "7");
        QCOMPARE(m_lab->listLines(),
                 (QStringList{"2601140001230     Yes", "2601140001230     Yes", "2601140001230     Yes",
                              "2601140009     No", "2601140001247     Yes", "FER   09:42 AM     No", "0042     No"}));

        // Unloading closes the sound device and keeps a message still incomplete in the archive.
        window.receive("\x05\x02partial");
        m_lab->sound.calls.clear();
        delete &window;
        QCOMPARE(m_lab->sound.calls, QStringList{"close"});
        QFile f(archive);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().endsWith(sampleBytes("sign-and-unit.bin") + "\x05\x02partial"));
    }

    // The adapter is pulled out in the middle of a session and comes back under the same stable
    // name: meanwhile the window and the Data receiver entry of the window in front say so; then it
    // receives again by itself, the session cut short dropped, its re-send stored. Stop ends the tries.
    void lostLineComesBackByItself()
    {
        const QString path = QDir(m_lab->install.path()).filePath("by-id-line");
        QVERIFY(ReceiveLab::pointTo(path, m_lab->pty->slavePath()));
        m_lab->install.setSetting("comsetup", "device", path);
        NavigationWidget strip(m_lab->makeContext(), WindowCode::Main);
        strip.windowLoaded();
        QPushButton* entry = strip.button(NavEntry::ReceiveData);
        ReceiveWindow& window = m_lab->window();
        QCOMPARE(m_lab->shown("Lbl_linestate"), "متصل - يستقبل");
        const QByteArray resent = one("260114000124", "TSH", "2.4");
        QVERIFY(m_lab->pty->write(resent.left(1)));
        QCOMPARE(m_lab->lineOutput(300), "\x06");
        QVERIFY(m_lab->pty->write(resent.mid(1, resent.size() / 2)));
        QTRY_VERIFY(!window.session().buffer().isEmpty());
        m_lab->install.clock.set(QDateTime(QDate(2026, 12, 5), QTime(23, 41)));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^receiver: line lost: "));
        m_lab->pty.reset();
        QTRY_VERIFY(!window.portIsOpen());
        QCOMPARE(m_lab->shown("Lbl_linestate"), "إعادة الاتصال منذ 23:41");
        QVERIFY2(alarmShown() && m_lab->shown("Lbl_alarm").contains(" منذ 23:41 ") &&
                     m_lab->shown("Lbl_alarm").contains(path),
                 qPrintable(m_lab->shown("Lbl_alarm")));
        QVERIFY(m_lab->context->receiverOn() == 1 && entry->text() == "Data receiver/ON");
        QVERIFY(entry->toolTip().contains("23:41") && entry->styleSheet().contains("#ffb400"));

        m_lab->pty = std::make_unique<PtyPair>();
        QVERIFY(ReceiveLab::pointTo(path, m_lab->pty->slavePath()));
        QTRY_VERIFY_WITH_TIMEOUT(window.portIsOpen(), 5000);
        QCOMPARE(m_lab->shown("Lbl_linestate"), "متصل - يستقبل");
        QVERIFY(!alarmShown() && entry->toolTip().isEmpty() && window.session().buffer().isEmpty());
        QVERIFY(m_lab->sendOverLine(resent) >= 0);
        // The session cut short by the loss is named as held, the one sent again stored.
        QTRY_COMPARE(m_lab->listLines(),
                     (QStringList{"260114000124 TSH     Held: session without EOT", "2601140001247     Yes"}));

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^receiver: line lost: "));
        m_lab->pty.reset();
        QTRY_VERIFY(!window.portIsOpen());
        QPointer<ReceiveWindow> gone = &window;
        click("cmd_endprocess");
        QTRY_VERIFY(gone.isNull());
        QVERIFY(m_lab->context->lineStatus().state == LineState::Stopped && entry->text() == "Data receiver/OFF");
    }

    // A damaged frame is held and counted, and so is a record the database refuses for good; both
    // in red. A table away for a while holds the session back until it is there again. A database locked by another
    // program holds results back while the line is answered at once; the window says what waits.
    void heldFailedAndWaiting()
    {
        ReceiveWindow& window = m_lab->window();
        QByteArray damaged = one("260114000123", "TSH", "2.35");
        const qsizetype gs = damaged.indexOf('\x1d');
        const QByteArray sent = damaged.mid(gs + 1, 2);
        QVERIFY(m_lab->deliver(damaged.replace(gs + 1, 2, "zz")));
        QCOMPARE(m_lab->listLines(), QStringList{"260114000123 TSH     Held: checksum zz, expected " + sent});
        QCOMPARE(m_lab->shown("Lbl_heldnum"), "1");
        // A constraint the record can never meet: that record is held with the reason, the line goes on.
        QVERIFY(m_lab->install.exec(Db::Interface, "CREATE UNIQUE INDEX ix_once ON lisoutbox (testcode)"));
        QVERIFY(m_lab->install.exec(Db::Interface, "INSERT INTO lisoutbox (patientid, testcode, state) "
                                                   "VALUES ('x', 501, 'done')"));
        QVERIFY(m_lab->deliver(one("260114000123", "TSH", "2.35")));
        QVERIFY2(m_lab->listLines().value(1).startsWith(
                     "260114000123 TSH     Held: refused: LIS outbox: UNIQUE constraint failed: lisoutbox.testcode"),
                 qPrintable(m_lab->listLines().value(1)));
        QCOMPARE(m_lab->shown("Lbl_heldnum"), "2");
        QVERIFY(m_lab->install.exec(Db::Interface, "DROP INDEX ix_once"));
        QVERIFY(m_lab->install.exec(Db::Interface, "DELETE FROM lisoutbox"));
        // A table away for a while (a migration tool renamed it): the session waits, says why, and
        // is stored once the table is back; it is never given up.
        QVERIFY(m_lab->install.exec(Db::Interface, "ALTER TABLE lisoutbox RENAME TO gone"));
        window.receive(QByteArray(1, AnalyserCapture::ENQ));
        window.receive(one("260114000123", "TSH", "2.36").mid(1));
        QTRY_VERIFY(alarmShown());
        QVERIFY2(m_lab->shown("Lbl_alarm").contains("LIS outbox: no such table: lisoutbox"),
                 qPrintable(m_lab->shown("Lbl_alarm")));
        QCOMPARE(stored(), 0);
        QVERIFY(m_lab->install.exec(Db::Interface, "ALTER TABLE gone RENAME TO lisoutbox"));
        QTRY_COMPARE_WITH_TIMEOUT(stored(), 1, 10000);
        QTRY_VERIFY(!alarmShown());
        const QListWidgetItem* held = m_lab->control<QListWidget>("Lst_NotSentID")->item(1);
        QVERIFY(held->foreground().color() == QColor(192, 0, 0) && held->font().bold());
        QCOMPARE(m_lab->install.texts(Db::Interface, "SELECT state FROM receivedsession WHERE origin<>'baseline'"),
                 (QStringList{"held", "held", "stored"}));

        // The LIS locked: results are stored, their writes wait.
        auto lock = std::make_unique<WriteLock>(m_lab->install.lisDbFile());
        QList<double> answered{m_lab->sendOverLine(one("260114000123", "TSH", "2.4")),
                               m_lab->sendOverLine(one("260114000124", "TSH", "2.4"))};
        QTRY_COMPARE(m_lab->listLines().mid(3), (QStringList{"2601140001230     Queued", "2601140001247     Queued"}));
        QCOMPARE(m_lab->shown("Lbl_outboxnum"), "1");
        const ProgramRun outbox = runCorvanaVidas({"--home", m_lab->install.path(), "outbox"});
        QCOMPARE(outbox.exitCode, 0);
        QCOMPARE(outbox.out.count(QRegularExpression("\t2601140001230\t501\t2.4\t1 tries\tdatabase is locked")), 1);
        QCOMPARE(outbox.out.count(QRegularExpression("\t2601140001247\t501\t2.4\t0 tries\tnot tried yet\n")), 1);
        lock.reset();
        QTRY_COMPARE_WITH_TIMEOUT(m_lab->listLines().mid(3),
                                  (QStringList{"2601140001230     Yes", "2601140001247     Yes"}), 10000);
        QTRY_COMPARE(m_lab->shown("Lbl_outboxnum"), "0");

        // The interface database locked: sessions wait in the archive and in memory.
        lock = std::make_unique<WriteLock>(m_lab->install.interfaceDbFile());
        answered << m_lab->sendOverLine(one("260114000125", "VITD", "25"));
        QTRY_VERIFY(alarmShown());
        QVERIFY2(m_lab->shown("Lbl_alarm").startsWith("نتائج بانتظار قاعدة البيانات: 1 (interface database"),
                 qPrintable(m_lab->shown("Lbl_alarm")));
        QCOMPARE(stored(), 2);
        lock.reset();
        QTRY_COMPARE_WITH_TIMEOUT(stored(), 3, 10000);
        QTRY_VERIFY(!alarmShown());
        for (const double ms : answered)
            QVERIFY2(ms >= 0 && ms < 100, qPrintable(QString::number(ms)));
    }

    // Bytes that cannot be archived (a folder stands where the day's file should be) raise the alarm
    // and wait; they are written, and the session stored, when the disk allows.
    void archiveAlarm()
    {
        ReceiveWindow& window = m_lab->window();
        window.intake().findChild<QTimer*>()->setInterval(10); // the archive's retry
        const QString day = QDir(m_lab->install.path()).filePath("captures/2026-12-05.bin");
        QVERIFY(QDir().mkpath(day));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^receiver: capture archive: "));
        window.receive(sampleBytes("quantitative-unit.bin"));
        QVERIFY(alarmShown());
        QVERIFY2(m_lab->shown("Lbl_alarm").startsWith("تعذر حفظ البيانات المستقبلة على القرص: capture archive: "),
                 qPrintable(m_lab->shown("Lbl_alarm")));
        QVERIFY(QDir(day).removeRecursively());
        QTRY_VERIFY(!alarmShown());
        QTRY_COMPARE(stored(), 1);
    }
};

QTEST_MAIN(TestReceiveWindow)
#include "gui_ReceiveWindow.moc"

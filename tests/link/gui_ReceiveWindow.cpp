#include "PtyPair.h"
#include "TestInstall.h"
#include "link/LineIntake.h"
#include "link/ReceiveChain.h"
#include "link/ReceiveWindow.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {
const QString kTitle = QStringLiteral("خطأ فى منفذ الاتصال ..");
const QString kText = QStringLiteral("خطأ فى منفذ الاتصال التسلسي الخاص بالكمبيوتر\r\n"
                                     "هل تريد التأكد من اعدادات منفذ الاتصال او تغيره");

// What a label shows, without the direction marks put in front of Latin values.
QString shown(const QLabel* label)
{
    QString text = label->text();
    text.remove(QChar(0x200E));
    return text;
}
} // namespace

class TestReceiveWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestInstall> m_install;
    std::unique_ptr<PtyPair> m_pty;
    QPointer<ReceiveWindow> m_window;
    AppContext* m_context = nullptr;

    // One context per test: each call of TestInstall::context() makes a new one.
    AppContext& context()
    {
        if (!m_context)
            m_context = &m_install->context();
        return *m_context;
    }

    template <typename T> T* control(const char* name) const
    {
        T* found = m_window->findChild<T*>(QString::fromLatin1(name));
        if (!found)
            qFatal("control %s is missing", name);
        return found;
    }

    ReceiveWindow* load() { return m_window = new ReceiveWindow(context()); }

    bool loadAndWaitOpen()
    {
        load();
        return QTest::qWaitFor([this] { return context().receiverOn() == 1; }, 5000) && m_window->portIsOpen();
    }

    // Everything the window writes to the line within `ms`.
    QByteArray lineOutput(int ms)
    {
        QByteArray got;
        for (int waited = 0; waited < ms; waited += 20) {
            QTest::qWait(20);
            got += m_pty->readAvailable();
        }
        return got;
    }

private slots:
    void initTestCase() { qRegisterMetaType<CurrentResult>(); }

    void init()
    {
        m_install = std::make_unique<TestInstall>();
        m_pty = std::make_unique<PtyPair>();
        QVERIFY(m_pty->isOpen());
        m_install->setSetting(QStringLiteral("comsetup"), QStringLiteral("device"), m_pty->slavePath());
        m_context = nullptr;
    }

    void cleanup()
    {
        delete m_window;
        m_context = nullptr;
        m_pty.reset();
        m_install.reset();
    }

    void loadingStartsTheTimersAndOpensThePortLater()
    {
        AppContext& ctx = context();
        ctx.setReceiverOn(1);
        QSignalSpy indicator(&ctx, &AppContext::receiverIndicatorChanged);
        load();
        QCOMPARE(m_window->objectName(), QStringLiteral("Frm_recivedata"));
        QCOMPARE(ctx.receiverOn(), qint16(0));
        QCOMPARE(ctx.receiveWindowOpen(), qint16(1));
        QCOMPARE(indicator.size(), 1);
        QCOMPARE(indicator.at(0).at(0).toBool(), true);

        auto* timer1 = control<QTimer>("Timer1");
        QVERIFY(timer1->isActive());
        QVERIFY(timer1->isSingleShot());
        QCOMPARE(timer1->interval(), 500);
        QVERIFY(control<QTimer>("Tmr_progress")->isActive());
        QCOMPARE(control<QTimer>("Tmr_progress")->interval(), 800);
        QVERIFY(!control<QTimer>("Timersx")->isActive());
        QCOMPARE(control<QTimer>("Timersx")->interval(), 1500);
        QVERIFY(control<QPlainTextEdit>("Txt_buffer")->isHidden());
        QVERIFY(!m_window->portIsOpen());

        QTRY_COMPARE_WITH_TIMEOUT(ctx.receiverOn(), qint16(1), 5000);
        QVERIFY(m_window->portIsOpen());
        QVERIFY(!timer1->isActive());
        QCOMPARE(control<QLabel>("lblOncom")->text(), QStringLiteral("OnCom: Com1 - 9600,n,8,1"));
        QCOMPARE(control<QLabel>("Lbl_samplenum")->text(), QStringLiteral("0"));
        QCOMPARE(indicator.size(), 1);
        QVERIFY(m_install->dialogs.shown.isEmpty());
    }

    void statusLineComesFromTheSettings_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("speed");
        QTest::addColumn<QString>("parity");
        QTest::addColumn<QString>("status");
        QTest::newRow("port 2") << "2"
                                << "9600"
                                << "n"
                                << "OnCom: Com2 - 9600,n,8,1";
        QTest::newRow("even parity, read back in lower case") << "1"
                                                              << "19200.0"
                                                              << "E"
                                                              << "OnCom: Com1 - 19200,e,8,1";
    }

    void statusLineComesFromTheSettings()
    {
        QFETCH(QString, port);
        QFETCH(QString, speed);
        QFETCH(QString, parity);
        m_install->setSetting("comsetup", "port", port);
        m_install->setSetting("comsetup", "Speed", speed);
        m_install->setSetting("comsetup", "Parity", parity);
        QVERIFY(loadAndWaitOpen());
        QTEST(control<QLabel>("lblOncom")->text(), "status");
    }

    void missingSettingsFileStillSwitchesTheReceiverOn()
    {
        QVERIFY(QFile::remove(m_install->settingsIni()));
        load();
        const QString before = control<QLabel>("lblOncom")->text();
        QTRY_COMPARE_WITH_TIMEOUT(context().receiverOn(), qint16(1), 5000);
        QVERIFY(!m_window->portIsOpen());
        QCOMPARE(control<QLabel>("lblOncom")->text(), before);
        QVERIFY(m_install->dialogs.shown.isEmpty());
    }

    void portErrorAsksAndSwitchesOff_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("yes");
        QTest::newRow("no such device, Yes") << "device"
                                             << "/nonexistent/ttyVIDAS" << true;
        QTest::newRow("no such device, No") << "device"
                                            << "/nonexistent/ttyVIDAS" << false;
        QTest::newRow("unknown parity") << "Parity"
                                        << "x" << true;
        QTest::newRow("speed 0") << "Speed"
                                 << "0" << false;
        QTest::newRow("9 data bits") << "DataBits"
                                     << "9" << true;
        QTest::newRow("3 stop bits") << "StopBits"
                                     << "3" << false;
    }

    void portErrorAsksAndSwitchesOff()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(bool, yes);
        m_install->setSetting("comsetup", key, value);
        AppContext& ctx = context();
        m_install->dialogs.answers = {yes ? DialogAnswer::Yes : DialogAnswer::No};
        QSignalSpy indicator(&ctx, &AppContext::receiverIndicatorChanged);
        QSignalSpy settings(&ctx, &AppContext::settingsWindowRequested);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^receiver: "));
        load();

        QTRY_VERIFY_WITH_TIMEOUT(m_window.isNull(), 5000);
        QCOMPARE(m_install->dialogs.shown.size(), 1);
        const DialogRequest& asked = m_install->dialogs.last();
        QCOMPARE(asked.icon, DialogIcon::Information);
        QCOMPARE(asked.buttons, DialogButtons::YesNo);
        QCOMPARE(asked.title, kTitle);
        QCOMPARE(asked.text, kText);
        QCOMPARE(settings.size(), yes ? 1 : 0);
        if (yes)
            QCOMPARE(settings.at(0).at(0).toString(), QStringLiteral("comsetup"));
        QCOMPARE(ctx.receiverOn(), qint16(0));
        QCOMPARE(ctx.receiveWindowOpen(), qint16(0));
        QCOMPARE(indicator.size(), 2);
        QCOMPARE(indicator.at(1).at(0).toBool(), false);
    }

    void resetClearsAndReopens()
    {
        QVERIFY(loadAndWaitOpen());
        QVERIFY(m_pty->write("\x02partial"));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->session().buffer(), QByteArray("\x02partial"), 5000);
        QCOMPARE(control<QPlainTextEdit>("Txt_buffer")->toPlainText(), QString(QChar(0x2402)) + "partial");
        control<QListWidget>("Lst_NotSentID")->addItem(QStringLiteral("2601140001     Yes"));
        control<QLabel>("Lbl_samplenum")->setText(QStringLiteral("5"));
        m_install->setSetting("comsetup", "port", "3");

        QTest::mouseClick(control<QPushButton>("cmd_reset"), Qt::LeftButton);
        QVERIFY(m_window->session().buffer().isEmpty());
        QVERIFY(control<QPlainTextEdit>("Txt_buffer")->toPlainText().isEmpty());
        QVERIFY(control<QPlainTextEdit>("Txt_data")->toPlainText().isEmpty());
        QCOMPARE(control<QListWidget>("Lst_NotSentID")->count(), 0);
        QCOMPARE(control<QLabel>("Lbl_samplenum")->text(), QStringLiteral("0"));
        QVERIFY(m_window->portIsOpen());
        QCOMPARE(context().receiverOn(), qint16(1));
        // The settings are read again on every opening.
        QCOMPARE(control<QLabel>("lblOncom")->text(), QStringLiteral("OnCom: Com3 - 9600,n,8,1"));
        // And the reopened line still answers.
        QVERIFY(m_pty->write("\x05"));
        QCOMPARE(lineOutput(1000), QByteArray("\x06"));
    }

    void showDataTogglesTheRawViewAndTheHeight()
    {
        load();
        auto* buffer = control<QPlainTextEdit>("Txt_buffer");
        auto* show = control<QPushButton>("cmd_showdata");
        const int compact = qRound(1600 * m_window->logicalDpiY() / 1440.0);
        const int expanded = qRound(5300 * m_window->logicalDpiY() / 1440.0);
        QCOMPARE(m_window->height(), compact);

        QTest::mouseClick(show, Qt::LeftButton);
        QVERIFY(!buffer->isHidden());
        QVERIFY(control<QListWidget>("Lst_NotSentID")->isVisibleTo(m_window));
        QCOMPARE(m_window->height(), expanded);

        QTest::mouseClick(show, Qt::LeftButton);
        QVERIFY(buffer->isHidden());
        QCOMPARE(m_window->height(), compact);
    }

    void endProcessSwitchesOff()
    {
        QVERIFY(loadAndWaitOpen());
        AppContext& ctx = context();
        QSignalSpy indicator(&ctx, &AppContext::receiverIndicatorChanged);
        m_window->show();
        QTest::mouseClick(control<QPushButton>("cmd_endprocess"), Qt::LeftButton);
        QCOMPARE(ctx.receiverOn(), qint16(0));
        QCOMPARE(ctx.receiveWindowOpen(), qint16(0));
        QCOMPARE(indicator.size(), 1);
        QCOMPARE(indicator.at(0).at(0).toBool(), false);
        QTRY_VERIFY_WITH_TIMEOUT(m_window.isNull(), 5000);
        QVERIFY(m_install->dialogs.shown.isEmpty());
        // Nobody answers on the line any more.
        QVERIFY(m_pty->write("\x05"));
        QVERIFY(lineOutput(300).isEmpty());
    }

    void hidingKeepsTheReceiverRunning()
    {
        QVERIFY(loadAndWaitOpen());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        QTest::mouseClick(control<QPushButton>("Cmd_mini"), Qt::LeftButton);
        QVERIFY(m_window->isHidden());
        QVERIFY(m_pty->write("\x05"));
        QCOMPARE(lineOutput(1000), QByteArray("\x06"));

        // The title bar's close button hides too; it does not switch the receiver off.
        m_window->show();
        m_window->close();
        QTest::qWait(50);
        QVERIFY(!m_window.isNull());
        QVERIFY(m_window->isHidden());
        QCOMPARE(context().receiverOn(), qint16(1));
        QCOMPARE(context().receiveWindowOpen(), qint16(1));
    }

    void activityIndicatorCyclesEvenWhenHidden()
    {
        load();
        auto* img1 = control<QLabel>("Img1");
        auto* img2 = control<QLabel>("Img2");
        auto* img3 = control<QLabel>("Img3");
        QVERIFY(!img1->isHidden() && img2->isHidden() && img3->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(!img2->isHidden(), 3000);
        QVERIFY(img1->isHidden() && img3->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(!img3->isHidden(), 3000);
        QVERIFY(img1->isHidden() && img2->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(!img1->isHidden(), 3000);
        QVERIFY(img2->isHidden() && img3->isHidden());
    }

    void messagesAreCutAtEotAndParsedOnce()
    {
        QVERIFY(loadAndWaitOpen());
        QSignalSpy parsing(m_window.data(), &ReceiveWindow::parsingMessages);
        m_window->receive("m1\x04m2\x04");
        QCOMPARE(parsing.size(), 1);
        QCOMPARE(parsing.at(0).at(0).toByteArray(), QByteArray("m1\x04"));
        QCOMPARE(control<QPlainTextEdit>("Txt_buffer")->toPlainText(), QStringLiteral("m2") + QChar(0x2404));
        QVERIFY(m_window->session().messageArea().isEmpty());
        m_window->receive("x");
        QCOMPARE(parsing.size(), 2);
        QCOMPARE(parsing.at(1).at(0).toByteArray(), QByteArray("m2\x04"));

        // The parse button has nothing left to hand over.
        QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
        QCOMPARE(parsing.size(), 2);
    }

    void rawTextIsShownAsLatin1()
    {
        load();
        m_window->receive("N\xE9gatif < 8.1 \xB5g/l");
        QCOMPARE(control<QPlainTextEdit>("Txt_buffer")->toPlainText(), QString::fromUtf8("Négatif < 8.1 µg/l"));
    }

    void lastRecordIsShown()
    {
        load();
        QCOMPARE(shown(control<QLabel>("lblLastSample")), QStringLiteral("—"));
        m_window->receive(sampleBytes(QStringLiteral("sign-and-unit.bin")).mid(1));
        QTRY_COMPARE_WITH_TIMEOUT(shown(control<QLabel>("lblLastSample")), QStringLiteral("0042"), 5000);
        QCOMPARE(shown(control<QLabel>("lblLastAssay")), QStringLiteral("VITD"));
        QCOMPARE(shown(control<QLabel>("lblLastResult")), QString::fromUtf8("< 8.1 µg/l serum"));
        const QString when = shown(control<QLabel>("lblLastTime"));
        QVERIFY2(when.contains(QStringLiteral("04:55 PM")), qPrintable(when));

        CurrentResult record;
        record.Txt_shortAssay = QStringLiteral("FER");
        record.Txt_resultt1 = QStringLiteral("> 1200");
        emit m_window->intake().recordParsed(record);
        QCOMPARE(shown(control<QLabel>("lblLastSample")), QStringLiteral("—"));
        QCOMPARE(shown(control<QLabel>("lblLastResult")), QStringLiteral("> 1200"));
    }

    void lostLineIsClosedUntilReset()
    {
        QVERIFY(loadAndWaitOpen());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^receiver: line .* lost$"));
        m_pty.reset(); // the far end goes away
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->portIsOpen(), 5000);
        QVERIFY(!control<QLabel>("lblOncom")->toolTip().isEmpty());
        QCOMPARE(context().receiverOn(), qint16(1)); // still ON: a reset reopens it
        QVERIFY(context().receiveWindowOpen() == 1);

        m_pty = std::make_unique<PtyPair>();
        m_install->setSetting(QStringLiteral("comsetup"), QStringLiteral("device"), m_pty->slavePath());
        QTest::mouseClick(control<QPushButton>("cmd_reset"), Qt::LeftButton);
        QVERIFY(m_window->portIsOpen());
        QVERIFY(control<QLabel>("lblOncom")->toolTip().isEmpty());
        QVERIFY(m_pty->write("\x05"));
        QCOMPARE(lineOutput(1000), QByteArray("\x06"));
    }

    void unloadingWithTheProgramClosesThePort()
    {
        QVERIFY(loadAndWaitOpen());
        delete m_window;
        QCOMPARE(context().receiverOn(), qint16(0));
        QCOMPARE(context().receiveWindowOpen(), qint16(0));
        QVERIFY(m_pty->write("\x05"));
        QVERIFY(lineOutput(300).isEmpty());
    }
};

QTEST_MAIN(TestReceiveWindow)
#include "gui_ReceiveWindow.moc"

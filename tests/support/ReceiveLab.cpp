#include "ReceiveLab.h"

#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <cstdio>
#include <poll.h>

ReceiveLab::ReceiveLab() : pty(std::make_unique<PtyPair>())
{
    ready = install.installDemoData();
    install.setSettings({"comsetup/autsavecrv=1", "comsetup/device=" + pty->slavePath()});
}

AppContext& ReceiveLab::makeContext()
{
    context = &install.context();
    context->setSoundPlayer(&sound);
    return *context;
}

ReceiveChain& ReceiveLab::chain()
{
    if (!m_chain) {
        m_chain = std::make_unique<ReceiveChain>(makeContext());
        QObject::connect(m_chain.get(), &ReceiveChain::listLineAdded, [this](const QString& line) { lines << line; });
    }
    return *m_chain;
}

ReceiveChain::Result ReceiveLab::process(const QByteArray& bytes, ReceivedSession::Origin origin, bool force)
{
    ReceivedSession s{bytes, install.clock.now(), {}, -1, origin, force, true, {}};
    return chain().processSession(s).result;
}

ReceiveWindow& ReceiveLab::window(bool openNow)
{
    m_window = new ReceiveWindow(context ? *context : makeContext());
    QSignalSpy started(&m_window->intake(), &LineIntake::backlogChanged);
    if (openNow)
        m_window->openPort();
    // What arrives next is not met by the worker's first look at the archive.
    if (m_window && m_window->portIsOpen() && started.isEmpty())
        started.wait(5000);
    return *m_window;
}

QStringList ReceiveLab::listLines() const
{
    QStringList out;
    for (const QListWidgetItem* item : control<QListWidget>("Lst_NotSentID")->findItems("*", Qt::MatchWildcard))
        out << item->text();
    return out;
}

bool ReceiveLab::deliver(const QByteArray& bytes)
{
    QSignalSpy processed(&m_window->intake(), &LineIntake::sessionProcessed);
    m_window->receive(bytes.left(1));
    m_window->receive(bytes.mid(1));
    return processed.wait(5000);
}

double ReceiveLab::sendOverLine(const QByteArray& session)
{
    pty->readAvailable();
    QElapsedTimer t;
    t.start();
    QByteArray got;
    // Like the analyser, ENQ is sent again when it goes unanswered (here after 3 s, three times).
    for (int attempt = 0; attempt < 3 && got.isEmpty(); ++attempt) {
        if (!pty->write(session.left(1)))
            return -1;
        while (got.isEmpty() && t.elapsed() < 3000 * (attempt + 1)) {
            QCoreApplication::processEvents();
            got = pty->readAvailable();
            QThread::usleep(got.isEmpty() ? 200 : 0);
        }
    }
    const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
    if (got != QByteArray(1, AnalyserCapture::ACK) || !pty->write(session.mid(1)))
        return -1;
    // The next ENQ must not reach the window in one read with the end of this session.
    if (m_window)
        QSignalSpy(&m_window->intake(), &LineIntake::sessionDispatched).wait(5000);
    return ms;
}

QByteArray ReceiveLab::lineOutput(int ms)
{
    QByteArray got;
    for (int waited = 0; waited < ms; waited += 20) {
        QTest::qWait(20);
        got += pty->readAvailable();
    }
    return got;
}

bool ReceiveLab::keepsLineAfterReadError(QSerialPort& port)
{
    pollfd readable{port.handle(), POLLIN, 0};
    if (!pty->write("\x02waiting") || ::poll(&readable, 1, 1000) != 1)
        return false;
    emit port.errorOccurred(QSerialPort::ReadError);
    return port.isOpen();
}

bool ReceiveLab::pointTo(const QString& path, const QString& target)
{
    QFile::remove(path + ".new");
    return QFile::link(target, path + ".new") && std::rename(qPrintable(path + ".new"), qPrintable(path)) == 0;
}

AnalyserCapture::Result ReceiveLab::result(const QByteArray& sample, const QByteArray& assay, const QByteArray& value,
                                           const QByteArray& reading)
{
    return {sample, assay, assay + " long", QDateTime(QDate(2026, 12, 5), QTime(9, 42)), reading, value, {}};
}

QByteArray ReceiveLab::sessionOf(const QString& text)
{
    QList<AnalyserCapture::Result> results;
    for (const QString& r : text.split(u'+')) {
        const QStringList f = r.split(u'|');
        results << result(f[0].toLatin1(), f[1].toLatin1(), f[2].toLatin1(), f.value(3).toLatin1());
    }
    return AnalyserCapture::session(results);
}

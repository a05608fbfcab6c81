#include "link/LineIntake.h"

#include "core/AppContext.h"
#include "link/AnalyserCapture.h"
#include "link/CurrentResult.h"
#include "link/ReceiveWorker.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>

LineIntake::LineIntake(AppContext& context, QObject* parent)
    : QObject(parent), m_context(context), m_archive(context.installFolder(), context.clock()),
      m_archiveRetry(new QTimer(this)), m_flush(new QTimer(this))
{
    qRegisterMetaType<ReceivedSession>();
    qRegisterMetaType<CurrentResult>();
    m_archiveRetry->setInterval(kArchiveRetryMs);
    m_session.setFrameAnswers(m_context.settings.FrameAck == 1);
    connect(m_archiveRetry, &QTimer::timeout, this, &LineIntake::writeArchive);
    m_flush->setObjectName(QStringLiteral("Tmr_flush"));
    m_flush->setSingleShot(true);
    m_flush->setInterval(kFlushMs);
    connect(m_flush, &QTimer::timeout, this, &LineIntake::writeArchive);
}

LineIntake::~LineIntake()
{
    stop();
}

void LineIntake::start()
{
    if (m_thread)
        return;
    // What an earlier run left: bytes it spilled elsewhere, and a session it left open in today's
    // file, are made visible to the worker's first look at the archive.
    if (!m_started) {
        m_started = true;
        QString error;
        CaptureArchive earlier(m_context.installFolder(), m_context.clock());
        earlier.takeUpSpilled(&error);
        if (!error.isEmpty())
            setAlarm(QStringLiteral("capture archive: %1").arg(error));
        if (!m_archive.markStart(&error))
            qWarning("receiver: capture archive: %s", qUtf8Printable(error));
    }
    m_thread = new QThread(this);
    m_thread->setObjectName(QStringLiteral("receive worker"));
    auto* worker = new ReceiveWorker(m_context);
    worker->moveToThread(m_thread);
    m_worker = worker;
    connect(m_thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &ReceiveWorker::recordParsed, this, &LineIntake::recordParsed);
    connect(worker, &ReceiveWorker::resultCounted, this, &LineIntake::resultCounted);
    connect(worker, &ReceiveWorker::listLineAdded, this, &LineIntake::listLineAdded);
    connect(worker, &ReceiveWorker::listLineChanged, this, &LineIntake::listLineChanged);
    connect(worker, &ReceiveWorker::soundRequested, this, &LineIntake::soundRequested);
    connect(worker, &ReceiveWorker::outboxChanged, this, &LineIntake::outboxChanged);
    connect(worker, &ReceiveWorker::backlogChanged, this, &LineIntake::backlogChanged);
    connect(worker, &ReceiveWorker::sessionProcessed, this, &LineIntake::sessionProcessed);
    m_thread->start();
    QMetaObject::invokeMethod(worker, &ReceiveWorker::start, Qt::QueuedConnection);
    dispatch();
}

QString LineIntake::stop()
{
    cutPending();
    QString spilled;
    // Bytes only in memory are never dropped: the disk is given a while, then a second place.
    QElapsedTimer waited;
    waited.start();
    while (!flushArchive() && m_archive.pending() > 0) {
        if (waited.elapsed() >= m_stopPatienceMs) {
            QString error;
            const qsizetype bytes = m_archive.pending();
            const QString path = m_archive.spill(&error);
            spilled = path.isEmpty()
                          ? QStringLiteral("%1 received bytes could not be written anywhere (%2); they are lost")
                                .arg(bytes)
                                .arg(error)
                          : QStringLiteral("%1 received bytes could not be archived (%2); written to %3, taken up "
                                           "at the next start")
                                .arg(bytes)
                                .arg(m_alarm, QDir::toNativeSeparators(path));
            qWarning("receiver: %s", qUtf8Printable(spilled));
            break;
        }
        QThread::msleep(100);
    }
    if (!m_thread)
        return spilled;
    if (m_worker)
        QMetaObject::invokeMethod(m_worker, &ReceiveWorker::finish, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    return spilled;
}

QByteArray LineIntake::receive(const QByteArray& bytes)
{
    m_archive.received(bytes);
    const SerialSession::Actions actions = m_session.onData(bytes);
    m_archive.setSessionOpen(!m_session.buffer().isEmpty());
    if (actions.messageCut) {
        m_pendingCuts.append({actions.cutEnd, m_context.clock().now(), std::exchange(m_session.messageArea(), {})});
        // A frame's answer goes out before the archive waits for the disk; the sessions keep
        // their order.
        if (m_pendingCuts.size() == 1 && actions.reply.isEmpty())
            cutPending();
        else if (m_pendingCuts.size() == 1)
            QTimer::singleShot(0, this, &LineIntake::cutPending);
    } else {
        // On disk at every frame's end at once (after a frame's answer has gone out), and within a
        // second whatever arrives.
        if (bytes.contains(AnalyserCapture::ETX) && actions.reply.isEmpty())
            writeArchive();
        else if (bytes.contains(AnalyserCapture::ETX))
            QTimer::singleShot(0, this, &LineIntake::writeArchive);
        else if (!m_flush->isActive())
            m_flush->start();
        emit buffersChanged();
    }
    return actions.reply;
}

void LineIntake::cutPending()
{
    for (const PendingCut& c : std::exchange(m_pendingCuts, {}))
        cut(c.end, c.at, c.message);
}

void LineIntake::cut(qint64 cutEnd, const QDateTime& at, const QByteArray& message)
{
    m_archive.sessionCut(cutEnd, at, message);
    m_archive.setSessionOpen(!m_session.buffer().isEmpty());
    writeArchive();
    emit buffersChanged();
    if (m_session.hasCompleteMessage() && !m_cutScheduled) {
        m_cutScheduled = true;
        QTimer::singleShot(0, this, &LineIntake::cutNext);
    }
}

void LineIntake::cutNext()
{
    m_cutScheduled = false;
    const SerialSession::Actions actions = m_session.onData({});
    if (actions.messageCut)
        cut(actions.cutEnd, m_context.clock().now(), std::exchange(m_session.messageArea(), {}));
}

void LineIntake::resetLine()
{
    cutPending();
    // A session open now never gets its EOT: it is cut off as incomplete (held and named, never
    // stored), and the archive marks the restart so that it does not merge with the next one.
    if (CaptureArchive::isRecordText(m_session.buffer()))
        m_archive.sessionCut(m_session.streamPosition(), m_context.clock().now(), m_session.buffer(), false);
    if (!m_session.buffer().isEmpty())
        m_archive.restartHere();
    m_session.reset();
    m_session.setFrameAnswers(m_context.settings.FrameAck == 1);
    m_archive.setSessionOpen(false);
    writeArchive();
    emit buffersChanged();
}

void LineIntake::parseNow()
{
    if (m_session.messageArea().isEmpty())
        return;
    ReceivedSession session;
    session.bytes = std::exchange(m_session.messageArea(), {});
    session.receivedAt = m_context.clock().now();
    emit buffersChanged();
    m_undelivered.append(session);
    dispatch();
}

bool LineIntake::flushArchive()
{
    writeArchive();
    return m_alarm.isEmpty();
}

void LineIntake::writeArchive()
{
    m_flush->stop();
    QString error;
    if (m_archive.write(&error)) {
        m_archiveRetry->stop();
        setAlarm(m_archive.lostBytes() > 0
                     ? QStringLiteral("%1 bytes received while the archive was full are not in it")
                           .arg(m_archive.lostBytes())
                     : QString());
    } else {
        if (!m_archiveRetry->isActive())
            m_archiveRetry->start();
        setAlarm(QStringLiteral("capture archive: %1 (%2 bytes waiting)").arg(error).arg(m_archive.pending()));
    }
    dispatch();
}

void LineIntake::dispatch()
{
    m_undelivered += m_archive.takeDurable();
    if (!m_worker)
        return;
    for (const ReceivedSession& session : std::exchange(m_undelivered, {})) {
        emit sessionDispatched(session.bytes);
        QMetaObject::invokeMethod(
            m_worker, [w = m_worker, session] { w->take(session); }, Qt::QueuedConnection);
    }
}

void LineIntake::setAlarm(const QString& alarm)
{
    if (alarm == m_alarm)
        return;
    m_alarm = alarm;
    if (!alarm.isEmpty())
        qWarning("receiver: %s", qUtf8Printable(alarm));
    emit alarmChanged(alarm);
}

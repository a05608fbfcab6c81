#include "link/ReceiveWorker.h"

#include "core/AppContext.h"
#include "db/Databases.h"
#include "link/CaptureArchive.h"
#include "link/ReceiveChain.h"
#include "link/SessionJournal.h"
#include "platform/QueuedDialogs.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

namespace {
// A lock is waited for this long inside a statement before the session is tried again later.
constexpr int kBusyTimeoutMs = 1000;
} // namespace

ReceiveWorker::ReceiveWorker(const AppContext& main)
    : m_dialogs(std::make_unique<QueuedDialogs>(main.dialogs(), QCoreApplication::instance())),
      m_context(new AppContext(main.installFolder(), m_dialogs.get(), &main.clock(), this)),
      m_chain(new ReceiveChain(*m_context, this)), m_retry(new QTimer(this)), m_outboxRetry(new QTimer(this))
{
    m_context->settings = main.settings;
    m_context->InterfaceConnString = main.InterfaceConnString;
    m_context->LisConnString = main.LisConnString;
    m_context->LisIsAccess = main.LisIsAccess;
    m_context->databases().setSqliteBusyTimeout(kBusyTimeoutMs);
    m_retry->setSingleShot(true);
    m_outboxRetry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &ReceiveWorker::processQueue);
    connect(m_outboxRetry, &QTimer::timeout, this, &ReceiveWorker::sendOutbox);
    connect(m_chain, &ReceiveChain::recordParsed, this, &ReceiveWorker::recordParsed);
    connect(m_chain, &ReceiveChain::resultCounted, this, &ReceiveWorker::resultCounted);
    connect(m_chain, &ReceiveChain::listLineAdded, this, &ReceiveWorker::listLineAdded);
    connect(m_chain, &ReceiveChain::listLineChanged, this, &ReceiveWorker::listLineChanged);
    connect(m_chain, &ReceiveChain::soundRequested, this, &ReceiveWorker::soundRequested);
    connect(m_chain, &ReceiveChain::outboxChanged, this, [this](int waiting, const QString& reason) {
        emit outboxChanged(waiting, reason);
        if (waiting == 0 || reason.isEmpty()) {
            m_outboxRetryMs = 0;
            m_chain->setDeliverAtOnce(true);
            return;
        }
        // The LIS is out of reach: sessions are stored without waiting for it, and the outbox is
        // tried again on its own.
        m_chain->setDeliverAtOnce(false);
        m_outboxRetryMs = m_outboxRetryMs == 0 ? 1000 : std::min(m_outboxRetryMs * 2, kMaxOutboxRetryMs);
        m_outboxRetry->start(m_outboxRetryMs);
    });
}

ReceiveWorker::~ReceiveWorker()
{
    // The connections belong to this thread; they are closed before the context goes.
    m_context->databases().closeAll();
}

void ReceiveWorker::start()
{
    processQueue();
    if (m_recovered)
        sendOutbox();
}

void ReceiveWorker::take(const ReceivedSession& session)
{
    m_queue.append(session);
    if (!m_retry->isActive())
        processQueue();
    else
        emit backlogChanged(static_cast<int>(m_queue.size()), QStringLiteral("waiting"));
}

void ReceiveWorker::processQueue()
{
    if (!m_recovered) {
        // What the archive holds without a journal entry comes before anything new.
        const QSqlDatabase db = m_context->databases().OpenInterfaceDbQuiet(4);
        QSqlError error;
        const CaptureArchive archive(m_context->installFolder(), m_context->clock());
        const QString live = QFileInfo(archive.fileFor(m_context->clock().today())).fileName();
        const auto missing =
            db.isOpen() ? SessionJournal::unrecorded(db, archive.folder(), &error, live) : std::nullopt;
        if (!missing) {
            scheduleRetry(db.isOpen() ? error.text() : m_context->databases().lastError(DbSlot::InterfaceQuiet4));
            return;
        }
        // A session the line has cut already is taken as the line cut it: with frame answers on,
        // the archive also holds the copies of frames the line refused.
        QList<ReceivedSession> older = *missing;
        older.removeIf([this](const ReceivedSession& a) {
            return std::any_of(m_queue.cbegin(), m_queue.cend(), [&a](const ReceivedSession& q) {
                return q.hasPlace() && q.archiveFile == a.archiveFile && q.endOffset == a.endOffset;
            });
        });
        m_queue = older + m_queue;
        m_recovered = true;
    }
    while (!m_queue.isEmpty()) {
        const ReceiveChain::Outcome outcome = m_chain->processSession(m_queue.first());
        if (outcome.result == ReceiveChain::Result::Retry) {
            scheduleRetry(outcome.reason);
            return;
        }
        m_queue.removeFirst();
        emit sessionProcessed();
        m_retryMs = 0;
        m_dialogs->clearRepeats();
    }
    emit backlogChanged(0, QString());
}

void ReceiveWorker::scheduleRetry(const QString& reason)
{
    qWarning("receive worker: %s", qUtf8Printable(reason));
    m_retryMs = m_retryMs == 0 ? 250 : std::min(m_retryMs * 2, kMaxRetryMs);
    m_retry->start(m_retryMs);
    emit backlogChanged(static_cast<int>(std::max<qsizetype>(m_queue.size(), 1)), reason);
}

void ReceiveWorker::sendOutbox()
{
    m_chain->deliverOutbox();
}

void ReceiveWorker::finish()
{
    if (!m_retry->isActive())
        processQueue();
    m_retry->stop();
    m_outboxRetry->stop();
}

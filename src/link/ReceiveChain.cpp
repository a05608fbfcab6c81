#include "link/ReceiveChain.h"

#include "core/AppContext.h"
#include "db/Databases.h"
#include "db/DbErrors.h"
#include "db/SqlTransaction.h"
#include "link/AnalyserCapture.h"
#include "link/LisExport.h"
#include "link/MessageParser.h"
#include "link/Notification.h"
#include "link/ReceiveSteps.h"
#include "link/SessionFrames.h"
#include "link/SessionJournal.h"

#include <QSqlQuery>

struct ReceiveChain::Event
{
    enum Kind
    {
        Parsed,
        Counted,
        Line,
        Sound,
        LisOff,
    };
    Kind kind;
    CurrentResult record;
    QString key;
    QString status;
    qint64 outboxId = 0;
    int lineKind = StoredLine;
};

namespace {

using SqlTransaction::begin;
using SqlTransaction::commit;
using SqlTransaction::rollback;

// Outside a record nothing can be held: whatever the error, the session waits for it to pass.
ReceiveChain::Outcome fromError(const QString& step, const QSqlError& error)
{
    return {ReceiveChain::Result::Retry, step + QStringLiteral(": ") + error.text()};
}

} // namespace

ReceiveChain::ReceiveChain(AppContext& context, QObject* parent)
    : QObject(parent), m_context(context), m_realSteps(std::make_unique<ReceiveSteps>(context)),
      m_steps(m_realSteps.get())
{
    m_realSteps->counted = [this] {
        ++m_results;
        m_events.append({Event::Counted, {}, {}, {}, 0, StoredLine});
    };
    m_realSteps->listed = [this](const QString& key, const QString& status, qint64 outboxId, bool kept) {
        m_events.append({Event::Line, {}, key, status, outboxId, kept ? KeptLine : StoredLine});
    };
    m_realSteps->sound = [this] { m_events.append({Event::Sound, {}, {}, {}, 0, StoredLine}); };
    m_realSteps->lisOff = [this] { m_events.append({Event::LisOff, {}, {}, {}, 0, StoredLine}); };
}

ReceiveChain::~ReceiveChain() = default;

void ReceiveChain::setSteps(RecordSteps* steps)
{
    m_steps = steps != nullptr ? steps : m_realSteps.get();
}

void ReceiveChain::setSound(SoundPlayer* player, QTimer* timersx)
{
    m_realSteps->setNotification(nullptr);
    m_notification.reset();
    if (player && timersx)
        m_notification = std::make_unique<Notification>(*player, *timersx);
    m_realSteps->setNotification(m_notification.get());
}

void ReceiveChain::closeSound()
{
    if (m_notification)
        m_notification->close();
}

ReceiveChain::Outcome ReceiveChain::processSession(const ReceivedSession& session)
{
    Databases& databases = m_context.databases();
    const QSqlDatabase db = databases.OpenInterfaceDbQuiet(4);
    if (!db.isOpen())
        return {Result::Retry, QStringLiteral("interface database: ") + databases.lastError(DbSlot::InterfaceQuiet4)};
    const SqlEngine engine = databases.dialect(DbSlot::InterfaceQuiet4).engine();
    QSqlError error;
    const bool byHand =
        session.origin == ReceivedSession::Origin::Replayed || session.origin == ReceivedSession::Origin::Recovered;
    // A session with a place may have been taken up from the archive already (the worker's start
    // and the line can meet); a replayed capture may be one stored before.
    if (!session.force && (session.hasPlace() || session.origin == ReceivedSession::Origin::Replayed)) {
        const std::optional<bool> known = SessionJournal::isRecorded(db, session, &error);
        if (!known)
            return fromError(QStringLiteral("journal"), error);
        if (*known)
            return {Result::Skipped, {}};
    }
    m_sessionNow = session.receivedAt.isValid() ? session.receivedAt : m_context.clock().now();
    // What cannot be verified is held, the records of verified frames are parsed. A record the
    // database refuses for good (a constraint it can never meet) is held too, and the session is
    // stored again without it; any other error waits for its cause to pass.
    const SessionFrames::Sorted sorted = SessionFrames::sort(session.bytes, session.complete);
    m_refused.clear();
    for (;;) {
        const Outcome stored = store(db, engine, session, sorted, byHand);
        if (stored.result != Result::Refused)
            return stored;
        if (m_refusedAt < 0 || m_refused.contains(m_refusedAt))
            return {Result::Retry, stored.reason};
        m_refused.insert(m_refusedAt, QStringLiteral("refused: ") + stored.reason);
    }
}

ReceiveChain::Outcome ReceiveChain::store(const QSqlDatabase& db, SqlEngine engine, const ReceivedSession& session,
                                          const SessionFrames::Sorted& sorted, bool byHand)
{
    QSqlError error;
    if (!begin(db, engine, &error))
        return fromError(QStringLiteral("interface database"), error);
    const std::optional<qint64> id = SessionJournal::open(db, session, m_context.clock().now(), &error);
    if (!id) {
        rollback(db, engine);
        return fromError(QStringLiteral("journal"), error);
    }
    m_sessionId = *id;
    m_events.clear();
    m_holdError.clear();
    m_results = 0;
    m_held = 0;
    m_refusedAt = -1;
    m_realSteps->beginSession(m_sessionId, m_sessionNow, byHand);

    for (const SessionFrames::Held& held : sorted.held)
        hold(held);
    if (m_holdError.isEmpty())
        processRecords(sorted.records);

    const RecordSteps::Error stepError = m_steps->error();
    if (!m_holdError.isEmpty() || stepError.isSet()) {
        rollback(db, engine);
        m_events.clear();
        if (!m_holdError.isEmpty())
            return {Result::Retry, m_holdError};
        return {stepError.transient ? Result::Retry : Result::Refused, stepError.text};
    }
    const SessionJournal::State state = m_held > 0 ? SessionJournal::State::Held : SessionJournal::State::Stored;
    const SqlRun::Outcome closed = SessionJournal::close(db, m_sessionId, state, m_results, QString());
    if (!closed) {
        rollback(db, engine);
        m_events.clear();
        return fromError(QStringLiteral("journal"), closed.error);
    }
    if (!commit(db, engine, &error)) {
        rollback(db, engine);
        m_events.clear();
        return fromError(QStringLiteral("interface database"), error);
    }

    QList<LisOutbox::Delivery> delivered;
    if (m_deliverAtOnce) {
        const bool queued = std::any_of(m_events.cbegin(), m_events.cend(),
                                        [](const Event& e) { return e.kind == Event::Line && e.outboxId != 0; });
        if (queued) {
            const LisOutbox::SendOutcome sent = LisOutbox::deliver(m_context, m_context.clock().now());
            delivered = sent.done;
            emit outboxChanged(sent.waiting, sent.stalled ? sent.reason : QString());
        }
    }
    announce(delivered);
    return {Result::Done, {}};
}

void ReceiveChain::announce(const QList<LisOutbox::Delivery>& delivered)
{
    const QList<Event> events = std::exchange(m_events, {});
    for (const Event& e : events) {
        switch (e.kind) {
        case Event::Parsed:
            emit recordParsed(e.record);
            break;
        case Event::Counted:
            emit resultCounted();
            break;
        case Event::Line: {
            QString status = e.status;
            qint64 waitingFor = e.outboxId;
            for (const LisOutbox::Delivery& d : delivered) {
                if (d.outboxId == e.outboxId) {
                    status = d.written ? LisExport::sentText : LisExport::notSentText;
                    waitingFor = 0;
                }
            }
            emit listLineAdded(e.key + status, waitingFor, e.lineKind);
            break;
        }
        case Event::Sound:
            if (m_realSteps->hasNotification())
                m_realSteps->PlayNotification();
            else
                emit soundRequested();
            break;
        case Event::LisOff:
            m_context.dialogs().warning(LisExport::lisOffTitle, LisExport::lisOffText);
            break;
        }
    }
}

void ReceiveChain::hold(const SessionFrames::Held& held)
{
    ++m_held;
    const SqlRun::Outcome added =
        SqlRun::insert(m_context.databases().OpenInterfaceDbQuiet(4), QStringLiteral("heldframe"),
                       {{QStringLiteral("sessionid"), m_sessionId},
                        {QStringLiteral("receivedat"), m_sessionNow.toString(Qt::ISODateWithMs)},
                        {QStringLiteral("sampleid"), SqlRun::textOrNull(held.samples.join(QStringLiteral(", ")))},
                        {QStringLiteral("shortassay"), SqlRun::textOrNull(held.assays.join(QStringLiteral(", ")))},
                        {QStringLiteral("reason"), held.reason},
                        {QStringLiteral("rawframe"), held.bytes}});
    if (!added && m_holdError.isEmpty())
        m_holdError = QStringLiteral("held frame: ") + added.errorText();
    m_events.append({Event::Line, {}, held.key(), QStringLiteral("     Held: ") + held.reason, 0, HeldLine});
}

void ReceiveChain::processRecords(const QStringList& records)
{
    MessageParser::Options options;
    options.timeFromClock = m_context.settings.PCdateYN == 1;
    if (options.timeFromClock)
        options.now = m_sessionNow;
    options.dateOrder = TagRecord::dateOrderFrom(m_context.settings.DateOrder);
    for (qsizetype i = 0; i < records.size(); ++i) {
        m_current.reset();
        const MessageParser::Reading reading = MessageParser::readPiece(records[i], true, options, m_current);
        // A verified record of neither layout is kept as it came (through its checksum) and shown,
        // never read by position.
        if (reading.kind == MessageParser::Reading::Kind::Held) {
            QByteArray raw = "mtrsl" + records[i].toLatin1();
            if (const qsizetype gs = raw.indexOf(AnalyserCapture::GS); gs >= 0)
                raw.truncate(gs + 3);
            hold(SessionFrames::named(raw, reading.reason));
            if (!m_holdError.isEmpty())
                return;
            continue;
        }
        if (reading.kind != MessageParser::Reading::Kind::Read)
            continue;
        if (m_refused.contains(i)) {
            SessionFrames::Held held{
                "mtrsl" + records[i].toLatin1(), m_refused.value(i), {m_current.LblSampID}, {m_current.Txt_shortAssay}};
            hold(held);
            if (!m_holdError.isEmpty())
                return;
            continue;
        }
        processRecord();
        if (m_steps->error().isSet()) {
            m_refusedAt = i;
            return;
        }
    }
}

void ReceiveChain::ParseMessages(QByteArray& messageArea)
{
    ReceivedSession session;
    session.bytes = std::exchange(messageArea, QByteArray());
    session.receivedAt = m_context.clock().now();
    session.origin = ReceivedSession::Origin::Direct;
    const Outcome outcome = processSession(session);
    if (outcome.result == Result::Retry)
        qWarning("receive chain: %s", qUtf8Printable(outcome.reason));
}

LisOutbox::SendOutcome ReceiveChain::deliverOutbox()
{
    const LisOutbox::SendOutcome sent = LisOutbox::deliver(m_context, m_context.clock().now());
    for (const LisOutbox::Delivery& d : sent.done)
        emit listLineChanged(d.outboxId, d.written ? LisExport::sentText : LisExport::notSentText);
    emit outboxChanged(sent.waiting, sent.stalled ? sent.reason : QString());
    return sent;
}

// The order is fixed: the evaluation may change the value before the result text is composed, and
// the flag and storage see the final text.
void ReceiveChain::processRecord()
{
    if (!m_current.Txt_shortAssay.isEmpty())
        m_steps->Evaluate(m_current);
    if (m_steps->error().isSet())
        return;
    m_current.Txt_resultt1 = MessageParser::resultText(m_current.Txt_resultt2, m_current.Txt_resultt3);
    if (!m_current.Txt_resultt1.isEmpty())
        m_steps->Flag(m_current);
    if (!m_current.Txt_shortAssay.isEmpty() && !m_current.Txt_resultt1.isEmpty()) {
        if (!m_current.LblSampID.isEmpty())
            m_steps->StoreResult(m_current);
        else
            m_steps->StoreResultNoSample(m_current);
    }
    if (m_steps->error().isSet())
        return;
    m_events.append({Event::Parsed, m_current, {}, {}, 0, StoredLine});
}

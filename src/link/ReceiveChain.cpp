#include "link/ReceiveChain.h"

#include "app/AppContext.h"
#include "link/MessageParser.h"
#include "link/Notification.h"
#include "link/ReceiveSteps.h"

ReceiveChain::ReceiveChain(AppContext& context, QObject* parent)
    : QObject(parent), m_context(context), m_realSteps(std::make_unique<ReceiveSteps>(context)),
      m_steps(m_realSteps.get())
{
    m_realSteps->counted = [this] { emit resultCounted(); };
    m_realSteps->listed = [this](const QString& line) { emit listLineAdded(line); };
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

void ReceiveChain::ParseMessages(QByteArray& messageArea)
{
    const QStringList pieces = MessageParser::splitPieces(MessageParser::decode(messageArea));
    for (const QString& piece : pieces) {
        m_current.reset();
        MessageParser::Options options;
        options.timeFromClock = m_context.settings.PCdateYN == 1;
        if (options.timeFromClock)
            options.now = m_context.clock().now();
        if (!MessageParser::readRecord(piece, options, m_current))
            continue;
        processRecord();
    }
    messageArea.clear();
}

// The order is fixed: the evaluation may change the value before the result text is composed, and
// the flag and storage see the final text.
void ReceiveChain::processRecord()
{
    if (!m_current.Txt_shortAssay.isEmpty())
        m_steps->Evaluate(m_current);
    m_current.Txt_resultt1 = MessageParser::resultText(m_current.Txt_resultt2, m_current.Txt_resultt3);
    if (!m_current.Txt_resultt1.isEmpty())
        m_steps->Flag(m_current);
    if (!m_current.Txt_shortAssay.isEmpty() && !m_current.Txt_resultt1.isEmpty()) {
        if (!m_current.LblSampID.isEmpty())
            m_steps->StoreResult(m_current);
        else
            m_steps->StoreResultNoSample(m_current);
    }
    emit recordParsed(m_current);
}

#include "link/ReceiveChain.h"

#include "app/AppContext.h"

ReceiveChain::ReceiveChain(AppContext& context, QObject* parent) : QObject(parent), m_context(context) {}

void ReceiveChain::ParseMessages(QByteArray& messageArea)
{
    // Parsing comes next; for now the area is only emptied.
    messageArea.clear();
}

void ReceiveChain::processRecord(const QString& record)
{
    Q_UNUSED(record);
}

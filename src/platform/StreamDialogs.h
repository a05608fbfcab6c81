#pragma once

#include "platform/Dialogs.h"

#include <QTextStream>

// Message boxes for the command line: each message is written as one line, title and text, to the
// given stream (standard error). Nobody is there to answer, so every question is answered No
// (Cancel where there is no No).
class StreamDialogs final : public Dialogs
{
public:
    explicit StreamDialogs(QTextStream& stream) : m_stream(stream) {}
    DialogAnswer show(const DialogRequest& request) override;

private:
    QTextStream& m_stream;
};

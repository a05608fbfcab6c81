#pragma once

#include "platform/Dialogs.h"

#include <QList>

// Records every message box and answers questions from a script (Yes when the script is empty).
class FakeDialogs final : public Dialogs
{
public:
    DialogAnswer show(const DialogRequest& request) override
    {
        shown.append(request);
        if (request.buttons == DialogButtons::Ok)
            return DialogAnswer::Ok;
        if (!answers.isEmpty())
            return answers.takeFirst();
        return request.buttons == DialogButtons::OkCancel ? DialogAnswer::Ok : DialogAnswer::Yes;
    }

    const DialogRequest& last() const { return shown.last(); }
    void clear() { shown.clear(); }

    QList<DialogRequest> shown;
    QList<DialogAnswer> answers;
};

#include "platform/QueuedDialogs.h"

#include <QMetaObject>

DialogAnswer QueuedDialogs::show(const DialogRequest& request)
{
    const bool question = request.buttons == DialogButtons::YesNo || request.buttons == DialogButtons::YesNoCancel;
    const DialogAnswer answer = question ? DialogAnswer::No : DialogAnswer::Cancel;
    const QString key = request.title + QLatin1Char('\n') + request.text;
    if (m_shown.contains(key))
        return answer;
    m_shown.insert(key);
    if (!m_home)
        return answer;
    Dialogs* target = &m_target;
    QMetaObject::invokeMethod(
        m_home, [target, request] { target->show(request); }, Qt::QueuedConnection);
    return answer;
}

#include "platform/StreamDialogs.h"

DialogAnswer StreamDialogs::show(const DialogRequest& request)
{
    QString text = request.text;
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    m_stream << request.title << ": " << text << '\n';
    m_stream.flush();
    switch (request.buttons) {
    case DialogButtons::Ok:
        return DialogAnswer::Ok;
    case DialogButtons::OkCancel:
        return DialogAnswer::Cancel;
    case DialogButtons::YesNo:
    case DialogButtons::YesNoCancel:
        break;
    }
    return DialogAnswer::No;
}

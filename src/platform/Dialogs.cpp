#include "platform/Dialogs.h"

void Dialogs::information(const QString& title, const QString& text)
{
    show({DialogIcon::Information, DialogButtons::Ok, title, text});
}

void Dialogs::warning(const QString& title, const QString& text)
{
    show({DialogIcon::Warning, DialogButtons::Ok, title, text});
}

void Dialogs::error(const QString& title, const QString& text)
{
    show({DialogIcon::Error, DialogButtons::Ok, title, text});
}

bool Dialogs::askYesNo(const QString& title, const QString& text, DialogIcon icon)
{
    return show({icon, DialogButtons::YesNo, title, text}) == DialogAnswer::Yes;
}

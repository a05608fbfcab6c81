#pragma once

#include <QString>

// Every message box of the program goes through this layer: the real one shows a right-to-left
// message box, the tests' fake records what was asked and answers from a script.
enum class DialogIcon
{
    Information,
    Warning,
    Error,
    Question
};
enum class DialogButtons
{
    Ok,
    YesNo,
    YesNoCancel,
    OkCancel
};
enum class DialogAnswer
{
    Ok,
    Yes,
    No,
    Cancel
};

struct DialogRequest
{
    DialogIcon icon = DialogIcon::Information;
    DialogButtons buttons = DialogButtons::Ok;
    QString title;
    QString text;
};

class Dialogs
{
public:
    virtual ~Dialogs() = default;
    virtual DialogAnswer show(const DialogRequest& request) = 0;

    void information(const QString& title, const QString& text);
    void warning(const QString& title, const QString& text);
    void error(const QString& title, const QString& text);
    // Yes/No question; `icon` lets a caller ask with the information or warning icon.
    bool askYesNo(const QString& title, const QString& text, DialogIcon icon = DialogIcon::Question);
};

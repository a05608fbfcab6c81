#pragma once

#include <QDialog>

class AppContext;

// The About window: the program, its build, where it is installed, the databases in use, the Qt
// it runs on and the licences of what ships with it. Modal; Escape or Close closes it.
class AboutDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AboutDialog)

public:
    explicit AboutDialog(const AppContext& context, QWidget* parent = nullptr);
};

#pragma once

#include <QWidget>

class AppContext;
class NavigationWidget;

// Form1: the hub of the program after the login. For now the navigation strip with the user's name
// and login time over an empty work area, where the daily worklist goes.
class MainWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    explicit MainWindow(AppContext& context, QWidget* parent = nullptr);

    NavigationWidget* navigation() const { return m_navigation; }
    // The area below the strip that holds the window's own controls.
    QWidget* workArea() const { return m_workArea; }

private:
    AppContext& m_context;
    NavigationWidget* m_navigation;
    QWidget* m_workArea;
};

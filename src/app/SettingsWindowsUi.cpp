#include "app/SettingsWindowsUi.h"

#include "app/ProgramUi.h"
#include "platform/ProgramRestart.h"
#include "settings/AboutDialog.h"
#include "settings/SettingsWindow.h"

void registerSettingsWindows(ProgramUi& ui, AppContext& context, ProgramRestart& restart)
{
    ui.registerWindow(NavEntry::Setting, [&ui, &context, &restart](NavigationWidget** navigation) -> QWidget* {
        auto* window = new SettingsWindow(context);
        *navigation = window->navigation();
        QObject::connect(window, &SettingsWindow::restartRequested, &ui, [&ui, &restart] {
            restart.requestRestart();
            ui.endProgram(0);
        });
        QObject::connect(window, &SettingsWindow::programEndRequested, &ui, &ProgramUi::endProgram);
        return window;
    });
    ui.registerWindow(NavEntry::AboutUs,
                      [&context](NavigationWidget**) -> QWidget* { return new AboutDialog(context); });
    ui.setRecoveryHandler([](QWidget* window, const QString& page) {
        if (auto* settings = qobject_cast<SettingsWindow*>(window))
            settings->enterRecovery(page);
    });
}

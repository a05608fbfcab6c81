#include "app/ReferenceWindowsUi.h"

#include "app/ProgramUi.h"
#include "refdata/CatalogueWindow.h"
#include "refdata/CommentsWindow.h"
#include "refdata/RangesWindow.h"

void registerReferenceWindows(ProgramUi& ui, AppContext& context)
{
    const auto catalogue = [&ui, &context](NavigationWidget** navigation) -> QWidget* {
        auto* window = new CatalogueWindow(context);
        *navigation = window->navigation();
        QObject::connect(window, &CatalogueWindow::rangesRequested, &ui,
                         [&ui, &context, window](const RangeOpening& o) {
                             auto* ranges = new RangesWindow(context, o);
                             ui.openFrom(window, ranges, ranges->navigation());
                         });
        return window;
    };
    for (const NavEntry entry : {NavEntry::Ranges, NavEntry::Factors, NavEntry::ResultOptions})
        ui.registerWindow(entry, catalogue);
    ui.registerWindow(NavEntry::Comments, [&context](NavigationWidget** navigation) -> QWidget* {
        auto* window = new CommentsWindow(context);
        *navigation = window->navigation();
        return window;
    });
}

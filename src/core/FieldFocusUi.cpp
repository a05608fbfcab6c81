#include "core/FieldFocusUi.h"

#include <QEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

namespace {
class SelectAllOnFocus final : public QObject
{
public:
    explicit SelectAllOnFocus(QLineEdit* edit) : QObject(edit) { edit->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusIn) {
            // After the event: a mouse click that gave the focus would otherwise place the cursor
            // and undo the selection.
            QPointer<QLineEdit> edit = static_cast<QLineEdit*>(watched);
            QTimer::singleShot(0, edit, [edit] {
                if (edit && edit->hasFocus())
                    edit->selectAll();
            });
        }
        return false;
    }
};
} // namespace

void selectAllOnFocus(QLineEdit* edit)
{
    new SelectAllOnFocus(edit);
}

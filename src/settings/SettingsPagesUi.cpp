#include "settings/SettingsPagesUi.h"

#include "common/Numbers.h"
#include "config/IniFile.h"
#include "core/ColourRef.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {
// Calls `action` on a click (or a double click, for text boxes) of the watched control.
class ClickFilter final : public QObject
{
public:
    ClickFilter(QWidget* watched, QEvent::Type type, std::function<void()> action)
        : QObject(watched), m_type(type), m_action(std::move(action))
    {
        watched->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == m_type && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
            static_cast<QWidget*>(watched)->isEnabled()) {
            QTimer::singleShot(0, this, m_action);
            return m_type == QEvent::MouseButtonPress;
        }
        return false;
    }

private:
    QEvent::Type m_type;
    std::function<void()> m_action;
};

// Calls `action` when the watched box gets the focus.
class FocusFilter final : public QObject
{
public:
    FocusFilter(QWidget* watched, std::function<void()> action) : QObject(watched), m_action(std::move(action))
    {
        watched->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::FocusIn)
            m_action();
        return false;
    }

private:
    std::function<void()> m_action;
};

} // namespace

void onClick(QWidget* watched, QEvent::Type type, std::function<void()> action)
{
    new ClickFilter(watched, type, std::move(action));
}

void onFocus(QWidget* watched, std::function<void()> action)
{
    new FocusFilter(watched, std::move(action));
}

void setSampleColour(QLabel* sample, int colour)
{
    sample->setProperty("colourRef", colour);
    sample->setStyleSheet(QStringLiteral("QLabel { background-color: %1; border: 1px solid #707070; }")
                              .arg(fromColourRef(colour).name()));
}

void SettingsBinder::bind(const QString& section, const QString& key, std::function<void(const QString&)> show,
                          std::function<QString()> value)
{
    m_bindings.append({m_page, section, key, std::move(show), std::move(value)});
}

QLineEdit* SettingsBinder::text(QWidget* parent, const char* name, const QString& section, const QString& key)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    // What the settings file gives back: a longer value would be cut when it is read again.
    edit->setMaxLength(IniFormat::kMaxValueLength);
    bind(
        section, key, [edit](const QString& stored) { edit->setText(stored); }, [edit] { return edit->text(); });
    return edit;
}

QCheckBox* SettingsBinder::flag(QWidget* parent, const char* name, const QString& caption, const QString& section,
                                const QString& key)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    bind(
        section, key, [box](const QString& stored) { box->setChecked(Numbers::toInt16(stored) == 1); },
        [box] { return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"); });
    return box;
}

void SettingsBinder::onOff(QRadioButton* on, QRadioButton* off, const QString& section, const QString& key)
{
    bind(
        section, key,
        [on, off](const QString& stored) { (Numbers::toInt16(stored) == 1 ? on : off)->setChecked(true); },
        [on] { return on->isChecked() ? QStringLiteral("1") : QStringLiteral("0"); });
}

void SettingsBinder::zeroOrOne(QRadioButton* zero, QRadioButton* one, const QString& section, const QString& key)
{
    bind(
        section, key,
        [zero, one](const QString& stored) { (Numbers::toInt16(stored) == 0 ? zero : one)->setChecked(true); },
        [zero] { return zero->isChecked() ? QStringLiteral("0") : QStringLiteral("1"); });
}

QComboBox* SettingsBinder::choice(QWidget* parent, const char* name, const QStringList& entries, const QString& section,
                                  const QString& key)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    combo->addItems(entries);
    bind(
        section, key, [combo](const QString& stored) { selectText(combo, stored); },
        [combo] { return combo->currentText(); });
    return combo;
}

void selectText(QComboBox* combo, const QString& text)
{
    int index = combo->findText(text);
    if (index < 0 && !text.isEmpty()) {
        combo->addItem(text);
        index = combo->count() - 1;
    }
    combo->setCurrentIndex(index);
}

QRadioButton* option(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = new QRadioButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}

QPushButton* pushButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    button->setMinimumHeight(30);
    button->setMinimumWidth(button->sizeHint().width() + 12);
    return button;
}

QLabel* caption(QWidget* parent, const QString& text)
{
    auto* label = new QLabel(text, parent);
    return label;
}

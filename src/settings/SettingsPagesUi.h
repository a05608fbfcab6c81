#pragma once

#include <QEvent>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

// One control of the settings window bound to its key: how a stored value is shown and what is
// stored from the control.
struct SettingBinding
{
    QString page; // the section of the page that holds the control
    QString section;
    QString key;
    std::function<void(const QString& stored)> show;
    std::function<QString()> value;
};

// Makes the settings window's controls and binds each to its key; the page being built decides
// which page the bindings belong to.
class SettingsBinder
{
public:
    void setPage(const QString& page) { m_page = page; }
    void bind(const QString& section, const QString& key, std::function<void(const QString&)> show,
              std::function<QString()> value);

    QLineEdit* text(QWidget* parent, const char* name, const QString& section, const QString& key);
    QCheckBox* flag(QWidget* parent, const char* name, const QString& caption, const QString& section,
                    const QString& key);
    // Two options for a flag: the first stores "1", the second "0" (any stored value but 1 shows the second).
    void onOff(QRadioButton* on, QRadioButton* off, const QString& section, const QString& key);
    // Options for the values "0" (first) and "1" (second; any stored value but 0).
    void zeroOrOne(QRadioButton* zero, QRadioButton* one, const QString& section, const QString& key);
    // A list whose entry is the stored text; a stored text not among the entries is added, so that
    // saving never loses it.
    QComboBox* choice(QWidget* parent, const char* name, const QStringList& entries, const QString& section,
                      const QString& key);

    const QList<SettingBinding>& bindings() const { return m_bindings; }

private:
    QString m_page;
    QList<SettingBinding> m_bindings;
};

// Shows `text` in the list, adding it as an entry when the list has no such entry.
void selectText(QComboBox* combo, const QString& text);

QRadioButton* option(QWidget* parent, const char* name, const QString& caption);
QPushButton* pushButton(QWidget* parent, const char* name, const QString& caption);
QLabel* caption(QWidget* parent, const QString& text);

// Calls `action` after a left click (QEvent::MouseButtonPress) or double click on an enabled control.
void onClick(QWidget* watched, QEvent::Type type, std::function<void()> action);
// Calls `action` whenever the control gets the focus.
void onFocus(QWidget* watched, std::function<void()> action);
// A colour sample: its background shows the colour (24-bit, red in the low byte), kept in the
// "colourRef" property.
void setSampleColour(QLabel* sample, int colour);

#pragma once

#include "settings/ConnectionCheck.h"
#include "settings/ReportStyles.h"
#include "settings/SettingsPagesUi.h"
#include "settings/SettingsRules.h"

#include <QMap>
#include <QPointer>
#include <QWidget>
#include <memory>

class AppContext;
class NavigationWidget;
class Printers;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTimer;
class StylePicker;

// com_setting_frm: every setting on six pages. cmdOK saves everything and keeps the window open;
// cmdOKexit saves the servers and restarts the program. In recovery mode (a database or the port
// could not be used) only the failing page can be used and the save restarts the program.
class SettingsWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SettingsWindow)

public:
    explicit SettingsWindow(AppContext& context, QWidget* parent = nullptr);
    ~SettingsWindow() override;

    NavigationWidget* navigation() const { return m_navigation; }
    // The printers and the font and colour dialogs: the system's unless others are set (not owned).
    void setPrinters(Printers* printers) { m_printers = printers; }
    void setStylePicker(StylePicker* picker) { m_picker = picker; }

    // Only `page` ("server", "corvanaserver", "comsetup") stays usable; Save restarts the program.
    void enterRecovery(const QString& page);
    bool inRecovery() const { return !m_recoveryPage.isEmpty(); }
    // Shows the page of a section ("server", "corvanaserver", "comsetup", "result", "system", "report").
    void showPage(const QString& page);
    bool isLoaded() const { return m_loaded; }

signals:
    // Both load steps are done (the sounds list is the last).
    void loaded();
    // The servers are saved: the program should start again.
    void restartRequested();
    // A settings file is missing: the program ends.
    void programEndRequested(int exitCode);

private:
    struct Page
    {
        QString section;
        QPushButton* button;
        QWidget* panel;
    };

    void buildControls();
    QWidget* buildServerPage(QWidget* parent);
    QWidget* buildLisPage(QWidget* parent);
    QWidget* buildSerialPage(QWidget* parent);
    QWidget* buildResultPage(QWidget* parent);
    QWidget* buildSystemPage(QWidget* parent);
    QWidget* buildReportPage(QWidget* parent);
    QWidget* buildStylesBox(QWidget* parent);
    void addPage(const QString& section, const char* buttonName, const QString& caption, QWidget* panel);
    void englishOnFocus(QLineEdit* edit);
    void styleOnDoubleClick(QLineEdit* edit, const QString& element);

    void loadFirst();
    void loadSounds();
    void fillPrinters(const QString& stored);
    void fillSerialDevices(const QString& stored);
    void showStyle(const QString& element);
    void pickStyle(const QString& element);
    void pickColour(QLabel* sample);
    void updateIndicators();
    void updateEngines();
    void setPageButtonsEnabled(bool enabled);

    AppSettings typedSettings() const;
    void testConnection(ConnectionCheck::Server server);
    void playSound();
    void save();
    void saveAndRestart();
    bool writeFiles(const QList<SettingsFile::Edit>& settingsEdits, bool withStyles);
    QList<SettingsFile::Edit> editsOf(const QStringList& pages) const;
    SettingsRules::SaveCheck saveCheck() const;
    QWidget* control(const char* name) const;

    AppContext& m_context;
    NavigationWidget* m_navigation;
    Printers* m_printers = nullptr;
    std::unique_ptr<Printers> m_systemPrinters;
    StylePicker* m_picker = nullptr;
    std::unique_ptr<StylePicker> m_systemPicker;
    ConnectionCheck::Runner* m_check;
    SettingsBinder m_binder;
    QList<Page> m_pages;
    QStackedWidget* m_panels = nullptr;
    QLabel* m_heading = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_okExit = nullptr;
    QComboBox* m_sounds = nullptr;
    QComboBox* m_printersList = nullptr;
    QComboBox* m_devices = nullptr;
    QMap<QString, ReportStyles::Style> m_styles;
    QMap<QString, QWidget*> m_styleSamples;
    QMap<QLabel*, QString> m_colourKeys;
    // Per binding: the text the file held, and what the control gave for it when loaded. A control
    // the user left alone stores the file's text again, byte for byte (an absent key, "2" where
    // the options know 0 and 1, a margin shown rounded).
    QStringList m_storedValues;
    QStringList m_loadedValues;
    QString m_recoveryPage;
    QTimer* m_soundStop;
    bool m_soundOpen = false;
    bool m_loaded = false;
};

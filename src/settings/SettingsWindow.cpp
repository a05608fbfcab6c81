#include "settings/SettingsWindow.h"

#include "common/Numbers.h"
#include "config/IniFile.h"
#include "core/AppContext.h"
#include "core/ColourRef.h"
#include "core/NavigationWidget.h"
#include "core/WindowCodes.h"
#include "platform/KeyboardLayout.h"
#include "platform/Printers.h"
#include "platform/StylePickerUi.h"
#include "platform/SystemPrintersUi.h"
#include "settings/SettingsMessages.h"
#include "settings/StationLists.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStackedWidget>
#include <QSysInfo>
#include <QTimer>
#include <QVBoxLayout>

using SettingsRules::interfacePage;
using SettingsRules::lisPage;
using SettingsRules::serialPage;

namespace {

const QString resultPage = QStringLiteral("result");
const QString systemPage = QStringLiteral("system");
const QString reportPage = QStringLiteral("report");

const QString deviceByPort = QStringLiteral("حسب رقم المنفذ");
const QString deviceGone = QStringLiteral(" (غير متصل الان)");
// How long a tried sound may play before the device is closed.
constexpr int kSoundTestMs = 10000;

QIcon indicator(bool on)
{
    QPixmap pixmap(14, 14);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(0x40, 0x40, 0x40));
    painter.setBrush(on ? QColor(55, 190, 32) : QColor(0xb0, 0xb0, 0xb0));
    painter.drawEllipse(1, 1, 12, 12);
    return QIcon(pixmap);
}

int colourRef(const QColor& colour)
{
    return colour.red() | (colour.green() << 8) | (colour.blue() << 16);
}

} // namespace

SettingsWindow::SettingsWindow(AppContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context),
      m_navigation(new NavigationWidget(context, WindowCode::Settings, this)),
      m_check(new ConnectionCheck::Runner(this)), m_soundStop(new QTimer(this))
{
    setObjectName(QStringLiteral("com_setting_frm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setLayoutDirection(Qt::RightToLeft);
    setWindowTitle(QStringLiteral("اعدادات النظام"));
    buildControls();
    // The report page's two columns without scrolling, on a 1024 x 768 screen.
    resize(1010, 720);
    m_navigation->windowLoaded();
    showPage(interfacePage);

    m_soundStop->setObjectName(QStringLiteral("Tmr_soundstop"));
    m_soundStop->setSingleShot(true);
    m_soundStop->setInterval(kSoundTestMs);
    connect(m_soundStop, &QTimer::timeout, this, [this] {
        if (m_soundOpen)
            m_context.soundPlayer().close();
        m_soundOpen = false;
    });
    connect(m_check, &ConnectionCheck::Runner::finished, this,
            [this](const ConnectionCheck::Message& message, const QString& reason) {
                if (!reason.isEmpty())
                    qWarning("settings: connection test: %s", qUtf8Printable(reason));
                for (const char* name : {"cmd_TestSql", "cmd_sqlCRV"})
                    control(name)->setEnabled(true);
                m_context.dialogs().show({message.icon, DialogButtons::Ok, message.title, message.text});
            });
    // The load timer, then the sounds' timer.
    QTimer::singleShot(0, this, &SettingsWindow::loadFirst);
}

SettingsWindow::~SettingsWindow()
{
    if (m_soundOpen)
        m_context.soundPlayer().close();
}

QWidget* SettingsWindow::control(const char* name) const
{
    // Page controls first: the navigation strip has a cmd_resultopt of its own.
    if (auto* found = m_panels->parentWidget()->findChild<QWidget*>(QLatin1String(name)))
        return found;
    return findChild<QWidget*>(QLatin1String(name));
}

void SettingsWindow::buildControls()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(m_navigation);

    auto* body = new QWidget(this);
    body->setObjectName(QStringLiteral("Pct_settings"));
    root->addWidget(body, 1);
    auto* bodyLayout = new QHBoxLayout(body);
    bodyLayout->setContentsMargins(12, 12, 12, 12);
    bodyLayout->setSpacing(12);

    auto* buttons = new QWidget(body);
    buttons->setObjectName(QStringLiteral("Pct_pagebuttons"));
    auto* buttonColumn = new QVBoxLayout(buttons);
    buttonColumn->setContentsMargins(0, 0, 0, 0);
    bodyLayout->addWidget(buttons);

    auto* right = new QVBoxLayout;
    bodyLayout->addLayout(right, 1);
    m_heading = new QLabel(body);
    m_heading->setObjectName(QStringLiteral("Lbl_settingsddrees"));
    QFont headingFont = m_heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.3);
    m_heading->setFont(headingFont);
    right->addWidget(m_heading);
    m_panels = new QStackedWidget(body);
    right->addWidget(m_panels, 1);

    m_binder.setPage(interfacePage);
    addPage(interfacePage, "cmd_serverset", QStringLiteral("سيرفر الانترفيس"), buildServerPage(m_panels));
    m_binder.setPage(lisPage);
    addPage(lisPage, "cmd_servercorvana", QStringLiteral("سيرفر كورفانا سيستم"), buildLisPage(m_panels));
    m_binder.setPage(serialPage);
    addPage(serialPage, "cmd_settingcom", QStringLiteral("منفذ الاتصال"), buildSerialPage(m_panels));
    m_binder.setPage(resultPage);
    addPage(resultPage, "cmd_resultopt", QStringLiteral("خيارات النتائج"), buildResultPage(m_panels));
    m_binder.setPage(systemPage);
    addPage(systemPage, "cmd_systemopt", QStringLiteral("خيارات النظام"), buildSystemPage(m_panels));
    m_binder.setPage(reportPage);
    addPage(reportPage, "cmd_fontcolor", QStringLiteral("التقارير والخطوط والالوان"), buildReportPage(m_panels));
    for (const Page& page : m_pages) {
        page.button->setParent(buttons);
        buttonColumn->addWidget(page.button);
    }
    buttonColumn->addStretch(1);

    auto* saveRow = new QHBoxLayout;
    right->addLayout(saveRow);
    saveRow->addStretch(1);
    m_ok = pushButton(body, "cmdOK", QStringLiteral("حفظ"));
    m_okExit = pushButton(body, "cmdOKexit", QStringLiteral("حفظ واعادة تشغيل البرنامج"));
    saveRow->addWidget(m_ok);
    saveRow->addWidget(m_okExit);
    connect(m_ok, &QPushButton::clicked, this, &SettingsWindow::save);
    connect(m_okExit, &QPushButton::clicked, this, &SettingsWindow::saveAndRestart);
}

void SettingsWindow::addPage(const QString& section, const char* buttonName, const QString& caption, QWidget* panel)
{
    auto* button = pushButton(this, buttonName, caption);
    button->setMinimumWidth(215);
    button->setMinimumHeight(40);
    m_panels->addWidget(panel);
    m_pages.append({section, button, panel});
    connect(button, &QPushButton::clicked, this, [this, section] { showPage(section); });
}

void SettingsWindow::showPage(const QString& section)
{
    for (const Page& page : m_pages) {
        if (page.section == section) {
            m_panels->setCurrentWidget(page.panel);
            m_heading->setText(page.button->text());
        }
    }
}

void SettingsWindow::englishOnFocus(QLineEdit* edit)
{
    onFocus(edit, [this] { SetKeyboardLayout(m_context.keyboardLayout(), 2); });
}

void SettingsWindow::styleOnDoubleClick(QLineEdit* edit, const QString& element)
{
    m_styleSamples.insert(element, edit);
    onClick(edit, QEvent::MouseButtonDblClick, [this, element] { pickStyle(element); });
}

void SettingsWindow::enterRecovery(const QString& page)
{
    m_recoveryPage = page;
    setPageButtonsEnabled(true);
    m_ok->hide();
    m_okExit->show();
    // Every other window is about to go; only leaving the program stays on the strip.
    for (const NavEntry entry : allNavEntries) {
        if (QPushButton* b = m_navigation->button(entry))
            b->setEnabled(entry == NavEntry::Exit || entry == NavEntry::Mini);
    }
    showPage(page);
}

void SettingsWindow::setPageButtonsEnabled(bool enabled)
{
    for (const Page& page : m_pages)
        page.button->setEnabled(enabled && (m_recoveryPage.isEmpty() || page.section == m_recoveryPage));
}

// The load timer: the settings of every page, the printers and the title styles.
void SettingsWindow::loadFirst()
{
    const QString ini = m_context.installFolder().settingsIni();
    const QString memory = m_context.installFolder().memoryIni();
    if (!QFileInfo(ini).isFile() || !QFileInfo(memory).isFile()) {
        m_context.dialogs().warning(SettingsMessages::warningTitle, SettingsMessages::filesMissing);
        emit programEndRequested(1);
        return;
    }
    m_storedValues.clear();
    for (const SettingBinding& binding : m_binder.bindings()) {
        m_storedValues.append(ReadIni(ini, binding.section, binding.key));
        binding.show(m_storedValues.last());
    }
    for (const ReportStyles::Element& element : ReportStyles::elements()) {
        m_styles.insert(element.id, ReportStyles::read(memory, element.id));
        showStyle(element.id);
    }
    updateIndicators();
    updateEngines();
    QTimer::singleShot(0, this, &SettingsWindow::loadSounds);
}

void SettingsWindow::loadSounds()
{
    const QString stored = m_sounds->property("stored").toString();
    m_sounds->clear();
    m_sounds->addItems(StationLists::soundFiles(m_context.installFolder().soundFolder()));
    // A sound that is no longer there stays chosen (the sound test says it is missing).
    selectText(m_sounds, stored);
    m_sounds->setEnabled(static_cast<QCheckBox*>(control("Chk_sound"))->isChecked());
    m_loadedValues.clear();
    for (const SettingBinding& binding : m_binder.bindings())
        m_loadedValues.append(binding.value());
    m_loaded = true;
    emit loaded();
}

void SettingsWindow::fillPrinters(const QString& stored)
{
    if (!m_printers) {
        m_systemPrinters = std::make_unique<SystemPrintersUi>();
        m_printers = m_systemPrinters.get();
    }
    const QStringList names = m_printers->printerNames();
    m_printersList->clear();
    m_printersList->addItems(names);
    // A report printer that is not installed here stays the setting until another is chosen.
    selectText(m_printersList, stored);
    if (names.isEmpty() && !inRecovery())
        m_context.dialogs().warning(SettingsMessages::warningTitle, SettingsMessages::noPrinter);
}

void SettingsWindow::fillSerialDevices(const QString& stored)
{
    m_devices->clear();
    m_devices->addItem(deviceByPort, QString());
    // Paths read left to right inside the right-to-left list.
    const auto path = [](const QString& device) { return QChar(0x2066) + device + QChar(0x2069); };
    bool found = stored.isEmpty();
    for (const StationLists::SerialDevice& device : StationLists::serialDevices()) {
        const QString text = device.description.isEmpty()
                                 ? path(device.device)
                                 : path(device.device) + QStringLiteral(" - ") + device.description;
        m_devices->addItem(text, device.device);
        found = found || device.device == stored;
    }
    // A device unplugged since it was saved is kept, marked, rather than silently replaced; one the
    // system does not list but that is there (a pseudo-terminal) is kept as it is.
    if (!found)
        m_devices->addItem(QFileInfo::exists(stored) ? path(stored) : path(stored) + deviceGone, stored);
    m_devices->setCurrentIndex(qMax(0, m_devices->findData(stored)));
}

void SettingsWindow::showStyle(const QString& element)
{
    QWidget* sample = m_styleSamples.value(element);
    if (!sample)
        return;
    const ReportStyles::Style& style = m_styles[element];
    sample->setFont(ReportStyles::font(style, font()));
    QPalette palette = sample->palette();
    const QColor colour = fromColourRef(style.colour);
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    sample->setPalette(palette);
}

void SettingsWindow::pickStyle(const QString& element)
{
    QWidget* sample = m_styleSamples.value(element);
    if (!sample || !sample->isEnabled())
        return;
    if (!m_picker) {
        m_systemPicker = std::make_unique<StylePickerUi>(this);
        m_picker = m_systemPicker.get();
    }
    const ReportStyles::Style& current = m_styles[element];
    const auto chosen = m_picker->pickFont({sample->font(), fromColourRef(current.colour)});
    if (!chosen)
        return;
    m_styles[element] = ReportStyles::fromFont(chosen->font, colourRef(chosen->colour));
    showStyle(element);
}

void SettingsWindow::pickColour(QLabel* sample)
{
    if (!m_picker) {
        m_systemPicker = std::make_unique<StylePickerUi>(this);
        m_picker = m_systemPicker.get();
    }
    const auto chosen = m_picker->pickColour(fromColourRef(sample->property("colourRef").toInt()));
    if (chosen)
        setSampleColour(sample, colourRef(*chosen));
}

void SettingsWindow::updateIndicators()
{
    const struct
    {
        const char* button;
        const char* on;
    } pairs[] = {
        {"cmd_serverset", "Opt_Act_sql"}, {"cmd_servercorvana", "Opt_Act_corvana"}, {"cmd_settingcom", "Opt_Act_com"}};
    for (const auto& p : pairs) {
        auto* button = static_cast<QPushButton*>(control(p.button));
        button->setIcon(indicator(static_cast<QRadioButton*>(control(p.on))->isChecked()));
    }
}

void SettingsWindow::updateEngines()
{
    // The boxes that matter for the chosen engine are the ones to fill in: a file names only itself,
    // a PostgreSQL server takes a database name and a port, SQL Server its ODBC driver.
    const int ifaceEngine = static_cast<QComboBox*>(control("Cmb_engine"))->currentIndex();
    control("Txt_database")->setEnabled(ifaceEngine != 0);
    control("Txt_dbport")->setEnabled(ifaceEngine == 2);
    control("Txt_odbcdriver")->setEnabled(ifaceEngine == 0);
    for (const char* name :
         {"Txt_server", "Txt_user", "Txt_password", "Cmd_compnamesql", "Opt_CRIWINauth", "Opt_CRISQLauth"})
        control(name)->setEnabled(ifaceEngine != 1);
    const bool jet = static_cast<QRadioButton*>(control("Opt_corvanasystemAccess"))->isChecked();
    const int lisEngine = jet ? -1 : static_cast<QComboBox*>(control("Cmb_engineCRV"))->currentIndex();
    control("Cmb_engineCRV")->setEnabled(!jet);
    control("Txt_databaseCRV")->setEnabled(lisEngine == 1 || lisEngine == 2);
    control("Txt_dbportCRV")->setEnabled(lisEngine == 2);
    for (const char* name :
         {"Txt_serverCRV", "Txt_userCRV", "Txt_passwordCRV", "Cmd_compnamecrv", "Opt_CRVWINauth", "Opt_CRVSQLauth"})
        control(name)->setEnabled(lisEngine != 1);
}

AppSettings SettingsWindow::typedSettings() const
{
    QMap<QString, QString> typed;
    for (const SettingBinding& binding : m_binder.bindings()) {
        if (binding.page == interfacePage || binding.page == lisPage)
            typed.insert(binding.section + u'/' + binding.key, binding.value());
    }
    const auto value = [&typed](const QString& section, const char* key) {
        return typed.value(section + u'/' + QLatin1String(key)).trimmed();
    };
    using namespace IniKeys;
    AppSettings s;
    s.settingsFileFound = true;
    s.CRIauthentication = Numbers::toInt16(value(server, "CRIauthentication"));
    s.serverName = value(server, "servername");
    s.serverUserID = value(server, "UserID");
    s.serverPassword = value(server, "Password");
    s.serverEngine = value(server, "engine");
    s.serverDatabase = value(server, "database");
    s.serverOdbcDriver = value(server, "odbcdriver");
    s.serverPort = value(server, "port");
    s.CRVaccess = Numbers::toInt16(value(corvanaserver, "CRVaccess"));
    s.CRVauthentication = Numbers::toInt16(value(corvanaserver, "CRVauthentication"));
    s.lisServerName = value(corvanaserver, "servername");
    s.lisUserID = value(corvanaserver, "UserID");
    s.lisPassword = value(corvanaserver, "Password");
    s.lisEngine = value(corvanaserver, "engine");
    s.lisDatabase = value(corvanaserver, "database");
    s.lisOdbcDriver = value(corvanaserver, "odbcdriver");
    s.lisPort = value(corvanaserver, "port");
    return s;
}

void SettingsWindow::testConnection(ConnectionCheck::Server server)
{
    if (m_check->busy())
        return;
    const AppSettings typed = typedSettings();
    const QString folder = m_context.installFolder().path();
    if (const auto said = ConnectionCheck::beforeConnecting(server, typed, folder)) {
        m_context.dialogs().show({said->icon, DialogButtons::Ok, said->title, said->text});
        return;
    }
    // The answer comes back through m_check's finished signal; the window stays usable meanwhile.
    for (const char* name : {"cmd_TestSql", "cmd_sqlCRV"})
        control(name)->setEnabled(false);
    m_check->start(server, typed, folder);
}

void SettingsWindow::playSound()
{
    Dialogs& dialogs = m_context.dialogs();
    if (!static_cast<QCheckBox*>(control("Chk_sound"))->isChecked()) {
        dialogs.warning(SettingsMessages::warningTitle, SettingsMessages::soundSwitchedOff);
        return;
    }
    const QString name = m_sounds->currentText();
    if (name.trimmed().isEmpty()) {
        dialogs.warning(SettingsMessages::warningTitle, SettingsMessages::noSoundChosen);
        return;
    }
    const QString file = QDir(m_context.installFolder().soundFolder()).filePath(name);
    if (!QFileInfo(file).isFile()) {
        dialogs.warning(SettingsMessages::warningTitle, SettingsMessages::soundFileMissing);
        return;
    }
    SoundPlayer& player = m_context.soundPlayer();
    player.close();
    m_soundOpen = player.open(file) && player.play();
    if (m_soundOpen)
        m_soundStop->start();
    else
        player.close();
}

QList<SettingsFile::Edit> SettingsWindow::editsOf(const QStringList& pages) const
{
    QList<SettingsFile::Edit> edits;
    const QList<SettingBinding>& bindings = m_binder.bindings();
    for (qsizetype i = 0; i < bindings.size(); ++i) {
        if (!pages.isEmpty() && !pages.contains(bindings[i].page))
            continue;
        const QString now = bindings[i].value();
        edits.append(
            {bindings[i].section, bindings[i].key, now == m_loadedValues.value(i) ? m_storedValues.value(i) : now});
    }
    return edits;
}

SettingsRules::SaveCheck SettingsWindow::saveCheck() const
{
    const auto text = [this](const char* name) { return static_cast<QLineEdit*>(control(name))->text(); };
    SettingsRules::SaveCheck check;
    check.interfaceIsSqlite = static_cast<QComboBox*>(control("Cmb_engine"))->currentIndex() == 1;
    check.serverName = text("Txt_server");
    check.userId = text("Txt_user");
    check.leftCm = text("Txtleft");
    check.topCm = text("Txt_spacfirst");
    check.spacingCm = text("Txtspace");
    return check;
}

bool SettingsWindow::writeFiles(const QList<SettingsFile::Edit>& settingsEdits, bool withStyles)
{
    const QString ini = m_context.installFolder().settingsIni();
    const QString memory = m_context.installFolder().memoryIni();
    // The first file that refuses, and why: a missing file means a broken install, a read-only or
    // unwritable one is for whoever manages the station, so it is named.
    QString refused;
    SettingsFile::Outcome outcome = SettingsFile::writable(ini);
    if (outcome != SettingsFile::Outcome::Written)
        refused = ini;
    if (refused.isEmpty() && withStyles && (outcome = SettingsFile::writable(memory)) != SettingsFile::Outcome::Written)
        refused = memory;
    if (refused.isEmpty() && (outcome = SettingsFile::write(ini, settingsEdits)) != SettingsFile::Outcome::Written)
        refused = ini;
    if (refused.isEmpty() && withStyles) {
        QList<SettingsFile::Edit> styleEdits;
        for (const ReportStyles::Element& element : ReportStyles::elements())
            styleEdits += ReportStyles::edits(element.id, m_styles.value(element.id));
        if ((outcome = SettingsFile::write(memory, styleEdits)) != SettingsFile::Outcome::Written)
            refused = memory;
    }
    if (!refused.isEmpty()) {
        const QString path = QDir::toNativeSeparators(refused);
        m_context.dialogs().warning(SettingsMessages::warningTitle, outcome == SettingsFile::Outcome::Missing
                                                                        ? SettingsMessages::filesMissing
                                                                    : outcome == SettingsFile::Outcome::ReadOnly
                                                                        ? SettingsMessages::fileReadOnly + path
                                                                        : SettingsMessages::fileNotWritten + path);
        return false;
    }
    // What was saved is in force at once; the databases' keys through the rebuilt strings.
    m_context.loadSettings();
    m_context.buildConnectionStrings();
    return true;
}

void SettingsWindow::save()
{
    if (!m_loaded)
        return;
    if (const auto refused = SettingsRules::refusal(saveCheck())) {
        m_context.dialogs().warning(SettingsMessages::warningTitle, *refused);
        return;
    }
    setPageButtonsEnabled(false);
    writeFiles(editsOf({}), true);
    setPageButtonsEnabled(true);
}

void SettingsWindow::saveAndRestart()
{
    if (!m_loaded)
        return;
    if (const auto refused = SettingsRules::serverRefusal(saveCheck())) {
        m_context.dialogs().warning(SettingsMessages::warningTitle, *refused);
        return;
    }
    // The two server pages, and the port when it was the port that could not be opened.
    QStringList pages{interfacePage, lisPage};
    if (m_recoveryPage == serialPage)
        pages.append(serialPage);
    setPageButtonsEnabled(false);
    const bool saved = writeFiles(editsOf(pages), false);
    setPageButtonsEnabled(true);
    if (saved)
        emit restartRequested();
}

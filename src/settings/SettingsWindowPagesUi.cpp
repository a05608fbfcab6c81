// The six pages of the settings window, each control bound to its key.
#include "common/Numbers.h"
#include "config/AppSettings.h"
#include "core/FieldFocusUi.h"
#include "link/TagRecord.h"
#include "settings/SettingsWindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QSysInfo>
#include <QVBoxLayout>

namespace {

const QStringList engineCaptions{QStringLiteral("SQL Server"), QStringLiteral("ملف SQLite مدمج"),
                                 QStringLiteral("PostgreSQL")};

QGroupBox* group(QWidget* parent, const QString& title)
{
    return new QGroupBox(title, parent);
}

QWidget* panel(QWidget* parent, const char* name)
{
    auto* w = new QWidget(parent);
    w->setObjectName(QLatin1String(name));
    return w;
}

// A pair of options of their own, so that they exclude only each other.
void pairUp(QWidget* parent, QRadioButton* a, QRadioButton* b)
{
    auto* group = new QButtonGroup(parent);
    group->addButton(a);
    group->addButton(b);
}

QHBoxLayout* row(QWidget* a, QWidget* b)
{
    auto* layout = new QHBoxLayout;
    layout->addWidget(a);
    layout->addWidget(b);
    layout->addStretch(1);
    return layout;
}

} // namespace

QWidget* SettingsWindow::buildServerPage(QWidget* parent)
{
    using namespace IniKeys;
    QWidget* page = panel(parent, "Pct_serverset");
    auto* grid = new QGridLayout(page);
    grid->setColumnStretch(1, 1);

    auto* engine = new QComboBox(page);
    engine->setObjectName(QStringLiteral("Cmb_engine"));
    engine->addItems(engineCaptions);
    m_binder.bind(
        server, QStringLiteral("engine"),
        [engine](const QString& stored) { engine->setCurrentIndex(SettingsRules::engineIndex(stored)); },
        [engine] { return SettingsRules::engineAt(engine->currentIndex()); });
    QLineEdit* database = m_binder.text(page, "Txt_database", server, QStringLiteral("database"));
    database->setPlaceholderText(QStringLiteral("InterfaceVIDAS.db"));
    QLineEdit* serverName = m_binder.text(page, "Txt_server", server, QStringLiteral("servername"));
    QLineEdit* user = m_binder.text(page, "Txt_user", server, QStringLiteral("UserID"));
    QLineEdit* password = m_binder.text(page, "Txt_password", server, QStringLiteral("Password"));
    password->setEchoMode(QLineEdit::Password);
    QLineEdit* driver = m_binder.text(page, "Txt_odbcdriver", server, QStringLiteral("odbcdriver"));
    driver->setPlaceholderText(QStringLiteral("FreeTDS"));
    QLineEdit* port = m_binder.text(page, "Txt_dbport", server, QStringLiteral("port"));
    port->setPlaceholderText(QStringLiteral("5432"));
    for (QLineEdit* edit : {serverName, user, password, driver, database, port})
        englishOnFocus(edit);

    auto* winAuth = option(page, "Opt_CRIWINauth", QStringLiteral("دخول ويندوز"));
    auto* sqlAuth = option(page, "Opt_CRISQLauth", QStringLiteral("دخول SQL Server"));
    pairUp(page, winAuth, sqlAuth);
    m_binder.zeroOrOne(winAuth, sqlAuth, server, QStringLiteral("CRIauthentication"));
    auto* on = option(page, "Opt_Act_sql", QStringLiteral("مفعل"));
    auto* off = option(page, "Opt_deAct_sql", QStringLiteral("غير مفعل"));
    pairUp(page, on, off);
    m_binder.onOff(on, off, server, QStringLiteral("active"));
    connect(on, &QRadioButton::toggled, this, &SettingsWindow::updateIndicators);

    auto* computer = pushButton(page, "Cmd_compnamesql", QStringLiteral("اسم هذا الجهاز"));
    connect(computer, &QPushButton::clicked, this,
            [serverName] { serverName->setText(qEnvironmentVariable("COMPUTERNAME", QSysInfo::machineHostName())); });
    auto* test = pushButton(page, "cmd_TestSql", QStringLiteral("اختبار الاتصال"));
    connect(test, &QPushButton::clicked, this, [this] { testConnection(ConnectionCheck::Server::Interface); });
    connect(engine, &QComboBox::currentIndexChanged, this, &SettingsWindow::updateEngines);

    int r = 0;
    grid->addWidget(caption(page, QStringLiteral("نوع قاعدة البيانات")), r, 0);
    grid->addWidget(engine, r++, 1);
    grid->addWidget(caption(page, QStringLiteral("ملف أو اسم قاعدة البيانات")), r, 0);
    grid->addWidget(database, r++, 1);
    grid->addWidget(caption(page, QStringLiteral("اسم السيرفر")), r, 0);
    auto* serverRow = new QHBoxLayout;
    serverRow->addWidget(serverName, 1);
    serverRow->addWidget(computer);
    grid->addLayout(serverRow, r++, 1);
    grid->addWidget(caption(page, QStringLiteral("طريقة الدخول")), r, 0);
    grid->addLayout(row(winAuth, sqlAuth), r++, 1);
    grid->addWidget(caption(page, QStringLiteral("اسم الدخول")), r, 0);
    grid->addWidget(user, r++, 1);
    grid->addWidget(caption(page, QStringLiteral("كلمة المرور")), r, 0);
    grid->addWidget(password, r++, 1);
    grid->addWidget(caption(page, QStringLiteral("برنامج تشغيل ODBC")), r, 0);
    grid->addWidget(driver, r++, 1);
    grid->addWidget(caption(page, QStringLiteral("منفذ PostgreSQL")), r, 0);
    grid->addWidget(port, r++, 1);
    grid->addWidget(caption(page, QStringLiteral("الحالة")), r, 0);
    grid->addLayout(row(on, off), r++, 1);
    grid->addWidget(test, r++, 1, Qt::AlignLeft);
    grid->setRowStretch(r, 1);
    return page;
}

QWidget* SettingsWindow::buildLisPage(QWidget* parent)
{
    using namespace IniKeys;
    QWidget* page = panel(parent, "Pct_corvanaSet");
    auto* grid = new QGridLayout(page);
    grid->setColumnStretch(1, 1);

    auto* sql = option(page, "Opt_corvanasystemSQL", QStringLiteral("SQL Server"));
    auto* access = option(page, "Opt_corvanasystemAccess", QStringLiteral("ملف Access"));
    pairUp(page, sql, access);
    m_binder.zeroOrOne(sql, access, corvanaserver, QStringLiteral("CRVaccess"));
    auto* engine = new QComboBox(page);
    engine->setObjectName(QStringLiteral("Cmb_engineCRV"));
    engine->addItems(engineCaptions);
    m_binder.bind(
        corvanaserver, QStringLiteral("engine"),
        [engine](const QString& stored) { engine->setCurrentIndex(SettingsRules::engineIndex(stored)); },
        [engine] { return SettingsRules::engineAt(engine->currentIndex()); });
    QLineEdit* database = m_binder.text(page, "Txt_databaseCRV", corvanaserver, QStringLiteral("database"));
    database->setPlaceholderText(QStringLiteral("Patients.db"));
    QLineEdit* serverName = m_binder.text(page, "Txt_serverCRV", corvanaserver, QStringLiteral("servername"));
    QLineEdit* user = m_binder.text(page, "Txt_userCRV", corvanaserver, QStringLiteral("UserID"));
    QLineEdit* password = m_binder.text(page, "Txt_passwordCRV", corvanaserver, QStringLiteral("Password"));
    password->setEchoMode(QLineEdit::Password);
    QLineEdit* driver = m_binder.text(page, "Txt_odbcdriverCRV", corvanaserver, QStringLiteral("odbcdriver"));
    QLineEdit* port = m_binder.text(page, "Txt_dbportCRV", corvanaserver, QStringLiteral("port"));
    port->setPlaceholderText(QStringLiteral("5432"));
    for (QLineEdit* edit : {serverName, user, password, driver, database, port})
        englishOnFocus(edit);

    auto* winAuth = option(page, "Opt_CRVWINauth", QStringLiteral("دخول ويندوز"));
    auto* sqlAuth = option(page, "Opt_CRVSQLauth", QStringLiteral("دخول SQL Server"));
    pairUp(page, winAuth, sqlAuth);
    m_binder.zeroOrOne(winAuth, sqlAuth, corvanaserver, QStringLiteral("CRVauthentication"));
    auto* on = option(page, "Opt_Act_corvana", QStringLiteral("مفعل"));
    auto* off = option(page, "Opt_deAct_corvana", QStringLiteral("غير مفعل"));
    pairUp(page, on, off);
    m_binder.onOff(on, off, corvanaserver, QStringLiteral("active"));
    connect(on, &QRadioButton::toggled, this, &SettingsWindow::updateIndicators);

    auto* computer = pushButton(page, "Cmd_compnamecrv", QStringLiteral("اسم هذا الجهاز"));
    connect(computer, &QPushButton::clicked, this,
            [serverName] { serverName->setText(qEnvironmentVariable("COMPUTERNAME", QSysInfo::machineHostName())); });
    auto* test = pushButton(page, "cmd_sqlCRV", QStringLiteral("اختبار الاتصال"));
    connect(test, &QPushButton::clicked, this, [this] { testConnection(ConnectionCheck::Server::Lis); });
    connect(engine, &QComboBox::currentIndexChanged, this, &SettingsWindow::updateEngines);
    connect(sql, &QRadioButton::toggled, this, &SettingsWindow::updateEngines);

    int r = 0;
    grid->addWidget(caption(page, QStringLiteral("قاعدة البيانات")), r, 0);
    grid->addLayout(row(sql, access), r++, 1);
    grid->addWidget(caption(page, QStringLiteral("نوع قاعدة البيانات")), r, 0);
    grid->addWidget(engine, r++, 1);
    grid->addWidget(caption(page, QStringLiteral("ملف أو اسم قاعدة البيانات")), r, 0);
    grid->addWidget(database, r++, 1);
    grid->addWidget(caption(page, QStringLiteral("اسم السيرفر")), r, 0);
    auto* serverRow = new QHBoxLayout;
    serverRow->addWidget(serverName, 1);
    serverRow->addWidget(computer);
    grid->addLayout(serverRow, r++, 1);
    grid->addWidget(caption(page, QStringLiteral("طريقة الدخول")), r, 0);
    grid->addLayout(row(winAuth, sqlAuth), r++, 1);
    grid->addWidget(caption(page, QStringLiteral("اسم الدخول")), r, 0);
    grid->addWidget(user, r++, 1);
    grid->addWidget(caption(page, QStringLiteral("كلمة المرور")), r, 0);
    grid->addWidget(password, r++, 1);
    grid->addWidget(caption(page, QStringLiteral("برنامج تشغيل ODBC")), r, 0);
    grid->addWidget(driver, r++, 1);
    grid->addWidget(caption(page, QStringLiteral("منفذ PostgreSQL")), r, 0);
    grid->addWidget(port, r++, 1);
    grid->addWidget(caption(page, QStringLiteral("الربط مع كورفانا سيستم")), r, 0);
    grid->addLayout(row(on, off), r++, 1);
    grid->addWidget(test, r++, 1, Qt::AlignLeft);
    grid->setRowStretch(r, 1);
    return page;
}

QWidget* SettingsWindow::buildSerialPage(QWidget* parent)
{
    using namespace IniKeys;
    QWidget* page = panel(parent, "Pct_comSettings");
    auto* grid = new QGridLayout(page);
    grid->setColumnStretch(1, 1);

    QStringList ports;
    for (int i = 1; i <= 16; ++i)
        ports.append(QStringLiteral("COM%1").arg(i));
    auto* port = new QComboBox(page);
    port->setObjectName(QStringLiteral("cboPort"));
    port->addItems(ports);
    m_binder.bind(
        comsetup, QStringLiteral("port"),
        [port](const QString& stored) { selectText(port, SettingsRules::portEntry(stored)); },
        [port] { return SettingsRules::portValue(port->currentText()); });
    m_devices = new QComboBox(page);
    m_devices->setObjectName(QStringLiteral("Cmb_device"));
    m_binder.bind(
        comsetup, QStringLiteral("device"), [this](const QString& stored) { fillSerialDevices(stored); },
        [this] { return m_devices->currentData().toString(); });
    QComboBox* speed =
        m_binder.choice(page, "cboSpeed", {"300", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"},
                        comsetup, QStringLiteral("Speed"));
    QComboBox* dataBits =
        m_binder.choice(page, "cboDataBits", {"5", "6", "7", "8"}, comsetup, QStringLiteral("DataBits"));
    QComboBox* stopBits = m_binder.choice(page, "cboStopBits", {"1", "1.5", "2"}, comsetup, QStringLiteral("StopBits"));
    auto* parity = new QComboBox(page);
    parity->setObjectName(QStringLiteral("cboParity"));
    parity->addItems(SettingsRules::parityCaptions());
    m_binder.bind(
        comsetup, QStringLiteral("Parity"),
        [parity](const QString& stored) { parity->setCurrentIndex(SettingsRules::parityIndex(stored)); },
        [parity] { return SettingsRules::parityLetters().value(parity->currentIndex()); });
    // The larger models: their date order, and an answer to every frame.
    auto* dateOrder = new QComboBox(page);
    dateOrder->setObjectName(QStringLiteral("Cmb_DateOrder"));
    dateOrder->addItems({QStringLiteral("DMY"), QStringLiteral("MDY"), QStringLiteral("YMD")});
    m_binder.bind(
        comsetup, QStringLiteral("DateOrder"),
        [dateOrder](const QString& stored) {
            dateOrder->setCurrentText(QString::fromLatin1(TagRecord::dateOrderName(TagRecord::dateOrderFrom(stored))));
        },
        [dateOrder] { return dateOrder->currentText(); });
    QCheckBox* frameAck = m_binder.flag(page, "Chk_FrameAck", QStringLiteral("الرد على كل اطار بـ ACK او NAK"),
                                        comsetup, QStringLiteral("FrameAck"));
    auto* on = option(page, "Opt_Act_com", QStringLiteral("مفعل"));
    auto* off = option(page, "Opt_deAct_com", QStringLiteral("غير مفعل"));
    pairUp(page, on, off);
    m_binder.onOff(on, off, comsetup, QStringLiteral("active"));
    connect(on, &QRadioButton::toggled, this, &SettingsWindow::updateIndicators);

    int r = 0;
    grid->addWidget(caption(page, QStringLiteral("المنفذ")), r, 0);
    grid->addWidget(port, r++, 1, Qt::AlignRight);
    grid->addWidget(caption(page, QStringLiteral("جهاز المنفذ")), r, 0);
    grid->addWidget(m_devices, r++, 1);
    grid->addWidget(caption(page, QStringLiteral("السرعة")), r, 0);
    grid->addWidget(speed, r++, 1, Qt::AlignRight);
    grid->addWidget(caption(page, QStringLiteral("Data bits")), r, 0);
    grid->addWidget(dataBits, r++, 1, Qt::AlignRight);
    grid->addWidget(caption(page, QStringLiteral("Stop bits")), r, 0);
    grid->addWidget(stopBits, r++, 1, Qt::AlignRight);
    grid->addWidget(caption(page, QStringLiteral("Parity")), r, 0);
    grid->addWidget(parity, r++, 1, Qt::AlignRight);
    grid->addWidget(caption(page, QStringLiteral("ترتيب التاريخ")), r, 0);
    grid->addWidget(dateOrder, r++, 1, Qt::AlignRight);
    grid->addWidget(frameAck, r++, 1);
    grid->addWidget(caption(page, QStringLiteral("استقبال النتائج")), r, 0);
    grid->addLayout(row(on, off), r++, 1);
    auto* note =
        caption(page, QStringLiteral("جهاز المنفذ يغني عن رقم المنفذ على هذا الجهاز؛ رقم المنفذ يبقى لويندوز"));
    note->setWordWrap(true);
    grid->addWidget(note, r++, 0, 1, 2);
    grid->setRowStretch(r, 1);
    return page;
}

QWidget* SettingsWindow::buildResultPage(QWidget* parent)
{
    QWidget* page = panel(parent, "Pct_resultSet");
    auto* layout = new QVBoxLayout(page);
    auto* box = group(page, QStringLiteral("البحث عن المريض في كورفانا سيستم برقم العينة"));
    auto* boxLayout = new QVBoxLayout(box);
    auto* full = option(box, "Opt_full_id", QStringLiteral("الرقم كاملا (13 رقم)"));
    auto* ten = option(box, "Opt_10digit_id", QStringLiteral("10 ارقام"));
    auto* four = option(box, "Opt_4digit_id", QStringLiteral("4 ارقام مع تاريخ اليوم"));
    for (QRadioButton* o : {full, ten, four})
        boxLayout->addWidget(o);
    layout->addWidget(box);
    layout->addStretch(1);
    // A stored mode the window does not offer (no look-up) stays as it is unless one is chosen.
    auto stored = std::make_shared<QString>();
    m_binder.bind(
        IniKeys::report, QStringLiteral("IDdigitsNo"),
        [=](const QString& value) {
            *stored = value;
            const qint16 mode = Numbers::toInt16(value);
            full->setAutoExclusive(false);
            ten->setAutoExclusive(false);
            four->setAutoExclusive(false);
            full->setChecked(mode == 13);
            ten->setChecked(mode == 10);
            four->setChecked(mode == 4);
            for (QRadioButton* o : {full, ten, four})
                o->setAutoExclusive(true);
        },
        [=] {
            if (full->isChecked())
                return QStringLiteral("13");
            if (ten->isChecked())
                return QStringLiteral("10");
            if (four->isChecked())
                return QStringLiteral("4");
            return *stored;
        });
    return page;
}

QWidget* SettingsWindow::buildSystemPage(QWidget* parent)
{
    using namespace IniKeys;
    QWidget* page = panel(parent, "pct_systemopt");
    auto* layout = new QVBoxLayout(page);

    auto* soundBox = group(page, QStringLiteral("صوت التنبيه"));
    auto* soundLayout = new QHBoxLayout(soundBox);
    QCheckBox* sound = m_binder.flag(soundBox, "Chk_sound", QStringLiteral("تشغيل صوت بعد استلام كل نتيجة"), comsetup,
                                     QStringLiteral("soudorno"));
    m_sounds = new QComboBox(soundBox);
    m_sounds->setObjectName(QStringLiteral("Cmb_sounds"));
    m_sounds->setMinimumWidth(220);
    m_sounds->setEnabled(false);
    m_binder.bind(
        comsetup, QStringLiteral("soundname"),
        [this](const QString& stored) { m_sounds->setProperty("stored", stored); },
        [this] { return m_sounds->currentText(); });
    auto* play = pushButton(soundBox, "cmd_soundplay", QStringLiteral("تجربة الصوت"));
    connect(sound, &QCheckBox::toggled, m_sounds, &QWidget::setEnabled);
    connect(play, &QPushButton::clicked, this, &SettingsWindow::playSound);
    soundLayout->addWidget(sound);
    soundLayout->addWidget(m_sounds, 1);
    soundLayout->addWidget(play);
    layout->addWidget(soundBox);

    auto* options = group(page, QStringLiteral("خيارات"));
    auto* optionsLayout = new QVBoxLayout(options);
    optionsLayout->addWidget(m_binder.flag(options, "Chk_autsavecrv",
                                           QStringLiteral("ارسال النتائج الى كورفانا سيستم فور استلامها"), comsetup,
                                           QStringLiteral("autsavecrv")));
    optionsLayout->addWidget(m_binder.flag(options, "Chk_autoComment",
                                           QStringLiteral("التعليق التلقائي على النتائج غير الطبيعية"), comsetup,
                                           QStringLiteral("autoComment")));
    optionsLayout->addWidget(m_binder.flag(options, "Chk_EnLanguage",
                                           QStringLiteral("كتابة اسماء المرضى والاطباء بالانجليزية"), comsetup,
                                           QStringLiteral("EnLanguage")));
    optionsLayout->addWidget(m_binder.flag(options, "Chk_PCdate",
                                           QStringLiteral("تاريخ ووقت التحليل من ساعة الكمبيوتر"), comsetup,
                                           QStringLiteral("PCdateYN")));
    layout->addWidget(options);
    layout->addStretch(1);
    return page;
}

QWidget* SettingsWindow::buildReportPage(QWidget* parent)
{
    using namespace IniKeys;
    auto* scroll = new QScrollArea(parent);
    scroll->setObjectName(QStringLiteral("Pct_reportcolor"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* page = new QWidget(scroll);
    scroll->setWidget(page);
    auto* columns = new QHBoxLayout(page);

    // Paper, printer, switches, margins and the colours of abnormal results.
    auto* left = new QVBoxLayout;
    columns->addLayout(left, 1);
    auto* paper = group(page, QStringLiteral("الورق والطابعة"));
    auto* paperGrid = new QGridLayout(paper);
    QComboBox* layoutList =
        m_binder.choice(paper, "Cmb_reportlayout", {QStringLiteral("A4 large paper"), QStringLiteral("A5 small paper")},
                        report, QStringLiteral("reportlayout"));
    m_printersList = new QComboBox(paper);
    m_printersList->setObjectName(QStringLiteral("cboPrinters"));
    m_printersList->setMinimumWidth(200);
    m_binder.bind(
        report, QStringLiteral("reportprinter"), [this](const QString& stored) { fillPrinters(stored); },
        [this] { return m_printersList->currentText(); });
    paperGrid->addWidget(caption(paper, QStringLiteral("حجم الورق")), 0, 0);
    paperGrid->addWidget(layoutList, 0, 1);
    paperGrid->addWidget(caption(paper, QStringLiteral("طابعة التقارير")), 1, 0);
    paperGrid->addWidget(m_printersList, 1, 1);
    left->addWidget(paper);

    auto* flags = group(page, QStringLiteral("محتوى التقرير"));
    auto* flagsGrid = new QGridLayout(flags);
    const struct
    {
        const char* name;
        const char* caption;
        const char* key;
    } switches[] = {
        {"Chk_showrpttitle", "عنوان التقرير", "showrpttitle"},
        {"Chk_usepic", "صورة الترويسة", "usepicture"},
        {"Chk_rtlpatientname", "اسم المريض من اليمين", "rtlpatientname"},
        {"Chk_Barcode", "باركود العينة", "Barcodes_T"},
        {"Chk_resultflag", "علامة النتيجة غير الطبيعية", "resulflag"},
        {"Chk_showdoctorsig", "التوقيع", "showdoctorsigYN"},
        {"Chk_showtestditals", "عناوين الاعمدة", "showtestditals"},
        {"Chk_showtopline", "الخط العلوي", "showtopline"},
        {"Chk_showbuttomline", "الخط السفلي", "showbuttomline"},
        {"Chk_fontclr", "لون خط النتيجة غير الطبيعية", "AbResFonC_T"},
        {"Chk_result_bg", "تظليل النتيجة غير الطبيعية", "AbResBGSh_T"},
    };
    int i = 0;
    for (const auto& s : switches) {
        flagsGrid->addWidget(m_binder.flag(flags, s.name, QString::fromUtf8(s.caption), report, QLatin1String(s.key)),
                             i / 2, i % 2);
        ++i;
    }
    left->addWidget(flags);

    auto* margins = group(page, QStringLiteral("الهوامش (سم)"));
    auto* marginsGrid = new QGridLayout(margins);
    const struct
    {
        const char* name;
        const char* caption;
        const char* key;
    } boxes[] = {
        {"Txt_spacfirst", "الهامش العلوي", "reportstart"},
        {"Txtleft", "الهامش الايسر", "leftvalue"},
        {"Txtspace", "المسافة بين الاسطر", "spacevalue"},
    };
    i = 0;
    for (const auto& b : boxes) {
        auto* edit = new QLineEdit(margins);
        edit->setObjectName(QLatin1String(b.name));
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.]*")), edit));
        edit->setMaximumWidth(90);
        selectAllOnFocus(edit);
        const bool spacing = qstrcmp(b.key, "spacevalue") == 0;
        m_binder.bind(
            report, QLatin1String(b.key),
            [edit](const QString& stored) { edit->setText(SettingsRules::marginShown(stored)); },
            [edit, spacing] {
                return spacing ? SettingsRules::spacingStored(edit->text()) : SettingsRules::marginStored(edit->text());
            });
        marginsGrid->addWidget(caption(margins, QString::fromUtf8(b.caption)), i, 0);
        marginsGrid->addWidget(edit, i, 1);
        ++i;
    }
    marginsGrid->setColumnStretch(2, 1);
    // Margins and colours side by side: the page fits a 1024 x 768 screen without scrolling.
    auto* lower = new QHBoxLayout;
    lower->addWidget(margins);
    left->addLayout(lower);

    auto* colours = group(page, QStringLiteral("الوان النتائج غير الطبيعية"));
    auto* coloursGrid = new QGridLayout(colours);
    const struct
    {
        const char* name;
        const char* caption;
        const char* key;
    } samples[] = {
        {"Lbl_BGSHADOW", "التظليل", "AbResBGShClr"},
        {"Lbl_RFontC", "لون الخط في الشاشة", "AbResFonClr"},
        {"Lbl_RFontC2", "لون الخط في التقرير", "AbResFonClr2"},
    };
    i = 0;
    for (const auto& c : samples) {
        auto* sample = new QLabel(colours);
        sample->setObjectName(QLatin1String(c.name));
        sample->setFixedSize(60, 22);
        sample->setCursor(Qt::PointingHandCursor);
        m_colourKeys.insert(sample, QLatin1String(c.key));
        onClick(sample, QEvent::MouseButtonPress, [this, sample] { pickColour(sample); });
        m_binder.bind(
            report, QLatin1String(c.key),
            [sample](const QString& stored) { setSampleColour(sample, static_cast<int>(Numbers::toNumber(stored))); },
            [sample] { return QString::number(sample->property("colourRef").toInt()); });
        coloursGrid->addWidget(caption(colours, QString::fromUtf8(c.caption)), i, 0);
        coloursGrid->addWidget(sample, i, 1);
        ++i;
    }
    coloursGrid->setColumnStretch(2, 1);
    lower->addWidget(colours);
    left->addStretch(1);

    columns->addWidget(buildStylesBox(page), 1);
    return scroll;
}

QWidget* SettingsWindow::buildStylesBox(QWidget* parent)
{
    using namespace IniKeys;
    auto* box = group(parent, QStringLiteral("نصوص التقرير وخطوطها (انقر العينة لتغيير الخط واللون)"));
    auto* layout = new QVBoxLayout(box);

    auto* titles = new QGridLayout;
    layout->addLayout(titles);
    for (int i = 1; i <= 6; ++i) {
        for (const QString& id : {QString::number(i), QStringLiteral("0%1").arg(i)}) {
            auto* sample = new QLabel(QStringLiteral("سطر العنوان ") + id, box);
            sample->setObjectName(ReportStyles::control(id));
            sample->setCursor(Qt::PointingHandCursor);
            m_styleSamples.insert(id, sample);
            onClick(sample, QEvent::MouseButtonPress, [this, id] { pickStyle(id); });
            titles->addWidget(sample, i - 1, id.startsWith(u'0') ? 1 : 0);
        }
    }
    auto* headings = new QHBoxLayout;
    layout->addLayout(headings);
    for (const char* c : {"a", "b", "c", "d", "e"}) {
        const QString id = QLatin1String(c);
        auto* sample = new QLabel(QStringLiteral("عمود ") + id.toUpper(), box);
        sample->setObjectName(ReportStyles::control(id));
        sample->setCursor(Qt::PointingHandCursor);
        m_styleSamples.insert(id, sample);
        onClick(sample, QEvent::MouseButtonPress, [this, id] { pickStyle(id); });
        headings->addWidget(sample);
    }

    auto* texts = new QGridLayout;
    layout->addLayout(texts);
    int r = 0;
    texts->addWidget(caption(box, QStringLiteral("عنوان التقرير")), r, 0);
    QLineEdit* title = m_binder.text(box, "Txt_showrpttitlettxt", report, QStringLiteral("showrpttitlettxt"));
    styleOnDoubleClick(title, QStringLiteral("7"));
    texts->addWidget(title, r++, 1);
    for (int i = 1; i <= 5; ++i) {
        const QString key = QStringLiteral("showtestditals%1").arg(i);
        QLineEdit* column = m_binder.text(box, qPrintable(ReportStyles::control(QString::number(7 + i))), report, key);
        styleOnDoubleClick(column, QString::number(7 + i));
        texts->addWidget(caption(box, QStringLiteral("عنوان العمود %1").arg(i)), r, 0);
        texts->addWidget(column, r++, 1);
    }
    texts->addWidget(caption(box, QStringLiteral("عنوان التعليق")), r, 0);
    QLineEdit* commentHeading = m_binder.text(box, "Txt_showonecomment1", report, QStringLiteral("showonecomment1"));
    styleOnDoubleClick(commentHeading, QStringLiteral("17"));
    texts->addWidget(commentHeading, r++, 1);
    auto* comment = new QLabel(QStringLiteral("نص التعليق"), box);
    comment->setObjectName(QStringLiteral("Lbl_showonecomment"));
    comment->setCursor(Qt::PointingHandCursor);
    m_styleSamples.insert(QStringLiteral("16"), comment);
    onClick(comment, QEvent::MouseButtonPress, [this] { pickStyle(QStringLiteral("16")); });
    texts->addWidget(comment, r++, 1);
    for (int i = 1; i <= 2; ++i) {
        const QString key = QStringLiteral("showdoctorsig%1").arg(i);
        QLineEdit* signature =
            m_binder.text(box, qPrintable(ReportStyles::control(QString::number(19 + i))), report, key);
        styleOnDoubleClick(signature, QString::number(19 + i));
        texts->addWidget(caption(box, QStringLiteral("سطر التوقيع %1").arg(i)), r, 0);
        texts->addWidget(signature, r++, 1);
    }
    layout->addStretch(1);
    return box;
}

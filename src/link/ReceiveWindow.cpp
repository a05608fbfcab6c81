#include "link/ReceiveWindow.h"

#include "core/AppContext.h"
#include "link/Flagging.h"
#include "link/Notification.h"
#include "link/ReceiveChain.h"
#include "link/SerialPortConfig.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <exception>
#include <utility>

namespace {
const QString kPortErrorTitle = QStringLiteral("خطأ فى منفذ الاتصال ..");
// Received bytes the archive's disk could not take when the receiver stopped.
const QString kArchiveTitle = QStringLiteral("تنبيه: بيانات مستقبلة");
const QString kArchiveText = QStringLiteral("تعذر حفظ البيانات المستقبلة في أرشيف الاستقبال: ");
const QString kPortErrorText = QStringLiteral("خطأ فى منفذ الاتصال التسلسي الخاص بالكمبيوتر") + QStringLiteral("\r\n") +
                               QStringLiteral("هل تريد التأكد من اعدادات منفذ الاتصال او تغيره");

// The line is single-byte: each byte becomes one Latin-1 character, and control bytes (ENQ, STX,
// RS, GS, EOT, ...) their visible control pictures, so the raw view shows the framing too.
QString visibleText(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20)
            text.append(QChar(0x2400 + byte));
        else if (byte == 0x7F)
            text.append(QChar(0x2421));
        else
            text.append(QChar(byte));
    }
    return text;
}

// One frame of the activity indicator: three dots, the `lit` one in the receiver's ON colour.
QPixmap indicatorFrame(int lit, qreal ratio)
{
    const QSize size(42, 14);
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 3; ++i) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(i == lit ? QColor(55, 217, 32) : QColor(190, 198, 190));
        painter.drawEllipse(QRectF(3 + i * 13, 2, 10, 10));
    }
    return pixmap;
}

QLabel* valueLabel(const QString& name, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    // Sample ids, assays and values are Latin text from the analyser.
    label->setLayoutDirection(Qt::LeftToRight);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}
} // namespace

ReceiveWindow::ReceiveWindow(AppContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context), m_intake(new LineIntake(context, this)),
      m_line(new AnalyserLine(context.clock(), this))
{
    setObjectName(QStringLiteral("Frm_recivedata"));
    setAttribute(Qt::WA_DeleteOnClose);
    setLayoutDirection(Qt::RightToLeft);
    setWindowTitle(QStringLiteral("استقبال النتائج من جهاز VIDAS"));
    buildControls();

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(500);
    m_timer1->setSingleShot(true);
    m_tmrProgress = new QTimer(this);
    m_tmrProgress->setObjectName(QStringLiteral("Tmr_progress"));
    m_tmrProgress->setInterval(800);
    m_timersx = new QTimer(this);
    m_timersx->setObjectName(QStringLiteral("Timersx"));
    m_timersx->setInterval(1500);

    connect(m_timer1, &QTimer::timeout, this, &ReceiveWindow::openPort);
    connect(m_tmrProgress, &QTimer::timeout, this, &ReceiveWindow::advanceIndicator);
    // Timersx cuts the notification sound: the chain starts it with each sound and closes the
    // player when it fires.
    connect(m_timersx, &QTimer::timeout, m_timersx, &QTimer::stop);
    m_notification = std::make_unique<Notification>(m_context.soundPlayer(), *m_timersx);
    // Only arrivals matter; a line that goes away (adapter unplugged, far end closed) is opened
    // again by itself, and the window says so meanwhile. Each (re)opening starts with empty buffers.
    connect(m_line, &AnalyserLine::received, this, &ReceiveWindow::receive);
    connect(m_line, &AnalyserLine::opened, m_intake, &LineIntake::resetLine);
    connect(m_line, &AnalyserLine::statusChanged, this, &ReceiveWindow::showLineState);
    connect(m_line, &AnalyserLine::lost, this,
            [](const QString& reason) { qWarning("receiver: line lost: %s", qUtf8Printable(reason)); });
    connect(m_intake, &LineIntake::recordParsed, this, &ReceiveWindow::showRecord);
    connect(m_intake, &LineIntake::resultCounted, this, &ReceiveWindow::countResult);
    connect(m_intake, &LineIntake::listLineAdded, this, &ReceiveWindow::addListLine);
    connect(m_intake, &LineIntake::listLineChanged, this, &ReceiveWindow::changeListLine);
    connect(m_intake, &LineIntake::soundRequested, this, &ReceiveWindow::playSound);
    connect(m_intake, &LineIntake::buffersChanged, this, &ReceiveWindow::showBuffers);
    connect(m_intake, &LineIntake::sessionDispatched, this, &ReceiveWindow::parsingMessages);
    connect(m_intake, &LineIntake::alarmChanged, this, &ReceiveWindow::showAlarm);
    connect(m_intake, &LineIntake::backlogChanged, this, [this](int waiting, const QString& reason) {
        m_backlog = waiting;
        m_backlogReason = reason;
        showAlarm();
    });
    connect(m_intake, &LineIntake::outboxChanged, this, &ReceiveWindow::showOutboxWaiting);

    // Loading: the port is not open yet, but the window in front already shows the receiver ON.
    m_context.setReceiverOn(0);
    m_context.setReceiveWindowOpen(1);
    emit m_context.receiverIndicatorChanged(true);
    m_tmrProgress->start();
    m_timer1->start();
}

void ReceiveWindow::showOutboxWaiting(int waiting, const QString& reason)
{
    m_lblOutbox->setText(QString::number(waiting));
    m_lblOutbox->setToolTip(reason);
}

ReceiveWindow::~ReceiveWindow()
{
    unload();
}

void ReceiveWindow::buildControls()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(8, 5, 8, 5);
    root->setSpacing(3);

    // Status line: activity indicator and port on the right, the count of stored results on the left.
    auto* status = new QHBoxLayout;
    status->setSpacing(6);
    // The three frames of the activity lamp, by the names the users' manual gives them.
    const char* const lampNames[] = {"Img1", "Img2", "Img3"};
    for (int i = 0; i < 3; ++i) {
        m_img[i] = new QLabel(this);
        m_img[i]->setObjectName(QLatin1String(lampNames[i]));
        m_img[i]->setPixmap(indicatorFrame(i, devicePixelRatioF()));
        m_img[i]->setVisible(i == 0);
        status->addWidget(m_img[i]);
    }
    m_lblOncom = new QLabel(QStringLiteral("OnCom: -"), this);
    m_lblOncom->setObjectName(QStringLiteral("lblOncom"));
    m_lblOncom->setLayoutDirection(Qt::LeftToRight);
    QFont bold = m_lblOncom->font();
    bold.setBold(true);
    m_lblOncom->setFont(bold);
    status->addWidget(m_lblOncom);
    status->addStretch(1);
    status->addWidget(new QLabel(QStringLiteral("عدد النتائج المخزنة:"), this));
    m_lblSamplenum = new QLabel(QStringLiteral("0"), this);
    m_lblSamplenum->setObjectName(QStringLiteral("Lbl_samplenum"));
    m_lblSamplenum->setFont(bold);
    m_lblSamplenum->setMinimumWidth(24);
    status->addWidget(m_lblSamplenum);
    const auto counter = [this, status, &bold](const QString& caption, const char* name, const QString& tip) {
        auto* captionLabel = new QLabel(caption, this);
        captionLabel->setToolTip(tip);
        status->addSpacing(8);
        status->addWidget(captionLabel);
        auto* label = new QLabel(QStringLiteral("0"), this);
        label->setObjectName(QString::fromLatin1(name));
        label->setFont(bold);
        label->setMinimumWidth(18);
        status->addWidget(label);
        return label;
    };
    m_lblHeld = counter(QStringLiteral("محجوزة:"), "Lbl_heldnum",
                        QStringLiteral("نتائج وصلت تالفة (خطأ في المجموع التحققي) ولم تحفظ ولم ترسل"));
    m_lblOutbox = counter(QStringLiteral("بانتظار كورفانا:"), "Lbl_outboxnum",
                          QStringLiteral("نتائج محفوظة تنتظر الكتابة في كورفانا سيستم"));
    root->addLayout(status);

    // Received data at risk: the archive cannot be written, or results wait for a database.
    m_lblAlarm = new QLabel(this);
    m_lblAlarm->setObjectName(QStringLiteral("Lbl_alarm"));
    m_lblAlarm->setFont(bold);
    m_lblAlarm->setWordWrap(true);
    m_lblAlarm->setStyleSheet(QStringLiteral("QLabel { color: white; background: #b00020; padding: 2px 6px; }"));
    m_lblAlarm->hide();
    root->addWidget(m_lblAlarm);

    // The last record read, so that the user sees what arrived.
    auto* last = new QHBoxLayout;
    last->setSpacing(10);
    last->addWidget(new QLabel(QStringLiteral("آخر نتيجة:"), this));
    m_lastSample = valueLabel(QStringLiteral("lblLastSample"), this);
    m_lastAssay = valueLabel(QStringLiteral("lblLastAssay"), this);
    m_lastResult = valueLabel(QStringLiteral("lblLastResult"), this);
    m_lastTime = valueLabel(QStringLiteral("lblLastTime"), this);
    m_lastSample->setText(QStringLiteral("—"));
    m_lastSample->setFont(bold);
    m_lastAssay->setFont(bold);
    // The flag of the evaluated result, in blue; the result's background tells flagged from normal.
    m_lastFlag = valueLabel(QStringLiteral("Txt_TEST_F"), this);
    QPalette flagPalette = m_lastFlag->palette();
    flagPalette.setColor(QPalette::WindowText, Flagging::flagColour());
    m_lastFlag->setPalette(flagPalette);
    m_lastFlag->setFont(bold);
    m_lastResult->setAutoFillBackground(true);
    m_lastResult->setContentsMargins(4, 0, 4, 0);
    for (QLabel* label : {m_lastSample, m_lastAssay, m_lastResult, m_lastFlag, m_lastTime})
        last->addWidget(label);
    last->addStretch(1);
    // The line's state at the row's far end, where it has room for the time.
    m_lblLineState = new QLabel(this);
    m_lblLineState->setObjectName(QStringLiteral("Lbl_linestate"));
    m_lblLineState->setFont(bold);
    last->addWidget(m_lblLineState, 0, Qt::AlignVCenter);
    root->addLayout(last);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(5);
    const auto button = [this, buttons](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    QPushButton* reset = button("cmd_reset", QStringLiteral("إعادة تشغيل المستقبل"));
    QPushButton* end = button("cmd_endprocess", QStringLiteral("إيقاف المستقبل"));
    QPushButton* show = button("cmd_showdata", QStringLiteral("عرض البيانات"));
    QPushButton* parse = button("Command1", QStringLiteral("تحليل الرسائل"));
    QPushButton* mini = button("Cmd_mini", QStringLiteral("تصغير"));
    root->addLayout(buttons);
    connect(reset, &QPushButton::clicked, this, &ReceiveWindow::resetReceiver);
    connect(end, &QPushButton::clicked, this, &ReceiveWindow::receiverOff);
    connect(show, &QPushButton::clicked, this, &ReceiveWindow::toggleRawView);
    connect(parse, &QPushButton::clicked, m_intake, &LineIntake::parseNow);
    connect(mini, &QPushButton::clicked, this, &QWidget::hide);

    // The raw view: stored results, complete messages and the receive buffer.
    m_dataPanel = new QWidget(this);
    auto* panel = new QHBoxLayout(m_dataPanel);
    panel->setContentsMargins(0, 4, 0, 0);
    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(new QLabel(QStringLiteral("النتائج المخزنة / الإرسال للنظام:"), m_dataPanel));
    m_lstNotSentID = new QListWidget(m_dataPanel);
    m_lstNotSentID->setObjectName(QStringLiteral("Lst_NotSentID"));
    m_lstNotSentID->setLayoutDirection(Qt::LeftToRight);
    listColumn->addWidget(m_lstNotSentID);
    panel->addLayout(listColumn, 2);

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const auto rawBox = [this, &fixed](const char* name) {
        auto* box = new QPlainTextEdit(m_dataPanel);
        box->setObjectName(QString::fromLatin1(name));
        box->setReadOnly(true);
        box->setLayoutDirection(Qt::LeftToRight);
        box->setWordWrapMode(QTextOption::WrapAnywhere);
        box->setFont(fixed);
        return box;
    };
    auto* rawColumn = new QVBoxLayout;
    rawColumn->addWidget(new QLabel(QStringLiteral("الرسائل المكتملة:"), m_dataPanel));
    m_txtData = rawBox("Txt_data");
    rawColumn->addWidget(m_txtData, 1);
    rawColumn->addWidget(new QLabel(QStringLiteral("المخزن المؤقت للاستقبال:"), m_dataPanel));
    m_txtBuffer = rawBox("Txt_buffer");
    rawColumn->addWidget(m_txtBuffer, 1);
    panel->addLayout(rawColumn, 3);
    root->addWidget(m_dataPanel, 1);

    m_txtBuffer->hide();
    m_dataPanel->hide();
    applyHeight();
    showLineState(m_line->status());
}

bool ReceiveWindow::portIsOpen() const
{
    return m_line->isOpen();
}

int ReceiveWindow::twipsToPixelsX(int twips) const
{
    return qRound(twips * logicalDpiX() / 1440.0);
}

int ReceiveWindow::twipsToPixelsY(int twips) const
{
    return qRound(twips * logicalDpiY() / 1440.0);
}

void ReceiveWindow::applyHeight()
{
    const int twips = m_txtBuffer->isHidden() ? kCompactHeightTwips : kExpandedHeightTwips;
    setFixedSize(twipsToPixelsX(kWidthTwips), twipsToPixelsY(twips));
}

void ReceiveWindow::openPort()
{
    m_timer1->stop();
    const QString ini = m_context.installFolder().settingsIni();
    // Without the settings file the port stays as it is; the counters are still cleared below.
    if (QFileInfo(ini).isFile()) {
        const SerialPortConfig config = SerialPortConfig::read(ini);
        m_line->stop();
        QString error;
        const std::optional<LineSettings> line = LineSettings::parse(config.settingsText(), &error);
        if (!line) {
            portError(error);
            return;
        }
        m_lblOncom->setText(SerialPortConfig::statusLine(config.port, line->toText()));
        const QString device = config.deviceName(&error);
        if (device.isEmpty()) {
            portError(error);
            return;
        }
        // Opening empties the buffers (AnalyserLine::opened), then reads what already waits.
        if (!m_line->open(device, *line, &error)) {
            portError(error);
            return;
        }
    } else {
        m_intake->resetLine();
    }
    // Without settings there are no databases to store into; what arrives waits in the archive.
    if (QFileInfo(ini).isFile())
        m_intake->start();
    clearList();
    m_context.setReceiverOn(1);
    showBuffers();
}

void ReceiveWindow::resetReceiver()
{
    m_intake->resetLine();
    clearList();
    showBuffers();
    openPort();
}

void ReceiveWindow::portError(const QString& reason)
{
    m_context.setReceiverOn(0);
    qWarning("receiver: %s", qUtf8Printable(reason));
    if (m_context.dialogs().askYesNo(kPortErrorTitle, kPortErrorText, DialogIcon::Information))
        m_context.requestSettingsWindow(QStringLiteral("comsetup"));
    receiverOff();
}

void ReceiveWindow::receiverOff()
{
    if (m_unloaded || m_unloading)
        return;
    m_line->stop();
    m_context.setReceiveWindowOpen(0);
    m_context.setReceiverOn(0);
    emit m_context.receiverIndicatorChanged(false);
    m_unloading = true;
    close();
}

void ReceiveWindow::closeEvent(QCloseEvent* event)
{
    // The title bar's close button only hides the window: the receiver goes on until it is
    // switched OFF.
    if (!m_unloading) {
        event->ignore();
        hide();
        return;
    }
    unload();
    event->accept();
}

void ReceiveWindow::unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_timer1->stop();
    m_tmrProgress->stop();
    m_timersx->stop();
    m_notification->close();
    m_line->stop();
    m_context.setLineStatus(m_line->status());
    const QString spilled = m_intake->stop();
    if (!spilled.isEmpty())
        m_context.dialogs().warning(kArchiveTitle, kArchiveText + spilled);
    m_context.setReceiveWindowOpen(0);
    m_context.setReceiverOn(0);
}

void ReceiveWindow::showLineState(const LineStatus& status)
{
    QString text;
    QString colours;
    switch (status.state) {
    case LineState::Receiving:
        text = QStringLiteral("متصل - يستقبل");
        colours = QStringLiteral("color: #0b5d1e; background: #d7f5dc;");
        break;
    case LineState::Reconnecting:
        text = QStringLiteral("إعادة الاتصال منذ %1").arg(status.since.toString(QStringLiteral("HH:mm")));
        colours = QStringLiteral("color: #5c3b00; background: #ffd27a;");
        break;
    case LineState::Stopped:
        text = QStringLiteral("متوقف");
        colours = QStringLiteral("color: #404040; background: #e4e4e4;");
        break;
    }
    m_lblLineState->setText(text);
    m_lblLineState->setStyleSheet(QStringLiteral("QLabel { %1 padding: 1px 6px; border-radius: 3px; }").arg(colours));
    m_lblLineState->setToolTip(status.lastError);
    // The window in front shows the receiver's entry in the line's colours too; only while the
    // window is loaded does it speak for the receiver.
    if (!m_unloaded)
        m_context.setLineStatus(status);
    showAlarm();
}

void ReceiveWindow::receive(const QByteArray& bytes)
{
    const QByteArray reply = m_intake->receive(bytes);
    if (!reply.isEmpty())
        m_line->write(reply);
}

void ReceiveWindow::countResult()
{
    m_lblSamplenum->setText(QString::number(m_lblSamplenum->text().toInt() + 1));
}

void ReceiveWindow::clearList()
{
    m_lstNotSentID->clear();
    m_waitingLines.clear();
    m_lblSamplenum->setText(QStringLiteral("0"));
    m_held = 0;
    m_lblHeld->setText(QStringLiteral("0"));
}

void ReceiveWindow::addListLine(const QString& line, qint64 outboxId, int kind)
{
    auto* item = new QListWidgetItem(line, m_lstNotSentID);
    if (kind == ReceiveChain::HeldLine || kind == ReceiveChain::FailedLine) {
        item->setForeground(QColor(192, 0, 0));
        QFont bold = item->font();
        bold.setBold(true);
        item->setFont(bold);
        if (kind == ReceiveChain::HeldLine)
            m_lblHeld->setText(QString::number(++m_held));
    } else if (outboxId != 0) {
        // The key stays; only the status after it changes once the LIS has the result.
        item->setData(Qt::UserRole, line.left(line.size() - LisOutbox::queuedText.size()));
        m_waitingLines.insert(outboxId, item);
    }
    m_lstNotSentID->scrollToBottom();
}

void ReceiveWindow::changeListLine(qint64 outboxId, const QString& status)
{
    QListWidgetItem* item = m_waitingLines.take(outboxId);
    if (item)
        item->setText(item->data(Qt::UserRole).toString() + status);
}

void ReceiveWindow::playSound()
{
    m_notification->PlayNotification(
        QDir(m_context.installFolder().soundFolder()).filePath(m_context.settings.soundname));
}

void ReceiveWindow::showAlarm()
{
    QStringList alarms;
    const LineStatus& line = m_line->status();
    if (line.state == LineState::Reconnecting)
        // The error (a path and an English reason) kept left to right inside the Arabic sentence.
        alarms << QStringLiteral("انقطع الاتصال بالجهاز منذ %1 ويعاد فتح المنفذ تلقائياً. آخر خطأ: %2")
                      .arg(line.since.toString(QStringLiteral("HH:mm")),
                           QChar(0x2066) + line.lastError + QChar(0x2069));
    if (!m_intake->alarm().isEmpty())
        alarms << QStringLiteral("تعذر حفظ البيانات المستقبلة على القرص: ") + m_intake->alarm();
    if (m_backlog > 0 && !m_backlogReason.isEmpty())
        alarms << QStringLiteral("نتائج بانتظار قاعدة البيانات: %1 (%2)").arg(m_backlog).arg(m_backlogReason);
    m_lblAlarm->setText(alarms.join(QLatin1Char('\n')));
    m_lblAlarm->setVisible(!alarms.isEmpty());
}

void ReceiveWindow::toggleRawView()
{
    const bool show = m_txtBuffer->isHidden();
    m_txtBuffer->setVisible(show);
    m_dataPanel->setVisible(show);
    applyHeight();
}

void ReceiveWindow::advanceIndicator()
{
    // The hidden flags, not the on-screen visibility: the window may itself be hidden.
    int next = 0;
    if (!m_img[0]->isHidden())
        next = 1;
    else if (!m_img[1]->isHidden())
        next = 2;
    for (int i = 0; i < 3; ++i)
        m_img[i]->setVisible(i == next);
}

void ReceiveWindow::showRecord(const CurrentResult& record)
{
    // A left-to-right mark first: a value such as "> 1200" has no letter to set its direction and
    // would otherwise be laid out right to left, sign last.
    const auto ltr = [](const QString& text) { return text.isEmpty() ? text : QChar(0x200E) + text; };
    m_lastSample->setText(record.LblSampID.isEmpty() ? QStringLiteral("—") : ltr(record.LblSampID));
    m_lastAssay->setText(ltr(record.Txt_shortAssay));
    QString result = record.Txt_resultt1;
    if (!record.Txt_TESTUNIT.isEmpty())
        result += u' ' + record.Txt_TESTUNIT;
    m_lastResult->setText(ltr(result));
    m_lastFlag->setText(ltr(record.Txt_TEST_F.trimmed()));
    QPalette shade = m_lastResult->palette();
    shade.setColor(QPalette::Window, Flagging::background(Flagging::shadeOf(record)));
    m_lastResult->setPalette(shade);
    m_lastTime->setText(ltr((record.LblTestDate + u' ' + record.LblTestTime).trimmed()));
}

void ReceiveWindow::showBuffers()
{
    m_txtBuffer->setPlainText(visibleText(m_intake->session().buffer()));
    m_txtData->setPlainText(visibleText(m_intake->session().messageArea()));
}

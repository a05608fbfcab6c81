#pragma once

#include "link/AnalyserLine.h"
#include "link/LineIntake.h"

#include <QHash>
#include <memory>

#include <QPointer>
#include <QWidget>

class AppContext;
class QLabel;
class QListWidget;
class QListWidgetItem;
class Notification;
class QPlainTextEdit;
class QPushButton;
class QTimer;
struct CurrentResult;

// Frm_recivedata: owns the serial line to the analyser while the data receiver is ON. It answers
// the analyser's enquiry, collects the incoming bytes, cuts complete messages off at EOT and hands
// them to the receive chain. It stays alive, shown or hidden, until the receiver is switched OFF,
// which deletes it: always create it with new.
class ReceiveWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReceiveWindow)

public:
    // What waits for the LIS, by the outbox table, and why (any program's sender reports it).
    void showOutboxWaiting(int waiting, const QString& reason);
    // Loads the window: receiver flag 0, window flag 1, indicator ON, the activity timer running;
    // the port opens 500 ms later.
    explicit ReceiveWindow(AppContext& context, QWidget* parent = nullptr);
    ~ReceiveWindow() override;

    LineIntake& intake() const { return *m_intake; }
    const SerialSession& session() const { return m_intake->session(); }
    bool portIsOpen() const;
    AnalyserLine& line() const { return *m_line; }

    // One arrival from the port: answers a lone ENQ, collects the rest and parses a completed
    // message at once.
    void receive(const QByteArray& bytes);

    // (Re)opens the port with the current [comsetup] settings and clears the counters.
    void openPort();
    // cmd_reset: clears everything shown, then reopens the port.
    void resetReceiver();
    // cmd_endprocess: closes the port, sets the flags and the indicator OFF and unloads the window.
    void receiverOff();
    // cmd_showdata: shows or hides the raw receive buffer and the lists with it.
    void toggleRawView();

    // Window sizes are kept in twips, 1440 to the inch of the screen's logical resolution.
    int twipsToPixelsX(int twips) const;
    int twipsToPixelsY(int twips) const;

    static constexpr int kCompactHeightTwips = 1600;
    static constexpr int kExpandedHeightTwips = 5300;
    static constexpr int kWidthTwips = 10200;

signals:
    // A complete session is on disk and goes to the receive chain (Txt_data handed to the parser).
    void parsingMessages(const QByteArray& messages);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void showLineState(const LineStatus& status);
    void addListLine(const QString& line, qint64 outboxId, int kind);
    void changeListLine(qint64 outboxId, const QString& status);
    void showAlarm();
    void portError(const QString& reason);
    void advanceIndicator();
    void showRecord(const CurrentResult& record);
    void countResult();
    void clearList();
    void playSound();
    void showBuffers();
    void applyHeight();
    void unload();

    AppContext& m_context;
    LineIntake* m_intake;
    AnalyserLine* m_line;
    std::unique_ptr<Notification> m_notification;
    QHash<qint64, QListWidgetItem*> m_waitingLines;
    QString m_backlogReason;
    int m_backlog = 0;
    int m_held = 0;
    bool m_unloading = false;
    bool m_unloaded = false;

    QLabel* m_lblOncom = nullptr;
    QLabel* m_lblLineState = nullptr;
    QLabel* m_lblSamplenum = nullptr;
    QLabel* m_img[3] = {};
    QLabel* m_lastSample = nullptr;
    QLabel* m_lastAssay = nullptr;
    QLabel* m_lastResult = nullptr;
    QLabel* m_lastTime = nullptr;
    QLabel* m_lastFlag = nullptr;
    QLabel* m_lblHeld = nullptr;
    QLabel* m_lblOutbox = nullptr;
    QLabel* m_lblAlarm = nullptr;
    QListWidget* m_lstNotSentID = nullptr;
    QPlainTextEdit* m_txtData = nullptr;
    QPlainTextEdit* m_txtBuffer = nullptr;
    QWidget* m_dataPanel = nullptr;
    QTimer* m_timer1 = nullptr;
    QTimer* m_tmrProgress = nullptr;
    QTimer* m_timersx = nullptr;
};

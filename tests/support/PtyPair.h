#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// A pseudo-terminal pair: the program opens `slavePath()` with QSerialPort, the test plays the
// analyser on the master side. Reads on the master side never block.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    Q_DISABLE_COPY(PtyPair)

    QString slavePath() const { return m_slavePath; }

    // Writes everything to the master side (the program reads it from the slave side).
    bool write(const QByteArray& bytes);
    // Whatever the program has written so far; empty when nothing is waiting.
    QByteArray readAvailable();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

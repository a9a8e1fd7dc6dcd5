#pragma once

#include <QByteArray>
#include <QString>

namespace orbalis {

// A pseudo-terminal whose slave side stands in for a serial device. The owner
// (the simulator, a test) talks through the master side; the console opens the
// slave through a ports/COMn link in its program folder.
class PseudoTerminal {
public:
    PseudoTerminal();   // opens the pair in raw mode; throws orbalis::Error on failure
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    int masterFd() const { return master_; }
    QString slavePath() const { return slavePath_; }

    // Creates programDir/ports/COMn as a link to the slave device, replacing
    // any older link of that name. The link is removed again by unbind() or
    // on destruction.
    void bindAs(const QString &programDir, int comNumber);
    void unbind();

    // Master side, non-blocking: write all bytes; read what is there.
    void write(const QByteArray &bytes);
    QByteArray readAvailable();
    // Waits up to timeoutMs for at least one byte; returns what arrived.
    QByteArray readFor(int timeoutMs);
    // Reads until `count` bytes arrived or `timeoutMs` passed; returns what came.
    QByteArray readAtLeast(qsizetype count, int timeoutMs);

    // Baud rate the console has set on the line (the slave's termios speed).
    int lineBaud() const;

    // Closes both sides: to the console the device is gone.
    void close();

private:
    int master_ = -1;
    int slave_ = -1;   // kept open so the line settings survive the console's closes
    QString slavePath_;
    QString linkPath_;
};

} // namespace orbalis

#pragma once

#include <QByteArray>
#include <QIODevice>

#include <atomic>
#include <stop_token>

namespace tolvaran::markdown {

// A file held in memory, read as a device whose reads fail once `stop` is requested: a reader
// of Qt's handed it stops at its next read, however long its picture would take to decode.
// Qt's readers read a QBuffer's bytes in place, all at once (the JPEG reader does), where they
// read this device a piece at a time. Read only; opened by the caller, unbuffered so that
// every read of a reader comes here.
class StoppableDevice final : public QIODevice
{
    Q_OBJECT

public:
    StoppableDevice(QByteArray bytes, std::stop_token stop);

    bool isSequential() const override { return false; }
    qint64 size() const override { return m_bytes.size(); }

protected:
    qint64 readData(char *data, qint64 maximum) override;
    qint64 writeData(const char *data, qint64 length) override;

private:
    friend class StoppableDeviceTesting;
    // Told of every read, of any device on any thread, with the bytes it handed out: the work
    // a decode did, which tests count where its time would depend on the machine.
    static inline std::atomic<void (*)(qint64 bytes)> s_readObserver{nullptr};

    const QByteArray m_bytes;
    const std::stop_token m_stop;
};

} // namespace tolvaran::markdown

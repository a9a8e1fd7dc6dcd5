#pragma once

#include <QFile>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace orbalis::test {

// A FIFO for tests of code that must never wait on one. Should that code open
// it and wait for a writer after all, the guard opens the other end after a
// while, so that the test goes on and fails instead of hanging; hadToOpen()
// then says so.
class FifoGuard {
public:
    explicit FifoGuard(const QString &path, std::chrono::milliseconds patience = std::chrono::seconds(3))
        : path_(QFile::encodeName(path)),
          made_(::mkfifo(path_.constData(), 0666) == 0),
          thread_([this, patience] { watch(patience); })
    {
    }
    ~FifoGuard()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    FifoGuard(const FifoGuard &) = delete;
    FifoGuard &operator=(const FifoGuard &) = delete;

    bool made() const { return made_; }
    bool hadToOpen() const { return opened_; }

private:
    void watch(std::chrono::milliseconds patience)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!made_ || wake_.wait_for(lock, patience, [this] { return stop_; }))
            return;
        // Opening for writing without waiting succeeds only while a reader
        // has it open, which is the reader stuck in its open.
        while (!wake_.wait_for(lock, std::chrono::milliseconds(50), [this] { return stop_; })) {
            const int fd = ::open(path_.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                ::close(fd);
                opened_ = true;
            }
        }
    }

    const QByteArray path_;
    const bool made_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::atomic<bool> opened_{false};
    std::thread thread_;
};

} // namespace orbalis::test

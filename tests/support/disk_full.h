#pragma once

#include <csignal>
#include <sys/resource.h>

namespace orbalis::test {

// A disk that is full once files reach `bytes`, made by the file size limit
// (no root needed): a write past it is cut short, the next one fails (EFBIG,
// which the console reports as a full disk). The console ignores SIGXFSZ as
// the test does here. Nothing written to a regular file while it lasts gets
// past the limit, the test's own output included when it goes to a file.
class DiskFullAt {
public:
    explicit DiskFullAt(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        signal_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = saved_;
        lower.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~DiskFullAt()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, signal_);
    }
    DiskFullAt(const DiskFullAt &) = delete;
    DiskFullAt &operator=(const DiskFullAt &) = delete;

private:
    rlimit saved_{};
    void (*signal_)(int) = SIG_DFL;
};

} // namespace orbalis::test

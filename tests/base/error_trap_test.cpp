#include "base/error_trap.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

using namespace orbalis;

TEST(ErrorTrap, ReportsFailingStepAndRunsTheNext)
{
    test::FakeReporter reporter;
    ErrorTrap trap(reporter, QStringLiteral("FM_Orbalis_Load"));
    bool third = false;
    trap.step([] {});
    trap.step([] { throw Error(DiskFull); });
    trap.step([&] { third = true; });
    EXPECT_TRUE(third);
    EXPECT_EQ(trap.failures(), 1);
    EXPECT_EQ(reporter.beeps, 1);
    ASSERT_EQ(reporter.messages.size(), 1);
    EXPECT_EQ(reporter.titles.front(), "Attention! Wrong");
    EXPECT_EQ(reporter.messages.front(),
              "At FM_Orbalis_Load()\r\nWrong code: 61\r\nWrong reasons: Disk full");
}

TEST(ErrorTrap, ForeignExceptionsAreReportedNotPropagated)
{
    test::FakeReporter reporter;
    ErrorTrap trap(reporter, QStringLiteral("X"));
    EXPECT_FALSE(trap.step([] { throw std::runtime_error("boom"); }));
    EXPECT_FALSE(trap.step([] { throw std::bad_alloc(); }));
    ASSERT_EQ(reporter.messages.size(), 2);
    EXPECT_TRUE(reporter.messages[0].contains("Wrong code: 75"));
    EXPECT_TRUE(reporter.messages[0].contains("boom"));
    EXPECT_TRUE(reporter.messages[1].contains("Wrong code: 7\r\n"));
}

TEST(ErrorNumbers, ErrnoMapsToTheDocumentedNumbers)
{
    EXPECT_EQ(errorNumberForErrno(ENOSPC), DiskFull);
    EXPECT_EQ(errorNumberForErrno(EFBIG), DiskFull);   // past the file size limit
    EXPECT_EQ(errorNumberForErrno(EACCES), PermissionDenied);
    EXPECT_EQ(errorNumberForErrno(EROFS), PermissionDenied);
    EXPECT_EQ(errorNumberForErrno(ENOENT), FileNotFound);
    EXPECT_EQ(errorNumberForErrno(EISDIR), PathFileAccess);
    EXPECT_EQ(Error(PortNotOpen).description(), "Operation valid only when the port is open");
    EXPECT_EQ(Error(DiskFull, "No space left on device").description(),
              "Disk full (No space left on device)");
}

// A history file we may write in a directory we may not create files in: written in place.
// The suite runs as root, whom no mode stops, so the save runs in a child as nobody.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "lineinput/history.h"
#include "support/rig.h"

namespace dravel::test {
namespace {

constexpr int NOBODY = 65534;
constexpr int NO_SETUID = 77, DIR_WRITABLE = 78;

TEST(HistoryInPlace, AReadOnlyDirectoryGetsTheFileRewrittenInPlace) {
  TempDir dir;
  const std::string ro = dir.file("ro");
  ASSERT_EQ(::mkdir(ro.c_str(), 0755), 0);
  const std::string path = dir.write("ro/his", "old\n");
  ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
  ASSERT_EQ(::chmod(ro.c_str(), 0555), 0);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0711), 0);  // nobody may pass through

  FakeConsole console;
  HistoryList h;
  history_add(h, console, "new line");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(NOBODY) != 0 || ::setuid(NOBODY) != 0)) ::_exit(NO_SETUID);
    if (::access(ro.c_str(), W_OK) == 0) ::_exit(DIR_WRITABLE);
    history_save_file(h, path);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::chmod(ro.c_str(), 0755);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == NO_SETUID)
    GTEST_SKIP() << "cannot become nobody to lose root's rights";
  if (WEXITSTATUS(status) == DIR_WRITABLE) GTEST_SKIP() << "the read-only directory stays writable";
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(TempDir::read(path), "new line\n");
}

}  // namespace
}  // namespace dravel::test

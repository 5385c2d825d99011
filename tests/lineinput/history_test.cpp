#include "lineinput/history.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <string>
#include <vector>

#include "support/rig.h"

namespace dravel::test {
namespace {

std::vector<std::string> entries(const HistoryList& h) {
  std::vector<std::string> out;
  for (const HistoryEntry* e = h.oldest; e != nullptr; e = e->newer) out.push_back(e->text);
  return out;
}

struct HistoryTest : ::testing::Test {
  FakeConsole console;
  HistoryList h;
  TempDir dir;

  void add(std::initializer_list<const char*> lines) {
    for (const char* l : lines) history_add(h, console, l);
  }
  void load(const std::string& content) {
    std::string p = dir.write("his", content);
    history_load_file(h, console, p);
  }
};

TEST_F(HistoryTest, RepeatedLineMovesToTheNewestPlaceAndStillCounts) {
  add({"a", "b", "c", "a"});
  EXPECT_EQ(entries(h), (std::vector<std::string>{"b", "c", "a"}));
  EXPECT_EQ(h.entry_count, 3);
  EXPECT_EQ(h.total_added, 4);
  add({"A"});  // case matters
  EXPECT_EQ(h.entry_count, 4);
  add({"A"});
  EXPECT_EQ(entries(h), (std::vector<std::string>{"b", "c", "a", "A"}));
}

TEST_F(HistoryTest, TheFiftyFirstLineDropsTheOldest) {
  for (int i = 1; i <= 51; ++i) history_add(h, console, std::to_string(i).c_str());
  EXPECT_EQ(h.entry_count, 50);
  EXPECT_EQ(h.total_added, 51);
  EXPECT_EQ(h.oldest->text, "2");
  EXPECT_EQ(h.newest->text, "51");
  EXPECT_EQ(h.oldest->older, nullptr);
  add({"2"});  // moving the oldest keeps both ends linked
  EXPECT_EQ(h.oldest->text, "3");
  EXPECT_EQ(h.newest->text, "2");
  EXPECT_EQ(entries(h).size(), 50u);
}

TEST_F(HistoryTest, WrapKeepsPositionsInsideTheList) {
  add({"a", "b", "c"});
  EXPECT_EQ(history_wrap(h, -4), -1);
  EXPECT_EQ(history_wrap(h, -3), -3);
  EXPECT_EQ(history_wrap(h, -1), -1);
  EXPECT_EQ(history_wrap(h, 0), -3);
  EXPECT_EQ(history_wrap(h, 2), -1);
}

TEST_F(HistoryTest, SearchOlderStopsAtTheOldestButItsStartWraps) {
  char line[64] = "d";
  add({"ls", "dir", "dump"});
  history_search_older(h, "d", line, 63);
  EXPECT_STREQ(line, "dump");
  history_search_older(h, "d", line, 63);
  EXPECT_STREQ(line, "dir");
  history_search_older(h, "d", line, 63);
  EXPECT_STREQ(line, "dir");
  EXPECT_EQ(h.browse_position, -2);
  history_search_newer(h, "d", line, 63);
  EXPECT_STREQ(line, "dump");

  HistoryList other;
  for (const char* l : {"dir", "ls", "dump"}) history_add(other, console, l);
  char again[64] = "d";
  for (const char* want : {"dump", "dir", "dump"}) {
    history_search_older(other, "d", again, 63);
    EXPECT_STREQ(again, want);
  }
}

TEST_F(HistoryTest, SearchNewerFromAFreshLineNeverSeesTheOldest) {
  char line[64] = "d";
  add({"dx", "ls"});
  history_search_newer(h, "d", line, 63);
  EXPECT_STREQ(line, "d");
  EXPECT_EQ(h.browse_position, 0);
  history_search_older(h, "  ", line, 63);  // a blank prefix finds nothing
  EXPECT_STREQ(line, "d");
}

TEST_F(HistoryTest, RecallCutsOnlyWhatDoesNotFitTheLine) {
  std::string full(63, 'f'), longer(70, 'g');
  add({full.c_str(), longer.c_str()});
  char line[64];
  h.browse_position = -2;
  history_copy_current(h, line, 63);
  EXPECT_EQ(std::string(line), full);
  h.browse_position = -1;
  history_copy_current(h, line, 63);
  EXPECT_EQ(std::string(line), std::string(63, 'g'));
}

TEST_F(HistoryTest, LoadTrimsControlsOnlyAndSkipsBlankLines) {
  load("ls\r\n\r\n  \x01\x02\ndump\t\ncaf\xc3\xa9\n\nlast");
  EXPECT_EQ(entries(h), (std::vector<std::string>{"ls", "  ", "dump", "caf\xc3\xa9", "last"}));
  EXPECT_EQ(h.total_added, 5);
}

TEST_F(HistoryTest, LoadSplitsLongLinesAndSurvivesJunk) {
  std::string longest;
  for (int i = 0; i < 1200; ++i) longest += static_cast<char>('a' + i % 26);
  load(longest + "\n" + std::string("\0\xff\x80\n\x1a\x7f\n", 8));
  std::vector<std::string> e = entries(h);
  ASSERT_GE(e.size(), 3u);
  EXPECT_EQ(e[0], longest.substr(0, 509));
  EXPECT_EQ(e[2], longest.substr(2 * 509));
  history_load_file(h, console, dir.file("missing"));  // skipped silently
  EXPECT_EQ(console.screen, "");
}

TEST_F(HistoryTest, LoadCountsEveryLineButKeepsFifty) {
  std::string content;
  for (int i = 0; i < 60; ++i) content += "line" + std::to_string(i) + "\n";
  load(content);
  EXPECT_EQ(h.total_added, 60);
  EXPECT_EQ(h.entry_count, 50);
  EXPECT_EQ(h.oldest->text, "line10");
}

TEST_F(HistoryTest, SaveWritesOldestFirstAndLeavesNoTemporaryFile) {
  std::string p = dir.write("his", "old\n");
  add({"a", "b"});
  history_save_file(h, p);
  EXPECT_EQ(TempDir::read(p), "a\nb\n");
  int files = 0;
  for (const auto& f : std::filesystem::directory_iterator(dir.path())) {
    (void)f;
    ++files;
  }
  EXPECT_EQ(files, 1);

  HistoryList again;
  history_load_file(again, console, p);
  EXPECT_EQ(entries(again), (std::vector<std::string>{"a", "b"}));
}

TEST_F(HistoryTest, FailedSaveLeavesWhatWasThere) {
  // The name is taken by a directory: the rename fails and the temporary file goes.
  std::string p = dir.file("taken");
  std::filesystem::create_directory(p);
  dir.write("taken/keep", "k");
  add({"a"});
  history_save_file(h, p);
  EXPECT_EQ(TempDir::read(p + "/keep"), "k");
  int files = 0;
  for (const auto& f : std::filesystem::directory_iterator(dir.path())) {
    (void)f;
    ++files;
  }
  EXPECT_EQ(files, 1);
  history_save_file(h, dir.file("no/such/dir/his"));  // nothing reported, no crash
}

#if !defined(_WIN32)
int mode_of(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

// A link planted at the history's name is replaced, not followed, and the history keeps its
// permissions (a save used to leave a private history readable by all).
TEST_F(HistoryTest, SaveFollowsNoPlantedLinkAndKeepsThePermissions) {
  std::string victim = dir.write("victim", "keep\n");
  std::string p = dir.write("his", "old\n");
  ASSERT_EQ(::chmod(p.c_str(), 0600), 0);
  add({"a"});
  history_save_file(h, p);
  EXPECT_EQ(TempDir::read(p), "a\n");
  EXPECT_EQ(mode_of(p), 0600);

  ASSERT_EQ(::unlink(p.c_str()), 0);
  ASSERT_EQ(::symlink(victim.c_str(), p.c_str()), 0);
  history_save_file(h, p);
  EXPECT_EQ(TempDir::read(victim), "keep\n");
  EXPECT_FALSE(std::filesystem::is_symlink(p));
  EXPECT_EQ(TempDir::read(p), "a\n");
}

// A read-only history stays read-only; one only the superuser may still write is replaced,
// for anyone else it is left alone, as opening it for writing would have been refused.
TEST_F(HistoryTest, ReadOnlyHistoryKeepsItsModeAndForOthersItsLines) {
  std::string p = dir.write("his", "old\n");
  ASSERT_EQ(::chmod(p.c_str(), 0400), 0);
  add({"a"});
  history_save_file(h, p);
  EXPECT_EQ(mode_of(p), 0400);
  EXPECT_EQ(TempDir::read(p), ::geteuid() == 0 ? "a\n" : "old\n");
}
#endif

}  // namespace
}  // namespace dravel::test

// Whole runs in a temporary directory that other users share (Linux): their folders
// and their locks must not stop a run, and a directory in which they could swap the
// working folder is refused before anything is written.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>

#include "support/launcher_package.h"

namespace fs = std::filesystem;
using testsupport::LauncherSandbox;

namespace {

constexpr char kPassword[] = "shared-pw";

fs::path GoodPackage(const LauncherSandbox& box) {
  return testsupport::WritePackage(box.Scratch().Path() / "Package.exe",
                                   testsupport::PackagePayload(testsupport::ContentWithTestEngine(), kPassword));
}

struct stat StatOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
  return info;
}

// A throwaway user of the test's own, removed again afterwards; creating one needs root.
class OtherUser {
 public:
  OtherUser() {
    if (geteuid() != 0) {
      skipReason_ = "a second user can only be created as root";
      return;
    }
    const std::string name = "sfxother" + std::to_string(getpid());
    if (std::system(
            ("useradd --system --no-create-home --shell /usr/sbin/nologin " + name + " >/dev/null 2>&1").c_str()) !=
        0) {
      skipReason_ = "useradd could not create a second user";
      return;
    }
    name_ = name;
    const passwd* entry = getpwnam(name_.c_str());
    if (entry == nullptr) {
      skipReason_ = "the second user cannot be looked up";
      return;
    }
    uid_ = entry->pw_uid;
    gid_ = entry->pw_gid;
  }
  ~OtherUser() {
    if (!name_.empty()) std::system(("userdel " + name_ + " >/dev/null 2>&1").c_str());
  }
  OtherUser(const OtherUser&) = delete;
  OtherUser& operator=(const OtherUser&) = delete;

  const std::string& SkipReason() const { return skipReason_; }
  uid_t Uid() const { return uid_; }

  // Runs steps as that user, in a child process of its own; true when they all succeeded.
  bool Run(const std::function<bool()>& steps) const {
    const pid_t child = fork();
    if (child == 0) {
      if (setgroups(0, nullptr) != 0 || setgid(gid_) != 0 || setuid(uid_) != 0) _exit(2);
      _exit(steps() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

 private:
  std::string skipReason_;
  std::string name_;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
};

TEST(SharedTemp, FoldersOfAnotherUserTakeNoRunsFolder) {
  struct Case {
    const char* what;
    int taken;  // KIVOTemp0 up to this one, each holding a file of the other user's
  };
  const Case cases[] = {{"the first name taken", 1}, {"every name taken", 200}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const OtherUser other;
    if (!other.SkipReason().empty()) GTEST_SKIP() << other.SkipReason();
    LauncherSandbox box;
    fs::permissions(box.Scratch().Path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(box.Temp(), fs::perms::all | fs::perms::sticky_bit);  // a shared /tmp
    const fs::path temp = box.Temp();
    const int taken = c.taken;
    ASSERT_TRUE(other.Run([&] {
      for (int n = 0; n < taken; ++n) {
        const fs::path folder = temp / ("KIVOTemp" + std::to_string(n));
        if (mkdir(folder.c_str(), 0777) != 0) return false;
        if (!(std::ofstream(folder / "mine") << "the other user's").good()) return false;
      }
      return true;
    }));

    const auto result = box.Start(GoodPackage(box));
    EXPECT_EQ(result.exitCode, 0u);
    testsupport::ExpectBoxes(result, {});
    // The engine ran in a folder of the user's own, KIVOTemp<n> where a name is left.
    const fs::path folder =
        fs::path(testsupport::ValueOf(testsupport::ReadFileBytes(box.Report() / "report.txt"), "cwd"));
    EXPECT_EQ(folder.parent_path(), temp);
    if (taken < 200) {
      EXPECT_EQ(folder.filename(), "KIVOTemp" + std::to_string(taken));
    } else {
      EXPECT_EQ(folder.filename().string().rfind("KIVOTemp-", 0), 0u) << folder;
    }
    EXPECT_EQ(box.TempEntries(folder.filename()), testsupport::kFiveFiles);
    const struct stat info = StatOf(folder);
    EXPECT_EQ(info.st_uid, geteuid());
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    // The other user's folders are as they were.
    EXPECT_EQ(box.TempEntries().size(), static_cast<size_t>(taken) + 1);
    for (int n = 0; n < taken; ++n) {
      const fs::path theirs = temp / ("KIVOTemp" + std::to_string(n));
      EXPECT_EQ(StatOf(theirs).st_uid, other.Uid());
      EXPECT_EQ(box.TempEntries(theirs.filename()), std::vector<std::string>{"mine"});
    }
  }
}

TEST(SharedTemp, ADirectoryOthersMaySwapFoldersInIsRefused) {
  struct Case {
    const char* what;
    fs::perms perms;
    bool foreignGroup;  // the directory's group is not the user's own
    bool foreignOwner;  // the directory belongs to a user other than this one or root
    bool runs;
  };
  constexpr fs::perms kShared = fs::perms::all;
  constexpr fs::perms kGroupShared =
      fs::perms::owner_all | fs::perms::group_all | fs::perms::others_read | fs::perms::others_exec;
  const Case cases[] = {
      {"writable by everyone, without the sticky bit", kShared, false, false, false},
      {"writable by a group of others, without the sticky bit", kGroupShared, true, false, false},
      {"owned by another user", fs::perms::owner_all, false, true, false},
      {"writable by everyone, with the sticky bit", kShared | fs::perms::sticky_bit, false, false, true},
      {"writable by the user's own group", kGroupShared, false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    LauncherSandbox box;
    fs::permissions(box.Temp(), c.perms);
    if (c.foreignGroup || c.foreignOwner) {
      // Ids nobody on a test machine has; only root can give a directory away.
      if (chown(box.Temp().c_str(), c.foreignOwner ? 54321 : -1, c.foreignGroup ? 54321 : -1) != 0) {
        std::cout << "[ SKIPPED  ] " << c.what << ": only root can give a directory away\n";
        continue;
      }
    }
    const auto result = box.Start(GoodPackage(box));
    if (c.runs) {
      EXPECT_EQ(result.exitCode, 0u);
      testsupport::ExpectBoxes(result, {});
      EXPECT_EQ(box.TempEntries("KIVOTemp0"), testsupport::kFiveFiles);
    } else {
      EXPECT_EQ(result.exitCode, 73u);
      testsupport::ExpectBoxes(result, {testsupport::FolderNotCreatedBox(box.Temp())});
      EXPECT_TRUE(box.TempEntries().empty());
      EXPECT_FALSE(fs::exists(box.Report()));
    }
  }
}

TEST(SharedTemp, ALockOnTheTemporaryDirectoryDelaysNothing) {
  // Anyone who may read the directory can lock it, another user included.
  LauncherSandbox box;
  const int directory = open(box.Temp().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(directory, 0);
  ASSERT_EQ(flock(directory, LOCK_EX), 0);
  const auto started = std::chrono::steady_clock::now();
  const auto result = box.Start(GoodPackage(box));
  const auto took = std::chrono::steady_clock::now() - started;
  close(directory);
  EXPECT_EQ(result.exitCode, 0u);
  testsupport::ExpectBoxes(result, {});
  EXPECT_EQ(box.TempEntries("KIVOTemp0"), testsupport::kFiveFiles);
  EXPECT_LT(took, std::chrono::seconds(5));
}

}  // namespace
#endif

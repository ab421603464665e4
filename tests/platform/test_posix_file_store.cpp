#include "platform/posix_file_store.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "logic/complex/num_text.h"
#include "tests/project/project_world.h"

namespace ombrix {
namespace {

namespace fs = std::filesystem;
using testing::ExpectSameProject;
using testing::Join;
using testing::NewProjectFields;
using testing::SampleProject;

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Each test works in a folder of its own, with a listening socket in it.
class PosixFileStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDecimalSeparator(',');
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = fs::temp_directory_path() /
           ("ombrix-files-" + std::to_string(::getpid()) + "-" + std::to_string(stamp));
    fs::create_directories(dir_);
    socket_ = dir_ / "steckdose";
    socket_fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(socket_fd_, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socket_.native().size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, socket_.c_str(), socket_.native().size() + 1);
    ASSERT_EQ(::bind(socket_fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  }
  void TearDown() override {
    if (socket_fd_ >= 0) ::close(socket_fd_);
    std::error_code ec;
    fs::remove_all(dir_, ec);
    SetDecimalSeparator(',');
  }
  // Everything in the folder apart from the given names and the socket: leftover
  // temporary files.
  std::vector<std::string> Leftovers(const std::vector<std::string>& expected) const {
    std::vector<std::string> extra;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      const std::string name = entry.path().filename().string();
      if (name != socket_.filename().string() &&
          std::find(expected.begin(), expected.end(), name) == expected.end()) {
        extra.push_back(name);
      }
    }
    return extra;
  }
  fs::path dir_;
  fs::path socket_;
  int socket_fd_ = -1;
};

TEST_F(PosixFileStoreTest, FilesThatCannotBeReadAreRefusedWithoutHanging) {
  ASSERT_EQ(::mkfifo((dir_ / "rohr").c_str(), 0600), 0);
  fs::create_directory(dir_ / "ordner");
  WriteBytes(dir_ / "datei", "x");
  {
    // Sparse, so the test stays fast.
    std::ofstream big(dir_ / "riesig.omp", std::ios::binary);
  }
  fs::resize_file(dir_ / "riesig.omp", kMaxProjectFileSize + 1);
  struct Row {
    const char* name;
    fs::path file;
    std::string reason;
  };
  const Row rows[] = {
      {"missing file", dir_ / "fehlt.omp", "Die Datei oder der Ordner existiert nicht"},
      {"a folder", dir_ / "ordner", "Das ist ein Ordner"},
      {"a named pipe", dir_ / "rohr", "Das ist eine benannte Pipe, keine Datei"},
      {"a socket", socket_, "Das ist ein Socket, keine Datei"},
      {"a device", "/dev/null", "Das ist ein Ger\xE4t, keine Datei"},
      {"a file as folder", dir_ / "datei" / "p.omp", "Ein Teil des Pfades ist kein Ordner"},
      {"too large", dir_ / "riesig.omp", "Sie ist zu gro\xDF f\xFCr eine Projektdatei"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ProjectContent project = SampleProject();
    const std::optional<ProjectError> error = LoadProject(project, row.file);
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->fault);
    EXPECT_EQ(error->message, "Die Datei \"" + row.file.string() +
                                  "\" konnte nicht ge\366ffnet werden: " + row.reason + ".");
    ExpectSameProject(project, SampleProject());
  }
}

TEST_F(PosixFileStoreTest, SaveFailuresAreReportedAndLeaveNoTraces) {
  fs::create_directory(dir_ / "ordner");
  WriteBytes(dir_ / "datei", "alt");
  ASSERT_EQ(::mkfifo((dir_ / "rohr").c_str(), 0600), 0);
  struct Row {
    const char* name;
    fs::path file;
    std::string reason;
  };
  const Row rows[] = {
      {"target is a folder", dir_ / "ordner", "Das ist ein Ordner"},
      {"folder does not exist", dir_ / "fehlt" / "p.omp",
       "Die Datei oder der Ordner existiert nicht"},
      {"a file stands in place of the folder", dir_ / "datei" / "p.omp",
       "Ein Teil des Pfades ist kein Ordner"},
      {"target is a named pipe", dir_ / "rohr", "Das ist eine benannte Pipe, keine Datei"},
      {"target is a socket", socket_, "Das ist ein Socket, keine Datei"},
      {"no file name", fs::path(), "Es wurde kein Dateiname angegeben"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::optional<ProjectError> error = SaveProject(SampleProject(), row.file);
    ASSERT_TRUE(error);
    EXPECT_FALSE(error->fault);
    EXPECT_EQ(error->message, "Das Projekt konnte nicht in der Datei \"" + row.file.string() +
                                  "\" gespeichert werden: " + row.reason + ".");
  }
  EXPECT_EQ(ReadBytes(dir_ / "datei"), "alt");
  EXPECT_TRUE(fs::is_fifo(dir_ / "rohr"));
  EXPECT_TRUE(Leftovers({"ordner", "datei", "rohr"}).empty());
}

TEST_F(PosixFileStoreTest, SaveThatCannotBeWrittenKeepsTheOldFile) {
  // Root writes into any folder, so the file size limit, which binds root as well, makes
  // the write itself fail there.
  struct Row {
    const char* name;
    bool needs_a_user;
    std::string reason;
  };
  const Row rows[] = {
      {"read-only folder", true, "Zugriff verweigert"},
      {"file size limit", false, "Die Datei w\xE4re zu gro\xDF"},
  };
  const fs::path folder = dir_ / "ziel";
  fs::create_directory(folder);
  const fs::path file = folder / "p.omp";
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.needs_a_user && ::geteuid() == 0) continue;
    WriteBytes(file, "alt");
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    if (row.needs_a_user) {
      ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    } else {
      rlimit small = saved;
      small.rlim_cur = 16;
      ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    }
    const std::optional<ProjectError> error = SaveProject(SampleProject(), file);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old_handler);
    ::chmod(folder.c_str(), 0755);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->message, "Das Projekt konnte nicht in der Datei \"" + file.string() +
                                  "\" gespeichert werden: " + row.reason + ".");
    EXPECT_EQ(ReadBytes(file), "alt");
    EXPECT_EQ(fs::directory_iterator(folder)->path(), file);  // nothing beside it
  }
}

TEST_F(PosixFileStoreTest, SavesKilledOnTheWayLeaveNothingBehind) {
  ProjectContent big;
  big.programs[MainProgram].assign(50000, "ZeichneKreis(1;2;3)");
  const fs::path file = dir_ / "gross.omp";
  ASSERT_FALSE(SaveProject(big, file));
  const std::string saved = ReadBytes(file);
  for (int kill = 0; kill < 40; ++kill) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) (void)SaveProject(big, file);  // killed while it saves
    }
    ::usleep(static_cast<useconds_t>(2000 + (kill * 7919) % 20000));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_EQ(ReadBytes(file), saved);
  }
  // A save killed between naming its temporary and renaming it leaves one; the next save
  // after a while removes it.
  for (const std::string& name : Leftovers({"gross.omp"})) {
    fs::last_write_time(dir_ / name, fs::file_time_type::clock::now() - std::chrono::hours(1));
  }
  ASSERT_FALSE(SaveProject(big, file));
  EXPECT_EQ(Leftovers({"gross.omp"}), std::vector<std::string>{});
}

// A project and its controls that tell which save wrote them: the variable "v<n>" with a
// point control, and long program lines, so that writing the file takes most of a save.
ProjectContent TaggedProject(int n, ControlSet& controls) {
  ProjectContent project;
  project.variables.SetLastVariable(3);
  project.variables.SetName(3, "v" + std::to_string(n));
  project.programs[MainProgram].assign(5, std::string(kMaxLineLength, '1'));
  controls = ControlSet{};
  controls.controls.push_back({ControlKind::Point, "v" + std::to_string(n)});
  return project;
}

// Runs `check` in a child process (as the user "nobody" when `as_nobody` and this is
// root); its exit status, 0 when it passed. `check` prints why it failed.
int InChild(const std::function<int()>& check, bool as_nobody = false) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (as_nobody && ::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      ::_exit(90);
    }
    ::_exit(check());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

// The save failed with `reason` and both files hold what they held.
int FailedAndUnchanged(const std::optional<ProjectError>& error, const std::string& reason,
                       const fs::path& file, const std::string& project, const std::string& side) {
  if (!error || error->message.find(reason) == std::string::npos) {
    std::fprintf(stderr, "save: %s\n", error ? error->message.c_str() : "no error");
    return 1;
  }
  if (ReadBytes(file) != project) return 2;
  if (ReadBytes(ControlsFilePath(file)) != side) return 3;
  return 0;
}

TEST_F(PosixFileStoreTest, ProjectAndControlsOfAFailedSaveStayAsTheyWere) {
  const fs::path file = dir_ / "p.omp";
  ControlSet old_controls;
  ControlSet controls;
  const ProjectContent old_project = TaggedProject(1, old_controls);
  const ProjectContent project = TaggedProject(2, controls);
  ASSERT_FALSE(SaveProjectAndControls(old_project, old_controls, file));
  const std::string old_bytes = ReadBytes(file);
  const std::string old_side = ReadBytes(ControlsFilePath(file));

  // A read-only project file (root may write it, so the save runs as another user).
  if (::geteuid() == 0) {
    for (const fs::path& path : {dir_, file, ControlsFilePath(file)}) {
      ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    }
  }
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  for (const ControlSet& set : {controls, ControlSet{}}) {
    EXPECT_EQ(InChild(
                  [&] {
                    return FailedAndUnchanged(SaveProjectAndControls(project, set, file),
                                              "Zugriff verweigert", file, old_bytes, old_side);
                  },
                  true),
              0);
  }
  ASSERT_EQ(::chmod(file.c_str(), 0644), 0);

  // A full disk: a small file system of its own, filled until the side file still fits
  // and the project no longer does. Where none can be mounted (no root, no namespaces),
  // the file size limit fails the project's write the same way.
  EXPECT_EQ(InChild([&] {
              const fs::path disk = dir_ / "voll";
              fs::create_directory(disk);
              const fs::path small = disk / "p.omp";
              std::string reason = "Auf dem Datentr\xE4ger ist kein Platz mehr";
              const bool mounted =
                  ::unshare(CLONE_NEWNS) == 0 &&
                  ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                  ::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=1m") == 0;
              if (!mounted) std::fprintf(stderr, "no file system mounted: the file size limit\n");
              if (SaveProjectAndControls(old_project, old_controls, small)) return 4;
              const std::string before = ReadBytes(small);
              const std::string side_before = ReadBytes(ControlsFilePath(small));
              if (mounted) {
                std::ofstream filler(disk / "fuellung", std::ios::binary);
                const std::string block(4096, 'x');
                while (filler.write(block.data(), block.size())) {
                }
                filler.close();
                fs::resize_file(disk / "fuellung", fs::file_size(disk / "fuellung") - 16384);
              } else {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit small_files{65536, 65536};
                ::setrlimit(RLIMIT_FSIZE, &small_files);
                reason = "Die Datei w\xE4re zu gro\xDF";
              }
              return FailedAndUnchanged(SaveProjectAndControls(project, controls, small), reason,
                                        small, before, side_before);
            }),
            0);
}

TEST_F(PosixFileStoreTest, KilledSavesLeaveAProjectWithTheControlsSavedWithIt) {
  const fs::path file = dir_ / "p.omp";
  ControlSet controls;
  ASSERT_FALSE(SaveProjectAndControls(TaggedProject(0, controls), controls, file));
  // The project and its side file change by two renames, moments apart: only a kill
  // between them can part the two, which the platform cannot rule out. (Written one after
  // the other, as they were, 15 of 60 kills parted them.) The kills fall anywhere in the
  // first few saves.
  int parted = 0;
  constexpr int kKills = 60;
  for (int kill = 0; kill < kKills; ++kill) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int n = 1;; ++n) {
        ControlSet set;
        const ProjectContent project = TaggedProject(n, set);
        static_cast<void>(SaveProjectAndControls(project, set, file));  // killed at any moment
      }
    }
    ::usleep(static_cast<useconds_t>(1000 + (kill * 7919) % 150000));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ProjectContent loaded;
    ASSERT_FALSE(LoadProject(loaded, file));
    const LoadedControls side = LoadControls(file);
    ASSERT_EQ(side.set.controls.size(), 1u);
    if (side.set.controls[0].variable != loaded.variables.Name(3)) ++parted;
  }
  std::fprintf(stderr, "%d of %d killed saves parted the files\n", parted, kKills);
  EXPECT_LE(parted, 2);
}

TEST_F(PosixFileStoreTest, SaveKeepsTheOwnerOfTheFileItReplaces) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root may give a file to another user";
  const fs::path file = dir_ / "fremd.omp";
  WriteBytes(file, "alt");
  ASSERT_EQ(::chown(file.c_str(), 4242, 4343), 0);
  ASSERT_EQ(::chmod(file.c_str(), 0664), 0);
  ASSERT_FALSE(SaveProject(SampleProject(), file));
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 4242u);
  EXPECT_EQ(info.st_gid, 4343u);
  EXPECT_EQ(info.st_mode & 07777, 0664u);
  EXPECT_NE(ReadBytes(file), "alt");
}

TEST_F(PosixFileStoreTest, SaveReplacesTheOldFileAndKeepsItsPermissions) {
  const fs::path file = dir_ / "p.omp";
  WriteBytes(file, std::string(10000, 'x'));
  ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
  ASSERT_FALSE(SaveProject(ProjectContent{}, file));
  EXPECT_EQ(ReadBytes(file), Join(NewProjectFields("2,71828182845905", "3,14159265358979")));
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_TRUE(Leftovers({"p.omp"}).empty());
}

TEST_F(PosixFileStoreTest, SaveThroughALinkWritesTheLinkedFile) {
  fs::create_directories(dir_ / "a");
  fs::create_directories(dir_ / "b");
  struct Row {
    const char* name;
    std::vector<std::pair<fs::path, fs::path>> links;  // link, where it points
    fs::path saved_as;
    fs::path written;
    bool existed;
  };
  const std::vector<Row> rows = {
      {"to an existing file",
       {{dir_ / "verweis.omp", dir_ / "echt.omp"}},
       dir_ / "verweis.omp",
       dir_ / "echt.omp",
       true},
      {"dangling",
       {{dir_ / "offen.omp", dir_ / "neu.omp"}},
       dir_ / "offen.omp",
       dir_ / "neu.omp",
       false},
      {"dangling and relative",
       {{dir_ / "a" / "rel.omp", "../b/neu.omp"}},
       dir_ / "a" / "rel.omp",
       dir_ / "b" / "neu.omp",
       false},
      {"a chain ending nowhere",
       {{dir_ / "eins.omp", "zwei.omp"}, {dir_ / "zwei.omp", dir_ / "b" / "ende.omp"}},
       dir_ / "eins.omp",
       dir_ / "b" / "ende.omp",
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.existed) WriteBytes(row.written, "alt");
    for (const auto& [link, to] : row.links) fs::create_symlink(to, link);
    ASSERT_FALSE(SaveProject(ProjectContent{}, row.saved_as));
    for (const auto& link : row.links) EXPECT_TRUE(fs::is_symlink(link.first));
    EXPECT_EQ(ReadBytes(row.written),
              Join(NewProjectFields("2,71828182845905", "3,14159265358979")));
  }
  // A loop of links is refused.
  fs::create_symlink(dir_ / "ring2.omp", dir_ / "ring1.omp");
  fs::create_symlink(dir_ / "ring1.omp", dir_ / "ring2.omp");
  const std::optional<ProjectError> error = SaveProject(ProjectContent{}, dir_ / "ring1.omp");
  ASSERT_TRUE(error);
  EXPECT_NE(error->message.find("Zu viele symbolische Verkn\xFCpfungen"), std::string::npos);
}

}  // namespace
}  // namespace ombrix

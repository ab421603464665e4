#include "platform/posix_file_store.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
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

// OutputFile and CheckOutputPath: a target is replaced only by a complete
// file, and never when it is the input or not a regular file.
#include "output_file.hpp"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "analysis_model/xaf_model.hpp"

namespace fs = std::filesystem;

namespace {

class OutputFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("quilm-tools-test-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  static void Put(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
  static std::string Get(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  std::size_t Entries() const {
    return std::distance(fs::directory_iterator(dir_), fs::directory_iterator());
  }
  fs::path dir_;
};

TEST_F(OutputFileTest, CommitReplacesTheTargetAndLeavesNothingElse) {
  Put(Path("out.vtu"), "old");
  {
    quilm_tools::OutputFile file(Path("out.vtu"));
    file.Stream() << "new";
    EXPECT_EQ(Get(Path("out.vtu")), "old");  // untouched until the commit
    file.Commit();
  }
  EXPECT_EQ(Get(Path("out.vtu")), "new");
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(OutputFileTest, AnUncommittedFileLeavesTheTargetAsItWas) {
  Put(Path("out.vtu"), "old");
  {
    quilm_tools::OutputFile file(Path("out.vtu"));
    file.Stream() << "half";
  }  // e.g. an exception while writing
  EXPECT_EQ(Get(Path("out.vtu")), "old");
  EXPECT_EQ(Entries(), 1u);
}

TEST_F(OutputFileTest, RefusesTheInputADirectoryAndAnUnwritablePlace) {
  Put(Path("model.qdb"), "model");
  fs::create_symlink(Path("model.qdb"), Path("link.html"));
  const auto& page = quilm_tools::kPageKind;
  EXPECT_THROW(quilm_tools::CheckOutputPath(Path("model.qdb"), Path("model.qdb"), page), std::runtime_error);
  EXPECT_THROW(quilm_tools::CheckOutputPath(Path("link.html"), Path("model.qdb"), page), std::runtime_error);
  EXPECT_THROW(quilm_tools::CheckOutputPath(dir_.string(), Path("model.qdb"), page), std::runtime_error);
  EXPECT_NO_THROW(quilm_tools::CheckOutputPath(Path("new.html"), Path("model.qdb"), page));
  EXPECT_THROW(quilm_tools::OutputFile(Path("missing/dir/out.png")), std::runtime_error);
  EXPECT_EQ(Get(Path("model.qdb")), "model");
}

// A write that fails half-way is reported with its reason, in one line,
// and the target stays as it was. The child meets a file size limit (its
// signal ignored, the write fails with EFBIG), as a full disk fails with
// ENOSPC.
TEST_F(OutputFileTest, AFailedWriteIsReportedWithItsReason) {
  Put(Path("out.vtu"), "old");
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{40000, 40000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::string message = "committed";
    try {
      quilm_tools::OutputFile file(Path("out.vtu"));
      file.Stream() << std::string(200000, 'x');
      file.Commit();
    } catch (const std::runtime_error& e) {
      message = e.what();
    }
    (void)!::write(pipe[1], message.data(), message.size());
    ::_exit(0);
  }
  ::close(pipe[1]);
  char text[512] = {};
  (void)!::read(pipe[0], text, sizeof text - 1);
  ::close(pipe[0]);
  ::waitpid(child, nullptr, 0);
  EXPECT_EQ(std::string(text), "cannot write \"" + Path("out.vtu") + "\": file too large");
  EXPECT_EQ(Get(Path("out.vtu")), "old");
  EXPECT_EQ(Entries(), 1u);
}

// An existing target is replaced only when it is the tool's own kind of
// file and the user may write it; anything else is refused in one line
// naming what is there, and is left as it was.
TEST_F(OutputFileTest, AnExistingTargetIsReplacedOnlyWhenItIsTheToolsOwnWritableKind) {
  namespace am = Kestrum::Quilm::AnalysisModel;
  const std::string model = Path("m.qdb");
  {
    am::XafModel m(model, 1, 1, true);
    m.Nodes().AddNode(pos3d(0, 0, 0));
    m.Flush();
  }
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(Path("app.db").c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  Put(Path("deck.inp"), "** Written from the analysis model m.qdb\n*NODE\n");
  Put(Path("hand.inp"), "*HEADING\n");
  Put(Path("ro.inp"), "** Written from the analysis model m.qdb\n");
  fs::permissions(Path("ro.inp"), fs::perms::owner_read | fs::perms::group_read);
  Put(Path("empty.inp"), "");
  fs::create_symlink(Path("gone.inp"), Path("dangling.inp"));
  ASSERT_EQ(::mkfifo(Path("fifo.inp").c_str(), 0644), 0);
  const struct {
    std::string target;
    const quilm_tools::OutputKind& kind;
    const char* refusal;  // nullptr: replaced
  } cases[] = {
      {model, quilm_tools::kModelFileKind, nullptr},
      {Path("app.db"), quilm_tools::kModelFileKind,
       "holds another application's SQLite database, not a model file"},
      {Path("deck.inp"), quilm_tools::kDeckKind, nullptr},
      {Path("deck.inp"), quilm_tools::kModelFileKind, "holds a solver deck, not a model file"},
      {Path("hand.inp"), quilm_tools::kDeckKind, "holds a file of another kind, not a solver deck"},
      {model, quilm_tools::kDeckKind, "holds a model file, not a solver deck"},
      {Path("ro.inp"), quilm_tools::kDeckKind, "is read-only for you (permission denied)"},
      {Path("empty.inp"), quilm_tools::kDeckKind, "exists and is empty"},
      {Path("dangling.inp"), quilm_tools::kDeckKind, "is a symbolic link to a missing file"},
      {Path("fifo.inp"), quilm_tools::kDeckKind, "exists and is a FIFO"},
      {"/dev/null", quilm_tools::kPngKind, "exists and is a device"},
      {"", quilm_tools::kDeckKind, "the output file name is empty"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target + " as a " + c.kind.name);
    try {
      quilm_tools::CheckOutputPath(c.target, Path("input.qdb"), c.kind);
      EXPECT_EQ(c.refusal, nullptr) << "accepted";
    } catch (const std::runtime_error& e) {
      ASSERT_NE(c.refusal, nullptr) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos);
    }
  }
  // A model another program holds open read-write (here: a model of this
  // process, which a second claim could not take either).
  am::XafModel holder(model, 1, 1, false);
  try {
    quilm_tools::CheckOutputPath(model, "", quilm_tools::kModelFileKind);
    ADD_FAILURE() << "accepted a model held open";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("is open as a model by another program"), std::string::npos)
        << e.what();
  }
}

}  // namespace

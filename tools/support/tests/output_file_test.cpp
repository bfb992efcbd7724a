// OutputFile and CheckOutputPath: a target is replaced only by a complete
// file, and never when it is the input or not a regular file.
#include "output_file.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

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
  EXPECT_THROW(quilm_tools::CheckOutputPath(Path("model.qdb"), Path("model.qdb")), std::runtime_error);
  EXPECT_THROW(quilm_tools::CheckOutputPath(Path("link.html"), Path("model.qdb")), std::runtime_error);
  EXPECT_THROW(quilm_tools::CheckOutputPath(dir_.string(), Path("model.qdb")), std::runtime_error);
  EXPECT_NO_THROW(quilm_tools::CheckOutputPath(Path("new.html"), Path("model.qdb")));
  EXPECT_THROW(quilm_tools::OutputFile(Path("missing/dir/out.png")), std::runtime_error);
  EXPECT_EQ(Get(Path("model.qdb")), "model");
}

}  // namespace

// Rendering through Chromium: a scratch directory holds the page, the
// browser profile and the screenshot; the browser runs with a time limit.
#include "png_renderer.hpp"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "output_file.hpp"

extern char** environ;

namespace quilm_view {

namespace {

namespace fs = std::filesystem;

// Removes the scratch directory on every way out.
struct ScratchDirectory {
  fs::path path;
  ScratchDirectory() {
    std::string pattern = (fs::temp_directory_path() / "quilm-view-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
      throw std::runtime_error("cannot make a scratch directory in " + fs::temp_directory_path().string());
    path = pattern;
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
};

int TimeoutSeconds() {
  const char* s = std::getenv("QUILM_CHROMIUM_TIMEOUT");
  const int t = s ? std::atoi(s) : 0;
  return t > 0 ? t : 600;
}

// Runs the browser with stdout and stderr in `log`; returns its exit status.
int RunBrowser(std::vector<std::string> args, const fs::path& log) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);  // its helpers too end with it
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int failed = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (failed) throw std::runtime_error("cannot start the browser \"" + args[0] + "\" (set QUILM_CHROMIUM)");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(TimeoutSeconds());
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(-pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      throw std::runtime_error("the browser did not finish within " + std::to_string(TimeoutSeconds()) +
                               " s (QUILM_CHROMIUM_TIMEOUT)");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ::kill(-pid, SIGKILL);  // leftover helper processes of the browser
  return status;
}

std::string LastLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line, last;
  while (std::getline(in, line))
    if (!line.empty()) last = line;
  return last;
}

}  // namespace

void RenderPng(const ModelArrays& a, const std::vector<AnalysisFields>& analyses, const PageSettings& settings, const std::string& size,
               const std::string& png) {
  ScratchDirectory scratch;
  const fs::path page = scratch.path / "model.html", shot = scratch.path / "shot.png";
  {
    std::ofstream out(page, std::ios::binary);
    PageSettings picture = settings;
    picture.picture = true;
    WritePage(a, analyses, picture, out);
    if (!out.flush()) throw std::runtime_error("cannot write the page to " + page.string());
  }
  const char* browser = std::getenv("QUILM_CHROMIUM");
  std::string windowSize = size;
  windowSize[windowSize.find('x')] = ',';
  const int status =
      RunBrowser({browser && *browser ? browser : "chromium", "--headless", "--no-sandbox",
                  "--use-angle=swiftshader", "--enable-unsafe-swiftshader", "--hide-scrollbars",
                  "--no-first-run", "--disable-extensions", "--mute-audio",
                  "--user-data-dir=" + (scratch.path / "profile").string(), "--window-size=" + windowSize,
                  "--virtual-time-budget=600000", "--screenshot=" + shot.string(), "file://" + page.string()},
                 scratch.path / "browser.log");
  std::ifstream in(shot, std::ios::binary);
  char signature[8] = {};
  if (!in.read(signature, 8) || std::string(signature, 8) != "\x89PNG\r\n\x1a\n") {
    const std::string last = LastLine(scratch.path / "browser.log");
    throw std::runtime_error("the browser made no picture (exit status " + std::to_string(status) + ")" +
                             (last.empty() ? "" : ": " + last));
  }
  in.seekg(0);
  quilm_tools::OutputFile out(png);
  out.Stream() << in.rdbuf();
  out.Commit();
}

}  // namespace quilm_view

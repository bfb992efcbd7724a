// The fault-injecting VFS shim: a file of the shim is the real VFS's file
// placed right behind it.
#include "faulty_vfs.hpp"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>

namespace Kestrum::Quilm::AnalysisModel::Testing {

FaultyVfs* g_faults = nullptr;

namespace {

sqlite3_vfs* g_real = nullptr;

struct ShimFile {
  sqlite3_file base;
  const char* name;  // valid until xClose (SQLite's promise for xOpen's name)
  sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

sqlite3_file* Real(sqlite3_file* f) { return reinterpret_cast<ShimFile*>(f)->real(); }

std::optional<std::string> ContentOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

int Close(sqlite3_file* f) { return Real(f)->pMethods->xClose(Real(f)); }
int Read(sqlite3_file* f, void* p, int n, sqlite3_int64 at) {
  if (g_faults->ShouldFail(FaultyVfs::kRead)) return SQLITE_IOERR_READ;
  return Real(f)->pMethods->xRead(Real(f), p, n, at);
}
int Write(sqlite3_file* f, const void* p, int n, sqlite3_int64 at) {
  if (g_faults->ShouldFail(FaultyVfs::kWrite)) {
    errno = g_faults->Errno();
    return errno == ENOSPC ? SQLITE_FULL : SQLITE_IOERR_WRITE;
  }
  return Real(f)->pMethods->xWrite(Real(f), p, n, at);
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) {
  if (g_faults->Stopped()) return SQLITE_IOERR_TRUNCATE;
  return Real(f)->pMethods->xTruncate(Real(f), size);
}
int Sync(sqlite3_file* f, int flags) {
  if (g_faults->ShouldFail(FaultyVfs::kSync)) return SQLITE_IOERR_FSYNC;
  const int rc = Real(f)->pMethods->xSync(Real(f), flags);
  const char* name = reinterpret_cast<ShimFile*>(f)->name;
  if (rc == SQLITE_OK && name) g_faults->Synced(name);
  return rc;
}
int FileSize(sqlite3_file* f, sqlite3_int64* size) { return Real(f)->pMethods->xFileSize(Real(f), size); }
int Lock(sqlite3_file* f, int level) {
  if (g_faults->ShouldFail(FaultyVfs::kLock)) return SQLITE_IOERR_LOCK;
  return Real(f)->pMethods->xLock(Real(f), level);
}
int Unlock(sqlite3_file* f, int level) { return Real(f)->pMethods->xUnlock(Real(f), level); }
int CheckReservedLock(sqlite3_file* f, int* out) {
  return Real(f)->pMethods->xCheckReservedLock(Real(f), out);
}
int FileControl(sqlite3_file* f, int op, void* arg) {
  return Real(f)->pMethods->xFileControl(Real(f), op, arg);
}
int SectorSize(sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); }
int DeviceCharacteristics(sqlite3_file* f) { return Real(f)->pMethods->xDeviceCharacteristics(Real(f)); }

// Version 1: no shared memory or memory mapping, which the model's
// rollback-journal files do not need.
const sqlite3_io_methods kMethods = {1,
                                     Close,
                                     Read,
                                     Write,
                                     Truncate,
                                     Sync,
                                     FileSize,
                                     Lock,
                                     Unlock,
                                     CheckReservedLock,
                                     FileControl,
                                     SectorSize,
                                     DeviceCharacteristics,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr};

int Open(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags) {
  auto* shim = reinterpret_cast<ShimFile*>(f);
  shim->base.pMethods = nullptr;
  shim->name = name;
  if (name) g_faults->SeeFile(name);
  const int rc = g_real->xOpen(g_real, name, shim->real(), flags, outFlags);
  if (shim->real()->pMethods) shim->base.pMethods = &kMethods;
  return rc;
}

int Delete(sqlite3_vfs*, const char* name, int syncFolder) {
  if (g_faults->ShouldFail(FaultyVfs::kDelete)) return SQLITE_IOERR_DELETE;
  g_faults->Deleting(name, syncFolder != 0);
  return g_real->xDelete(g_real, name, syncFolder);
}

}  // namespace

FaultyVfs::FaultyVfs() {
  g_real = sqlite3_vfs_find(nullptr);
  vfs_ = *g_real;
  vfs_.zName = "quilm-faulty";
  vfs_.szOsFile = static_cast<int>(sizeof(ShimFile)) + g_real->szOsFile;
  vfs_.xOpen = Open;
  vfs_.xDelete = Delete;
  vfs_.pNext = nullptr;
  g_faults = this;
  sqlite3_vfs_register(&vfs_, 1);
}

FaultyVfs::~FaultyVfs() {
  sqlite3_vfs_unregister(&vfs_);
  sqlite3_vfs_register(g_real, 1);
  g_faults = nullptr;
}

void FaultyVfs::Arm(Operation op, long n, int errnum) {
  op_ = op;
  errno_ = errnum;
  countdown_ = n;
  armed_ = true;
  fired_ = false;
  crash_ = false;
  powerCut_ = false;
}

void FaultyVfs::ArmCrash(Operation op, long n) {
  Arm(op, n);
  crash_ = true;
}

void FaultyVfs::ArmPowerCut(Operation op, long n) {
  Arm(op, n);
  powerCut_ = true;
}

bool FaultyVfs::ShouldFail(Operation op) {
  if (stopped_) return op != kRead && op != kLock;
  if (!armed_ || op != op_ || --countdown_ > 0) return false;
  if (crash_) ::_exit(0);
  armed_ = false;
  fired_ = true;
  stopped_ = powerCut_;
  return true;
}

void FaultyVfs::SeeFile(const std::string& path) {
  if (durable_.count(path) == 0) durable_[path] = ContentOf(path);
}

void FaultyVfs::Synced(const std::string& path) { durable_[path] = ContentOf(path); }

void FaultyVfs::Deleting(const std::string& path, bool folderSynced) {
  SeeFile(path);
  if (folderSynced) durable_[path] = std::nullopt;
}

void FaultyVfs::PowerCut() {
  stopped_ = false;
  for (const auto& [path, content] : durable_) {
    if (!content) {
      ::unlink(path.c_str());
      continue;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << *content;
  }
}

void FaultyVfs::FolderSynced(const std::string& folder) {
  for (auto& [path, content] : durable_)
    if (path.compare(0, folder.size() + 1, folder + "/") == 0 && ::access(path.c_str(), F_OK) != 0)
      content = std::nullopt;
}

}  // namespace Kestrum::Quilm::AnalysisModel::Testing

// fsync of this test program and the libraries it loads: passed to the C
// library's, and a synchronised folder is reported to the live shim, so
// that the power-cut model sees the library's own folder syncs.
extern "C" int fsync(int fd) {
  using Fsync = int (*)(int);
  static const auto real = reinterpret_cast<Fsync>(::dlsym(RTLD_NEXT, "fsync"));
  const int rc = real(fd);
  struct stat info;
  if (rc == 0 && Kestrum::Quilm::AnalysisModel::Testing::g_faults && ::fstat(fd, &info) == 0 &&
      S_ISDIR(info.st_mode)) {
    char folder[4096];
    const ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), folder, sizeof folder - 1);
    if (n > 0) Kestrum::Quilm::AnalysisModel::Testing::g_faults->FolderSynced(std::string(folder, n));
  }
  return rc;
}

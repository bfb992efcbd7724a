// Flushes on failing storage: each write, sync, lock or read of a flush
// fails in turn. The file must then hold the old or the new state, the
// model in memory must be unchanged and the next flush must succeed.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>

#include "analysis_model/xaf_model.hpp"
#include "faulty_vfs.hpp"
#include "model_fixture.hpp"
#include "model_snapshot.hpp"

namespace Kestrum::Quilm::AnalysisModel {
namespace {

using namespace Testing;

class StorageFaultTest : public XafModelTest {
 protected:
  // A fresh model with 30 beams, flushed when `flushed`, then changed.
  void Prepare(bool flushed, bool archive = false) {
    model.reset();
    RemoveModelFiles(path);
    model = std::make_unique<XafModel>(path, 1, 1, true);
    model->GetArchive().SetArchiveMode(archive);
    AddBeamChain(30);
    model->Sections().AddSection(qlSection::Rectangle(0.2, 0.1), "A", -1);
    if (flushed) {
      model->Flush();
      oldState = Snapshot(*model);
    }
    for (long e = 1; e <= 30; e += 3) model->Elements().GetElement(e)->SetSection(1);
    model->Elements().RemoveElement(30, true);
    model->NodeProperties().SetName(2, "changed");
    newState = Snapshot(*model);
  }

  std::map<std::string, std::string> oldState, newState;
};

TEST_F(StorageFaultTest, AFlushFailingAtAnyStorageCallLosesNothing) {
  const struct {
    FaultyVfs::Operation op;
    const char* name;
  } operations[] = {{FaultyVfs::kWrite, "write"},
                    {FaultyVfs::kSync, "sync"},
                    {FaultyVfs::kLock, "lock"},
                    {FaultyVfs::kRead, "read"}};
  FaultyVfs vfs;
  for (const auto& operation : operations) {
    for (bool incremental : {false, true}) {
      int failures = 0;
      for (long n = 1; n < 500; ++n) {
        SCOPED_TRACE(std::string(operation.name) + " " + std::to_string(n) +
                     (incremental ? ", incremental flush" : ", first flush"));
        Prepare(incremental);
        vfs.Arm(operation.op, n);
        bool failed = false;
        try {
          model->Flush();
        } catch (const ModelError&) {
          failed = true;
        }
        vfs.Disarm();
        if (!vfs.Fired()) break;  // the flush needs fewer calls than n
        if (failed) {
          ++failures;
          ASSERT_EQ(model->Validate(), "");
          ASSERT_EQ(Snapshot(*model), newState) << "the failed flush changed the model";
        }
        // The next flush succeeds and stores the whole new state.
        try {
          model->Flush();
        } catch (const std::exception& e) {
          FAIL() << "the next flush failed: " << e.what();
        }
        model.reset();
        XafModel reopened(path, 0, 1, false);
        ASSERT_EQ(Snapshot(reopened), newState);
      }
      EXPECT_GT(failures, 0) << operation.name;
    }
  }
  // What a failed flush leaves when the model is dropped instead: the old
  // state or the new one, restored by the next read-write open.
  for (long n = 1; n < 40; ++n) {
    SCOPED_TRACE("dropped after write " + std::to_string(n));
    Prepare(true);
    vfs.Arm(FaultyVfs::kWrite, n);
    try {
      model->Flush();
    } catch (const ModelError&) {
    }
    vfs.Disarm();
    Reopen();
    const auto state = Snapshot(*model);
    ASSERT_TRUE(state == oldState || state == newState);
  }
}

// A full disk is named as such, in one line, and the next flush (once
// there is room) is not taken for another program's change.
TEST_F(StorageFaultTest, AFullDiskIsNamedAndTheNextFlushSucceeds) {
  FaultyVfs vfs;
  for (bool incremental : {false, true}) {
    SCOPED_TRACE(incremental ? "incremental flush" : "first flush");
    Prepare(incremental);
    vfs.Arm(FaultyVfs::kWrite, 3, ENOSPC);
    try {
      model->Flush();
      ADD_FAILURE() << "the flush did not fail";
    } catch (const ModelError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find("cannot flush model file"), std::string::npos) << message;
      EXPECT_NE(message.find("no space left on device"), std::string::npos) << message;
      EXPECT_EQ(message.find('\n'), std::string::npos) << message;
    }
    vfs.Disarm();
    model->Flush();
    Reopen();
    EXPECT_EQ(Snapshot(*model), newState);
  }
}

// Power cuts, seen through what the disk kept: right after a returned
// flush the flush is kept, in both modes; at any write, sync or delete of
// an archive-mode flush the file holds the old or the new state.
TEST_F(StorageFaultTest, APowerCutKeepsAReturnedFlushAndNeverHalfOfOne) {
  FaultyVfs vfs;
  for (bool archive : {true, false}) {
    SCOPED_TRACE(archive ? "archive mode" : "outside archive mode");
    Prepare(true, archive);
    vfs.AllDurable();
    model->Flush();
    model.reset();
    vfs.PowerCut();
    Reopen();
    ASSERT_EQ(Snapshot(*model), newState) << "the returned flush was lost";
  }

  for (FaultyVfs::Operation op : {FaultyVfs::kWrite, FaultyVfs::kSync, FaultyVfs::kDelete}) {
    for (long n = 1; n < 200; ++n) {
      SCOPED_TRACE("power cut at call " + std::to_string(n) + " of operation " + std::to_string(op));
      Prepare(true, true);
      vfs.AllDurable();
      vfs.ArmPowerCut(op, n);
      try {
        model->Flush();
      } catch (const ModelError&) {
      }
      vfs.Disarm();
      const bool fired = vfs.Fired();
      model.reset();
      vfs.PowerCut();
      if (!fired) break;
      Reopen();
      const auto state = Snapshot(*model);
      ASSERT_TRUE(state == oldState || state == newState);
    }
  }
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// What a crash during a flush can leave beside the file, and what each
// state means: a hot journal is refused by a read-only open (which changes
// no byte) and rolled back by a read-write one; a journal that SQLite
// ignores (its header zeroed, or emptied) is no crash at all.
TEST_F(StorageFaultTest, ReadOnlyOpensJudgeTheJournalAsSQLiteDoes) {
  enum Edit { kNone, kZeroHeader, kEmpty };
  const struct {
    const char* name;
    FaultyVfs::Operation crashAt;
    long call;  // 0: no crash
    Edit edit;
    bool hot;
  } states[] = {
      {"crash after the journal's sync", FaultyVfs::kSync, 1, kNone, true},
      {"crash before the journal's deletion", FaultyVfs::kDelete, 1, kNone, true},
      {"journal header zeroed", FaultyVfs::kDelete, 1, kZeroHeader, false},
      {"journal emptied", FaultyVfs::kDelete, 1, kEmpty, false},
      {"flush completed", FaultyVfs::kDelete, 0, kNone, false},
  };
  for (const auto& state : states) {
    SCOPED_TRACE(state.name);
    Prepare(true);
    model.reset();
    const pid_t child = ::fork();
    if (child == 0) {
      XafModel m(path, 1, 1, false);
      for (long e = 1; e <= 30; e += 3) m.Elements().GetElement(e)->SetSection(1);
      m.Elements().RemoveElement(30, true);
      m.NodeProperties().SetName(2, "changed");
      FaultyVfs vfs;
      if (state.call > 0) vfs.ArmCrash(state.crashAt, state.call);
      m.Flush();
      ::_exit(state.call > 0 ? 1 : 0);  // the crash ends the process with 0 first
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::string journal = path + "-journal";
    if (state.edit == kZeroHeader)
      std::fstream(journal, std::ios::binary | std::ios::in | std::ios::out) << std::string(28, '\0');
    if (state.edit == kEmpty) std::ofstream(journal, std::ios::binary | std::ios::trunc);
    const std::string bytes = Bytes(path);
    try {
      XafModel reader(path, 0, 1, false);
      EXPECT_FALSE(state.hot) << "a hot journal was ignored";
      EXPECT_EQ(Snapshot(reader), newState);
    } catch (const ModelError& e) {
      EXPECT_TRUE(state.hot) << e.what();
      EXPECT_NE(std::string(e.what()).find("interrupted flush"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Bytes(path), bytes);
    Reopen();  // read-write: rolls a hot journal back
    EXPECT_EQ(Snapshot(*model), state.hot ? oldState : newState);
    model.reset();
    XafModel reader(path, 0, 1, false);
    EXPECT_EQ(Snapshot(reader), state.hot ? oldState : newState);
  }
}

}  // namespace
}  // namespace Kestrum::Quilm::AnalysisModel

// Sharing a model file: one writer per file, within a process and across
// processes, readers that open while the writer flushes, and files
// deleted, replaced or changed underneath a model before its flush.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "analysis_model/xaf_model.hpp"
#include "model_fixture.hpp"

namespace Kestrum::Quilm::AnalysisModel {
namespace {

using namespace Testing;

class ModelFileSharingTest : public XafModelTest {
 protected:
  // Forks a writer that opens the file read-write and reports on a pipe
  // once it holds the model; it then runs `work` until killed.
  template <class Work>
  pid_t StartWriter(Work work) {
    int ready[2];
    EXPECT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(ready[0]);
      try {
        XafModel m(path, 1, 1, false);
        (void)!::write(ready[1], "x", 1);
        work(m);
      } catch (...) {
        ::_exit(3);
      }
      ::_exit(0);
    }
    ::close(ready[1]);
    char c = 0;
    EXPECT_EQ(::read(ready[0], &c, 1), 1);
    ::close(ready[0]);
    return child;
  }
  static void Stop(pid_t child) {
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
  }
};

std::string ErrorOf(const std::string& path, long accessMode) {
  try {
    XafModel m(path, accessMode, 1, false);
  } catch (const ModelError& e) {
    return e.what();
  }
  return "";
}

TEST_F(ModelFileSharingTest, ASecondWriterInTheSameProcessIsRefused) {
  AddBeamChain(3);
  model->Flush();
  EXPECT_NE(ErrorOf(path, 1).find("in use by another writer (this process)"), std::string::npos);
  // A new model on a file not yet created claims it just the same.
  const std::string other = path + ".b.qdb";
  XafModel fresh(other, 1, 1, true);
  EXPECT_THROW(XafModel(other, 1, 1, true), ModelError);
  // The first writer is unharmed, and its claim ends with it.
  model->Nodes().AddNode(pos3d(9, 9, 9));
  model->Flush();
  Reopen();
  EXPECT_EQ(model->Nodes().Count(), 5u);
}

TEST_F(ModelFileSharingTest, AWriterInAnotherProcessIsRefusedUntilItEndsEvenByACrash) {
  AddBeamChain(3);
  model->Flush();
  model.reset();
  const pid_t child = StartWriter([](XafModel&) { ::pause(); });
  const std::string error = ErrorOf(path, 1);
  EXPECT_NE(error.find("in use by another writer (process " + std::to_string(child) + ")"), std::string::npos)
      << error;
  EXPECT_EQ(ErrorOf(path, 0), "");  // readers are welcome
  Stop(child);                      // a crash leaves no stale claim
  Reopen();
  EXPECT_EQ(model->Nodes().Count(), 4u);
}

// The claim is held on the file itself: other names for it and a deleted
// lock file do not let a second writer in, within this process or from
// another; once the holder ends, by a crash too, the other name works.
TEST_F(ModelFileSharingTest, ASecondWriterThroughAnotherNameIsRefused) {
  struct Case {
    const char* name;
    std::string (*reach)(const std::string& path);  // a way to the file; "" when none
  };
  const Case cases[] = {
      {"a symlink",
       [](const std::string& p) { return ::symlink(p.c_str(), (p + ".sym").c_str()) ? "" : p + ".sym"; }},
      {"a hard link",
       [](const std::string& p) { return ::link(p.c_str(), (p + ".hard").c_str()) ? "" : p + ".hard"; }},
      {"a deleted lock file", [](const std::string& p) { return ::unlink((p + "-lock").c_str()) ? "" : p; }},
  };
  AddBeamChain(3);
  model->Flush();
  model.reset();
  for (const Case& c : cases) {
    for (bool otherProcess : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (otherProcess ? ", writer in another process" : ""));
      pid_t child = 0;
      if (otherProcess)
        child = StartWriter([](XafModel&) { ::pause(); });
      else
        Reopen();
      const std::string other = c.reach(path);
      ASSERT_NE(other, "");
      const std::string error = ErrorOf(other, 1);
      EXPECT_NE(error.find("in use by another writer"), std::string::npos) << error;
      EXPECT_EQ(ErrorOf(other, 0), "");  // readers are welcome
      if (otherProcess) Stop(child);
      model.reset();
      EXPECT_EQ(ErrorOf(other, 1), "");  // the claim ended with its holder
      if (other != path) ::unlink(other.c_str());
    }
  }
  Reopen();
}

// A reader opening while a writer flushes big changes over and over sees a
// completed flush (every element with one section) or "in use", never a
// damaged file; the writer's flushes do not fail because of the readers.
TEST_F(ModelFileSharingTest, ReadersDuringFlushesSeeACompletedFlush) {
  const int kElements = 20000;
  const long first = AddBeamChain(kElements);
  const long s1 = model->Sections().AddSection(qlSection::Rectangle(0.2, 0.1), "A", -1);
  const long s2 = model->Sections().AddSection(qlSection::Rectangle(0.3, 0.1), "B", -1);
  model->Flush();
  model.reset();
  const pid_t child = StartWriter([&](XafModel& m) {
    for (long generation = 1;; ++generation) {
      for (long e = first; e < first + kElements; ++e)
        m.Elements().GetElement(e)->SetSection(generation % 2 ? s1 : s2);
      m.Flush();
    }
  });
  int opened = 0;
  for (int attempt = 0; attempt < 30; ++attempt) {
    try {
      XafModel reader(path, 0, 1, false);
      const long section = reader.Elements().GetElement(first)->GetSection();
      long mismatches = 0;
      for (long e = first; e < first + kElements; ++e)
        mismatches += reader.Elements().GetElement(e)->GetSection() != section;
      EXPECT_EQ(mismatches, 0);
      ++opened;
    } catch (const ModelError& e) {
      EXPECT_NE(std::string(e.what()).find("in use"), std::string::npos) << e.what();
    }
  }
  int status = 0;
  EXPECT_EQ(::waitpid(child, &status, WNOHANG), 0) << "the writer's flush failed";
  Stop(child);
  EXPECT_GT(opened, 0);
  Reopen();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Copies, in place (same inode), the file of another model written by the
// same steps as the fixture's file (50 beams, a flush, one node, a flush):
// same size, same change counter, only the content differs.
void CopyTwinOver(const std::string& p) {
  const std::string twin = p + ".twin.qdb";
  {
    XafModel m(twin, 1, 1, true);
    long previous = m.Nodes().AddNode(pos3d(0, 0, 0));
    for (int i = 1; i <= 50; ++i) {
      const long next = m.Nodes().AddNode(pos3d(i, 0, 0));
      m.Elements().AddElement(qlElementType::Beam2(), {previous, next});
      previous = next;
    }
    m.Flush();
    m.Nodes().AddNode(pos3d(7, 7, 7));
    m.Flush();
  }
  const std::string bytes = ReadFile(twin);
  RemoveModelFiles(twin);
  std::fstream(p, std::ios::binary | std::ios::in | std::ios::out) << bytes;
}

// Whatever happened to the file, Flush writes nothing into it and keeps
// the changes, which SaveAs then stores whole, elsewhere or under the same
// name.
TEST_F(ModelFileSharingTest, AFileChangedUnderneathIsRefusedAndSaveAsKeepsTheWork) {
  struct Case {
    const char* name;
    const char* message;
    void (*change)(const std::string& path);
  };
  const Case cases[] = {
      {"deleted", "was deleted", [](const std::string& p) { ::unlink(p.c_str()); }},
      {"replaced", "was replaced",
       [](const std::string& p) {
         const std::string bytes = ReadFile(p);
         ::unlink(p.c_str());
         std::ofstream(p, std::ios::binary) << bytes;
       }},
      {"truncated", "was truncated", [](const std::string& p) { (void)!::truncate(p.c_str(), 4096); }},
      {"rewritten in place", "changed by another program",
       [](const std::string& p) {
         std::string bytes = ReadFile(p);
         bytes[27] ^= 1;  // the change counter, as another program's commit moves it
         std::fstream(p, std::ios::binary | std::ios::in | std::ios::out) << bytes;
       }},
      {"a look-alike copied over it", "holds another copy", CopyTwinOver},
  };
  for (const Case& c : cases) {
    for (bool sameName : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (sameName ? ", saved under its own name" : ""));
      model.reset();
      RemoveModelFiles(path);
      model = std::make_unique<XafModel>(path, 1, 1, true);
      AddBeamChain(50);
      model->Flush();
      model->Nodes().AddNode(pos3d(7, 7, 7));  // flushed once, so the model holds a connection
      model->Flush();
      model->Elements().RemoveElement(3, true);
      model->NodeProperties().SetName(2, "unsaved");
      c.change(path);
      const std::string bytes = ReadFile(path);
      try {
        model->Flush();
        ADD_FAILURE() << "Flush wrote into a changed file";
      } catch (const ModelError& e) {
        EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
      }
      EXPECT_EQ(ReadFile(path), bytes);
      EXPECT_THROW(model->Flush(), ModelError);
      const std::string target = sameName ? path : path + ".saved.qdb";
      model->SaveAs(target);
      EXPECT_EQ(model->GetFileName(), target);
      model->NodeProperties().SetName(4, "after");
      model->Flush();
      model.reset();
      XafModel saved(target, 0, 1, false);
      EXPECT_EQ(saved.Nodes().Count(), 52u);
      EXPECT_FALSE(saved.Elements().Contains(3));
      EXPECT_EQ(saved.NodeProperties().GetName(2), "unsaved");
      EXPECT_EQ(saved.NodeProperties().GetName(4), "after");
      EXPECT_EQ(saved.Validate(), "");
      if (!sameName) RemoveModelFiles(target);
    }
  }
  Reopen();
}

// A model read from its file holds no connection until its first flush:
// a look-alike copied over the file before it is refused just the same.
TEST_F(ModelFileSharingTest, ALookAlikeCopiedOverBeforeTheFirstFlushIsRefused) {
  AddBeamChain(50);
  model->Flush();
  AddNode(7, 7, 7);
  model->Flush();
  Reopen();
  model->NodeProperties().SetName(2, "unsaved");
  CopyTwinOver(path);
  const std::string bytes = ReadFile(path);
  try {
    model->Flush();
    ADD_FAILURE() << "Flush wrote into another model's copy";
  } catch (const ModelError& e) {
    EXPECT_NE(std::string(e.what()).find("holds another copy"), std::string::npos) << e.what();
  }
  EXPECT_EQ(ReadFile(path), bytes);
  model.reset();
}

TEST_F(ModelFileSharingTest, SaveAsRefusesAFileAnotherWriterHolds) {
  AddBeamChain(2);
  const std::string other = path + ".other.qdb";
  XafModel holder(other, 1, 1, true);
  EXPECT_THROW(model->SaveAs(other), ModelError);
  model->Flush();  // still on its own file
  EXPECT_EQ(model->GetFileName(), path);
}

}  // namespace
}  // namespace Kestrum::Quilm::AnalysisModel

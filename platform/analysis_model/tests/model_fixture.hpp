// A fresh in-memory model per test, with helpers to build small meshes.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <memory>
#include <string>

#include "analysis_model/xaf_model.hpp"

namespace Kestrum::Quilm::AnalysisModel {

// A unique file name under /tmp for this process and test; removed with its
// side files when the fixture ends.
inline std::string TempModelPath(const std::string& tag) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = "/tmp/am_test_" + std::to_string(::getpid()) + "_" + tag;
  if (info) name += std::string("_") + info->test_suite_name() + "_" + info->name();
  for (std::size_t i = 5; i < name.size(); ++i)
    if (!std::isalnum(static_cast<unsigned char>(name[i]))) name[i] = '_';
  return name + ".qdb";
}

inline void RemoveModelFile(const std::string& path) {
  for (const char* suffix : {"", "-journal", "-wal", "-shm", ".new", ".new-journal"}) ::unlink((path + suffix).c_str());
}

class ModelFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    path = TempModelPath("m");
    RemoveModelFile(path);
    model = std::make_unique<XafModel>(path, 1, 1, true);
  }
  void TearDown() override {
    if (model) {
      EXPECT_EQ(model->Validate(), "");
    }
    model.reset();
    RemoveModelFile(path);
  }
  // Reopens the model from its file (after a Flush).
  void Reopen() {
    model.reset();
    model = std::make_unique<XafModel>(path, 1, 1, false);
  }

  long AddNode(double x, double y, double z) { return model->Nodes().AddNode(pos3d(x, y, z)); }
  // A straight chain of `count` two-node beams along x; returns the first element id.
  long AddBeamChain(int count) {
    long first = AddNode(0, 0, 0);
    long firstElement = 0;
    for (int i = 1; i <= count; ++i) {
      long next = AddNode(i, 0, 0);
      long e = model->Elements().AddElement(qlElementType::Beam2(), {next - 1, next});
      if (i == 1) firstElement = e;
    }
    (void)first;
    return firstElement;
  }

  std::string path;
  std::unique_ptr<XafModel> model;
};

}  // namespace Kestrum::Quilm::AnalysisModel

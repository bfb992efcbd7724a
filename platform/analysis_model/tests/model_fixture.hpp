// A fresh in-memory model per test, with helpers to build small meshes.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "analysis_model/xaf_model.hpp"
#include "tests/support/scratch_file.hpp"

namespace Kestrum::Quilm::AnalysisModel::Testing {

using Quilm::Testing::RemoveModelFiles;
using Quilm::Testing::ScratchFilePath;

// A fresh model on a scratch file per test, checked with Validate and
// removed with its side files when the test ends.
class XafModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path = ScratchFilePath("am");
    RemoveModelFiles(path);
    model = std::make_unique<XafModel>(path, 1, 1, true);
  }
  void TearDown() override {
    if (model) {
      EXPECT_EQ(model->Validate(), "");
    }
    model.reset();
    RemoveModelFiles(path);
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

}  // namespace Kestrum::Quilm::AnalysisModel::Testing

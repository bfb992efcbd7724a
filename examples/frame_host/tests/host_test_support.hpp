// Shared helpers of the example host's tests: scratch model files, a small
// frame written and flushed, and a comparable snapshot of every element as
// the model file holds it.
#pragma once

#include <boost/optional/optional_io.hpp>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "frame_host.hpp"
#include "mirror/core/mirror_element.hpp"
#include "tests/support/scratch_file.hpp"

namespace frame_host::Testing {

namespace am = Kestrum::Quilm::AnalysisModel;

using Kestrum::Quilm::Testing::ScratchFile;

// Opens a model file read-only, as a second program would.
inline std::unique_ptr<am::XafModel> Reopen(const std::string& path) {
  return std::make_unique<am::XafModel>(path, 0, 1, false);
}

// Everything the file holds about one element, as text: type, nodes in
// geometric order, section and material names, and the eccentricity and
// local system read back at every node position.
inline std::string DescribeElement(am::XafModel& model, long id) {
  namespace mirror = Kestrum::Quilm::Mirror;
  std::ostringstream out;
  out.precision(12);
  const am::Element e = model.GetConnectivityManager().GetElementById(id);
  out << e.GetElementType().Number() << " nodes";
  for (unsigned i = 0; i < e.NodeCount(); ++i) out << " " << e.GetNode(i, am::Element::Geometric);
  auto record = model.Elements().GetElement(id);
  const long section = record->GetSection(), material = record->GetMaterial();
  out << " section "
      << (section > 0 ? model.Sections().GetSection(section)->GetName() : std::to_string(section));
  out << " material "
      << (material > 0 ? model.Materials().GetMaterial(material)->GetName() : std::to_string(material));
  mirror::MirrorElement view(model, id);
  for (short p = 0; p < static_cast<short>(e.NodeCount()); ++p) {
    if (auto ecc = view.GetEccentricity(p)) out << " e" << p << *ecc;
    if (auto sys = view.GetTransformation(p)) out << " t" << p << *sys;
  }
  return out.str();
}

// Every element of the model file, described.
inline std::map<long, std::string> SnapshotElements(const std::string& path) {
  auto model = Reopen(path);
  std::map<long, std::string> snapshot;
  for (long id : model->Elements().GetElementIds()) snapshot[id] = DescribeElement(*model, id);
  return snapshot;
}

// The ids whose description differs between two snapshots, or that only one holds.
inline std::set<long> DifferingElements(const std::map<long, std::string>& a,
                                        const std::map<long, std::string>& b) {
  std::set<long> differ;
  for (const auto& [id, text] : a) {
    auto it = b.find(id);
    if (it == b.end() || it->second != text) differ.insert(id);
  }
  for (const auto& [id, text] : b)
    if (!a.count(id)) differ.insert(id);
  return differ;
}

// A frame meshed, written in full and flushed to a fresh file.
struct WrittenFrame {
  explicit WrittenFrame(const std::string& tag, FrameSize size = {2, 2, 4})
      : file(tag), host(std::make_unique<FrameHost>(size, file.Path())) {
    host->BuildMesh();
    host->WriteAll();
    host->Flush();
  }
  ScratchFile file;
  std::unique_ptr<FrameHost> host;
};

}  // namespace frame_host::Testing

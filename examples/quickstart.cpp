// Quick start: open an analysis model on a file, mirror a beam section into
// it, name a node, flush, and read everything back from the file.
//
// Usage: quickstart [model-file] [--fresh]
//   model-file  defaults to quilm-quickstart.qdb in the temporary directory;
//   --fresh     removes the file first, so every run starts a new model.
#include <boost/make_shared.hpp>
#include <boost/smart_ptr/intrusive_ptr.hpp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "mirror/core/mirror_model.hpp"
#include "mirror/properties/mirror_section.hpp"

namespace mirror = Kestrum::Quilm::Mirror;

namespace {

// The host's side of a section: the definition and name of a concept-model
// section, handed to the library through the mirror's callbacks.
class HostSection : public mirror::IMirrorSection {
 public:
  HostSection(std::string name, const qlSection& definition)
      : name_(std::move(name)), definition_(boost::make_shared<qlSection>(definition)) {}
  std::string GetName() const override { return name_; }
  boost::shared_ptr<qlSection> GetSection() const override { return definition_; }

 private:
  std::string name_;
  boost::shared_ptr<qlSection> definition_;
};

}  // namespace

int main(int argc, char** argv) {
  try {
    std::string file = (std::filesystem::temp_directory_path() / "quilm-quickstart.qdb").string();
    bool fresh = false;
    for (int i = 1; i < argc; ++i) {
      const std::string arg = argv[i];
      if (arg == "--fresh")
        fresh = true;
      else
        file = arg;
    }
    if (fresh) std::filesystem::remove(file);

    long nodeId = 0;
    long sectionId = -1;
    {
      mirror::TestMirrorModel model(file);
      // The analysis model's nodes come from the host's mesher; here one node.
      nodeId = model.GetXafModel()->Nodes().AddNode(pos3d(0.0, 0.0, 3.5));
      model.GetXafModel()->NodeProperties().SetName(nodeId, "Column head");

      // A section mirror writes its definition into the section table and
      // remembers the identifier that the analysis model hands back.
      boost::intrusive_ptr<HostSection> section(
          new HostSection("IPE 300", qlSection::IProfile(0.3, 0.15, 0.0071, 0.0107)));
      section->SetModified(true);
      section->Write(model);
      sectionId = section->GetId();
      model.Flush();
    }

    // Reopen the file and read back what was written.
    mirror::TestMirrorModel reopened(file);
    const pos3d position = reopened.GetNodePos(nodeId);
    const std::string nodeName = reopened.GetXafModel()->NodeProperties().GetName(nodeId);
    mirror::XanMirrorSection readBack(reopened, sectionId);
    const auto definition = readBack.GetSection();
    std::cout << "model file:  " << file << "\n"
              << "node " << nodeId << ":      \"" << nodeName << "\" at " << position << "\n"
              << "section " << sectionId << ":   \"" << readBack.GetName() << "\" "
              << (definition ? definition->Describe() : std::string("<missing>")) << "\n";
    if (!definition || nodeName != "Column head") {
      std::cerr << "quickstart: the model file did not give back what was written\n";
      return EXIT_FAILURE;
    }
    std::cout << "  area " << definition->Properties().area << " m2, Iy " << definition->Properties().iy
              << " m4\n";
    return EXIT_SUCCESS;
  } catch (const std::exception& e) {
    std::cerr << "quickstart: " << e.what() << "\n";
    return EXIT_FAILURE;
  }
}

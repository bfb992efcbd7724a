// Host program of the package smoke test: opens a model, keeps element ids in
// a persistent compressed set, writes a node name, flushes and reads back.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "mirror/core/mirror_model.hpp"
#include "mirror/utility/compressed_set.hpp"
#include "storage/database_handle.hpp"

namespace mirror = Kestrum::Quilm::Mirror;

int main(int argc, char** argv) {
  const std::string file = argc > 1 ? argv[1] : "consumer.qdb";
  std::filesystem::remove(file);
  try {
    long node = 0;
    {
      mirror::TestMirrorModel model(file);
      node = model.GetXafModel()->Nodes().AddNode(pos3d(1.0, 2.0, 3.0));
      model.GetXafModel()->NodeProperties().SetName(node, "N1");
      model.Flush();
    }
    // The library registered its persistent node types when it was loaded.
    Kestrum::Quilm::Utility::CompressedSet<long, Kestrum::Quilm::Core::DatabaseAllocator<long>> ids;
    for (long id = 10; id < 20; ++id) ids.insert(id);

    mirror::TestMirrorModel reopened(file);
    const bool ok = reopened.GetXafModel()->NodeProperties().GetName(node) == "N1" &&
                    reopened.GetNodePos(node).isEqual(pos3d(1.0, 2.0, 3.0)) && ids.size() == 10 &&
                    ids.boundaries().size() == 2;
    std::cout << (ok ? "consumer: ok" : "consumer: read-back mismatch") << std::endl;
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
  } catch (const std::exception& e) {
    std::cerr << "consumer: " << e.what() << std::endl;
    return EXIT_FAILURE;
  }
}

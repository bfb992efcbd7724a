// The fake mirror model of the tests: a host's own IMirrorModel over an
// analysis model kept elsewhere, which counts how often the library asks for
// the analysis model and can refuse to hand one out.
#pragma once

#include <boost/shared_ptr.hpp>
#include <functional>
#include <utility>

#include "mirror/core/mirror_model.hpp"

namespace Kestrum::Quilm::Testing {

class CountingModel : public Mirror::IMirrorModel {
 public:
  using XafModel = AnalysisModel::XafModel;

  // Hands out `xaf`, which this model shares.
  explicit CountingModel(boost::shared_ptr<XafModel> xaf) : xaf_(std::move(xaf)) {}
  // Hands out what `inner` hands out, asking it each time. Not owned: `inner`
  // must outlive this model.
  explicit CountingModel(Mirror::IMirrorModel& inner) : inner_(&inner) {}

  boost::shared_ptr<XafModel> GetXafModel() override {
    ++calls;
    if (handOutNothing) {
      if (onRequest) onRequest(nullptr);
      return {};
    }
    boost::shared_ptr<XafModel> xaf = inner_ ? inner_->GetXafModel() : xaf_;
    if (onRequest) onRequest(xaf);
    return xaf;
  }

  // How often GetXafModel was called.
  int calls = 0;
  // When set, GetXafModel hands out a null model.
  bool handOutNothing = false;
  // Called on every request with what is about to be handed out (its
  // use_count counts this copy too), e.g. to note the request in a log.
  std::function<void(const boost::shared_ptr<XafModel>&)> onRequest;

 private:
  Mirror::IMirrorModel* inner_ = nullptr;
  boost::shared_ptr<XafModel> xaf_;
};

}  // namespace Kestrum::Quilm::Testing

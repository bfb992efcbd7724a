// Stand-in for the generated page assets when three.js was not fetched:
// the tool still writes VTU files and refuses pages with a clear message.
#include "viewer_assets.hpp"

namespace quilm_view {

std::string_view PageTemplate() { return {}; }
std::string_view ViewerScript() { return {}; }

}  // namespace quilm_view

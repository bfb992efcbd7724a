// The page's markup and its script (the viewer with three.js bundled in),
// compiled into the tool from web/ so that the tool writes pages without
// any file beside it.
#pragma once

#include <string_view>

namespace quilm_view {

// web/page.html: the page with @TITLE@, @META@, @DATA@ and @SCRIPT@ marks.
std::string_view PageTemplate();
// The bundled web/viewer.js.
std::string_view ViewerScript();

}  // namespace quilm_view

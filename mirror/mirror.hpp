// The whole public interface of the mirror library in one include: the
// object model and mirror model, node concepts, element read-back, beams,
// properties, plates and loads.
#pragma once

// clang-format off
#include "mirror/analysis/analysis.hpp"
#include "mirror/core/export.hpp"
#include "mirror/core/intrusive_class.hpp"
#include "mirror/core/mirror_object.hpp"
#include "mirror/core/mirror_model.hpp"
#include "mirror/core/node_concepts.hpp"
#include "mirror/core/mirror_element.hpp"

#include "mirror/properties/mirror_material.hpp"
#include "mirror/properties/mirror_section.hpp"
#include "mirror/properties/mirror_thickness.hpp"
#include "mirror/properties/mirror_set.hpp"
#include "mirror/properties/mirror_point_mass.hpp"

#include "mirror/beams/beam_callbacks.hpp"
#include "mirror/beams/mirror_segment.hpp"
#include "mirror/beams/mirror_beam.hpp"

#include "mirror/plates/mirror_plate.hpp"

#include "mirror/loads/mirror_load.hpp"
#include "mirror/loads/mirror_load_case.hpp"
#include "mirror/loads/mirror_load_manager.hpp"
// clang-format on

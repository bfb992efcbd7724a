// The definitions library: materials, beam cross-sections and element types.
#pragma once

#include "definitions/element_type.hpp"
#include "definitions/material.hpp"
#include "definitions/section.hpp"

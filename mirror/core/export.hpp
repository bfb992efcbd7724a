// Symbol export of the mirror shared library: everything is hidden by
// default; exported classes carry QUILM_MIRROR_API.
#pragma once

#if defined(_WIN32)
#if defined(QUILM_MIRROR_BUILDING)
#define QUILM_MIRROR_API __declspec(dllexport)
#else
#define QUILM_MIRROR_API __declspec(dllimport)
#endif
#else
#define QUILM_MIRROR_API __attribute__((visibility("default")))
#endif

// Stamping the exports of a family from its table (<family>/exports.h).
//
// A table lists every export once, one row per export, the name first:
//
//     #define ZAL_CORE_ABS_DIFF(X) X(zaliAbsDiff_8u_C1R, uint8_t) X(zaliAbsDiff_16u_C1R, uint16_t)
//
// The operation's file expands the list with a wrapper macro that writes the
// documented checks plus one call into the family's internal interface
// (<family>/ops.h). Each wrapper starts with ZAL_DECLARED(name), so a row that
// include/zalcv/ does not declare fails to compile, and a definition whose
// parameter types differ from the prototype conflicts with it. The visibility
// comes from the prototype (ZALCV_API), so definitions carry no attribute.
#pragma once

#include <type_traits>

#include "zalcv.h"

#define ZAL_DECLARED(name) \
    static_assert(std::is_function_v<decltype(::name)>, #name " needs a prototype in include/zalcv/")

// For X macros that only need the name of each row.
#define ZAL_EXPORT_NAME(name, ...) #name,

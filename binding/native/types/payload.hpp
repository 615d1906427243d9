#pragma once

#include "frame/box.hpp"
#include "zoret/payload.hpp"

namespace zoret::py {

template <>
inline constexpr const char* kClassName<SEOPayload> = "SEOPayload";
template <>
inline constexpr const char* kClassName<OGPayload> = "OGPayload";
template <>
inline constexpr const char* kClassName<TwitterPayload> = "TwitterPayload";

/// The payload's dictionary form as a new dict (sorted keys at every level).
/// Core failures raise ValueError with the display text.
PyObject* payload_to_pydict(const SEOPayload& payload);

}  // namespace zoret::py

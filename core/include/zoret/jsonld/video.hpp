#pragma once

#include "zoret/jsonld/schema.hpp"

namespace zoret {

/// A "VideoObject" whose "thumbnailUrl" repeats "image" and whose "uploadDate"
/// repeats the publication date, each when present.
[[nodiscard]] Json build_video(const SchemaContext& context);

}  // namespace zoret

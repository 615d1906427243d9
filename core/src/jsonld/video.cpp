#include "zoret/jsonld/video.hpp"

namespace zoret {

Result<Json> build_video(const SchemaContext& context) {
  auto out = base_schema("VideoObject", context);
  if (!out) return out;
  Json& video = *out;
  // Copied from the finished "image" so that both hold the same absolute URL.
  if (auto image = video.find("image"); image != video.end()) video["thumbnailUrl"] = *image;
  if (context.entity.published_at) video["uploadDate"] = *context.entity.published_at;
  return out;
}

}  // namespace zoret

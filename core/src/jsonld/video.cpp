#include "zoret/jsonld/video.hpp"

namespace zoret {

Json build_video(const SchemaContext& context) {
  Json video = base_schema("VideoObject", context);
  // Copied from the finished "image" so that both hold the same absolute URL.
  if (auto image = video.find("image"); image != video.end()) video["thumbnailUrl"] = *image;
  if (context.entity.published_at) video["uploadDate"] = *context.entity.published_at;
  return video;
}

}  // namespace zoret

#include "zoret/check/manifest.hpp"

#include <utility>

#include "zoret/builder.hpp"
#include "zoret/check/check.hpp"
#include "zoret/hashing.hpp"
#include "zoret/payload.hpp"

#include "check/python_type.hpp"

namespace zoret {
namespace {

ZoretError line_error(std::string message) {
  return ZoretError(ErrorKind::Serialization, std::move(message));
}

// A null reads better as "null" than as Python's NoneType here.
std::string_view json_type(const Json& value) {
  return value.is_null() ? "null" : detail::python_type(value);
}

ZoretError in_form(std::string_view form, const ZoretError& error) {
  std::string message(form);
  message += ": ";
  message += error.message();
  return ZoretError(error.kind(), std::move(message));
}

std::string json_quoted(std::string_view text) {
  std::string out;
  append_json_string(out, text);
  return out;
}

// The payload of a line: what checking and snapshots both start from.
struct BuiltLine {
  std::string route;
  SEOPayload payload;
};

Result<BuiltLine> build_line(const SEOConfig& config, std::string_view line) {
  auto entry = read_manifest_line(line);
  if (!entry) return std::move(entry).error();
  const SEOOverrides* overrides = entry->overrides ? &*entry->overrides : nullptr;
  auto payload = build_seo_payload(entry->entity, entry->route, config, overrides);
  if (!payload) {
    return ZoretError(payload.error().kind(), "cannot build the payload of " +
                                                  json_quoted(entry->route) + ": " +
                                                  payload.error().display());
  }
  return BuiltLine{std::move(entry->route), *std::move(payload)};
}

}  // namespace

Result<ManifestEntry> read_manifest_line(std::string_view line) {
  auto parsed = parse_json(line);
  if (!parsed) return line_error("invalid JSON: " + parsed.error().message());
  if (!parsed->is_object()) {
    return line_error("a manifest line must be a JSON object, got " +
                      std::string(json_type(*parsed)));
  }
  auto& fields = parsed->get_ref<Json::object_t&>();
  for (const auto& [key, value] : fields) {
    if (key != "route" && key != "entity" && key != "overrides") {
      return line_error("unknown key " + json_quoted(key) +
                        " (a line has route, entity and overrides)");
    }
  }
  const auto route = fields.find("route");
  if (route == fields.end()) return line_error("missing \"route\"");
  if (!route->second.is_string()) {
    return line_error("\"route\" must be a string, got " + std::string(json_type(route->second)));
  }
  const auto entity = fields.find("entity");
  if (entity == fields.end()) return line_error("missing \"entity\"");

  ManifestEntry out;
  out.route = std::move(route->second.get_ref<std::string&>());
  auto read_entity = entity_from_form(std::move(entity->second));
  if (!read_entity) return in_form("entity", std::move(read_entity).error());
  out.entity = *std::move(read_entity);
  if (const auto overrides = fields.find("overrides");
      overrides != fields.end() && !overrides->second.is_null()) {
    auto read_overrides = overrides_from_form(std::move(overrides->second));
    if (!read_overrides) return in_form("overrides", std::move(read_overrides).error());
    out.overrides = *std::move(read_overrides);
  }
  return out;
}

Result<CheckedLine> check_manifest_line(const CompiledContract& contract, const SEOConfig& config,
                                        std::string_view line) {
  auto built = build_line(config, line);
  if (!built) return std::move(built).error();
  auto result = check_payload(contract, built->payload, built->route, CheckContext{&config});
  if (!result) {
    return ZoretError(result.error().kind(), "cannot check " + json_quoted(built->route) + ": " +
                                                 result.error().display());
  }
  return CheckedLine{std::move(built->route), *std::move(result)};
}

Result<SnapshotLine> snapshot_manifest_line(const SEOConfig& config, std::string_view line) {
  auto built = build_line(config, line);
  if (!built) return std::move(built).error();
  std::string payload;
  payload.reserve(512);
  append_record_json(payload, built->payload, /*pretty=*/false);
  auto hash = sha256_hex(payload);
  if (!hash) return std::move(hash).error();
  SnapshotLine out{.route = std::move(built->route), .hash = *std::move(hash), .text = {}};
  out.text.reserve(payload.size() + out.route.size() + 110);
  out.text += "{\"route\":";
  append_json_string(out.text, out.route);
  out.text += ",\"hash\":\"";
  out.text += out.hash;
  out.text += "\",\"payload\":";
  out.text += payload;
  out.text += '}';
  return out;
}

void CheckTally::add(const CheckResult& result) {
  ++routes;
  constraints += result.constraints_checked;
  for (const Violation& violation : result.violations) {
    ++violations[static_cast<std::size_t>(violation.severity)];
  }
  for (const NotChecked& item : result.not_checked) {
    bool counted = false;
    for (NotCheckedCount& count : not_checked) {
      if (count.field == item.field && count.source == item.source && count.reason == item.reason) {
        ++count.routes;
        counted = true;
        break;
      }
    }
    if (!counted) not_checked.push_back({item.field, item.source, item.reason, 1});
  }
}

}  // namespace zoret

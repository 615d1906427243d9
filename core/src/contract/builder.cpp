#include "zoret/contract/builder.hpp"

#include <string_view>

#include "zoret/detail/atomic_file.hpp"
#include "zoret/hashing.hpp"

namespace zoret {

SEOContract build_contract(const SEOContractConfig& config) {
  return SEOContract{
      .contract_version = std::string(kContractVersion),
      .generator = {.name = std::string(kContractGeneratorName),
                    .version = std::string(kContractGeneratorVersion)},
      .site = {.canonical_host = config.canonical_host, .scheme = config.scheme},
      .defaults = config.defaults,
      .rules = config.rules,
      .exceptions = config.exceptions,
  };
}

namespace {

std::string serialise(const SEOContract& contract, bool pretty) {
  std::string out;
  append_record_json(out, contract, pretty);
  return out;
}

}  // namespace

std::string contract_to_json(const SEOContract& contract) {
  return serialise(contract, true);
}

std::string contract_to_compact_json(const SEOContract& contract) {
  return serialise(contract, false);
}

Result<std::string> contract_hash(const SEOContract& contract) {
  return sha256_hex(contract_to_json(contract));
}

Result<void> write_contract(const SEOContract& contract, std::string_view path) {
  const auto written = detail::write_file_atomically(path, contract_to_json(contract));
  if (!written) {
    const detail::OsError& error = written.error();
    return ZoretError(ErrorKind::Serialization, "failed to write contract: " + error.display(),
                      error.code);
  }
  return {};
}

}  // namespace zoret

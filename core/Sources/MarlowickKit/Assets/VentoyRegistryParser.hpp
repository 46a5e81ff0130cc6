#pragma once
// Reads a registry document into the releases it describes. Checks no signature:
// callers verify the exact bytes first. Pure; safe on any thread.
//
// A document that is not readable as a whole (see VentoyRegistryDocument) gives nullopt.
// Otherwise each release record is validated on its own and silently dropped when it
// fails: no download base (its own, else the document's), a base whose host is neither
// the upstream release host nor its download host (or a subdomain of one), a manifest
// the validating constructor refuses (assets with a wrong-length digest or a size
// below 1, and unknown asset keys, are left out first, so the release then lacks a
// boot file), or a core.img or ventoy.disk.img whose decompressed size is not whole
// 512-byte sectors. Records are kept in document order; nothing is de-duplicated.

#include <cstdint>
#include <optional>
#include <span>

#include "Assets/VentoyVersionRegistry.hpp"

namespace marlowick::VentoyRegistryParser {

[[nodiscard]] std::optional<VentoyVersionRegistry> parse(std::span<const std::uint8_t> document) noexcept;

}  // namespace marlowick::VentoyRegistryParser

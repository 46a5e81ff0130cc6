#pragma once
// Whole-file writes that a crash or a full disk can never leave half done: the bytes go
// to a fresh temporary file in the target's own directory, which is synced and then
// renamed over the target, and the directory is synced so that the rename itself lasts.
// A reader sees the old file or the new one, never a mix. The caches use this for every
// file they keep.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace marlowick::AtomicFile {

// Permission bits of the files the caches keep: readable by their owner only.
inline constexpr unsigned privateFileMode = 0600;

// Writes `bytes` to `target` as above, with mode 0600. nullopt on success, else what
// failed, e.g. "write /c/boot.img: errno 28 (No space left on device)"; the temporary
// file is removed then and the target is left as it was.
[[nodiscard]] std::optional<std::string> write(const std::filesystem::path& target,
                                               std::span<const std::uint8_t> bytes);

// fsync of a file or directory (for a directory: the names in it, after a rename).
[[nodiscard]] std::optional<std::string> sync(const std::filesystem::path& path);

}  // namespace marlowick::AtomicFile

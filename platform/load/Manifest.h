// The manifest of a load: which card and architecture it is built for, its
// version, and each file with its size, mode and SHA-256. A bundle carries
// it signed; a slot keeps it beside the files it installed. One line per
// fact, in this order, '\n' after each:
//
//   fxs-load-manifest 1
//   version v1.4-2-g1a2b3c4
//   card-type 15
//   arch armhf
//   built 2026-12-06T10:00:00Z
//   file main 0755 1843200 <64 hex digits>
//   file ftpupload 0755 ...
//
// The parser takes exactly that and nothing else: no blank or extra line,
// one blank between fields, names that are safe file names, at most
// MAX_FILES files, "main" among them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace load {

constexpr size_t MAX_MANIFEST = 16384;
constexpr size_t MAX_FILES = 32;
constexpr size_t MAX_NAME = 64;
// What the card shows as "Loadware" holds at most this.
constexpr size_t MAX_VERSION = 31;
constexpr uint64_t MAX_FILE_SIZE = 256ull << 20;
constexpr const char* MANIFEST_NAME = "manifest";
constexpr const char* SIGNATURE_NAME = "manifest.sig";
// The program a slot boots.
constexpr const char* MAIN_NAME = "main";

struct ManifestFile {
  std::string name;
  unsigned mode = 0644;  // permission bits only
  uint64_t size = 0;
  std::string sha256;  // 64 lower-case hex digits
};

struct Manifest {
  std::string version;
  unsigned cardType = 0;
  std::string arch;
  std::string built;
  std::vector<ManifestFile> files;

  const ManifestFile* find(const std::string& name) const;
  uint64_t totalSize() const;
};

// A file name of a load: letters, digits, '.', '_', '-', not starting with
// '.', at most MAX_NAME characters. Nothing else can reach the slot.
bool safeFileName(const std::string& name);
// A version or architecture text: 1..MAX_VERSION printable characters
// without blanks.
bool safeWord(const std::string& word);

std::string formatManifest(const Manifest& m);
// Nullopt with `why` (one line) for anything but a well-formed manifest.
std::optional<Manifest> parseManifest(const std::string& text, std::string* why = nullptr);

}  // namespace load

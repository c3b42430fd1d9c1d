// Bundles of loads: one tar archive (gzip'd) whose first member is the
// manifest, the second its detached Ed25519 signature (64 bytes), then the
// files the manifest lists. Written by the bundle tool, read by the card's
// fetch program straight from the transfer into a slot. Uses libsodium
// (keys, signatures, SHA-256) and libarchive; main never links this.
#pragma once

#include <sodium.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "load/Manifest.h"

namespace bundle {

using PublicKey = std::array<unsigned char, 32>;
using SecretKey = std::array<unsigned char, 64>;
constexpr size_t SIGNATURE_BYTES = 64;

// libsodium's start; false when it cannot run here.
bool init();

// Keys as hex text (the key files hold one line of it).
std::string toHex(const unsigned char* data, size_t len);
std::optional<PublicKey> publicKeyFromHex(const std::string& text);
std::optional<SecretKey> secretKeyFromHex(const std::string& text);
void makeKeyPair(PublicKey& pub, SecretKey& sec);

std::string sign(const std::string& message, const SecretKey& key);
bool verify(const std::string& message, const std::string& signature, const PublicKey& key);

class Sha256 {
 public:
  Sha256();
  void update(const void* data, size_t len);
  std::string hex();  // once, at the end

 private:
  crypto_hash_sha256_state m_state;
};

// A file's SHA-256, size and permission bits as a manifest lists it.
std::optional<load::ManifestFile> describeFile(const std::string& path, const std::string& name,
                                               std::string& why);

// Writes a bundle: the manifest, its signature (none when `signature` is
// empty: an unsigned bundle), the files (name in the bundle, path here).
struct Member {
  std::string name;
  std::string path;
};
bool write(const std::string& out, const std::string& manifest, const std::string& signature,
           const std::vector<Member>& files, std::string& why);

// The bytes of a bundle as they arrive; read() hands out the next block (0
// at the end, -1 when the source failed: the caller knows why).
class Source {
 public:
  virtual ~Source() = default;
  virtual long read(const void** data) = 0;
};

enum class Verdict { OK, SOURCE_FAILED, BAD_BUNDLE, WRONG_LOAD, NO_SPACE, FAILED };

struct Expect {
  unsigned cardType = 0;
  std::string arch;
  PublicKey key{};
};

// Unpacks a bundle into `slotDir` (created when missing; what it held is
// removed first). The manifest's signature, card type and architecture are
// checked before anything is written, the free space before the first
// file, each file's size and SHA-256 as it is written. Only plain files
// named in the manifest are taken; an absolute name, "..", a link or a
// device is refused. `installed` receives the manifest on success.
Verdict unpack(Source& source, const std::string& slotDir, const Expect& expect,
               load::Manifest& installed, std::string& reason);

}  // namespace bundle

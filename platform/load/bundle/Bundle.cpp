#include "load/bundle/Bundle.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace bundle {

namespace {

template <size_t N>
std::optional<std::array<unsigned char, N>> fromHex(const std::string& text) {
  std::string hex = text;
  while (!hex.empty() && (hex.back() == '\n' || hex.back() == '\r' || hex.back() == ' '))
    hex.pop_back();
  std::array<unsigned char, N> out{};
  size_t len = 0;
  if (hex.size() != 2 * N ||
      sodium_hex2bin(out.data(), N, hex.c_str(), hex.size(), nullptr, &len, nullptr) != 0 ||
      len != N)
    return std::nullopt;
  return out;
}

struct FreeArchive {
  void operator()(archive* a) const { archive_write_free(a); }
};
struct FreeEntry {
  void operator()(archive_entry* e) const { archive_entry_free(e); }
};

bool addMember(archive* a, const std::string& name, const std::string& data, unsigned mode) {
  std::unique_ptr<archive_entry, FreeEntry> e(archive_entry_new());
  archive_entry_set_pathname(e.get(), name.c_str());
  archive_entry_set_filetype(e.get(), AE_IFREG);
  archive_entry_set_perm(e.get(), mode);
  archive_entry_set_size(e.get(), static_cast<la_int64_t>(data.size()));
  return archive_write_header(a, e.get()) == ARCHIVE_OK &&
         archive_write_data(a, data.data(), data.size()) == static_cast<la_ssize_t>(data.size());
}

bool readWhole(const std::string& path, std::string& data, std::string& why) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    why = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  data.clear();
  char buf[65536];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0)
    data.append(buf, static_cast<size_t>(n));
  if (n < 0)
    why = "cannot read " + path + ": " + std::strerror(errno);
  close(fd);
  return n == 0;
}

}  // namespace

bool init() {
  return sodium_init() >= 0;
}

std::string toHex(const unsigned char* data, size_t len) {
  std::string out(2 * len + 1, '\0');
  sodium_bin2hex(out.data(), out.size(), data, len);
  out.pop_back();
  return out;
}

std::optional<PublicKey> publicKeyFromHex(const std::string& text) {
  return fromHex<32>(text);
}

std::optional<SecretKey> secretKeyFromHex(const std::string& text) {
  return fromHex<64>(text);
}

void makeKeyPair(PublicKey& pub, SecretKey& sec) {
  crypto_sign_keypair(pub.data(), sec.data());
}

std::string sign(const std::string& message, const SecretKey& key) {
  std::string sig(crypto_sign_BYTES, '\0');
  crypto_sign_detached(reinterpret_cast<unsigned char*>(sig.data()), nullptr,
                       reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                       key.data());
  return sig;
}

bool verify(const std::string& message, const std::string& signature, const PublicKey& key) {
  return signature.size() == crypto_sign_BYTES &&
         crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.data()),
                                     reinterpret_cast<const unsigned char*>(message.data()),
                                     message.size(), key.data()) == 0;
}

Sha256::Sha256() {
  crypto_hash_sha256_init(&m_state);
}

void Sha256::update(const void* data, size_t len) {
  crypto_hash_sha256_update(&m_state, static_cast<const unsigned char*>(data), len);
}

std::string Sha256::hex() {
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256_final(&m_state, digest);
  return toHex(digest, sizeof digest);
}

std::optional<load::ManifestFile> describeFile(const std::string& path, const std::string& name,
                                               std::string& why) {
  struct stat st;
  if (stat(path.c_str(), &st) < 0 || !S_ISREG(st.st_mode)) {
    why = path + " is not a readable file";
    return std::nullopt;
  }
  std::string data;
  if (!readWhole(path, data, why))
    return std::nullopt;
  Sha256 h;
  h.update(data.data(), data.size());
  load::ManifestFile f;
  f.name = name;
  f.mode = (st.st_mode & 0111) != 0 ? 0755 : 0644;
  f.size = data.size();
  f.sha256 = h.hex();
  return f;
}

bool write(const std::string& out, const std::string& manifest, const std::string& signature,
           const std::vector<Member>& files, std::string& why) {
  std::unique_ptr<archive, FreeArchive> a(archive_write_new());
  archive_write_set_format_ustar(a.get());
  archive_write_add_filter_gzip(a.get());
  std::string tmp = out + ".part";
  if (archive_write_open_filename(a.get(), tmp.c_str()) != ARCHIVE_OK) {
    why = "cannot create " + tmp + ": " + archive_error_string(a.get());
    return false;
  }
  bool ok = addMember(a.get(), load::MANIFEST_NAME, manifest, 0644) &&
            (signature.empty() || addMember(a.get(), load::SIGNATURE_NAME, signature, 0644));
  std::string data;
  for (const Member& m : files) {
    if (!ok)
      break;
    if (!readWhole(m.path, data, why)) {
      archive_write_close(a.get());
      unlink(tmp.c_str());
      return false;
    }
    struct stat st;
    ok = stat(m.path.c_str(), &st) == 0 &&
         addMember(a.get(), m.name, data, (st.st_mode & 0111) != 0 ? 0755 : 0644);
  }
  if (!ok || archive_write_close(a.get()) != ARCHIVE_OK) {
    why = std::string("cannot write the bundle ") + out + ": " +
          (archive_error_string(a.get()) != nullptr ? archive_error_string(a.get()) : "?");
    unlink(tmp.c_str());
    return false;
  }
  if (rename(tmp.c_str(), out.c_str()) < 0) {
    why = "cannot rename " + tmp + ": " + std::strerror(errno);
    unlink(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace bundle

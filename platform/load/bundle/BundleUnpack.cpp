// Reading a bundle into a slot. Everything is written below one folder
// descriptor with plain names only, so no member can reach anything else.
#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <set>

#include "load/bundle/Bundle.h"

namespace bundle {

namespace {

// Room kept free beyond the files themselves (folder blocks, the manifest,
// the file system's own rounding).
constexpr uint64_t kSpareBytes = 256 * 1024ull;
constexpr uint64_t kPerFileSpare = 8 * 1024ull;

struct FreeArchive {
  void operator()(archive* a) const { archive_read_free(a); }
};

class Fd {
 public:
  explicit Fd(int fd = -1) : m_fd(fd) {}
  ~Fd() {
    if (m_fd >= 0)
      close(m_fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return m_fd; }
  void reset(int fd) {
    if (m_fd >= 0)
      close(m_fd);
    m_fd = fd;
  }

 private:
  int m_fd;
};

int removeEntry(const char* path, const struct stat*, int, FTW* ftw) {
  if (ftw->level == 0)
    return 0;  // the slot folder itself stays
  return remove(path) == 0 ? 0 : -1;
}

bool writeAll(int fd, const char* data, size_t len) {
  while (len > 0) {
    ssize_t n = ::write(fd, data, len);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    data += n;
    len -= static_cast<size_t>(n);
  }
  return true;
}

class Unpacker {
 public:
  Unpacker(Source& source, const std::string& slotDir, const Expect& expect, std::string& reason)
      : m_source(source), m_dir(slotDir), m_expect(expect), m_reason(reason) {}

  Verdict run(load::Manifest& installed);

 private:
  Verdict refuse(Verdict v, const std::string& why) {
    m_reason = why;
    return v;
  }
  // The archive's own failure: the source's, or a broken archive.
  Verdict archiveFailed(const char* what) {
    if (m_sourceFailed)
      return Verdict::SOURCE_FAILED;
    const char* e = archive_error_string(m_a.get());
    return refuse(Verdict::BAD_BUNDLE, std::string("the bundle is truncated or corrupt (") + what +
                                           ": " + (e != nullptr ? e : "?") + ")");
  }
  bool nextEntry(archive_entry*& e, Verdict& v, const char* what);
  bool readSmallMember(archive_entry* e, size_t max, std::string& data, Verdict& v);
  Verdict prepareSlot();
  Verdict takeFile(archive_entry* e, const std::string& name);
  Verdict storeSmall(const char* name, const std::string& data);

  Source& m_source;
  std::string m_dir;
  const Expect& m_expect;
  std::string& m_reason;
  std::unique_ptr<archive, FreeArchive> m_a{archive_read_new()};
  bool m_sourceFailed = false;
  Fd m_slot;
  load::Manifest m_manifest;
};

bool Unpacker::nextEntry(archive_entry*& e, Verdict& v, const char* what) {
  int rc = archive_read_next_header(m_a.get(), &e);
  if (rc == ARCHIVE_OK)
    return true;
  if (rc == ARCHIVE_EOF)
    v = refuse(Verdict::BAD_BUNDLE, std::string("the bundle ends before ") + what);
  else
    v = archiveFailed(what);
  return false;
}

bool Unpacker::readSmallMember(archive_entry* e, size_t max, std::string& data, Verdict& v) {
  la_int64_t size = archive_entry_size(e);
  if (archive_entry_filetype(e) != AE_IFREG || size < 0 || static_cast<uint64_t>(size) > max) {
    v = refuse(Verdict::BAD_BUNDLE, std::string("the bundle's ") + archive_entry_pathname(e) +
                                        " is not a file of at most " + std::to_string(max) +
                                        " bytes");
    return false;
  }
  data.assign(static_cast<size_t>(size), '\0');
  if (archive_read_data(m_a.get(), data.data(), data.size()) != size) {
    v = archiveFailed(archive_entry_pathname(e));
    return false;
  }
  return true;
}

Verdict Unpacker::prepareSlot() {
  if (mkdir(m_dir.c_str(), 0755) < 0 && errno != EEXIST)
    return refuse(Verdict::FAILED, "cannot create the slot " + m_dir + ": " + std::strerror(errno));
  int fd = open(m_dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0)
    return refuse(Verdict::FAILED, "cannot open the slot " + m_dir + ": " + std::strerror(errno));
  m_slot.reset(fd);
  if (nftw(m_dir.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS) != 0)
    return refuse(Verdict::FAILED, "cannot empty the slot " + m_dir + ": " + std::strerror(errno));
  struct statvfs vfs;
  if (fstatvfs(fd, &vfs) < 0)
    return refuse(Verdict::FAILED, "cannot tell the free space of " + m_dir);
  uint64_t free = static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
  uint64_t need = m_manifest.totalSize() + kSpareBytes + kPerFileSpare * m_manifest.files.size();
  if (free < need)
    return refuse(Verdict::NO_SPACE, "the flash has " + std::to_string(free / 1024) +
                                         " KiB free, the load needs " +
                                         std::to_string(need / 1024) + " KiB");
  return Verdict::OK;
}

Verdict Unpacker::takeFile(archive_entry* e, const std::string& name) {
  const load::ManifestFile* want = m_manifest.find(name);
  if (want == nullptr)
    return refuse(Verdict::BAD_BUNDLE, "the bundle's member " + name + " is not in its manifest");
  if (archive_entry_size_is_set(e) != 0 &&
      static_cast<uint64_t>(archive_entry_size(e)) != want->size)
    return refuse(Verdict::BAD_BUNDLE, name + " has " + std::to_string(archive_entry_size(e)) +
                                           " bytes, its manifest says " +
                                           std::to_string(want->size));
  int fd = openat(m_slot.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  0600);
  if (fd < 0)
    return refuse(errno == ENOSPC ? Verdict::NO_SPACE : Verdict::FAILED,
                  "cannot create " + m_dir + "/" + name + ": " + std::strerror(errno));
  Fd out(fd);
  Sha256 hash;
  uint64_t size = 0;
  char buf[65536];
  for (;;) {
    la_ssize_t n = archive_read_data(m_a.get(), buf, sizeof buf);
    if (n == 0)
      break;
    if (n < 0)
      return archiveFailed(name.c_str());
    size += static_cast<uint64_t>(n);
    if (size > want->size)
      return refuse(Verdict::BAD_BUNDLE, name + " is longer than its manifest says");
    hash.update(buf, static_cast<size_t>(n));
    if (!writeAll(fd, buf, static_cast<size_t>(n)))
      return refuse(errno == ENOSPC || errno == EDQUOT ? Verdict::NO_SPACE : Verdict::FAILED,
                    "cannot write " + m_dir + "/" + name + ": " + std::strerror(errno));
  }
  if (size != want->size)
    return refuse(Verdict::BAD_BUNDLE, name + " has " + std::to_string(size) +
                                           " bytes, its manifest says " +
                                           std::to_string(want->size));
  if (hash.hex() != want->sha256)
    return refuse(Verdict::BAD_BUNDLE, name + " does not match its SHA-256 in the manifest");
  if (fchmod(fd, want->mode) < 0 || fsync(fd) < 0)
    return refuse(errno == ENOSPC ? Verdict::NO_SPACE : Verdict::FAILED,
                  "cannot finish " + m_dir + "/" + name + ": " + std::strerror(errno));
  return Verdict::OK;
}

Verdict Unpacker::storeSmall(const char* name, const std::string& data) {
  int fd = openat(m_slot.get(), name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  Fd out(fd);
  if (fd < 0 || !writeAll(fd, data.data(), data.size()) || fsync(fd) < 0)
    return refuse(errno == ENOSPC ? Verdict::NO_SPACE : Verdict::FAILED,
                  std::string("cannot write ") + m_dir + "/" + name + ": " + std::strerror(errno));
  return Verdict::OK;
}

Verdict Unpacker::run(load::Manifest& installed) {
  archive* a = m_a.get();
  archive_read_support_filter_gzip(a);
  archive_read_support_format_tar(a);
  if (archive_read_open(
          a, this, nullptr,
          [](archive* ar, void* self, const void** buf) -> la_ssize_t {
            auto* u = static_cast<Unpacker*>(self);
            long n = u->m_source.read(buf);
            if (n >= 0)
              return n;
            u->m_sourceFailed = true;
            archive_set_error(ar, EIO, "the transfer failed");
            return -1;
          },
          nullptr) != ARCHIVE_OK)
    return archiveFailed("its start");
  archive_entry* e = nullptr;
  Verdict v = Verdict::OK;
  std::string manifestText, signature, why;
  if (!nextEntry(e, v, "its manifest"))
    return v;
  if (std::string(archive_entry_pathname(e)) != load::MANIFEST_NAME)
    return refuse(Verdict::BAD_BUNDLE, "the bundle does not start with its manifest");
  if (!readSmallMember(e, load::MAX_MANIFEST, manifestText, v))
    return v;
  if (!nextEntry(e, v, "the manifest's signature"))
    return v;
  if (std::string(archive_entry_pathname(e)) != load::SIGNATURE_NAME)
    return refuse(Verdict::BAD_BUNDLE,
                  "the bundle is not signed (no manifest.sig after the "
                  "manifest)");
  if (!readSmallMember(e, SIGNATURE_BYTES, signature, v))
    return v;
  if (!verify(manifestText, signature, m_expect.key))
    return refuse(Verdict::BAD_BUNDLE,
                  "the manifest's signature does not check out with the card's load key "
                  "(altered, or signed with another key)");
  std::optional<load::Manifest> m = load::parseManifest(manifestText, &why);
  if (!m)
    return refuse(Verdict::BAD_BUNDLE, "the manifest is refused: " + why);
  m_manifest = *m;
  if (m_manifest.cardType != m_expect.cardType)
    return refuse(Verdict::WRONG_LOAD,
                  "the load is for card type " + std::to_string(m_manifest.cardType) +
                      ", this card is type " + std::to_string(m_expect.cardType));
  if (m_manifest.arch != m_expect.arch)
    return refuse(Verdict::WRONG_LOAD,
                  "the load is built for " + m_manifest.arch + ", this card runs " + m_expect.arch);
  if ((v = prepareSlot()) != Verdict::OK)
    return v;
  std::set<std::string> seen;
  for (;;) {
    int rc = archive_read_next_header(a, &e);
    if (rc == ARCHIVE_EOF)
      break;
    if (rc != ARCHIVE_OK)
      return archiveFailed("a member's header");
    const char* path = archive_entry_pathname(e);
    std::string name = path != nullptr ? path : "";
    bool plain = archive_entry_filetype(e) == AE_IFREG && archive_entry_hardlink(e) == nullptr &&
                 archive_entry_symlink(e) == nullptr;
    if (!plain || !load::safeFileName(name))
      return refuse(Verdict::BAD_BUNDLE,
                    "the bundle's member '" + name.substr(0, 2 * load::MAX_NAME) +
                        "' is not a plain file of the slot (absolute, '..', link or device)");
    if (name == load::MANIFEST_NAME || name == load::SIGNATURE_NAME || !seen.insert(name).second)
      return refuse(Verdict::BAD_BUNDLE, "the bundle holds " + name + " twice");
    if ((v = takeFile(e, name)) != Verdict::OK)
      return v;
  }
  for (const load::ManifestFile& f : m_manifest.files) {
    if (seen.count(f.name) == 0)
      return refuse(Verdict::BAD_BUNDLE, "the bundle lacks " + f.name + " (truncated?)");
  }
  if ((v = storeSmall(load::SIGNATURE_NAME, signature)) != Verdict::OK ||
      (v = storeSmall(load::MANIFEST_NAME, manifestText)) != Verdict::OK)
    return v;
  if (fsync(m_slot.get()) < 0)
    return refuse(Verdict::FAILED, "cannot sync the slot " + m_dir);
  installed = m_manifest;
  return Verdict::OK;
}

}  // namespace

Verdict unpack(Source& source, const std::string& slotDir, const Expect& expect,
               load::Manifest& installed, std::string& reason) {
  reason.clear();
  return Unpacker(source, slotDir, expect, reason).run(installed);
}

}  // namespace bundle

#include "load/Manifest.h"

#include <cctype>
#include <cstdio>
#include <set>

#include "load/LineRecord.h"

namespace load {

namespace {

constexpr const char* kHeader = "fxs-load-manifest 1";

bool hexDigest(const std::string& s) {
  if (s.size() != 64)
    return false;
  for (char c : s) {
    if (!std::isdigit(static_cast<unsigned char>(c)) && (c < 'a' || c > 'f'))
      return false;
  }
  return true;
}

std::optional<Manifest> refuse(std::string* why, const std::string& text) {
  if (why != nullptr)
    *why = text;
  return std::nullopt;
}

}  // namespace

const ManifestFile* Manifest::find(const std::string& name) const {
  for (const ManifestFile& f : files) {
    if (f.name == name)
      return &f;
  }
  return nullptr;
}

uint64_t Manifest::totalSize() const {
  uint64_t sum = 0;
  for (const ManifestFile& f : files)
    sum += f.size;
  return sum;
}

bool safeFileName(const std::string& name) {
  if (name.empty() || name.size() > MAX_NAME || name[0] == '.')
    return false;
  for (char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-')
      return false;
  }
  return true;
}

bool safeWord(const std::string& word) {
  if (word.empty() || word.size() > MAX_VERSION)
    return false;
  for (char c : word) {
    if (!std::isgraph(static_cast<unsigned char>(c)))
      return false;
  }
  return true;
}

std::string formatManifest(const Manifest& m) {
  std::string out = std::string(kHeader) + "\n";
  out += "version " + m.version + "\n";
  out += "card-type " + std::to_string(m.cardType) + "\n";
  out += "arch " + m.arch + "\n";
  out += "built " + m.built + "\n";
  for (const ManifestFile& f : m.files) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", f.mode & 0777u);
    out += "file " + f.name + " " + mode + " " + std::to_string(f.size) + " " + f.sha256 + "\n";
  }
  return out;
}

std::optional<Manifest> parseManifest(const std::string& text, std::string* why) {
  if (text.size() > MAX_MANIFEST)
    return refuse(why, "manifest longer than " + std::to_string(MAX_MANIFEST) + " bytes");
  std::vector<std::vector<std::string>> lines;
  if (!linerec::split(text, lines))
    return refuse(why, "manifest is not lines of single-blank-separated words");
  if (lines.size() < 6 || linerec::join(lines[0]) != kHeader)
    return refuse(why, "not a manifest of this format (first line, or fewer than 6 lines)");
  Manifest m;
  uint64_t cardType = 0;
  const char* order[] = {"version", "card-type", "arch", "built"};
  for (size_t i = 0; i < 4; ++i) {
    const std::vector<std::string>& l = lines[i + 1];
    if (l.size() != 2 || l[0] != order[i])
      return refuse(
          why, std::string("line ") + std::to_string(i + 2) + " is not '" + order[i] + " VALUE'");
  }
  m.version = lines[1][1];
  m.arch = lines[3][1];
  m.built = lines[4][1];
  if (!safeWord(m.version) || !safeWord(m.arch) || !safeWord(m.built))
    return refuse(why, "version, arch or built time empty, too long or not printable");
  if (!linerec::number(lines[2][1], 10, 0xffff, cardType))
    return refuse(why, "card type is not a number up to 65535");
  m.cardType = static_cast<unsigned>(cardType);
  std::set<std::string> names;
  for (size_t i = 5; i < lines.size(); ++i) {
    const std::vector<std::string>& l = lines[i];
    ManifestFile f;
    uint64_t mode = 0;
    if (l.size() != 5 || l[0] != "file")
      return refuse(why, "line " + std::to_string(i + 1) + " is not 'file NAME MODE SIZE SHA256'");
    f.name = l[1];
    if (!safeFileName(f.name))
      return refuse(why, "file name '" + f.name.substr(0, MAX_NAME) + "' is not a plain name");
    if (!names.insert(f.name).second)
      return refuse(why, "file " + f.name + " listed twice");
    if (l[2].size() != 4 || !linerec::number(l[2], 8, 0777, mode))
      return refuse(why, "file " + f.name + ": mode is not 4 octal digits up to 0777");
    f.mode = static_cast<unsigned>(mode);
    if (!linerec::number(l[3], 10, MAX_FILE_SIZE, f.size))
      return refuse(
          why, "file " + f.name + ": size is not a number up to " + std::to_string(MAX_FILE_SIZE));
    if (!hexDigest(l[4]))
      return refuse(why, "file " + f.name + ": SHA-256 is not 64 lower-case hex digits");
    f.sha256 = l[4];
    if (m.files.size() == MAX_FILES)
      return refuse(why, "more than " + std::to_string(MAX_FILES) + " files");
    m.files.push_back(f);
  }
  if (m.find(MAIN_NAME) == nullptr)
    return refuse(why, "the load has no program 'main'");
  return m;
}

}  // namespace load

// fxsbundle: makes the card's load bundles and key pairs on the bench, and
// installs a load as the factory load of a slot.
//
//   fxsbundle make --key SECRET [--version V] [--arch A] [--card-type N] --out OUT FILE...
//   fxsbundle install --root DIR [--slot a|b] [--version V] [--arch A] FILE...
//   fxsbundle keygen PREFIX
//
// The version and architecture default to this build's.
//
// Exit status: 0 done, 1 failed (why on stderr), 2 bad usage.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "BuildVersion.h"
#include "SimCli.h"
#include "load/Manifest.h"
#include "load/SlotState.h"
#include "load/bundle/Bundle.h"

namespace {

constexpr unsigned kCardType = 15;

const char kUsage[] =
    "usage: fxsbundle make --key SECRET [--version V] [--arch A] [--card-type N] --out OUT "
    "FILE...\n"
    "       fxsbundle install --root DIR [--slot a|b] [--version V] [--arch A] FILE...\n"
    "       fxsbundle keygen PREFIX\n"
    "  make     a bundle of the FILEs (each under its base name), its manifest signed\n"
    "           with the Ed25519 key in the file SECRET (hex)\n"
    "  install  the FILEs as the load of slot a (or b) below DIR, with their manifest,\n"
    "           and a state record that boots that slot: the factory load\n"
    "  keygen   a key pair: PREFIX.pub (for the build) and PREFIX.sec (for make)\n"
    "  --version V     the load's version (default: this build's, " FXS_BUILD_VERSION
    ")\n"
    "  --arch A        its architecture (default: this build's, " FXS_LOAD_ARCH
    ")\n"
    "  --card-type N   the card type of the load (default 15)\n"
    "exit status: 0 done, 1 failed, 2 bad usage\n";

int failed(const std::string& why) {
  std::fprintf(stderr, "fxsbundle: %s\n", why.c_str());
  return 1;
}

std::string utcNow() {
  char buf[32];
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  gmtime_r(&now, &tm);
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

std::string baseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool readText(const std::string& path, std::string& text) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  text = s.str();
  return in.good() || in.eof();
}

struct Options {
  std::string key, version = FXS_BUILD_VERSION, arch = FXS_LOAD_ARCH, out, root;
  char slot = 'a';
  unsigned cardType = kCardType;
  std::vector<std::string> files;
};

// The manifest of the files; false with `why`.
bool describe(const Options& o, load::Manifest& m, std::string& why) {
  m.version = o.version;
  m.cardType = o.cardType;
  m.arch = o.arch;
  m.built = utcNow();
  for (const std::string& path : o.files) {
    std::string name = baseName(path);
    if (!load::safeFileName(name))
      return (why = "file name " + name + " is not a plain name of a load"), false;
    std::optional<load::ManifestFile> f = bundle::describeFile(path, name, why);
    if (!f)
      return false;
    m.files.push_back(*f);
  }
  std::string text = load::formatManifest(m);
  return load::parseManifest(text, &why).has_value();
}

int make(const Options& o) {
  std::string keyText, why;
  if (!readText(o.key, keyText))
    return failed("cannot read the key " + o.key);
  std::optional<bundle::SecretKey> key = bundle::secretKeyFromHex(keyText);
  if (!key)
    return failed(o.key + " holds no Ed25519 secret key (128 hex digits)");
  load::Manifest m;
  if (!describe(o, m, why))
    return failed(why);
  std::string text = load::formatManifest(m);
  std::vector<bundle::Member> members;
  for (size_t i = 0; i < o.files.size(); ++i)
    members.push_back({m.files[i].name, o.files[i]});
  if (!bundle::write(o.out, text, bundle::sign(text, *key), members, why))
    return failed(why);
  struct stat st;
  stat(o.out.c_str(), &st);
  std::printf("%s: version %s for %s, %zu files, %lld bytes\n", o.out.c_str(), m.version.c_str(),
              m.arch.c_str(), m.files.size(), static_cast<long long>(st.st_size));
  return 0;
}

bool copyFile(const std::string& from, const std::string& to, unsigned mode, std::string& why) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  out << in.rdbuf();
  out.close();
  if (!in || !out || chmod(to.c_str(), mode) < 0)
    return (why = "cannot copy " + from + " to " + to), false;
  return true;
}

int install(const Options& o) {
  load::Manifest m;
  std::string why;
  if (!describe(o, m, why))
    return failed(why);
  load::SlotStore store(o.root);
  std::string dir = store.slotDir(o.slot);
  if ((mkdir(o.root.c_str(), 0755) < 0 && errno != EEXIST) ||
      (mkdir(dir.c_str(), 0755) < 0 && errno != EEXIST))
    return failed("cannot create " + dir + ": " + std::strerror(errno));
  for (size_t i = 0; i < o.files.size(); ++i) {
    if (!copyFile(o.files[i], dir + "/" + m.files[i].name, m.files[i].mode, why))
      return failed(why);
  }
  std::ofstream(dir + "/" + load::MANIFEST_NAME) << load::formatManifest(m);
  load::SlotRecord r;
  r.defaultSlot = o.slot;
  r.setValid(o.slot, true);
  if (!store.write(r, &why))
    return failed(why);
  std::printf("%s: factory load %s in slot %c\n", o.root.c_str(), m.version.c_str(), o.slot);
  return 0;
}

int keygen(const std::string& prefix) {
  bundle::PublicKey pub;
  bundle::SecretKey sec;
  bundle::makeKeyPair(pub, sec);
  std::ofstream(prefix + ".pub") << bundle::toHex(pub.data(), pub.size()) << "\n";
  umask(077);
  std::ofstream s(prefix + ".sec");
  s << bundle::toHex(sec.data(), sec.size()) << "\n";
  s.close();
  if (!s)
    return failed("cannot write " + prefix + ".sec");
  std::printf("%s.pub %s.sec\n", prefix.c_str(), prefix.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc < 2)
    return simcli::badUsage("fxsbundle", "no command", kUsage);
  if (!bundle::init())
    return failed("libsodium did not start");
  std::string cmd = argv[1];
  Options o;
  int rc = simcli::parse(
      "fxsbundle", kUsage, argc - 1, argv + 1, simcli::ANYWHERE,
      {{"key", required_argument, nullptr, 'k'},
       {"version", required_argument, nullptr, 'v'},
       {"arch", required_argument, nullptr, 'a'},
       {"card-type", required_argument, nullptr, 't'},
       {"root", required_argument, nullptr, 'r'},
       {"slot", required_argument, nullptr, 's'},
       {"out", required_argument, nullptr, 'o'}},
      [&](int c, const char* arg) -> std::string {
        switch (c) {
          case 'k':
            o.key = arg;
            return "";
          case 'v':
            o.version = arg;
            return load::safeWord(o.version) ? "" : "--version wants 1-31 printable characters";
          case 'a':
            o.arch = arg;
            return load::safeWord(o.arch) ? "" : "--arch wants 1-31 printable characters";
          case 't':
            return simcli::integer(arg, 0, 65535, o.cardType) ? "" : "--card-type wants 0-65535";
          case 'r':
            o.root = arg;
            return "";
          case 's':
            o.slot = arg[0];
            return (std::string(arg) == "a" || std::string(arg) == "b") ? ""
                                                                        : "--slot wants a or b";
          default:
            o.out = arg;
            return "";
        }
      });
  if (rc >= 0)
    return rc;
  for (int i = optind + 1; i < argc; ++i)
    o.files.push_back(argv[i]);
  if (cmd == "keygen") {
    if (o.files.size() != 1)
      return simcli::badUsage("fxsbundle", "keygen wants one PREFIX", kUsage);
    return keygen(o.files[0]);
  }
  if (cmd != "make" && cmd != "install")
    return simcli::badUsage("fxsbundle", "unknown command " + cmd, kUsage);
  if (o.files.empty())
    return simcli::badUsage("fxsbundle", cmd + " wants the load's files", kUsage);
  if (!load::safeWord(o.version))
    return failed("the version '" + o.version + "' is not 1-31 printable characters (--version)");
  if (cmd == "make") {
    if (o.key.empty() || o.out.empty())
      return simcli::badUsage("fxsbundle", "make wants --key and --out", kUsage);
    return make(o);
  }
  if (o.root.empty())
    return simcli::badUsage("fxsbundle", "install wants --root", kUsage);
  return install(o);
}

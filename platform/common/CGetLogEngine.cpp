#include "common/CGetLogEngine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "process/ChildProcess.h"
#include "trace/TraceObject.h"

namespace {

std::vector<std::string> defaultExtraFiles() {
  const char* env = std::getenv("FXS_GETLOG_FILES");
  if (env == nullptr || *env == '\0')
    return {"/var/log/messages"};
  std::vector<std::string> files;
  std::string list(env);
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos)
      end = list.size();
    if (end > start)
      files.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return files;
}

bool isRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ensureDirectory(const std::string& dir) {
  if (::mkdir(dir.c_str(), 0755) == 0 || errno == EEXIST)
    return true;
  LOG_ERROR("getlog: cannot create %s: %s; no archive", dir.c_str(), std::strerror(errno));
  return false;
}

// Members are named by their path from the root ("flash/log/...",
// "var/log/messages"): one -C for all, as busybox tar keeps only the last -C.
std::string fromRoot(const std::string& path) {
  size_t first = path.find_first_not_of('/');
  return first == std::string::npos ? std::string(".") : path.substr(first);
}

}  // namespace

CGetLogEngine::CGetLogEngine()
    : m_outputDir(kDefaultOutputDirectory), m_extraFiles(defaultExtraFiles()) {}

CGetLogEngine::~CGetLogEngine() = default;

void CGetLogEngine::setOutputDirectory(const std::string& dir) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_outputDir = dir;
}

void CGetLogEngine::setExtraFiles(const std::vector<std::string>& files) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_extraFiles = files;
}

std::string CGetLogEngine::archivePath() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_outputDir + "/" + kArchiveName;
}

int CGetLogEngine::run() {
  std::string outputDir;
  std::vector<std::string> extra;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    outputDir = m_outputDir;
    extra = m_extraFiles;
  }
  // The hook writes into the log directory; a fresh card may not have it.
  ensureDirectory(kLogDirectory);
  int prepared = cardPrepareLog();
  LOG_DEBUG1("getlog: card preparation returned %d", prepared);

  if (!ensureDirectory(outputDir))
    return 0;
  std::string archive = outputDir + "/" + kArchiveName;
  // Written under a temporary name and renamed, so a reader never sees a
  // half-written archive.
  std::string partial = archive + ".part";
  std::vector<std::string> argv = {"tar", "-czf", partial, "-C", "/", fromRoot(kLogDirectory)};
  for (const std::string& f : extra) {
    if (!isRegularFile(f)) {
      LOG_INFO("getlog: %s not present, not packed", f.c_str());
      continue;
    }
    argv.push_back(fromRoot(f));
  }
  std::string output;
  int status = childprocess::run(argv, "", &output);
  if (status != 0) {
    LOG_ERROR("getlog: tar failed with status %d: %s; no archive", status, output.c_str());
    std::remove(partial.c_str());
    return 0;
  }
  if (std::rename(partial.c_str(), archive.c_str()) != 0) {
    LOG_ERROR("getlog: cannot rename %s: %s; no archive", partial.c_str(), std::strerror(errno));
    std::remove(partial.c_str());
    return 0;
  }
  LOG_INFO("getlog: logs packed into %s", archive.c_str());
  return 1;
}

void CGetLogEngine::copyFile(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  if (in && out)
    out << in.rdbuf();
}

// Log-collection engine handed to commonStatCtrl. run() lets the card
// prepare its files (the cardPrepareLog hook), then packs the log directory
// and the card's syslog file into one gzip'd tar archive that the chassis
// fetches.
#pragma once

#include <mutex>
#include <string>
#include <vector>

class CGetLogEngine {
 public:
  static constexpr const char* kLogDirectory = "/flash/log";
  static constexpr const char* kDefaultOutputDirectory = "/tmp/getlog";
  static constexpr const char* kArchiveName = "card-logs.tar.gz";

  CGetLogEngine();
  virtual ~CGetLogEngine();
  CGetLogEngine(const CGetLogEngine&) = delete;
  CGetLogEngine& operator=(const CGetLogEngine&) = delete;

  // 1 when the archive was written, 0 otherwise. The hook's own result is
  // only logged: a card that could not prepare everything still ships what
  // it has.
  virtual int run();
  virtual int cardPrepareLog() = 0;

  // Where run() leaves the archive; created when missing.
  void setOutputDirectory(const std::string& dir);
  // Files packed beside the log directory, at the archive's top level; a
  // missing one is skipped. Defaults to the system log, or the
  // colon-separated list in FXS_GETLOG_FILES (the bench's card log).
  void setExtraFiles(const std::vector<std::string>& files);
  std::string archivePath() const;

 protected:
  // Copies `from` over `to` for the hook; a missing or unreadable source
  // leaves `to` empty, which tells the reader there was nothing.
  static void copyFile(const std::string& from, const std::string& to);

 private:
  mutable std::mutex m_mutex;
  std::string m_outputDir;
  std::vector<std::string> m_extraFiles;
};

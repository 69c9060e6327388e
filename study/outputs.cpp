#include "study/outputs.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "study/csv.h"
#include "study/plot.h"
#include "study/study_json.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kWriteChunk = size_t{1} << 16;

std::string nameOf(const GrowingFile& output) {
  return output.path.empty() ? "standard output" : output.path;
}

// Writes what is pending; on failure records why and cuts a regular file back to whole boards.
bool flushPending(GrowingFile& output) {
  if (!output.failure.empty()) return false;
  errno = 0;
  const size_t written = std::fwrite(output.pending.data(), 1, output.pending.size(), output.file);
  if (written == output.pending.size() && std::fflush(output.file) == 0) {
    output.committed += written;
    output.pending.clear();
    return true;
  }
  output.failure = errno != 0 ? std::strerror(errno) : "write failed";
  std::error_code ignored;
  if (!output.path.empty() && fs::is_regular_file(output.path, ignored))
    fs::resize_file(output.path, output.committed, ignored);
  return false;
}

bool append(GrowingFile& output, const std::string& text) {
  if (output.file == nullptr) return true;
  output.pending += text;
  return output.pending.size() < kWriteChunk || flushPending(output);
}

bool openGrowing(GrowingFile& output, const std::string& path) {
  output.path = path == "-" ? "" : path;
  output.file = output.path.empty() ? stdout : std::fopen(path.c_str(), "w");
  return output.file != nullptr;
}

// The same file when both exist (device and inode, or the platform's file id), otherwise the
// same absolute name. Devices such as /dev/null may serve several outputs.
bool sameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  const fs::file_status status = fs::status(a, error);
  if (fs::exists(status) && fs::exists(fs::status(b, error)))
    return !fs::is_character_file(status) && fs::equivalent(a, b, error);
  return fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error);
}

// Closes a file opened for the study; false with the reason when what was buffered or the close
// failed.
bool closeGrowing(GrowingFile& output) {
  if (output.file == nullptr) return true;
  bool written = output.pending.empty() || flushPending(output);
  if (output.file != stdout && std::fclose(output.file) != 0 && written) {
    output.failure = std::strerror(errno);
    written = false;
  }
  output.file = nullptr;
  return written && output.failure.empty();
}

}  // namespace

std::string collidingOutputs(const StudyOptions& options) {
  std::vector<std::pair<std::string, std::string>> files;  // option, path
  if (!options.fromPath.empty() && options.fromPath != "-")
    files.emplace_back("--from", options.fromPath);
  if (!options.csvPath.empty() && options.csvPath != "-")
    files.emplace_back("--csv", options.csvPath);
  if (!options.writeBoardsPath.empty())
    files.emplace_back("--write-boards", options.writeBoardsPath);
  if (!options.plotPath.empty()) files.emplace_back("--plot", options.plotPath);
  if (!options.jsonPath.empty() && options.jsonPath != "-")
    files.emplace_back("--json", options.jsonPath);
  for (size_t i = 0; i < files.size(); ++i)
    for (size_t j = i + 1; j < files.size(); ++j)
      if (sameFile(files[i].second, files[j].second))
        return files[i].first + " and " + files[j].first + " name the same file, " +
               files[j].second + "; the study would destroy it";
  return "";
}

int openOutputs(const StudyOptions& options, const std::string& origin, StudyOutputs& outputs) {
  outputs.withMoves = options.moves;
  const auto cannotWrite = [](const std::string& path) {
    return studyError(kStatusWriteFailed, "cannot write " + path + ": " + std::strerror(errno));
  };
  if (!options.csvPath.empty() && !openGrowing(outputs.csv, options.csvPath))
    return cannotWrite(options.csvPath);
  if (!options.writeBoardsPath.empty() && !openGrowing(outputs.boards, options.writeBoardsPath))
    return cannotWrite(options.writeBoardsPath);
  if (!options.plotPath.empty()) {
    outputs.plotPath = options.plotPath;
    outputs.plot = std::fopen(options.plotPath.c_str(), "w");
    if (outputs.plot == nullptr) return cannotWrite(options.plotPath);
  }
  if (!options.jsonPath.empty()) {
    outputs.jsonPath = options.jsonPath == "-" ? "" : options.jsonPath;
    outputs.json = outputs.jsonPath.empty() ? stdout : std::fopen(options.jsonPath.c_str(), "w");
    if (outputs.json == nullptr) return cannotWrite(options.jsonPath);
  }
  append(outputs.csv, csvHeader(outputs.withMoves));
  append(outputs.boards, "# tidefill-study boards; " + origin + "\n");
  return 0;
}

bool writeBoardOutputs(StudyOutputs& outputs, const BoardOutcome& outcome,
                       const std::vector<SolverChoice>& solvers) {
  bool written = append(outputs.csv, csvRows(outcome, solvers, outputs.withMoves));
  if (outputs.boards.file != nullptr) {
    std::ostringstream board;
    writeBoard(board, outcome.board, outcome.index);
    written = append(outputs.boards, board.str()) && written;
  }
  return written;
}

bool writeWhole(std::FILE* file, const std::string& text, std::string& failure) {
  errno = 0;
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  written = (file == stdout ? std::fflush(file) == 0 : std::fclose(file) == 0) && written;
  if (!written) failure = errno != 0 ? std::strerror(errno) : "write failed";
  return written;
}

int finishOutputs(StudyOutputs& outputs, const StudySummary& summary, int status) {
  const auto failed = [&](const std::string& name, const std::string& reason) {
    status = studyError(kStatusWriteFailed, "cannot write " + name + ": " + reason);
  };
  // Standard output carries one machine-readable result or the summary, never both.
  const bool summaryToError = outputs.csv.file == stdout || outputs.json == stdout;
  std::string failure;
  if (outputs.plot != nullptr && !writeWhole(outputs.plot,
                                             turnPlot(plotTitle(summary), plotSubtitle(summary),
                                                      summary.solverLabels, summary.stats),
                                             failure))
    failed(outputs.plotPath, failure);
  if (outputs.json != nullptr && !writeWhole(outputs.json, studyToJson(summary), failure))
    failed(outputs.jsonPath.empty() ? "the JSON to standard output" : outputs.jsonPath, failure);
  outputs.plot = outputs.json = nullptr;
  if (!closeGrowing(outputs.csv)) failed(nameOf(outputs.csv), outputs.csv.failure);
  if (!closeGrowing(outputs.boards)) failed(nameOf(outputs.boards), outputs.boards.failure);
  std::fputs(formatSummary(summary).c_str(), summaryToError ? stderr : stdout);
  if (!summaryToError) {
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
      failed("the summary to standard output", errno != 0 ? std::strerror(errno) : "write failed");
  }
  return status;
}

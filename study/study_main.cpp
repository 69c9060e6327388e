#include "study/study_main.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string_view>
#include <variant>

#include "study/merge.h"
#include "study/outputs.h"
#include "study/progress.h"
#include "study/report.h"
#include "study/terminal.h"

namespace {

// Set by Ctrl-C, SIGTERM and SIGHUP, by an answer that fails its check and by a failed write.
std::atomic<bool> stopRequested{false};

// Runs the study, writing every board as it is delivered, and completes the summary.
void runAndRecord(const SolveBoards& solve, StudySetup& setup, StudyOutputs& outputs, bool quiet) {
  StudySummary& summary = setup.summary;
  ProgressLine progress;
  const bool showProgress = !quiet && isTerminal(stderr);
  const auto start = std::chrono::steady_clock::now();
  const auto secondsSinceStart = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  const StudyEnd end = solve(
      setup.plan,
      [&](const BoardOutcome& outcome) {
        if (!summary.failure.empty() || summary.writeFailed) return;  // nothing more counts
        summary.failure = recordBoard(summary, outcome);
        if (!summary.failure.empty()) {
          stopRequested = true;
        } else if (!writeBoardOutputs(outputs, outcome, setup.plan.solvers)) {
          summary.writeFailed = true;
          stopRequested = true;
        }
      },
      [&](uint64_t done) {
        if (showProgress) progress.draw(done, setup.plan.boardCount, secondsSinceStart());
      });
  summary.wallSeconds = secondsSinceStart();
  if (summary.failure.empty()) summary.failure = end.failure;
  summary.interrupted = end.delivered < setup.plan.boardCount;
  progress.erase();
  summary.columns = terminalColumns();
}

int endStatus(const StudySummary& summary) {
  if (!summary.failure.empty())
    return studyError(kStatusCheckFailed, "a solver's answer failed its check, " + summary.failure);
  if (stopSignal() != 0) return 128 + stopSignal();
  return summary.interrupted ? kStatusInterrupted : 0;
}

// A signal that came while a file was still being opened, before any board: the blocked open
// returned early and nothing was studied.
int stoppedBeforeStart() {
  std::printf("Interrupted before the first board: nothing was studied.\n");
  return 128 + stopSignal();
}

}  // namespace

int runStudyProgram(int argc, char** argv, const StudyProgram& program) {
  if (argc > 1 && std::string_view(argv[1]) == "merge") return runMerge(argc - 1, argv + 1);
  auto parsed = parseOptions(argc, argv);
  if (const int* status = std::get_if<int>(&parsed)) return *status;
  const StudyOptions& options = std::get<StudyOptions>(parsed);
  if (const std::string collision = collidingOutputs(options); !collision.empty())
    return studyError(kStatusBadUsage, collision);
  catchStopSignals(stopRequested);

  auto prepared = setUpStudy(options);
  if (stopSignal() != 0) return stoppedBeforeStart();
  if (const auto* refusal = std::get_if<std::string>(&prepared))
    return studyError(kStatusBadUsage, *refusal);
  StudySetup& setup = std::get<StudySetup>(prepared);
  setup.plan.stop = &stopRequested;
  if (program.fitSetup) program.fitSetup(options, setup);

  StudyOutputs outputs;
  const int opened =
      openOutputs(options, studyOrigin(setup.summary, setup.summary.boardsAsked), outputs);
  if (stopSignal() != 0) return stoppedBeforeStart();
  if (opened != 0) return opened;
  runAndRecord(program.solve, setup, outputs, options.quiet);
  if (setup.summary.interrupted && setup.summary.failure.empty())
    setup.summary.restOfStudy = restOfStudy(options, setup.summary, program.name);
  return finishOutputs(outputs, setup.summary, endStatus(setup.summary));
}

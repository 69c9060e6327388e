// tidefill-study: solves many boards with no window and no pause, on every core, and reports
// statistics of the turns each solver needs.
#include <atomic>
#include <chrono>
#include <csignal>
#include <variant>

#include "study/options.h"
#include "study/outputs.h"
#include "study/progress.h"
#include "study/report.h"
#include "study/runner.h"
#include "study/terminal.h"

namespace {

std::atomic<bool> interruptRequested{false};

// A second Ctrl-C ends the program at once, as it would without the handler.
extern "C" void onInterrupt(int) {
  interruptRequested.store(true);
  std::signal(SIGINT, SIG_DFL);
}

// Runs the study, writing every board as it is delivered, and completes the summary.
void runAndRecord(StudySetup& setup, StudyOutputs& outputs, bool quiet) {
  StudySummary& summary = setup.summary;
  ProgressLine progress;
  const bool showProgress = !quiet && isTerminal(stderr);
  const auto start = std::chrono::steady_clock::now();
  const auto secondsSinceStart = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  const StudyEnd end = runStudy(
      setup.plan,
      [&](const BoardOutcome& outcome) {
        if (!summary.failure.empty()) return;  // the run is ending; nothing more counts
        summary.failure = recordBoard(summary, outcome);
        if (!summary.failure.empty())
          interruptRequested = true;  // stops the workers as Ctrl-C would
        else
          writeBoardOutputs(outputs, outcome, setup.plan.solvers);
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
  return summary.interrupted ? kStatusInterrupted : 0;
}

}  // namespace

int main(int argc, char** argv) {
  auto parsed = parseOptions(argc, argv);
  if (const int* status = std::get_if<int>(&parsed)) return *status;
  const StudyOptions& options = std::get<StudyOptions>(parsed);

  auto prepared = setUpStudy(options);
  if (const int* status = std::get_if<int>(&prepared)) return *status;
  StudySetup& setup = std::get<StudySetup>(prepared);
  setup.plan.stop = &interruptRequested;

  StudyOutputs outputs;
  if (const int status = openOutputs(options, setup.summary.origin, outputs)) return status;
  std::signal(SIGINT, onInterrupt);
  runAndRecord(setup, outputs, options.quiet);
  return finishOutputs(outputs, setup.summary, endStatus(setup.summary));
}

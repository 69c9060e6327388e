// The steps of tidefill-study from its command line to its exit status, shared by the programs
// that solve the boards in different places: on this machine's threads, or over an MPI job.
#pragma once

#include <functional>

#include "study/options.h"
#include "study/runner.h"

// Solves a plan's boards and delivers them in board order, as runStudy does.
using SolveBoards = std::function<StudyEnd(
    const StudyPlan& plan, const std::function<void(const BoardOutcome&)>& deliver,
    const std::function<void(uint64_t delivered)>& progress)>;

struct StudyProgram {
  const char* name = kProgram;  // in the command for the rest of an interrupted study
  SolveBoards solve = runStudy;
  // Fits the setup to where the boards are solved (its threads, say) before anything is opened.
  std::function<void(const StudyOptions&, StudySetup&)> fitSetup;
};

// Parses the command line (or runs 'merge'), opens the outputs, solves the boards, records and
// writes each as it is delivered, and returns the exit status.
int runStudyProgram(int argc, char** argv, const StudyProgram& program);

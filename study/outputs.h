// The files a study writes: the CSV and the board file grow as boards are delivered, in board
// order; the plot and the summary are written at the end.
#pragma once

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "study/options.h"
#include "study/report.h"
#include "study/runner.h"

struct StudyOutputs {
  std::FILE* csv = nullptr;  // standard output with --csv -
  std::string csvPath;
  bool withMoves = false;
  std::ofstream boards;
  std::string boardsPath;
  std::string plotPath;
};

// Opens the CSV and the board file the options name and writes their headers; 0, or the exit
// status after a message.
int openOutputs(const StudyOptions& options, const std::string& origin, StudyOutputs& outputs);

// One delivered board's CSV rows and board-file entry.
void writeBoardOutputs(StudyOutputs& outputs, const BoardOutcome& outcome,
                       const std::vector<SolverChoice>& solvers);

// Draws the plot, prints the summary (to standard error when the CSV took standard output) and
// closes the files; `status`, or the write-failure status after a message for each output that
// could not be written.
int finishOutputs(StudyOutputs& outputs, const StudySummary& summary, int status);

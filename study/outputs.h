// The files a study writes. The CSV and the board file grow as boards are delivered, in board
// order and in whole boards; the plot and the summary are written at the end. Every output is
// opened before the first board, and the first failed write stops the study.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "study/options.h"
#include "study/report.h"
#include "study/runner.h"

// A file that grows by whole boards. Text waits in `pending` and goes out in large writes; after
// a failed write a regular file is cut back to the boards known written.
struct GrowingFile {
  std::FILE* file = nullptr;
  std::string path;  // "" for standard output
  std::string pending;
  uint64_t committed = 0;  // bytes of whole boards known written
  std::string failure;     // why a write failed, "" while none has
};

struct StudyOutputs {
  GrowingFile csv;  // open when asked for; standard output with --csv -
  bool withMoves = false;
  GrowingFile boards;
  std::FILE* plot = nullptr;
  std::string plotPath;
  std::FILE* json = nullptr;  // standard output with --json -
  std::string jsonPath;
};

// Refuses, before anything is opened for writing, an output that is the input or another output;
// "" or the message.
std::string collidingOutputs(const StudyOptions& options);

// Opens every output the options name, the plot included, and writes the headers; 0, or the exit
// status after a message.
int openOutputs(const StudyOptions& options, const std::string& origin, StudyOutputs& outputs);

// One delivered board's CSV rows and board-file entry; false once a write has failed.
bool writeBoardOutputs(StudyOutputs& outputs, const BoardOutcome& outcome,
                       const std::vector<SolverChoice>& solvers);

// Writes an output that is made whole at the end; false with the reason in `failure`.
bool writeWhole(std::FILE* file, const std::string& text, std::string& failure);

// Draws the plot, writes the JSON, prints the summary (to standard error when the CSV or the JSON
// took standard output) and
// closes the files; `status`, or the write-failure status after a message for each output that
// could not be written.
int finishOutputs(StudyOutputs& outputs, const StudySummary& summary, int status);

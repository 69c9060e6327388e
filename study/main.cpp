// tidefill-study: solves many boards with no window and no pause, on every core, and reports
// statistics of the turns each solver needs.
#include "study/study_main.h"

int main(int argc, char** argv) {
  return runStudyProgram(argc, argv, StudyProgram{});
}

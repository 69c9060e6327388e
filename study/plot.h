// The turn-count distribution of each solver on one chart, as a standalone SVG file.
#pragma once

#include <string>
#include <vector>

#include "study/report.h"

// One line per solver: the share of boards that took each number of turns. Returns the SVG.
std::string turnPlot(const std::string& title, const std::string& subtitle,
                     const std::vector<std::string>& labels, const std::vector<TurnStats>& stats);

// "Turns per board, N boards of SxS, C colours", with ranges where a board file mixes them.
std::string plotTitle(const StudySummary& summary);
// The study the chart shows: its seed or board file, the boards and the program's version.
std::string plotSubtitle(const StudySummary& summary);

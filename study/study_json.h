// A study's result as one JSON document: what was studied, closely enough to tell the parts of one
// study from those of another, and every figure the summary prints, kept exactly, so that parts
// merge into the whole.
#pragma once

#include <string>
#include <variant>

#include "study/report.h"

std::string studyToJson(const StudySummary& summary);

// The summary a document holds, or why the text is not such a document.
std::variant<StudySummary, std::string> studyFromJson(const std::string& text);

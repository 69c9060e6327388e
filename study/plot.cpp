#include "study/plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kWidth = 820;
constexpr double kHeight = 460;
constexpr double kLeft = 70, kRight = 20, kTop = 50, kBottom = 60;
constexpr const char* kColors[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd",
                                   "#ff7f0e", "#17becf", "#8c564b", "#e377c2"};

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '>')
      out += "&gt;";
    else
      out += c;
  }
  return out;
}

// A step of 1, 2 or 5 times a power of ten that gives about `ticks` ticks over `span`.
double tickStep(double span, double ticks) {
  const double rough = span / ticks;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (double factor : {1.0, 2.0, 5.0})
    if (factor * power >= rough) return factor * power;
  return 10 * power;
}

std::string text(double x, double y, const std::string& words, const char* extra = "") {
  return "<text x=\"" + number(x) + "\" y=\"" + number(y) + "\" " + extra + ">" + escaped(words) +
         "</text>\n";
}

}  // namespace

std::string turnPlot(const std::string& title, const std::string& subtitle,
                     const std::vector<std::string>& labels, const std::vector<TurnStats>& stats) {
  uint32_t low = ~0u, high = 0;
  for (const TurnStats& one : stats) {
    if (one.boards == 0) continue;
    low = std::min(low, one.histogram.begin()->first);
    high = std::max(high, one.histogram.rbegin()->first);
  }
  if (low > high) low = high = 0;
  // Wide ranges are drawn in bins of equal width, the same for every solver, so that a few
  // hundred boards spread over hundreds of counts still show their shape.
  constexpr uint32_t kMaxPoints = 40;
  const uint32_t binWidth = (high - low) / kMaxPoints + 1;
  const auto binCount = static_cast<size_t>((high - low) / binWidth + 1);
  std::vector<std::vector<double>> shares(stats.size(), std::vector<double>(binCount, 0));
  double topShare = 1;
  for (size_t s = 0; s < stats.size(); ++s) {
    for (const auto& [turns, boards] : stats[s].histogram)
      shares[s][(turns - low) / binWidth] +=
          100.0 * static_cast<double>(boards) / static_cast<double>(stats[s].boards);
    for (double share : shares[s]) topShare = std::max(topShare, share);
  }
  // A bin is drawn at the middle of the counts it holds.
  const auto binMiddle = [&](size_t bin) {
    return low + static_cast<double>(bin * binWidth) + (binWidth - 1) / 2.0;
  };
  const double xLow = low > 0 ? low - 1.0 * binWidth : 0, xHigh = high + 1.0 * binWidth;
  const double yStep = tickStep(topShare, 5);
  const double yHigh = std::ceil(topShare / yStep) * yStep;
  const double plotWidth = kWidth - kLeft - kRight, plotHeight = kHeight - kTop - kBottom;
  const auto xAt = [&](double turns) {
    return kLeft + (turns - xLow) / (xHigh - xLow) * plotWidth;
  };
  const auto yAt = [&](double share) { return kTop + plotHeight - share / yHigh * plotHeight; };

  std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(kWidth) +
                    "\" height=\"" + number(kHeight) + "\" viewBox=\"0 0 " + number(kWidth) + " " +
                    number(kHeight) +
                    "\" font-family=\"sans-serif\" font-size=\"13\">\n"
                    "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  svg += text(kWidth / 2, 24, title, "text-anchor=\"middle\" font-size=\"16\"");
  svg += text(kWidth / 2, 42, subtitle, "text-anchor=\"middle\" font-size=\"11\" fill=\"#555\"");
  // Grid and axes.
  for (double share = 0; share <= yHigh + 1e-9; share += yStep) {
    svg += "<line x1=\"" + number(kLeft) + "\" y1=\"" + number(yAt(share)) + "\" x2=\"" +
           number(kWidth - kRight) + "\" y2=\"" + number(yAt(share)) + "\" stroke=\"#e0e0e0\"/>\n";
    char label[32];
    std::snprintf(label, sizeof label, "%g", share);
    svg += text(kLeft - 8, yAt(share) + 4, label, "text-anchor=\"end\"");
  }
  const double xStep = std::max(1.0, tickStep(xHigh - xLow, 10));
  for (double turns = std::ceil(xLow / xStep) * xStep; turns <= xHigh; turns += xStep) {
    svg += "<line x1=\"" + number(xAt(turns)) + "\" y1=\"" + number(kTop + plotHeight) +
           "\" x2=\"" + number(xAt(turns)) + "\" y2=\"" + number(kTop + plotHeight + 5) +
           "\" stroke=\"black\"/>\n";
    svg += text(xAt(turns), kTop + plotHeight + 20, std::to_string(static_cast<long>(turns)),
                "text-anchor=\"middle\"");
  }
  svg += "<polyline points=\"" + number(kLeft) + "," + number(kTop) + " " + number(kLeft) + "," +
         number(kTop + plotHeight) + " " + number(kWidth - kRight) + "," +
         number(kTop + plotHeight) + "\" fill=\"none\" stroke=\"black\"/>\n";
  svg += text(kLeft + plotWidth / 2, kHeight - 15,
              binWidth == 1 ? "turns to solve a board"
                            : "turns to solve a board, in bins of " + std::to_string(binWidth),
              "text-anchor=\"middle\"");
  svg += text(
      18, kTop + plotHeight / 2, "share of boards (%)",
      ("text-anchor=\"middle\" transform=\"rotate(-90 18 " + number(kTop + plotHeight / 2) + ")\"")
          .c_str());
  // One line per solver over its own bins, empty bins in between included.
  for (size_t s = 0; s < stats.size(); ++s) {
    const TurnStats& one = stats[s];
    if (one.boards == 0) continue;
    const char* color = kColors[s % std::size(kColors)];
    std::string points, marks;
    const size_t first = (one.histogram.begin()->first - low) / binWidth;
    const size_t last = (one.histogram.rbegin()->first - low) / binWidth;
    for (size_t bin = first; bin <= last; ++bin) {
      const std::string point = number(xAt(binMiddle(bin))) + "," + number(yAt(shares[s][bin]));
      points += point + " ";
      if (shares[s][bin] > 0)
        marks += "<circle cx=\"" + number(xAt(binMiddle(bin))) + "\" cy=\"" +
                 number(yAt(shares[s][bin])) + "\" r=\"2.5\" fill=\"" + color + "\"/>\n";
    }
    svg += "<polyline points=\"" + points + "\" fill=\"none\" stroke=\"" + color +
           "\" stroke-width=\"2\"/>\n" + marks;
    // Legend, top right: the name and the mean.
    const double y = kTop + 12 + 20 * static_cast<double>(s);
    const double x = kWidth - kRight - 190;
    svg += "<line x1=\"" + number(x) + "\" y1=\"" + number(y - 4) + "\" x2=\"" + number(x + 24) +
           "\" y2=\"" + number(y - 4) + "\" stroke=\"" + color + "\" stroke-width=\"3\"/>\n";
    char legend[96];
    std::snprintf(legend, sizeof legend, "%s (mean %.2f)", labels[s].c_str(), meanTurns(one));
    svg += text(x + 32, y, legend);
  }
  svg += "</svg>\n";
  return svg;
}

std::string plotTitle(const StudySummary& summary) {
  const uint64_t done = boardsDone(summary);
  std::string title = "Turns per board, " + std::to_string(done) + " board" +
                      (done == 1 ? "" : "s") + " of " + std::to_string(summary.minSide) + "x" +
                      std::to_string(summary.minSide);
  if (summary.maxSide != summary.minSide)
    title += " to " + std::to_string(summary.maxSide) + "x" + std::to_string(summary.maxSide);
  title += ", " + std::to_string(summary.minColors);
  if (summary.maxColors != summary.minColors) title += " to " + std::to_string(summary.maxColors);
  return title + " colours";
}

std::string plotSubtitle(const StudySummary& summary) {
  const uint64_t done = boardsDone(summary);
  std::string origin = studyOrigin(summary, done);
  origin = origin.substr(0, origin.find(" (the same boards again"));
  return origin + "; tidefill-study " + TIDEFILL_VERSION;
}

// Reads a /metrics text with Prometheus' own parser (Python's
// prometheus_client, through parse_metrics.py), for tests that check the
// figures as a monitoring system would read them. Needs KELVA_PYTHON and
// KELVA_TESTS_DIR defined by the test binary.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "support/temp_folder.h"

namespace kelva::testing {

// The samples the parser reads from `text`, one a line as
// `name{label=value} value`, sorted; "" and a test failure when it cannot
// parse the text.
inline std::string parsedMetrics(const std::string& text) {
  TempFolder folder("kelva_metrics");
  const auto input = folder.path / "metrics.txt";
  std::ofstream(input) << text;
  const std::string command =
      std::string(KELVA_PYTHON) + " " + KELVA_TESTS_DIR + "/support/parse_metrics.py < " + input.string();
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return "";
  std::string out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  EXPECT_EQ(::pclose(pipe), 0) << "the parser refused:\n" << text;
  return out;
}

// Whether the parsed samples hold exactly this line.
inline bool holdsSample(const std::string& samples, const std::string& line) {
  return ("\n" + samples).find("\n" + line + "\n") != std::string::npos;
}

}  // namespace kelva::testing

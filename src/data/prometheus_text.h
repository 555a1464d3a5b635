// The text a monitoring system scrapes from /metrics: Prometheus' exposition
// format, version 0.0.4. Each family is announced with its help and type,
// then its samples follow, one a line, each with at most one label. The bot's
// console and the world both write their figures with it.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelva {

class PrometheusText {
 public:
  // The content type of the text, for the HTTP answer.
  static constexpr std::string_view kContentType = "text/plain; version=0.0.4; charset=utf-8";

  // Starts a family: `type` is counter, gauge or histogram.
  void family(std::string_view name, std::string_view type, std::string_view help);
  // One sample of the current family, without a label or with one.
  void sample(std::string_view name, double value) { line(name, {}, {}, number(value)); }
  void sample(std::string_view name, std::string_view label, std::string_view labelValue, double value) {
    line(name, label, labelValue, number(value));
  }
  // Whole numbers are written exactly, however large.
  template <std::integral N>
  void sample(std::string_view name, N value) {
    line(name, {}, {}, std::to_string(value));
  }
  template <std::integral N>
  void sample(std::string_view name, std::string_view label, std::string_view labelValue, N value) {
    line(name, label, labelValue, std::to_string(value));
  }

  // One sample per entry of `byLabel` (label value to number), in its order.
  template <typename Map>
  void samples(std::string_view name, std::string_view label, const Map& byLabel) {
    for (const auto& [value, n] : byLabel) sample(name, label, value, n);
  }

  const std::string& text() const { return text_; }

  // The shortest text that reads back as the same double ("0.005"), and
  // +Inf / -Inf / NaN as the format spells them.
  static std::string number(double v);

 private:
  void line(std::string_view name, std::string_view label, std::string_view labelValue, const std::string& value);
  std::string text_;
};

}  // namespace kelva

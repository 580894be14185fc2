#pragma once
// Every observable step of the program (a pose drawn, a window moved, a property assigned, a
// player call) is reported here as one line: a word and its arguments, separated by spaces.
// The desktop programs leave the sink empty; the simulator writes the lines to its stage log.

#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace zumbolo {

class Trace {
 public:
  using Sink = std::function<void(std::string_view line)>;

  void SetSink(Sink sink) { sink_ = std::move(sink); }
  bool enabled() const { return static_cast<bool>(sink_); }

  template <typename... Args>
  void operator()(std::string_view word, const Args&... args) const {
    if (!sink_) return;
    std::string line(word);
    ((line += ' ', Append(line, args)), ...);
    sink_(line);
  }

 private:
  template <typename T>
  static void Append(std::string& line, const T& value) {
    if constexpr (std::is_same_v<T, bool>) {
      line += value ? '1' : '0';
    } else if constexpr (std::is_integral_v<T>) {
      line += std::to_string(value);
    } else {
      line += std::string_view(value);
    }
  }

  Sink sink_;
};

}  // namespace zumbolo

// profile_probe_native SCRIPT: the twin of profile_probe.exe on the engine's own settings-file
// module: the same script language (probe_script.h); a read loads the file and reads the key, a
// write loads the file, writes the key and saves the file again.

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/ini_file.h"
#include "probe_script.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: profile_probe_native SCRIPT\n", stderr);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fputs("profile_probe_native: cannot read the script\n", stderr);
    return 2;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::size_t bad_line = 0;
  const auto operations = zumbolo::probe::ParseScript(text.str(), &bad_line);
  if (!operations) {
    std::fprintf(stderr, "profile_probe_native: line %zu is no operation\n", bad_line);
    return 2;
  }
  for (const auto& op : *operations) {
    std::string line;
    if (op.kind == zumbolo::probe::Operation::Kind::kRead) {
      const std::optional<std::string> value = zumbolo::IniProfileStore(op.file).Read(op.section, op.key);
      line = "read " + zumbolo::probe::Escape(value ? *value : op.value);
    } else {
      zumbolo::IniProfileStore store(op.file);
      store.Write(op.section, op.key, op.value);
      line = store.Flush() ? "write failed" : "write ok";
    }
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  }
  std::fflush(stdout);
  return 0;
}

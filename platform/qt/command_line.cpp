#include "platform/qt/command_line.h"

namespace zumbolo {

CommandLineRequest ReadCommandLineRequest(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--help") return CommandLineRequest::kHelp;
    if (arg == "--version") return CommandLineRequest::kVersion;
  }
  return CommandLineRequest::kRun;
}

std::string UsageText() {
  return "Usage: zumbolo [/m] [/v]\n"
         "Three little figures above the taskbar spin like slot-machine reels; on a hit\n"
         "they dance to a classical piece. The tray icon's menu chooses the show.\n"
         "\n"
         "  /m          (first argument) the mini figures, 32 x 32 pixels\n"
         "  /v          (one of the first three arguments) every spin is a hit\n"
         "  --help      print this help and end\n"
         "  --version   print the version and end\n"
         "Other arguments are ignored.\n"
         "\n"
         "Files: zumbolo.ini in $XDG_CONFIG_HOME/zumbolo/ (~/.config/zumbolo/), the track\n"
         "files in $XDG_DATA_HOME/zumbolo/ (~/.local/share/zumbolo/); both beside the program\n"
         "instead when it runs from a writable folder of its own (not a bin folder).\n"
         "\n"
         "Environment:\n"
         "  ZUMBOLO_HOME        one folder for zumbolo.ini and the track files\n"
         "  ZUMBOLO_AUDIO_SINK  the GStreamer audio sink, as gst-launch-1.0 takes it\n"
         "                      (default autoaudiosink)\n"
         "  ZUMBOLO_TRACE       a file to write every observable step to, one a line\n"
         "  QT_QPA_PLATFORM     Qt's platform (default xcb: the figures need X11 or XWayland)\n";
}

std::string VersionText(std::string_view version) {
  std::string text = "zumbolo ";
  text += version;
  text += "\nCopyright (c) 2026 Zumbolo! developers\n"
          "MIT License: free to use, change and share, with NO WARRANTY.\n";
  return text;
}

}  // namespace zumbolo

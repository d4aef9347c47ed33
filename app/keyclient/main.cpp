// tonvara-key: what a desktop keybinding runs for a media key. It hands the key to the running
// Tonvara in a few milliseconds, without starting a second one; with none running it gives the
// desktop its keys back and does what the desktop would have done, so no key is ever lost.
#include <sys/wait.h>

#include <cstdio>
#include <string_view>

#include "KeyCommand.h"

int main(int argc, char** argv) {
  using namespace tonvara::keyclient;
  constexpr auto kUsage =
      "usage: tonvara-key --media-key play|pause|next|previous|stop|forward|rewind\n";
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const auto command =
      argc == 3 && std::string_view(argv[1]) == "--media-key" ? keyCommand(argv[2]) : std::nullopt;
  if (!command) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  switch (handToRunningInstance(command->name)) {
    case HandOver::taken:
      return 0;
    case HandOver::passed:
      return performDesktopAction(*command) ? 0 : 1;
    case HandOver::noInstance:
      break;
  }
  const int restore = startRestore();
  const bool acted = performDesktopAction(*command);
  if (restore > 0) {
    waitpid(restore, nullptr, 0);
  }
  return acted ? 0 : 1;
}

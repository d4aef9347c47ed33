#include "mpris/ExecLine.h"

namespace tonvara::mpris {

namespace {

// Characters with a meaning to a shell: outside quotes they make the line unusable without one.
constexpr std::string_view kReserved = "'\\><~|&;$*?#()`\n";
// Inside quotes these are written with a backslash before them.
constexpr std::string_view kQuotedEscapes = "\"`$\\";
constexpr std::string_view kDeprecatedCodes = "dDnNvm";
constexpr std::string_view kFileCodes = "fFuU";

bool isSeparator(char c) { return c == ' ' || c == '\t'; }

// One word being built, and whether it exists even if empty ("" or an expanded %c).
struct Word {
  std::string text;
  bool present = false;
};

}  // namespace

std::optional<std::vector<std::string>> parseExecLine(std::string_view exec,
                                                      const ExecFields& fields) {
  std::vector<std::string> arguments;
  Word word;
  bool iconWord = false;  // the current word is exactly "%i" so far

  const auto finishWord = [&] {
    if (iconWord && word.text.empty()) {
      // A standalone %i becomes "--icon ICON", or nothing without an icon.
      if (!fields.icon.empty()) {
        arguments.emplace_back("--icon");
        arguments.push_back(fields.icon);
      }
    } else if (word.present) {
      arguments.push_back(word.text);
    }
    word = Word{};
    iconWord = false;
  };

  std::size_t i = 0;
  bool wordStarted = false;
  while (i < exec.size()) {
    const char c = exec[i];
    if (isSeparator(c)) {
      if (wordStarted) {
        finishWord();
        wordStarted = false;
      }
      ++i;
      continue;
    }
    const bool firstCharOfWord = !wordStarted;
    wordStarted = true;
    if (c == '"') {
      iconWord = false;
      word.present = true;
      ++i;
      bool closed = false;
      while (i < exec.size()) {
        const char q = exec[i];
        if (q == '"') {
          closed = true;
          ++i;
          break;
        }
        if (q == '\\') {
          if (i + 1 >= exec.size() || kQuotedEscapes.find(exec[i + 1]) == std::string_view::npos) {
            return std::nullopt;
          }
          word.text += exec[i + 1];
          i += 2;
          continue;
        }
        if (q == '`' || q == '$') {
          return std::nullopt;
        }
        word.text += q;
        ++i;
      }
      if (!closed) {
        return std::nullopt;
      }
      continue;
    }
    if (c == '%') {
      if (i + 1 >= exec.size()) {
        return std::nullopt;
      }
      const char code = exec[i + 1];
      i += 2;
      const bool endsWord = i >= exec.size() || isSeparator(exec[i]);
      if (code == '%') {
        word.text += '%';
        word.present = true;
        iconWord = false;
      } else if (code == 'i') {
        // Only a word that is exactly %i expands; elsewhere the code is dropped.
        iconWord = firstCharOfWord && endsWord;
      } else if (code == 'c') {
        word.text += fields.name;
        word.present = true;
        iconWord = false;
      } else if (code == 'k') {
        word.text += fields.entryPath;
        word.present = true;
        iconWord = false;
      } else if (kFileCodes.find(code) != std::string_view::npos ||
                 kDeprecatedCodes.find(code) != std::string_view::npos) {
        // No files are passed: the code vanishes, and with it a word made of nothing else.
        iconWord = false;
      } else {
        return std::nullopt;
      }
      continue;
    }
    if (kReserved.find(c) != std::string_view::npos) {
      return std::nullopt;
    }
    word.text += c;
    word.present = true;
    iconWord = false;
    ++i;
  }
  if (wordStarted) {
    finishWord();
  }

  if (arguments.empty() || arguments.front().empty() ||
      arguments.front().find('=') != std::string::npos) {
    return std::nullopt;
  }
  return arguments;
}

}  // namespace tonvara::mpris

#include "mpris/KeyFile.h"

#include <fstream>
#include <sstream>

namespace tonvara::mpris {

namespace {

std::string_view trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) {
    return {};
  }
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

}  // namespace

KeyFile KeyFile::parse(std::string_view text) {
  KeyFile file;
  Group* current = nullptr;
  std::size_t start = 0;
  while (start <= text.size()) {
    auto end = text.find('\n', start);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    const std::string_view line = trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line.front() == '#') {
      continue;
    }
    if (line.front() == '[') {
      if (line.back() != ']') {
        current = nullptr;
        continue;
      }
      const std::string name(line.substr(1, line.size() - 2));
      if (file.firstGroup_.empty() && file.groups_.empty()) {
        file.firstGroup_ = name;
      }
      // A repeated group continues the first one; its repeated keys are ignored below.
      current = &file.groups_[name];
      continue;
    }
    const auto equals = line.find('=');
    if (current == nullptr || equals == std::string_view::npos) {
      continue;
    }
    const std::string key(trim(line.substr(0, equals)));
    if (key.empty() || key.find('[') != std::string::npos) {
      continue;
    }
    if (current->values.emplace(key, std::string(trim(line.substr(equals + 1)))).second) {
      current->order.push_back(key);
    }
  }
  return file;
}

std::optional<KeyFile> KeyFile::load(const std::string& path) {
  const auto text = readTextFile(path);
  if (!text) {
    return std::nullopt;
  }
  return parse(*text);
}

std::optional<std::string> readTextFile(const std::string& path) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) {
    return std::nullopt;
  }
  std::ostringstream contents;
  contents << stream.rdbuf();
  if (stream.bad()) {
    return std::nullopt;
  }
  return contents.str();
}

bool KeyFile::hasGroup(const std::string& group) const { return groups_.count(group) != 0; }

std::optional<std::string> KeyFile::raw(const std::string& group, const std::string& key) const {
  const auto g = groups_.find(group);
  if (g == groups_.end()) {
    return std::nullopt;
  }
  const auto v = g->second.values.find(key);
  if (v == g->second.values.end()) {
    return std::nullopt;
  }
  return v->second;
}

std::optional<std::string> KeyFile::string(const std::string& group, const std::string& key) const {
  auto value = raw(group, key);
  if (!value) {
    return std::nullopt;
  }
  return unescape(*value);
}

std::optional<bool> KeyFile::boolean(const std::string& group, const std::string& key) const {
  const auto value = raw(group, key);
  if (value == "true") {
    return true;
  }
  if (value == "false") {
    return false;
  }
  return std::nullopt;
}

std::vector<std::string> KeyFile::list(const std::string& group, const std::string& key) const {
  const auto value = raw(group, key);
  return value ? splitList(*value) : std::vector<std::string>{};
}

std::vector<std::string> KeyFile::keys(const std::string& group) const {
  const auto g = groups_.find(group);
  return g == groups_.end() ? std::vector<std::string>{} : g->second.order;
}

std::string KeyFile::unescape(std::string_view raw) {
  std::string result;
  result.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\' || i + 1 == raw.size()) {
      result += raw[i];
      continue;
    }
    const char next = raw[++i];
    switch (next) {
      case 's':
        result += ' ';
        break;
      case 'n':
        result += '\n';
        break;
      case 't':
        result += '\t';
        break;
      case 'r':
        result += '\r';
        break;
      case '\\':
        result += '\\';
        break;
      default:
        // Not a string escape: left for the next layer (an Exec line's quoting, a list's "\;").
        result += '\\';
        result += next;
        break;
    }
  }
  return result;
}

std::vector<std::string> KeyFile::splitList(std::string_view raw) {
  std::vector<std::string> items;
  std::string current;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size()) {
      // "\;" is a semicolon inside an item; other escapes are left to unescape().
      if (raw[i + 1] != ';') {
        current += '\\';
      }
      current += raw[++i];
    } else if (raw[i] == ';') {
      if (!current.empty()) {
        items.push_back(unescape(current));
      }
      current.clear();
    } else {
      current += raw[i];
    }
  }
  if (!current.empty()) {
    items.push_back(unescape(current));
  }
  return items;
}

}  // namespace tonvara::mpris

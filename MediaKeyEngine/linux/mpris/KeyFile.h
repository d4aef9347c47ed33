#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tonvara::mpris {

// The key-file format shared by desktop entries and mimeapps.list: groups of key=value lines.
// Localized keys ("Name[de]") are skipped; of repeated keys the first one counts.
class KeyFile {
 public:
  static KeyFile parse(std::string_view text);
  static std::optional<KeyFile> load(const std::string& path);

  bool hasGroup(const std::string& group) const;
  // The raw value, before any escapes are resolved.
  std::optional<std::string> raw(const std::string& group, const std::string& key) const;
  // A string value with its escapes (\s \n \t \r \\) resolved.
  std::optional<std::string> string(const std::string& group, const std::string& key) const;
  // A boolean value; anything other than "true" or "false" counts as absent.
  std::optional<bool> boolean(const std::string& group, const std::string& key) const;
  // A semicolon-separated list; "\;" stands for a semicolon inside an item.
  std::vector<std::string> list(const std::string& group, const std::string& key) const;
  // The keys of a group, in file order.
  std::vector<std::string> keys(const std::string& group) const;
  // The first group of the file, or empty.
  const std::string& firstGroup() const { return firstGroup_; }

  static std::string unescape(std::string_view raw);
  static std::vector<std::string> splitList(std::string_view raw);

 private:
  struct Group {
    std::vector<std::string> order;
    std::map<std::string, std::string> values;
  };
  std::map<std::string, Group> groups_;
  std::string firstGroup_;
};

// A whole file's contents, or nothing when it cannot be read.
std::optional<std::string> readTextFile(const std::string& path);

}  // namespace tonvara::mpris

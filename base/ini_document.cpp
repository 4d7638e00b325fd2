#include "base/ini_document.h"

#include <stdexcept>

#include "base/int_text.h"

namespace kamolt {
namespace {

std::string_view Trim(std::string_view s) {
  const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view Unquote(std::string_view s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  return s;
}

}  // namespace

IniDocument::IniDocument(std::string_view text) {
  while (!text.empty()) {
    auto end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines_.push_back(Classify(std::string(line)));
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
  }
}

IniDocument::Line IniDocument::Classify(std::string text) {
  Line line;
  line.text = std::move(text);
  const std::string_view trimmed = Trim(line.text);
  if (trimmed.size() >= 2 && trimmed.front() == '[') {
    const auto close = trimmed.find(']');
    if (close != std::string_view::npos) {
      line.isHeader = true;
      line.section = std::string(Trim(trimmed.substr(1, close - 1)));
      return line;
    }
  }
  if (!trimmed.empty() && trimmed.front() != ';') {
    const auto equals = trimmed.find('=');
    if (equals != std::string_view::npos) {
      line.isKey = true;
      line.key = std::string(Trim(trimmed.substr(0, equals)));
    }
  }
  return line;
}

std::optional<std::size_t> IniDocument::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].isHeader && EqualsIgnoringAsciiCase(lines_[i].section, section)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
  const auto header = FindSection(section);
  if (!header) return std::nullopt;
  for (std::size_t i = *header + 1; i < lines_.size() && !lines_[i].isHeader; ++i) {
    if (lines_[i].isKey && EqualsIgnoringAsciiCase(lines_[i].key, key)) {
      const std::string_view text = lines_[i].text;
      return std::string(Unquote(Trim(text.substr(text.find('=') + 1))));
    }
  }
  return std::nullopt;
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (value.find_first_of("\r\n") != std::string_view::npos ||
      key.find_first_of("\r\n=") != std::string_view::npos) {
    throw std::invalid_argument("settings values cannot span lines");
  }
  Line entry = Classify(std::string(key) + "=" + std::string(value));

  const auto header = FindSection(section);
  if (!header) {
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back(Classify(""));
    lines_.push_back(Classify("[" + std::string(section) + "]"));
    lines_.push_back(std::move(entry));
    return;
  }
  std::size_t insertAt = *header + 1;
  for (std::size_t i = *header + 1; i < lines_.size() && !lines_[i].isHeader; ++i) {
    if (lines_[i].isKey && EqualsIgnoringAsciiCase(lines_[i].key, key)) {
      lines_[i] = std::move(entry);
      return;
    }
    if (!Trim(lines_[i].text).empty()) insertAt = i + 1;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(entry));
}

std::string IniDocument::Text() const {
  std::string text;
  for (const Line& line : lines_) {
    text += line.text;
    text += "\r\n";
  }
  return text;
}

}  // namespace kamolt

#include "host/hand_session.h"

#include <charconv>
#include <optional>

namespace scribly {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && (isBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Splits a line into words; a word in double quotes may hold blanks.
class Words {
 public:
  explicit Words(std::string_view line) : rest_(line) {}

  // The next word; nullopt at the end, or (with `error` set) on a bad quote.
  std::optional<std::string_view> next() {
    rest_ = trimmed(rest_);
    if (rest_.empty()) return std::nullopt;
    if (rest_.front() == '"') {
      const size_t close = rest_.find('"', 1);
      if (close == std::string_view::npos ||
          (close + 1 < rest_.size() && !isBlank(rest_[close + 1]))) {
        error_ = "unclosed or misplaced quote";
        rest_ = {};
        return std::nullopt;
      }
      const std::string_view word = rest_.substr(1, close - 1);
      rest_.remove_prefix(close + 1);
      return word;
    }
    size_t end = 0;
    while (end < rest_.size() && !isBlank(rest_[end])) ++end;
    const std::string_view word = rest_.substr(0, end);
    rest_.remove_prefix(end);
    return word;
  }

  std::string_view rest() const { return trimmed(rest_); }
  const char* error() const { return error_; }

 private:
  std::string_view rest_;
  const char* error_ = nullptr;
};

std::optional<long long> number(std::string_view word, bool hexAllowed) {
  int base = 10;
  if (hexAllowed && word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
    word.remove_prefix(2);
    base = 16;
  }
  if (word.empty() || word.size() > 12) return std::nullopt;
  long long value = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value, base);
  if (ec != std::errc() || end != word.data() + word.size()) return std::nullopt;
  return value;
}

bool isFileStep(HandAction action) {
  return action == HandAction::OpenFile || action == HandAction::SaveFile ||
         action == HandAction::ClipPicture;
}

// The dialog button ids (IDOK, IDCANCEL, IDYES, IDNO) an answer names.
std::optional<uint32_t> dialogButton(std::string_view word) {
  if (word == "ok") return 1;
  if (word == "cancel") return 2;
  if (word == "yes") return 6;
  if (word == "no") return 7;
  return std::nullopt;
}

// Parses one line into `step`, or into `participant` for "as" (then `isStep`
// is false); an error text when the line is neither.
const char* parseStep(std::string_view line, HandStep& step, int& participant, bool& isStep) {
  Words words(line);
  const auto first = words.next();
  if (!first) return "unclosed or misplaced quote";
  const std::string_view verb = *first;
  isStep = verb != "as";
  auto integer = [&](long long low, long long high, bool hex = false) -> std::optional<long long> {
    const auto word = words.next();
    if (!word) return std::nullopt;
    const auto n = number(*word, hex);
    if (!n || *n < low || *n > high) return std::nullopt;
    return n;
  };
  auto coordinate = [&](int& out) {
    const auto n = integer(-kMaxHandCoordinate, kMaxHandCoordinate);
    if (n) out = static_cast<int>(*n);
    return n.has_value();
  };
  auto element = [&]() {
    const auto word = words.next();
    if (!word || word->empty() || word->size() > kMaxHandNameBytes) return false;
    step.element.assign(*word);
    return true;
  };

  if (verb == "as") {
    const auto n = integer(1, kMaxHandParticipants);
    if (!n) return "as: a participant from 1 to 16 is expected";
    participant = static_cast<int>(*n);
  } else if (verb == "click" || verb == "rclick") {
    step.action = verb == "click" ? HandAction::Click : HandAction::RightClick;
    if (!element()) return "an element name is expected";
    if (!words.rest().empty()) {
      if (!coordinate(step.x1) || !coordinate(step.y1)) return "a point X Y is expected";
      step.atCentre = false;
    }
  } else if (verb == "drag") {
    step.action = HandAction::Drag;
    step.atCentre = false;
    if (!element()) return "an element name is expected";
    if (!coordinate(step.x1) || !coordinate(step.y1) || !coordinate(step.x2) ||
        !coordinate(step.y2))
      return "drag: X1 Y1 X2 Y2 are expected";
    step.steps = 10;
    if (!words.rest().empty()) {
      const auto n = integer(1, kMaxHandDragSteps);
      if (!n) return "drag: steps from 1 to 1000 are expected";
      step.steps = static_cast<int>(*n);
    }
  } else if (verb == "key") {
    step.action = HandAction::Key;
    if (!element()) return "an element name is expected";
    const auto n = integer(1, 254, true);
    if (!n) return "key: a virtual key from 1 to 254 is expected";
    step.value = static_cast<uint32_t>(*n);
  } else if (verb == "type" || verb == "clip-text" || verb == "open-file" || verb == "save-file" ||
             verb == "clip-picture") {
    step.action = verb == "type"        ? HandAction::Type
                  : verb == "clip-text" ? HandAction::ClipText
                  : verb == "open-file" ? HandAction::OpenFile
                  : verb == "save-file" ? HandAction::SaveFile
                                        : HandAction::ClipPicture;
    std::string_view text = words.rest();
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
      text = text.substr(1, text.size() - 2);
    const bool file = isFileStep(step.action);
    if (text.empty() || text.size() > (file ? kMaxHandFileBytes : kMaxHandTextBytes))
      return file                              ? "a file of at most 259 bytes is expected"
             : step.action == HandAction::Type ? "type: text is expected"
                                               : "clip-text: text is expected";
    step.text.assign(text);
    return nullptr;
  } else if (verb == "menu") {
    step.action = HandAction::Menu;
    const auto n = integer(0, kMaxHandMenuItem);
    if (!n) return "menu: an item from 0 to 63 is expected";
    step.value = static_cast<uint32_t>(*n);
  } else if (verb == "answer") {
    step.action = HandAction::Answer;
    const auto word = words.next();
    const std::optional<uint32_t> button = word ? dialogButton(*word) : std::nullopt;
    if (!button) return "answer: yes, no, ok or cancel is expected";
    step.value = *button;
  } else if (verb == "wait") {
    step.action = HandAction::Wait;
    const auto n = integer(0, kMaxHandWaitMs);
    if (!n) return "wait: milliseconds from 0 to 60000 are expected";
    step.value = static_cast<uint32_t>(*n);
  } else {
    return "unknown step";
  }
  if (words.error()) return words.error();
  if (!words.rest().empty()) return "unexpected words at the end";
  return nullptr;
}

bool isRelative(std::string_view path) {
  if (path.empty() || path.front() == '/' || path.front() == '\\') return false;
  return !(path.size() >= 2 && path[1] == ':');
}

}  // namespace

void resolveHandFiles(HandSession& session, std::string_view folder, char separator) {
  for (HandStep& step : session.steps) {
    if (!isFileStep(step.action)) continue;
    if (!isRelative(step.text)) continue;
    std::string path(folder);
    if (!path.empty() && path.back() != separator) path += separator;
    path += step.text;
    for (char& c : path)
      if (c == '/' || c == '\\') c = separator;
    step.text = std::move(path);
  }
}

HandSession parseHandSession(std::string_view text) {
  HandSession session;
  if (text.size() > kMaxHandSessionBytes) {
    session.error = "the session is longer than 1 MiB";
    return session;
  }
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  int participant = 1;
  int lineNumber = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view raw = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lineNumber;
    const std::string_view line = trimmed(raw);
    if (line.empty() || line.front() == '#') continue;
    HandStep step;
    step.line = lineNumber;
    bool isStep = true;
    if (const char* error = parseStep(line, step, participant, isStep)) {
      session.steps.clear();
      session.error = "line " + std::to_string(lineNumber) + ": " + error;
      return session;
    }
    step.participant = participant;
    if (isStep) session.steps.push_back(std::move(step));
  }
  return session;
}

}  // namespace scribly

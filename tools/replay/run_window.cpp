#include "run_window.h"

namespace rover::replay {

const std::string* RunWindow::line(std::size_t number) {
  if (readFailure_) throw *readFailure_;
  if (lines_.empty() && first_ == 1) lines_.push_back({record_.text(), 0});  // the header, read already
  // Through the end of the run that holds the line: up to the next run_start.
  const auto last = [this] { return first_ + lines_.size() - 1; };
  while (!atEnd_ && (last() <= number || lines_.back().type != lineType<RunStartLine>())) readOne();
  if (number < first_ || number > last()) return nullptr;
  if (quitFooter_ && number == last()) return nullptr;  // the window's "q" is no input a replay can play
  return &lines_[number - first_].text;
}

void RunWindow::dropBefore(std::size_t number) {
  if (lines_.empty() && first_ == 1) return;
  while (first_ < number && !lines_.empty()) {
    lines_.pop_front();
    ++first_;
  }
}

void RunWindow::readToEnd() {
  while (!atEnd_) readOne();
}

bool RunWindow::readOne() {
  try {
    if (!record_.next()) {
      atEnd_ = true;
      return false;
    }
  } catch (const Failure& failure) {
    readFailure_ = failure;
    atEnd_ = true;
    throw;
  }
  const RecordEntry& entry = record_.entry();
  lines_.push_back({record_.text(), entry.index()});
  if (const auto* recv = std::get_if<RecvLine>(&entry)) {
    inputs_.push_back({recv->eof ? RecordedInput::Kind::EndOfStream : RecordedInput::Kind::Bytes, recv->phase,
                       recv->at.run, recv->at.runTime.millisText(), recv->bytes.value_or("")});
  } else if (const auto* late = std::get_if<LateLine>(&entry)) {
    inputs_.push_back(
        {RecordedInput::Kind::Late, InputPhase::Wait, late->at.run, late->at.runTime.millisText(), ""});
  } else if (const auto* footer = std::get_if<FooterLine>(&entry)) {
    quitFooter_ = footer->status == GameEnding::Status::Quit;
    if (footer->failure) {
      // The reader checked the kind's name.
      const Failure raised(*kindFromName(footer->failure->kind), footer->message.value_or(std::nullopt),
                           footer->failure->code);
      if (footer->failure->duringReceive) {
        failures_.receive = raised;
      } else if (raised.kind() == FailureKind::SysErr) {
        failures_.send = raised;
        failures_.messagesBeforeSend = footer->messages;
      }
    }
  }
  return true;
}

}  // namespace rover::replay

#include "base/failure_kind.h"

namespace rover {

const char* kindName(FailureKind kind) {
  switch (kind) {
    case FailureKind::Fail:
      return "Fail";
    case FailureKind::Io:
      return "Io";
    case FailureKind::Option:
      return "Option";
    case FailureKind::Overflow:
      return "Overflow";
    case FailureKind::Subscript:
      return "Subscript";
    case FailureKind::Size:
      return "Size";
    case FailureKind::Incomplete:
      return "Incomplete";
    case FailureKind::Match:
      return "Match";
    case FailureKind::Bind:
      return "Bind";
    case FailureKind::Div:
      return "Div";
    case FailureKind::Domain:
      return "Domain";
    case FailureKind::Chr:
      return "Chr";
    case FailureKind::Empty:
      return "Empty";
    case FailureKind::ClosedStream:
      return "ClosedStream";
    case FailureKind::NoMemory:
      return "NoMemory";
    case FailureKind::DieFailed:
      return "DieFailed";
    case FailureKind::SysErr:
      return "SysErr";
    case FailureKind::Usage:
      return "Usage";
  }
  return "Fail";
}

std::optional<FailureKind> kindFromName(std::string_view name) {
  for (int i = 0; i <= static_cast<int>(FailureKind::Usage); ++i) {
    const auto kind = static_cast<FailureKind>(i);
    if (name == kindName(kind)) return kind;
  }
  return std::nullopt;
}

}  // namespace rover

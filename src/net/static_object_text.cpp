#include "net/static_object_text.h"

#include "base/failure.h"
#include "net/wire_format.h"

namespace rover {
namespace {

char letterOf(ObjectKind kind) {
  switch (kind) {
    case ObjectKind::Boulder:
      return 'b';
    case ObjectKind::Crater:
      return 'c';
    case ObjectKind::Home:
      return 'h';
    case ObjectKind::MartianObj:
      break;
  }
  raiseFail("a Martian is no static object");
}

}  // namespace

StaticObjectText::StaticObjectText(const StaticObjects& statics) : statics_(&statics) {
  starts_.reserve(statics.size() + 1);
  for (std::size_t k = 0; k < statics.size(); ++k) {
    const WorldObject& object = statics[k];
    starts_.push_back(text_.size());
    text_ += letterOf(object.kind);
    text_ += ' ';
    appendReal(text_, object.circle.center.x, 3);
    appendReal(text_, object.circle.center.y, 3);
    appendReal(text_, object.circle.radius, 3);
  }
  starts_.push_back(text_.size());
}

}  // namespace rover

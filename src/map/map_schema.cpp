#include "map/map_schema.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/failure.h"
#include "map/number_conversion.h"

namespace rover {

namespace {

using Members = JsonValue::Members;
using Elements = JsonValue::Elements;

// Each check raises at the place of the value it rejects (a missing key at
// the object that lacks it), with a description for the map's author.
class SchemaChecker {
 public:
  Members object(const JsonValue& value, std::string_view what) {
    if (value.kind() != JsonValue::Kind::Object) wrongKind(value, what, "an object");
    return value.members();
  }

  Elements array(const JsonValue& value, std::string_view what) {
    if (value.kind() != JsonValue::Kind::Array) wrongKind(value, what, "an array");
    return value.elements();
  }

  // The member `key` of `owner`, which is known to be an object.
  const JsonValue& field(const JsonValue& owner, std::string_view key) {
    return lookupField(owner.members(), key, owner.position());
  }

  double number(const JsonValue& owner, std::string_view key) {
    const JsonValue& value = field(owner, key);
    if (value.kind() == JsonValue::Kind::Int) {
      // Converting a 64-bit integer rounds to nearest, ties to even, as nearestDouble does.
      if (std::optional<std::int64_t> small = value.integer64()) return static_cast<double>(*small);
      return nearestDouble(value.integer());
    }
    if (value.kind() == JsonValue::Kind::Real) return value.real();
    wrongKind(value, quoted(key), "a number");
  }

  mpz_class integer(const JsonValue& owner, std::string_view key) {
    const JsonValue& value = field(owner, key);
    if (value.kind() != JsonValue::Kind::Int) wrongKind(value, quoted(key), "an integer");
    return value.integer();
  }

  // The object that is the member `key` of `owner`.
  const JsonValue& objectField(const JsonValue& owner, std::string_view key) {
    const JsonValue& value = field(owner, key);
    object(value, quoted(key));
    return value;
  }

  Elements arrayField(const JsonValue& owner, std::string_view key) {
    return array(field(owner, key), quoted(key));
  }

  VehicleParams params(const JsonValue& owner, std::string_view key) {
    const JsonValue& p = objectField(owner, key);
    VehicleParams result;
    result.maxSpeed = number(p, "maxSpeed");
    result.accel = number(p, "accel");
    result.brake = number(p, "brake");
    result.turn = number(p, "turn");
    result.hardTurn = number(p, "hardTurn");
    result.rotAccel = number(p, "rotAccel");
    result.frontView = number(p, "frontView");
    result.rearView = number(p, "rearView");
    return result;
  }

  void circles(const JsonValue& owner, std::string_view key, ObjectKind kind, std::vector<WorldObject>& out) {
    std::string entryName = "an entry of ";
    entryName += quoted(key);
    const Elements entries = arrayField(owner, key);
    // Room for all at once, but only for a list that can fill it.
    if (std::all_of(entries.begin(), entries.end(),
                    [](const JsonValue& entry) { return entry.kind() == JsonValue::Kind::Object; })) {
      out.reserve(out.size() + entries.size());
    }
    for (const JsonValue& entry : entries) {
      object(entry, entryName);
      WorldObject circle;
      circle.kind = kind;
      circle.id = static_cast<int>(out.size());  // its place in the static list
      circle.circle.center.x = number(entry, "x");
      circle.circle.center.y = number(entry, "y");
      circle.circle.radius = number(entry, "r");
      out.push_back(circle);
    }
  }

  RunSpec run(const JsonValue& entry) {
    object(entry, "an entry of \"runs\"");
    const JsonValue& vehicle = objectField(entry, "vehicle");
    RunSpec result;
    double x = number(vehicle, "x");
    double y = number(vehicle, "y");
    double dir = number(vehicle, "dir");
    result.startState = startMotionState(x, y, dir, 0.0);
    int index = 0;
    for (const JsonValue& enemy : arrayField(entry, "enemies")) {
      object(enemy, "an entry of \"enemies\"");
      MartianSpec martian;
      double ex = number(enemy, "x");
      double ey = number(enemy, "y");
      double edir = number(enemy, "dir");
      double speed = number(enemy, "speed");
      martian.view = number(enemy, "view");
      martian.index = index++;
      martian.startState = startMotionState(ex, ey, edir, speed);
      result.enemies.push_back(martian);
    }
    return result;
  }

  [[noreturn]] void empty(const JsonValue& value, std::string_view what) {
    std::string detail(what);
    detail += ": must not be empty";
    throw Failure(FailureKind::Empty).at(value.position()).because(std::move(detail));
  }

 private:
  static std::string quoted(std::string_view key) {
    std::string text;
    text.reserve(key.size() + 2);
    text += '"';
    text += key;
    text += '"';
    return text;
  }

  [[noreturn]] void wrongKind(const JsonValue& value, std::string_view what, std::string_view expected) {
    std::string detail(what);
    detail += ": expected ";
    detail += expected;
    throw Failure(FailureKind::Fail).at(value.position()).because(std::move(detail));
  }
};

}  // namespace

MapSpec buildMapSpec(const JsonValue& document) {
  SchemaChecker check;
  check.object(document, "the map");
  MapSpec map;
  map.halfSize = check.number(document, "size") * 0.5;
  map.timeLimitMillis = check.integer(document, "timeLimit");
  map.vehicleParams = check.params(document, "vehicleParams");
  map.martianParams = check.params(document, "martianParams");
  map.objects.push_back(homeObject());
  check.circles(document, "craters", ObjectKind::Crater, map.objects);
  check.circles(document, "boulders", ObjectKind::Boulder, map.objects);
  const JsonValue& runs = check.field(document, "runs");
  for (const JsonValue& entry : check.array(runs, "\"runs\"")) map.runs.push_back(check.run(entry));
  if (map.runs.empty()) check.empty(runs, "\"runs\"");
  return map;
}

}  // namespace rover

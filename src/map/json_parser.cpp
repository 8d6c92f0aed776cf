#include "map/json_parser.h"

#include <utility>
#include <vector>

#include "base/failure.h"
#include "map/json_lexer.h"

namespace rover {

namespace {

// The parser keeps its own stack of open containers instead of recursing.
// Each container is built in place inside its parent; the parent's storage
// does not move while a child is open, because the parent only grows after
// the child is closed.
class Parser {
 public:
  explicit Parser(ByteSource& source) : lexer_(source) {}

  JsonValue run() {
    JsonValue root;
    JsonValue* slot = &root;  // where the next value goes
    for (;;) {
      switch (readValueInto(*slot)) {
        case Opened::Array:
          slot = &open_.back()->elements().emplace_back();
          continue;
        case Opened::Object:
          if (readMemberKey(slot)) continue;
          break;  // closed at once: a complete value
        case Opened::Nothing:
          break;
      }
      slot = afterValue();
      if (slot == nullptr) return root;
    }
  }

 private:
  enum class Opened { Nothing, Array, Object };

  // Reads one value into `target`. Scalars and "[]" are complete at once; a
  // non-empty array or an object is left open on the stack.
  Opened readValueInto(JsonValue& target) {
    Token& token = lexer_.peek();
    SourcePosition at = token.start;
    switch (token.kind) {
      case TokenKind::True:
      case TokenKind::False:
      case TokenKind::Null:
      case TokenKind::String:
        target = JsonValue::makeOther(at);
        lexer_.consume();
        return Opened::Nothing;
      case TokenKind::Integer:
        target = JsonValue::makeInt(std::move(token.integer), at);
        lexer_.consume();
        return Opened::Nothing;
      case TokenKind::Real:
        target = JsonValue::makeReal(token.real, at);
        lexer_.consume();
        return Opened::Nothing;
      case TokenKind::LeftBracket:
        lexer_.consume();
        target = JsonValue::makeArray(at);
        // An array closed at once is never pushed, but it is a level all the same.
        checkDepth(at);
        if (lexer_.peek().kind == TokenKind::RightBracket) {
          lexer_.consume();
          return Opened::Nothing;
        }
        push(target, at);
        return Opened::Array;
      case TokenKind::LeftBrace:
        lexer_.consume();
        target = JsonValue::makeObject(at);
        push(target, at);
        return Opened::Object;
      default:
        raiseFail("error parsing value", at);
    }
  }

  // With an object on top of the stack: reads "key :" and returns true with
  // `slot` set to the new member's value, or closes the object and returns false.
  bool readMemberKey(JsonValue*& slot) {
    Token& token = lexer_.peek();
    if (token.kind == TokenKind::String) {
      std::string key = std::move(token.text);
      lexer_.consume();
      const Token& colon = lexer_.peek();
      if (colon.kind != TokenKind::Colon) raiseFail("error parsing field", colon.start);
      lexer_.consume();
      slot = &open_.back()->members().emplace_back(JsonValue::Member{std::move(key), JsonValue()}).value;
      return true;
    }
    // "}" closes the object; any other token also ends it but stays unread
    // for whoever reads next.
    if (token.kind == TokenKind::RightBrace) lexer_.consume();
    open_.pop_back();
    slot = nullptr;
    return false;
  }

  // After a complete value: continues the innermost open container, closing
  // those that end here. Returns the slot for the next value, or nullptr when
  // the top-level value is complete.
  JsonValue* afterValue() {
    while (!open_.empty()) {
      JsonValue& top = *open_.back();
      Token& token = lexer_.peek();
      if (top.kind() == JsonValue::Kind::Array) {
        if (token.kind == TokenKind::Comma) {
          lexer_.consume();
          return &top.elements().emplace_back();
        }
        if (token.kind != TokenKind::RightBracket) raiseFail("error parsing array", token.start);
        lexer_.consume();
        open_.pop_back();
        continue;
      }
      if (token.kind == TokenKind::Comma) {
        lexer_.consume();
        JsonValue* slot = nullptr;
        if (readMemberKey(slot)) return slot;
        continue;
      }
      if (token.kind != TokenKind::RightBrace) raiseFail("error parsing object", token.start);
      lexer_.consume();
      open_.pop_back();
    }
    return nullptr;
  }

  void checkDepth(SourcePosition at) const {
    if (open_.size() >= kMaxJsonNesting) raiseFail("nesting too deep", at);
  }

  void push(JsonValue& container, SourcePosition at) {
    checkDepth(at);
    open_.push_back(&container);
  }

  JsonLexer lexer_;
  std::vector<JsonValue*> open_;
};

}  // namespace

JsonValue parseJson(ByteSource& source) {
  return Parser(source).run();
}

}  // namespace rover

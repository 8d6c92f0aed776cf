#include "map/json_parser.h"

#include <utility>
#include <vector>

#include "base/failure.h"
#include "map/json_lexer.h"

namespace rover {

namespace {

// The parser keeps its own stack of open containers instead of recursing.
// The children of open containers wait on two scratch stacks, reused for the
// whole file; when a container closes, its children move into one array of
// exactly their number, so a container costs one allocation of its own size.
class Parser {
 public:
  Parser(ByteSource& source, ReadPath path) : lexer_(source, path) {}

  JsonValue run() {
    for (;;) {
      JsonValue value;
      if (!readValue(value)) {
        // A container opened: an array waits for its first element; an
        // object reads its first key, or is complete at once.
        if (open_.back().isArray || readMemberKey()) continue;
        value = closeInnermost();
      }
      // `value` is complete: hand it to its container, then continue that
      // container or close it, until a value is needed or the top level is done.
      for (;;) {
        if (open_.empty()) return value;
        deliver(std::move(value));
        const Open& top = open_.back();
        const Token& token = lexer_.peek();
        if (top.isArray) {
          if (token.kind == TokenKind::Comma) {
            lexer_.consume();
            break;
          }
          if (token.kind != TokenKind::RightBracket) raiseFail("error parsing array", token.start);
          lexer_.consume();
        } else if (token.kind == TokenKind::Comma) {
          lexer_.consume();
          if (readMemberKey()) break;
        } else {
          if (token.kind != TokenKind::RightBrace) raiseFail("error parsing object", token.start);
          lexer_.consume();
        }
        value = closeInnermost();
      }
    }
  }

 private:
  struct Open {
    bool isArray;
    SourcePosition at;
    std::size_t firstChild;  // index of its first child on its scratch stack
  };

  // Reads one value. Scalars and "[]" are complete at once (true); a
  // non-empty array or an object is left open (false).
  bool readValue(JsonValue& value) {
    Token& token = lexer_.peek();
    SourcePosition at = token.start;
    switch (token.kind) {
      case TokenKind::True:
      case TokenKind::False:
      case TokenKind::Null:
      case TokenKind::String:
        value = JsonValue::makeOther(at);
        lexer_.consume();
        return true;
      case TokenKind::Integer:
        value = JsonValue::makeInt(token.integer, at);
        lexer_.consume();
        return true;
      case TokenKind::Real:
        value = JsonValue::makeReal(token.real, at);
        lexer_.consume();
        return true;
      case TokenKind::LeftBracket:
        lexer_.consume();
        // An array closed at once is never opened, but it is a level all the same.
        checkDepth(at);
        if (lexer_.peek().kind == TokenKind::RightBracket) {
          lexer_.consume();
          value = JsonValue::makeArray({}, at);
          return true;
        }
        open(true, at);
        return false;
      case TokenKind::LeftBrace:
        lexer_.consume();
        open(false, at);
        return false;
      default:
        raiseFail("error parsing value", at);
    }
  }

  // With an object innermost: reads "key :" and returns true, the member
  // then waiting for its value; or returns false when the object ends here.
  bool readMemberKey() {
    Token& token = lexer_.peek();
    if (token.kind == TokenKind::String) {
      // The member waits with its key from here on, so the key is copied once.
      members_.push_back({std::move(token.text), JsonValue()});
      lexer_.consume();
      const Token& colon = lexer_.peek();
      if (colon.kind != TokenKind::Colon) raiseFail("error parsing field", colon.start);
      lexer_.consume();
      return true;
    }
    // "}" closes the object; any other token also ends it but stays unread
    // for whoever reads next.
    if (token.kind == TokenKind::RightBrace) lexer_.consume();
    return false;
  }

  // Gives a complete value to the innermost container: an array's next
  // element, or the value of the object's member whose key was read last.
  void deliver(JsonValue value) {
    if (open_.back().isArray) {
      elements_.push_back(std::move(value));
    } else {
      members_.back().value = std::move(value);
    }
  }

  JsonValue closeInnermost() {
    Open top = open_.back();
    open_.pop_back();
    if (top.isArray) {
      std::span<JsonValue> children(elements_.data() + top.firstChild, elements_.size() - top.firstChild);
      JsonValue array = JsonValue::makeArray(children, top.at);
      elements_.erase(elements_.begin() + static_cast<std::ptrdiff_t>(top.firstChild), elements_.end());
      return array;
    }
    std::span<JsonValue::Member> children(members_.data() + top.firstChild, members_.size() - top.firstChild);
    JsonValue object = JsonValue::makeObject(children, top.at);
    members_.erase(members_.begin() + static_cast<std::ptrdiff_t>(top.firstChild), members_.end());
    return object;
  }

  void checkDepth(SourcePosition at) const {
    if (open_.size() >= kMaxJsonNesting) raiseFail("nesting too deep", at);
  }

  void open(bool isArray, SourcePosition at) {
    checkDepth(at);
    open_.push_back({isArray, at, isArray ? elements_.size() : members_.size()});
  }

  JsonLexer lexer_;
  std::vector<Open> open_;
  std::vector<JsonValue> elements_;
  std::vector<JsonValue::Member> members_;
};

}  // namespace

JsonValue parseJson(ByteSource& source, ReadPath path) {
  return Parser(source, path).run();
}

}  // namespace rover

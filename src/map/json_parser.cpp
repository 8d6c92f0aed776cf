#include "map/json_parser.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "base/failure.h"
#include "map/json_lexer.h"

namespace rover {

namespace {

// The parser keeps its own stack of open containers instead of recursing.
// The children of open containers wait on two scratch stacks, reused for the
// whole file; when a container closes, its children are copied into the
// document's storage as one array of exactly their number.
class Parser {
 public:
  explicit Parser(ByteSource& source) : lexer_(source) {}

  JsonDocument run() {
    document_.setRoot(parseValue());
    return std::move(document_);
  }

 private:
  JsonValue parseValue() {
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
        deliver(value);
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

  struct Open {
    bool isArray;
    SourcePosition at;
    std::size_t firstChild;  // index of its first child on its scratch stack
  };

  // Reads one value. Scalars and "[]" are complete at once (true); a
  // non-empty array or an object is left open (false).
  bool readValue(JsonValue& value) {
    const Token& token = lexer_.peek();
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
        value =
            token.bigInteger ? document_.bigInteger(token.text, at) : JsonValue::makeInt(token.integer, at);
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
    const Token& token = lexer_.peek();
    if (token.kind == TokenKind::String) {
      // The token's text lasts until the next token is read: the key is
      // copied into the document first.
      members_.push_back({document_.key(token.text), JsonValue()});
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
  void deliver(const JsonValue& value) {
    if (open_.back().isArray) {
      elements_.push_back(value);
    } else {
      members_.back().value = value;
    }
  }

  JsonValue closeInnermost() {
    Open top = open_.back();
    open_.pop_back();
    // Unreachable in memory today, but a value could not count more.
    const std::size_t children = (top.isArray ? elements_.size() : members_.size()) - top.firstChild;
    if (children > UINT32_MAX) raiseFail("too many values in one container", top.at);
    if (top.isArray) {
      const JsonValue array = document_.array({elements_.data() + top.firstChild, children}, top.at);
      elements_.resize(top.firstChild);
      return array;
    }
    const JsonValue object = document_.object({members_.data() + top.firstChild, children}, top.at);
    members_.resize(top.firstChild);
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
  JsonDocument document_;
  std::vector<Open> open_;
  std::vector<JsonValue> elements_;
  std::vector<JsonValue::Member> members_;
};

}  // namespace

JsonDocument parseJson(ByteSource& source) {
  return Parser(source).run();
}

}  // namespace rover

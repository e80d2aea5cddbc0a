#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/sources/Ipv4Text.h"

namespace platform::dhcpd {

// The tokens of dhcpd's configuration and lease files (one lexer serves both, as in dhcpd):
// words, strings, and the punctuation that gives statements their shape. A word runs to white
// space or punctuation, so an address ("10.0.0.1"), a hardware address ("00:16:3e:0a:0b:0c") or a
// date ("2024/05/06") is one word, as dhcpd writes them without spaces.
enum class TokenKind : std::uint8_t {
  Word,
  String,
  Semicolon,
  OpenBrace,
  CloseBrace,
  Equals,
  Comma
};

struct Token {
  TokenKind kind = TokenKind::Word;
  std::string_view text;  // words and strings only; valid only while the token is being taken
};

// The longest word or string taken. dhcpd's own lexer stops at 1500 bytes; a longer token is no
// file dhcpd reads.
inline constexpr std::size_t kLongestToken = 64 * 1024;

// Splits bytes into tokens that are handed on one by one, chunk after chunk: a token that one
// chunk leaves unfinished is finished by the next, so a file is read in pieces of any size.
// Strings take dhcpd's escapes (\t \r \n \b, \ooo of up to three octal digits, \xHH of up to two
// hex digits, and a backslash before any other byte gives that byte, as in \" and \\); `#` starts
// a comment to the end of the line, outside strings. NUL bytes count as white space: a file cut
// short by a crash may end in a run of them.
class DhcpdLexer {
 public:
  // Hands each token of the chunk to `take` (a callable bool(const Token&)). False when a token
  // is longer than kLongestToken or `take` returned false; the lexer is then of no further use.
  template <typename Take>
  bool Feed(std::string_view chunk, Take&& take);

  // The words and `=`, `,` of the current statement are of no interest: they are passed over
  // without being made tokens, up to its `;`, `{` or `}` (strings are still tokens, since they
  // may hold those bytes). Called while a token is taken; it saves most of the work on the many
  // statements that a reader only skips.
  void SkipWordsOfStatement() { skipWords_ = true; }

  // Whether the input so far ends inside a string (whose token Finish then drops).
  bool InsideString() const {
    return state_ == State::String || state_ == State::Escape || state_ == State::Octal ||
           state_ == State::Hex;
  }

  // The end of the input: a word that reached it ends there and is taken. False when `take`
  // returned false.
  template <typename Take>
  bool Finish(Take&& take);

 private:
  enum class State : std::uint8_t { Between, Word, String, Escape, Octal, Hex, Comment };

  static constexpr std::uint8_t kBlank = 1;
  static constexpr std::uint8_t kPunctuation = 2;  // ; { } = , " #
  static constexpr std::uint8_t kStop = 4;         // ; { } " #: what ends a skip of words
  static constexpr std::array<std::uint8_t, 256> kClasses = [] {
    std::array<std::uint8_t, 256> classes{};
    for (unsigned char c : std::string_view(" \t\n\r\f\v\0", 7)) {
      classes[c] = kBlank;
    }
    for (unsigned char c : std::string_view(";{}=,\"#")) {
      classes[c] = kPunctuation;
    }
    for (unsigned char c : std::string_view(";{}\"#")) {
      classes[c] |= kStop;
    }
    return classes;
  }();

  static bool EndsWord(char c) { return kClasses[static_cast<unsigned char>(c)] != 0; }

  bool AppendPending(std::string_view bytes);
  // Hands on the token that ends with `piece`, after what earlier chunks left pending of it.
  template <typename Take>
  bool TakeFinished(TokenKind kind, std::string_view piece, Take& take);
  // Takes an escape's byte and leaves the escape.
  bool AppendEscaped(unsigned value);
  // What the current byte of an escape does; true when it was used up.
  bool StepEscape(char c, bool& failed);

  State state_ = State::Between;
  bool skipWords_ = false;
  std::string pending_;  // the unfinished token's bytes
  unsigned escapeValue_ = 0;
  int escapeDigits_ = 0;
};

template <typename Take>
bool DhcpdLexer::TakeFinished(TokenKind kind, std::string_view piece, Take& take) {
  Token token{kind, piece};
  if (!pending_.empty()) {
    if (!AppendPending(piece)) {
      return false;
    }
    token.text = pending_;
  }
  if (token.text.size() > kLongestToken || !take(token)) {
    return false;
  }
  pending_.clear();
  return true;
}

inline bool DhcpdLexer::AppendPending(std::string_view bytes) {
  if (pending_.size() + bytes.size() > kLongestToken) {
    return false;
  }
  pending_.append(bytes);
  return true;
}

inline bool DhcpdLexer::AppendEscaped(unsigned value) {
  state_ = State::String;
  char byte = static_cast<char>(value & 0xFF);
  return AppendPending(std::string_view(&byte, 1));
}

inline bool DhcpdLexer::StepEscape(char c, bool& failed) {
  if (state_ == State::Escape) {
    if (c >= '0' && c <= '7') {
      state_ = State::Octal;
      escapeValue_ = static_cast<unsigned>(c - '0');
      escapeDigits_ = 1;
      return true;
    }
    if (c == 'x') {
      state_ = State::Hex;
      escapeValue_ = 0;
      escapeDigits_ = 0;
      return true;
    }
    char byte = c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c == 'b' ? '\b' : c;
    failed = !AppendEscaped(static_cast<unsigned char>(byte));
    return true;
  }
  if (state_ == State::Octal && c >= '0' && c <= '7') {
    escapeValue_ = escapeValue_ * 8 + static_cast<unsigned>(c - '0');
    if (++escapeDigits_ == 3) {
      failed = !AppendEscaped(escapeValue_);
    }
    return true;
  }
  if (state_ == State::Hex && sources::HexValue(c) >= 0) {
    escapeValue_ = escapeValue_ * 16 + static_cast<unsigned>(sources::HexValue(c));
    if (++escapeDigits_ == 2) {
      failed = !AppendEscaped(escapeValue_);
    }
    return true;
  }
  // A shorter number ends at the first byte that is not one of its digits ("\x" alone is 0).
  failed = !AppendEscaped(escapeValue_);
  return false;
}

template <typename Take>
bool DhcpdLexer::Feed(std::string_view chunk, Take&& take) {
  const char* at = chunk.data();
  const char* const end = at + chunk.size();
  while (at < end) {
    switch (state_) {
      case State::Between: {
        if (skipWords_) {
          while (at < end && (kClasses[static_cast<unsigned char>(*at)] & kStop) == 0) {
            ++at;
          }
        } else {
          while (at < end && kClasses[static_cast<unsigned char>(*at)] == kBlank) {
            ++at;
          }
        }
        if (at == end) {
          return true;
        }
        char c = *at;
        std::uint8_t kind = kClasses[static_cast<unsigned char>(c)];
        if (kind == 0) {
          state_ = State::Word;
          break;
        }
        ++at;
        Token token;
        if (c == ';' || c == '{' || c == '}') {
          skipWords_ = false;
        }
        switch (c) {
          case '"':
            state_ = State::String;
            continue;
          case '#':
            state_ = State::Comment;
            continue;
          case ';':
            token.kind = TokenKind::Semicolon;
            break;
          case '{':
            token.kind = TokenKind::OpenBrace;
            break;
          case '}':
            token.kind = TokenKind::CloseBrace;
            break;
          case '=':
            token.kind = TokenKind::Equals;
            break;
          default:
            token.kind = TokenKind::Comma;
            break;
        }
        if (!take(token)) {
          return false;
        }
        break;
      }
      case State::Word: {
        const char* start = at;
        while (at < end && !EndsWord(*at)) {
          ++at;
        }
        std::string_view piece(start, static_cast<std::size_t>(at - start));
        if (at == end) {
          return AppendPending(piece);
        }
        state_ = State::Between;
        if (!TakeFinished(TokenKind::Word, piece, take)) {
          return false;
        }
        break;
      }
      case State::String: {
        const char* start = at;
        while (at < end && *at != '"' && *at != '\\') {
          ++at;
        }
        std::string_view piece(start, static_cast<std::size_t>(at - start));
        if (at == end) {
          return AppendPending(piece);
        }
        if (*at == '\\') {
          ++at;
          state_ = State::Escape;
          if (!AppendPending(piece)) {
            return false;
          }
          break;
        }
        ++at;
        state_ = State::Between;
        if (!TakeFinished(TokenKind::String, piece, take)) {
          return false;
        }
        break;
      }
      case State::Escape:
      case State::Octal:
      case State::Hex: {
        bool failed = false;
        if (StepEscape(*at, failed)) {
          ++at;
        }
        if (failed) {
          return false;
        }
        break;
      }
      case State::Comment: {
        const void* lineEnd =
            std::char_traits<char>::find(at, static_cast<std::size_t>(end - at), '\n');
        if (lineEnd == nullptr) {
          return true;
        }
        at = static_cast<const char*>(lineEnd) + 1;
        state_ = State::Between;
        break;
      }
    }
  }
  return true;
}

template <typename Take>
bool DhcpdLexer::Finish(Take&& take) {
  State state = state_;
  state_ = State::Between;
  if (state == State::Word) {
    bool taken = take(Token{TokenKind::Word, pending_});
    pending_.clear();
    return taken;
  }
  pending_.clear();
  return true;
}

}  // namespace platform::dhcpd

#pragma once

#include <string>

namespace rover {

// The map file's bytes, read in a separate pass after the map has loaded so
// that the loader's own reading, and its failures, stay as they are.
struct MapBytes {
  std::string bytes;
  std::string sha256;  // lower-case hex
};

// Reads the whole file; raises "Io" (with the system's text) when it cannot.
MapBytes readMapBytes(const std::string& path);
// The whole file; "Io" with `openFailure` and the system's text when it
// cannot be opened, "read error" when a read fails.
std::string readFileBytes(const std::string& path, const std::string& openFailure = "");

// SHA-256 (OpenSSL's libcrypto) as lower-case hex.
std::string sha256Hex(const std::string& bytes);
// Standard base64 with padding (OpenSSL's encoder).
std::string base64(const std::string& bytes);
// The inverse; false for text that is not base64.
bool decodeBase64(const std::string& text, std::string& bytes);

}  // namespace rover

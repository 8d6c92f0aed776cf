#include "record/map_bytes.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "base/failure.h"

namespace rover {

std::string readFileBytes(const std::string& path, const std::string& openFailure) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Failure(FailureKind::Io).because(openFailure + std::strerror(errno));
  std::stringstream content;
  content << in.rdbuf();
  if (in.bad()) throw Failure(FailureKind::Io).because("read error");
  return content.str();
}

MapBytes readMapBytes(const std::string& path) {
  MapBytes map;
  map.bytes = readFileBytes(path);
  map.sha256 = sha256Hex(map.bytes);
  return map;
}

std::string sha256Hex(const std::string& bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr) != 1) {
    raiseFail("SHA-256 failed");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < size; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 0xf];
  }
  return hex;
}

std::string base64(const std::string& bytes) {
  std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int written =
      EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                      reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  text.resize(static_cast<std::size_t>(written));
  return text;
}

bool decodeBase64(const std::string& text, std::string& bytes) {
  if (text.size() % 4 != 0) return false;
  bytes.assign(3 * (text.size() / 4) + 1, '\0');
  const int written =
      EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                      reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
  if (written < 0) return false;
  // EVP_DecodeBlock counts the padding as zero bytes; take them off again.
  std::size_t size = static_cast<std::size_t>(written);
  if (!text.empty() && text.back() == '=') --size;
  if (text.size() >= 2 && text[text.size() - 2] == '=') --size;
  bytes.resize(size);
  return true;
}

}  // namespace rover

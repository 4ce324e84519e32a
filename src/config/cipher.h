// Credential cipher: Blowfish over hexadecimal text, with the system key and little-endian
// block halves.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace varnoklis::config {

inline constexpr std::string_view kCipherKey = "QORVENT";

/// Blowfish state: 18 P-array words and four S-boxes of 256 words.
struct BlowfishContext {
  uint32_t p[18];
  uint32_t s[4][256];
};

/// Loads the initial tables and expands `key` (bytes used cyclically; empty reads as zero bytes).
void blowfish_init(BlowfishContext& ctx, std::string_view key);
/// Encrypts one block given as its two 32-bit halves, in place.
void blowfish_encrypt(const BlowfishContext& ctx, uint32_t& left, uint32_t& right);
/// Decrypts one block given as its two 32-bit halves, in place.
void blowfish_decrypt(const BlowfishContext& ctx, uint32_t& left, uint32_t& right);
/// Overwrites the whole context with zeros in a way the compiler may not drop.
void blowfish_wipe(BlowfishContext& ctx);

/// The program's one cipher context; it holds only zeros between calls.
const BlowfishContext& shared_cipher_context();

/// Deciphers upper-case hexadecimal text of whole 8-byte blocks with `key`; value ends at first
/// zero byte. Returns false (and leaves `out` empty) when the text is not whole 16-digit blocks.
bool decipher_with_key(std::string_view hex, std::string_view key, std::string& out);
/// Enciphers plaintext with `key`, zero-padded to whole 8-byte blocks, as upper-case hex text.
std::string encipher_with_key(std::string_view plain, std::string_view key);

/// Deciphers upper-case hexadecimal text of whole 8-byte blocks with the system key; value ends at
/// first zero byte. Returns false (and leaves `out` empty) when the text is not whole 16-digit
/// blocks.
bool decipher(std::string_view hex, std::string& out);
/// Enciphers plaintext, zero-padded to whole 8-byte blocks, as upper-case hexadecimal text (the
/// operator tool's half).
std::string encipher(std::string_view plain);

}  // namespace varnoklis::config

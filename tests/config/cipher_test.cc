#include "config/cipher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace varnoklis::config {
namespace {

std::string bytes_from_hex(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    bytes.push_back(static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return bytes;
}

uint32_t big_endian_word(std::string_view hex) {
  return static_cast<uint32_t>(std::stoul(std::string(hex), nullptr, 16));
}

// Published vectors load each half with its first byte most significant; the stored values take
// it least significant, so each 4-byte half is reversed to move between the two.
std::string reverse_halves(std::string_view hex) {
  std::string out;
  for (std::size_t half = 0; half < hex.size(); half += 8) {
    for (int byte = 3; byte >= 0; --byte) out += hex.substr(half + 2 * byte, 2);
  }
  return out;
}

struct Vector {
  const char* key;
  const char* plain;
  const char* cipher;
};

// Eric Young's Blowfish test vectors.
constexpr Vector kVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
    {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
    {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
    {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
    {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
    {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
};

const BlowfishContext kZeroContext{};

bool is_zero(const BlowfishContext& ctx) {
  return std::memcmp(&ctx, &kZeroContext, sizeof ctx) == 0;
}

TEST(CipherBlowfish, MatchesPublishedVectorsOnWords) {
  for (const Vector& v : kVectors) {
    SCOPED_TRACE(v.key + std::string(" ") + v.plain);
    BlowfishContext ctx;
    blowfish_init(ctx, bytes_from_hex(v.key));
    uint32_t left = big_endian_word(std::string_view(v.plain).substr(0, 8));
    uint32_t right = big_endian_word(std::string_view(v.plain).substr(8));
    blowfish_encrypt(ctx, left, right);
    EXPECT_EQ(left, big_endian_word(std::string_view(v.cipher).substr(0, 8)));
    EXPECT_EQ(right, big_endian_word(std::string_view(v.cipher).substr(8)));
    blowfish_decrypt(ctx, left, right);
    EXPECT_EQ(left, big_endian_word(std::string_view(v.plain).substr(0, 8)));
    EXPECT_EQ(right, big_endian_word(std::string_view(v.plain).substr(8)));
    blowfish_wipe(ctx);
    EXPECT_TRUE(is_zero(ctx));
  }
}

TEST(CipherBlowfish, HexTextUsesLittleEndianHalves) {
  for (const Vector& v : kVectors) {
    SCOPED_TRACE(v.key + std::string(" ") + v.plain);
    std::string key = bytes_from_hex(v.key);
    std::string plain = bytes_from_hex(reverse_halves(v.plain));
    EXPECT_EQ(encipher_with_key(plain, key), reverse_halves(v.cipher));
    std::string out;
    ASSERT_TRUE(decipher_with_key(reverse_halves(v.cipher), key, out));
    EXPECT_EQ(out, plain.substr(0, plain.find('\0')));
  }
  // Without the reversal the published cipher text is a different block here.
  std::string out;
  ASSERT_TRUE(decipher_with_key("61F9C3802281B096", bytes_from_hex("0123456789ABCDEF"), out));
  EXPECT_NE(out, std::string(8, '\x11'));
}

TEST(CipherValue, SystemKeyValuesRoundTrip) {
  // Produced by an independent Blowfish with the key "QORVENT" and reversed halves.
  EXPECT_EQ(encipher("sa"), "2F8794EEC31B7C1F");
  EXPECT_EQ(encipher("KvxCore"), "9D01AC99DA18847A");
  EXPECT_EQ(encipher("Kelvaniro-Pa55!"), "EF016A197EE535BBB754C71B801BAF3B");
  std::string out;
  ASSERT_TRUE(decipher("EF016A197EE535BBB754C71B801BAF3B", out));
  EXPECT_EQ(out, "Kelvaniro-Pa55!");

  for (const std::string& plain : {std::string(), std::string("x"), std::string("12345678"),
                                   std::string("123456789"), std::string(96, 'Q')}) {
    std::string hex = encipher(plain);
    EXPECT_EQ(hex.size(), (plain.size() + 7) / 8 * 16);
    EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    ASSERT_TRUE(decipher(hex, out));
    EXPECT_EQ(out, plain);
  }
}

TEST(CipherValue, BlocksAndZeroBytes) {
  std::string out = "stale";
  ASSERT_TRUE(decipher("", out));
  EXPECT_EQ(out, "");

  ASSERT_TRUE(decipher("0123456789ABCDEF", out));
  EXPECT_LE(out.size(), 8u);

  // A second block that deciphers to zero bytes ends the value after the first.
  ASSERT_TRUE(decipher(encipher("ABCDEFGH") + encipher(std::string(8, '\0')), out));
  EXPECT_EQ(out, "ABCDEFGH");
  ASSERT_TRUE(decipher(encipher(std::string("AB\0CD", 5)), out));
  EXPECT_EQ(out, "AB");
}

TEST(CipherValue, LowerCaseDigitsDecodeByStoredFileRule) {
  // 'a' counts 97 - 48 = 49, so the pair "aa" is the byte 16 * 49 + 49 = 833 mod 256 = 0x41.
  std::string lower;
  std::string same_bytes;
  std::string upper;
  ASSERT_TRUE(decipher("aaaaaaaaaaaaaaaa", lower));
  ASSERT_TRUE(decipher("4141414141414141", same_bytes));
  ASSERT_TRUE(decipher("AAAAAAAAAAAAAAAA", upper));
  EXPECT_EQ(lower, same_bytes);
  EXPECT_NE(lower, upper);

  std::string out;
  ASSERT_TRUE(decipher("2f8794eec31b7c1f", out));
  EXPECT_NE(out, "sa");
}

TEST(CipherValue, PartialBlockIsRefused) {
  std::string out = "stale";
  EXPECT_FALSE(decipher("2F8794EEC31B7C1", out));
  EXPECT_EQ(out, "");
  EXPECT_FALSE(decipher("2F8794EEC31B7C1F0", out));
  EXPECT_EQ(out, "");
  EXPECT_FALSE(decipher("\n", out));
  EXPECT_EQ(out, "");
}

TEST(CipherContext, HoldsOnlyZerosBetweenCalls) {
  std::string out;
  decipher("2F8794EEC31B7C1F", out);
  EXPECT_TRUE(is_zero(shared_cipher_context()));
  encipher("secret");
  EXPECT_TRUE(is_zero(shared_cipher_context()));
  decipher("2F87", out);
  EXPECT_TRUE(is_zero(shared_cipher_context()));
}

}  // namespace
}  // namespace varnoklis::config

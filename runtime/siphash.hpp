// SipHash, the keyed hash of short inputs by Aumasson and Bernstein: with a secret 128-bit
// key, nobody can choose inputs that collide. SipHash-c-d runs c rounds per 8-byte block and
// d to finish; the Collection uses SipHash-1-3.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quenlo {

struct SipKey {
  std::uint64_t k0 = 0;
  std::uint64_t k1 = 0;
};

template <int CompressionRounds, int FinalRounds>
class SipHasher {
 public:
  explicit SipHasher(const SipKey& key) noexcept
      : v0_(key.k0 ^ 0x736f6d6570736575u),
        v1_(key.k1 ^ 0x646f72616e646f6du),
        v2_(key.k0 ^ 0x6c7967656e657261u),
        v3_(key.k1 ^ 0x7465646279746573u) {}

  /// The hash of the bytes of `text`.
  std::uint64_t Hash(std::string_view text) noexcept {
    const std::size_t whole = text.size() & ~std::size_t{7};
    for (std::size_t at = 0; at < whole; at += 8) Compress(LoadLittleEndian(text.data() + at, 8));
    const std::uint64_t length_byte = std::uint64_t{static_cast<std::uint8_t>(text.size())} << 56;
    Compress(length_byte | LoadLittleEndian(text.data() + whole, text.size() - whole));
    return Finish();
  }

  /// The hash of the eight bytes of `word`, least significant first: the same as Hash of
  /// those bytes, without loading them one by one.
  std::uint64_t HashWord(std::uint64_t word) noexcept {
    Compress(word);
    Compress(std::uint64_t{8} << 56);
    return Finish();
  }

 private:
  static std::uint64_t LoadLittleEndian(const char* bytes, std::size_t count) noexcept {
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < count; ++i)
      word |= std::uint64_t{static_cast<std::uint8_t>(bytes[i])} << (8 * i);
    return word;
  }

  void Round() noexcept {
    v0_ += v1_;
    v1_ = std::rotl(v1_, 13) ^ v0_;
    v0_ = std::rotl(v0_, 32);
    v2_ += v3_;
    v3_ = std::rotl(v3_, 16) ^ v2_;
    v0_ += v3_;
    v3_ = std::rotl(v3_, 21) ^ v0_;
    v2_ += v1_;
    v1_ = std::rotl(v1_, 17) ^ v2_;
    v2_ = std::rotl(v2_, 32);
  }

  void Compress(std::uint64_t block) noexcept {
    v3_ ^= block;
    for (int round = 0; round < CompressionRounds; ++round) Round();
    v0_ ^= block;
  }

  std::uint64_t Finish() noexcept {
    v2_ ^= 0xff;
    for (int round = 0; round < FinalRounds; ++round) Round();
    return v0_ ^ v1_ ^ v2_ ^ v3_;
  }

  std::uint64_t v0_, v1_, v2_, v3_;
};

}  // namespace quenlo

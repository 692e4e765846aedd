// Map keys chosen against the hash that Collection used before its keys were hashed with a
// secret key: a fixed multiplicative hash of the key's word, which anyone could invert.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace quenlo::bench {

/// The keys in an order fixed but mixed, so that reading looks each up before it is added: a
/// key above every key held so far needs no lookup.
inline std::vector<std::int32_t> Mixed(std::vector<std::int32_t> keys) {
  std::shuffle(keys.begin(), keys.end(), std::mt19937(20261206));
  return keys;
}

/// `count` Long keys, mixed, that the former hash put into the same bucket of every key index
/// of up to 2^`bits` entries, and into 2^(size - bits) clustered buckets of larger ones. There
/// are about 2^(32 - bits) of them.
inline std::vector<std::int32_t> KeysCollidingForTheFormerHash(std::size_t count, int bits) {
  std::vector<std::int32_t> keys;
  const std::uint32_t bucket_bits = (std::uint32_t{1} << bits) - 1;
  for (std::uint64_t number = 0; keys.size() < count && number <= UINT32_MAX; ++number) {
    const std::uint64_t word = (number << 32) | 1;  // how a slot held an integer key
    const auto hash = static_cast<std::uint32_t>(((word ^ (word >> 32)) * 0x9E3779B97F4A7C15u) >> 32);
    if ((hash & bucket_bits) == 0)
      keys.push_back(static_cast<std::int32_t>(static_cast<std::uint32_t>(number)));
  }
  return Mixed(std::move(keys));
}

/// `count` Long keys, mixed, spread evenly over the 32-bit range: texts as long as the
/// colliding ones.
inline std::vector<std::int32_t> OrdinaryKeys(std::size_t count) {
  std::vector<std::int32_t> keys;
  const std::uint64_t step = (std::uint64_t{1} << 32) / count;
  for (std::size_t index = 0; index < count; ++index) {
    keys.push_back(static_cast<std::int32_t>(static_cast<std::uint32_t>(index * step + 12345)));
  }
  return Mixed(std::move(keys));
}

/// The object string of a Map holding the Integer 1 under each key.
inline std::string MapTextOf(const std::vector<std::int32_t>& keys) {
  std::string text = R"(\11000\{)";
  for (std::size_t index = 0; index < keys.size(); ++index) {
    if (index > 0) text += ", ";
    text += std::to_string(keys[index]) + R"(: \2\1)";
  }
  return text + "}";
}

}  // namespace quenlo::bench

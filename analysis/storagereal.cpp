#include "analysis/storagereal.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "analysis/doubledouble.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define VARDELL_WIDE_PACKING 1
#include <immintrin.h>
#else
#define VARDELL_WIDE_PACKING 0
#endif

namespace vardell {
namespace {

constexpr int kStorageBias = 129;
constexpr int kDroppedBits = 64 - 40;  // extended significand bits the storage real drops

}  // namespace

StorageReal::StorageReal(double v) {
  if (std::isnan(v)) throw InvalidFloatingPointOperation();
  if (std::isinf(v)) throw FloatingPointOverflow();
  Store(Extended::FromDouble(v));
}

void StorageReal::Store(const Extended& v) {
  if (v.NotANumber) throw InvalidFloatingPointOperation();
  bytes_ = {};
  if (v.Significand == 0) return;  // also negative zero: the format has a single zero
  // Value = 1.significand * 2^exponent.
  std::int64_t exponent = std::int64_t{v.Exponent} + 63;
  if (exponent < -kStorageBias - 1) return;  // far below 2^-128
  if (exponent > 255) throw FloatingPointOverflow();
  // Round the magnitude half up at bit 24: ties go away from zero.
  std::uint64_t rounded = v.Significand + (std::uint64_t{1} << (kDroppedBits - 1));
  if (rounded < v.Significand) {  // carried out of the top bit: 1.111..1 became 10.000..0
    rounded = std::uint64_t{1} << 63;
    ++exponent;
  } else {
    rounded &= ~std::uint64_t{0} << kDroppedBits;
  }
  const std::int64_t biased = exponent + kStorageBias;
  if (biased < 1) return;  // below 2^-128 after rounding: stored as 0
  if (biased > 255) throw FloatingPointOverflow();
  const std::uint64_t fraction = (rounded >> kDroppedBits) & ((std::uint64_t{1} << 39) - 1);
  bytes_[0] = static_cast<std::uint8_t>(biased);
  bytes_[1] = static_cast<std::uint8_t>(fraction & 0xff);
  std::uint32_t upper = static_cast<std::uint32_t>(fraction >> 8);  // 31 bits
  if (v.Negative) upper |= 0x80000000u;
  for (int i = 0; i < 4; ++i) bytes_[2 + i] = static_cast<std::uint8_t>(upper >> (8 * i));
}

namespace {

// Stores the rounding of h + l that RoundDoubleDouble decides within margin, or else the
// extended-format result slow() computes. A single extended operation errs by at most
// 2^-64 of its result and the approximations below by far less, so a margin of 2^-62 |h|
// covers both (see engine/exactsteps.h).
template <class Slow>
StorageReal Decided(double h, double l, Slow slow) {
  double r = 0;
  if (exact::RoundDoubleDouble(h, l, std::fabs(h) * 0x1p-62, r)) {
    if (std::fabs(r) > StorageReal::Largest()) throw FloatingPointOverflow();
    return StorageReal::FromRounded(exact::Flushed(r));
  }
  return StorageReal(slow());
}

}  // namespace

StorageReal StoredQuotient(double a, double b) {
  const double q = a / b;
  if (StorageReal stored; DecidedPlainly(q, stored)) return stored;
  const double p = q * b;
  const double l = ((a - p) - exact::ProductError(q, b, p)) / b;  // a - p is exact
  return Decided(q, l, [&] { return Divide(Extended::FromDouble(a), Extended::FromDouble(b)); });
}

StorageReal StoredSquareRoot(double a) {
  const double q = std::sqrt(a);
  if (StorageReal stored; DecidedPlainly(q, stored)) return stored;
  const double p = q * q;
  const double l = q > 0 ? ((a - p) - exact::ProductError(q, q, p)) / (2 * q) : 0;
  return Decided(q, l, [&] { return SquareRoot(Extended::FromDouble(a)); });
}

StorageReal StoredSum(double a, double b) {
  double h = 0, l = 0;
  exact::TwoSum(a, b, h, l);
  return Decided(h, l, [&] { return Add(Extended::FromDouble(a), Extended::FromDouble(b)); });
}

StorageReal StoredDifference(double a, double b) { return StoredSum(a, -b); }

StorageReal StoredHalfSum(double a, double b) {
  double h = 0, l = 0;
  exact::TwoSum(a, b, h, l);
  return Decided(h * 0.5, l * 0.5, [&] {
    return Multiply(Add(Extended::FromDouble(a), Extended::FromDouble(b)),
                    Extended::FromDouble(0.5));
  });
}

namespace {

#if VARDELL_WIDE_PACKING
// PackRow and UnpackRow eight values at a time, with the 512-bit byte permutes of newer x86-64
// processors (where the processor has them, checked once at start-up). A value's six bytes
// sit in a 64-bit element in the layout the storage real gives its bytes (the biased
// exponent, the fraction, the sign at the top of byte 5; all zero for 0), computed there as
// FromRounded computes them or read from there as ToDouble reads them; one permute packs
// eight times six bytes together, or spreads them over eight elements.
static_assert(sizeof(StorageReal) == 6 && std::is_trivially_copyable_v<StorageReal>);

// GCC 12's 512-bit shifts start their results from a deliberately undefined register, which
// its uninitialised-use warnings flag once inlined here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// The storage real's six bytes of eight doubles, each in its 64-bit element.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512i PackedElements(__m512i bits) {
  const __m512i exponent =
      _mm512_sub_epi64(_mm512_and_si512(_mm512_srli_epi64(bits, 52), _mm512_set1_epi64(0x7ff)),
                       _mm512_set1_epi64(1023 - 129));
  const __m512i fraction = _mm512_and_si512(_mm512_srli_epi64(bits, 5),
                                            _mm512_set1_epi64(((std::int64_t{1} << 39) - 1) << 8));
  const __m512i sign =
      _mm512_and_si512(_mm512_srli_epi64(bits, 16), _mm512_set1_epi64(std::int64_t{1} << 47));
  const __mmask8 nonzero =
      _mm512_test_epi64_mask(bits, _mm512_set1_epi64(~(std::int64_t{1} << 63)));
  return _mm512_maskz_or_epi64(nonzero, _mm512_or_si512(exponent, fraction), sign);
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void PackRowWide(const double* values,
                                                                        int count,
                                                                        StorageReal* row) {
  alignas(64) static constexpr auto bytesOf = [] {
    std::array<std::uint8_t, 64> from{};
    for (int j = 0; j < 48; ++j) from[j] = static_cast<std::uint8_t>(8 * (j / 6) + j % 6);
    return from;
  }();
  const __m512i from = _mm512_load_si512(bytesOf.data());
  // Whole stores of 64 bytes while they end inside the row (their last 16 bytes are written
  // again by the next one); at the end, plain stores of 32 and 16 bytes for eight values, a
  // masked one for fewer.
  int k = 0;
  for (; k + 11 <= count; k += 8) {
    const __m512i bits = _mm512_castpd_si512(_mm512_loadu_pd(values + k));
    _mm512_storeu_si512(row + k, _mm512_permutexvar_epi8(from, PackedElements(bits)));
  }
  for (; k < count; k += 8) {
    const int lanes = std::min(count - k, 8);
    const __m512i bits = _mm512_castpd_si512(
        _mm512_maskz_loadu_pd(static_cast<__mmask8>((1u << lanes) - 1), values + k));
    const __m512i packed = _mm512_permutexvar_epi8(from, PackedElements(bits));
    if (lanes == 8) {  // 48 bytes: a store of 32 and one of 16
      auto* bytes = reinterpret_cast<std::uint8_t*>(row + k);
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(bytes), _mm512_castsi512_si256(packed));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + 32),
                       _mm512_extracti32x4_epi32(packed, 2));
    } else {
      _mm512_mask_storeu_epi8(row + k, (std::uint64_t{1} << (6 * lanes)) - 1, packed);
    }
  }
}

// The doubles of eight storage reals, each one's six bytes in its 64-bit element.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) inline __m512d UnpackedElements(
    __m512i packed) {
  const __m512i exponent = _mm512_and_si512(packed, _mm512_set1_epi64(0xff));
  const __m512i fraction = _mm512_and_si512(_mm512_slli_epi64(packed, 5),
                                            _mm512_set1_epi64(((std::int64_t{1} << 39) - 1) << 13));
  const __m512i sign =
      _mm512_and_si512(_mm512_slli_epi64(packed, 16), _mm512_set1_epi64(std::int64_t{1} << 63));
  const __m512i biased =
      _mm512_slli_epi64(_mm512_add_epi64(exponent, _mm512_set1_epi64(1023 - 129)), 52);
  const __mmask8 nonzero = _mm512_test_epi64_mask(exponent, exponent);
  return _mm512_castsi512_pd(
      _mm512_maskz_or_epi64(nonzero, _mm512_or_si512(biased, fraction), sign));
}

__attribute__((target("avx512f,avx512bw,avx512vbmi"))) void UnpackRowWide(const StorageReal* row,
                                                                          int count,
                                                                          double* values) {
  alignas(64) static constexpr auto bytesOf = [] {
    std::array<std::uint8_t, 64> from{};
    for (int j = 0; j < 64; ++j) from[j] = static_cast<std::uint8_t>(6 * (j / 8) + j % 8 % 6);
    return from;
  }();
  const __m512i from = _mm512_load_si512(bytesOf.data());
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(row);
  // Bytes 6 and 7 of every element are 0. Whole loads of 64 bytes while they end inside the
  // row; masked ones at the end, and a masked store unless eight values remain.
  int k = 0;
  for (; k + 11 <= count; k += 8) {
    const __m512i loaded = _mm512_loadu_si512(bytes + 6 * k);
    _mm512_storeu_pd(values + k, UnpackedElements(_mm512_maskz_permutexvar_epi8(0x3f3f3f3f3f3f3f3f,
                                                                                from, loaded)));
  }
  for (; k < count; k += 8) {
    const int lanes = std::min(count - k, 8);
    const __m512i loaded =
        _mm512_maskz_loadu_epi8((std::uint64_t{1} << (6 * lanes)) - 1, bytes + 6 * k);
    const __m512d unpacked =
        UnpackedElements(_mm512_maskz_permutexvar_epi8(0x3f3f3f3f3f3f3f3f, from, loaded));
    if (lanes == 8)
      _mm512_storeu_pd(values + k, unpacked);
    else
      _mm512_mask_storeu_pd(values + k, static_cast<__mmask8>((1u << lanes) - 1), unpacked);
  }
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

const bool HasWidePacking = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
         __builtin_cpu_supports("avx512vbmi");
}();
#endif

}  // namespace

void PackRow(const double* values, int count, StorageReal* row) {
#if VARDELL_WIDE_PACKING
  if (HasWidePacking) return PackRowWide(values, count, row);
#endif
  for (int k = 0; k < count; ++k) row[k] = StorageReal::FromRounded(values[k]);
}

void UnpackRow(const StorageReal* row, int count, double* values) {
#if VARDELL_WIDE_PACKING
  if (HasWidePacking) return UnpackRowWide(row, count, values);
#endif
  for (int k = 0; k < count; ++k) values[k] = row[k].ToDouble();
}

StorageReal StorageReal::FromBytes(const std::array<std::uint8_t, 6>& bytes) {
  StorageReal r;
  r.bytes_ = bytes;
  return r;
}

}  // namespace vardell

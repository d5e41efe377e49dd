#include "engine/coefficients.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/exactsteps.h"
#include "support_engine.h"

namespace vardell {
namespace {

using testing::R;
using enum StrategyCode;
using enum CoefficientCode;

struct CoefficientCase {
  const char* Name;
  CoefficientCode Coefficient;
  StrategyCode Strategy;
  bool Constrained;
  std::vector<double> A, B;
  std::vector<double> Offset;  // empty: no offsets
  double Expected;             // rounded to the storage real before comparing
};

const double Tiny41 = std::ldexp(1.0, -41);  // below half a unit in the last place of 1
const double Tiny21 = std::ldexp(1.0, -21);  // squares to 2^-42
const double Half40 = std::ldexp(1.0, -40);  // exactly half a unit in the last place of 1

const CoefficientCase CoefficientCases[] = {
    {"EuclideanIdentical", Euclidean, NearestNeighbour, false, {1.5, -2, 7}, {1.5, -2, 7}, {}, 0},
    {"ChordIdentical", Chord, NearestNeighbour, false, {1.5, -2, 7}, {1.5, -2, 7}, {0, -2, 0}, 0},
    {"ManhattanIdentical", Manhattan, NearestNeighbour, false, {1.5, -2, 7}, {1.5, -2, 7}, {}, 0},
    {"EuclideanPlainMinimumVariance", Euclidean, MinimumVariance, false, {0, 0}, {3, 4}, {}, 5},
    {"EuclideanSquaredCentroid", Euclidean, CentroidSorting, false, {0, 0}, {3, 4}, {}, 25},
    {"EuclideanSquaredConstrained", Euclidean, NearestNeighbour, true, {0, 0}, {3, 4}, {}, 25},
    {"ManhattanNeverSquared", Manhattan, CentroidSorting, true, {0, 0}, {3, 4}, {}, 3.5},
    {"ManhattanNegative", Manhattan, FurthestNeighbour, false, {-1, 2, -3}, {1, -2, 3}, {}, 4},
    {"ChordSquared", Chord, CentroidSorting, false, {1, 4}, {4, 1}, {}, 2},
    {"ChordPlain", Chord, FurthestNeighbour, false, {1, 4}, {4, 1}, {}, std::sqrt(2)},
    // Only the variable with a negative value is shifted: (0 - 2)^2 + (1 - 2)^2.
    {"ChordOffsetSquared", Chord, WeightedPairgroup, true, {-2, 1}, {2, 4}, {-2, 0}, 5},
    {"ChordOffsetPlain", Chord, WeightedPairgroup, false, {-2, 1}, {2, 4}, {-2, 0}, std::sqrt(5)},
    // The sum is stored after every term: the small terms vanish one by one instead of
    // adding up to a unit in the last place.
    {"ManhattanSumStoredPerTerm",
     Manhattan,
     NearestNeighbour,
     false,
     {1, Tiny41, Tiny41, Tiny41, Tiny41},
     {0, 0, 0, 0, 0},
     {},
     1.0 / 5},
    {"EuclideanSumStoredPerTerm",
     Euclidean,
     CentroidSorting,
     false,
     {1, Tiny21, Tiny21, Tiny21, Tiny21},
     {0, 0, 0, 0, 0},
     {},
     1},
    // Half a unit rounds away from zero when the sum is stored.
    {"ManhattanSumTieAway",
     Manhattan,
     NearestNeighbour,
     false,
     {1, Half40},
     {0, 0},
     {},
     (1 + 2 * Half40) / 2},
};

// The coefficient function for the code; offset is used by the chord coefficient only.
StorageReal Coefficient(CoefficientCode coefficient, StrategyCode strategy, bool constrained,
                        const StorageReal* a, const StorageReal* b, int p,
                        const StorageReal* offset) {
  if (coefficient == Euclidean) return EuclideanCoefficient(a, b, p, strategy, constrained);
  if (coefficient == Chord) return ChordCoefficient(a, b, p, strategy, constrained, offset);
  return ManhattanCoefficient(a, b, p);
}

TEST(CoefficientTest, GivesTheStoredCoefficient) {
  for (const CoefficientCase& c : CoefficientCases) {
    SCOPED_TRACE(c.Name);
    std::vector<StorageReal> a(c.A.begin(), c.A.end()), b(c.B.begin(), c.B.end());
    std::vector<StorageReal> offset(c.A.size());
    std::copy(c.Offset.begin(), c.Offset.end(), offset.begin());
    const auto coefficient = [&](const auto& x, const auto& y) {
      return Coefficient(c.Coefficient, c.Strategy, c.Constrained, x.data(), y.data(),
                         static_cast<int>(x.size()), offset.data());
    };
    const StorageReal result = coefficient(a, b);
    EXPECT_EQ(result.ToDouble(), R(c.Expected));
    EXPECT_EQ(coefficient(b, a).Bytes(), result.Bytes()) << "symmetric to the last bit";
  }
}

TEST(ComputeDissimilaritiesTest, SumTooLargeOverflows) {
  auto run = testing::MakeAnalysis(NearestNeighbour, Manhattan, false);
  testing::FillMatrix(run->Matrix, {{1e38, 1e38}, {-1e38, -1e38}});
  EXPECT_THROW(ComputeDissimilarities(run->Settings, run->Matrix, run->Dissimilarity,
                                      *testing::NewWorkingState()),
               FloatingPointOverflow);
}

// The matrix comes from a faster path than the coefficient functions: it must agree with
// them to the last bit, also where running sums meet halfway points or fall below 2^-128, in
// the form (squared or not) the run asks for and with the matrix's chord offsets. Only
// D[a][b], a < b, is written. The sizes meet every way a block of pairs and a group of terms
// can end, and the largest is big enough to be shared between threads. Every kernel the
// processor runs is compared.
TEST(ComputeDissimilaritiesTest, AgreesWithTheCoefficientFunctions) {
  const double pool[] = {0, 0x1p10, -0x1p-10, 0x1p-10, 3 * 0x1p-11, 1, 2, 0.1, 0x1p-70};
  const auto poolSize = static_cast<std::uint64_t>(std::size(pool));
  std::uint64_t state = 99;
  const auto next = [&state] { return testing::NextRandom(state) >> 11; };
  const std::pair<StrategyCode, bool> forms[] = {// strategy, constrained
                                                 {NearestNeighbour, false},
                                                 {CentroidSorting, false},
                                                 {NearestNeighbour, true}};
  const StorageReal unwritten = 99.0;
  const int widest = detail::CoefficientLanes();
  for (const int lanes : {2, 4, 8}) {
    if (lanes > widest || !detail::UseCoefficientLanes(lanes)) continue;
    // Values from the pool and beyond (wide), or of at most 13 binades (narrow), so that every
    // difference is exact while the sums still round; or wide in every third variable only,
    // so that groups of terms with and without exact differences alternate; or narrow but
    // 2^20 times larger in the first group (skewed), so that nearly every later sum rounds
    // and some land a last place from a halfway point.
    enum Values { Wide, Narrow, Mixed, Skewed };
    for (const auto& [n, p, values] : {std::tuple{25, 7, Wide},
                                       {1, 7, Wide},
                                       {40, 11, Wide},
                                       {200, 21, Wide},
                                       {40, 11, Narrow},
                                       {200, 21, Narrow},
                                       {200, 37, Mixed},
                                       {200, 37, Skewed}}) {
      std::vector<std::vector<double>> rows(n, std::vector<double>(p));
      for (auto& row : rows)
        for (int v = 0; v < p; ++v)
          row[v] =
              values == Wide || (values == Mixed && v % 3 == 2)
                  ? (next() % 3 ? pool[next() % poolSize]
                                : static_cast<double>(next()) * 0x1p-48 - 8)
              : next() % 5
                  ? std::ldexp(1 + static_cast<double>(next()) * 0x1p-53,
                               (values == Skewed && v < 4 ? 20 : 0) - static_cast<int>(next() % 13))
                  : 0;
      for (const CoefficientCode coefficient : {Manhattan, Chord, Euclidean}) {
        for (const auto& [strategy, constrained] : forms) {
          SCOPED_TRACE("n " + std::to_string(n) + " coefficient " +
                       std::to_string(int(coefficient)) + " strategy " +
                       std::to_string(int(strategy)) + " constrained " +
                       std::to_string(constrained));
          auto run = testing::MakeAnalysis(strategy, coefficient, constrained);
          testing::FillMatrix(run->Matrix, rows);
          for (auto& row : run->Dissimilarity.D)
            std::fill(std::begin(row), std::end(row), unwritten);
          ComputeDissimilarities(run->Settings, run->Matrix, run->Dissimilarity,
                                 *testing::NewWorkingState());
          const int last = std::min(n + 1, MaxObjects);
          for (int a = 1; a <= last; ++a) {
            for (int b = 1; b <= last; ++b) {
              const StorageReal expected =
                  a < b && b <= n
                      ? Coefficient(coefficient, strategy, constrained, run->Matrix.Values[a] + 1,
                                    run->Matrix.Values[b] + 1, p, run->Matrix.ChordOffset + 1)
                      : unwritten;
              ASSERT_EQ(run->Dissimilarity.D[a][b].Bytes(), expected.Bytes())
                  << a << "," << b << " lanes " << lanes;
            }
          }
        }
      }
    }
  }
  detail::UseCoefficientLanes(widest);
}

// The chord coefficient's roots, prepared lanes at a time, are the extended format's to the
// last bit for every kernel the processor runs: values at binade edges, few-bit values,
// values equal to their offset and values far from it. They are held as a high part of at
// most 32 bits and the rest.
TEST(ComputeDissimilaritiesTest, ChordRootsAreTheExtendedOnes) {
  std::uint64_t state = 17;
  const auto next = [&state] { return testing::NextRandom(state) >> 11; };
  std::vector<std::vector<double>> rows(40, std::vector<double>(37));
  for (auto& row : rows)
    for (auto& value : row) {
      const int bits = next() % 3 == 0 ? 1 + static_cast<int>(next() % 40) : 40;
      const double magnitude = std::ldexp(static_cast<double>((next() >> (53 - bits)) | 1),
                                          static_cast<int>(next() % 60) - 30 - bits);
      value = next() % 7 == 0 ? 0 : next() % 4 == 0 ? -magnitude : magnitude;
    }
  const int widest = detail::CoefficientLanes();
  for (const int lanes : {2, 4, 8}) {
    if (lanes > widest || !detail::UseCoefficientLanes(lanes)) continue;
    auto run = testing::MakeAnalysis(NearestNeighbour, Chord, false);
    testing::FillMatrix(run->Matrix, rows);
    auto work = testing::NewWorkingState();
    ComputeDissimilarities(run->Settings, run->Matrix, run->Dissimilarity, *work);
    for (int o = 1; o <= run->Matrix.ObjectCount; ++o)
      for (int v = 0; v < run->Matrix.VariableCount; ++v) {
        const DoubleDouble root =
            ChordRoot(run->Matrix.Values[o][v + 1], run->Matrix.ChordOffset[v + 1]);
        const int block = (o - 1) / WorkingState::BlockLanes,
                  lane = (o - 1) % WorkingState::BlockLanes;
        const double high = work->ValueBlocks[block][v][lane],
                     low = work->RootLowBlocks[block][v][lane];
        SCOPED_TRACE(std::to_string(o) + "," + std::to_string(v) + " lanes " +
                     std::to_string(lanes));
        ASSERT_EQ(std::bit_cast<std::uint64_t>(high) & 0x1fffff, 0u) << "32 bits at most";
        ASSERT_LE(std::fabs(low), std::fabs(high) * 0x1p-31);
        // high + low == root.H + root.L; both differences are exact.
        ASSERT_EQ(high - root.H, root.L - low);
      }
  }
  detail::UseCoefficientLanes(widest);
}

// A running sum below 2^-128 is flushed to 0 after every term, so terms that small vanish
// one by one instead of adding up beside a later, larger term.
TEST(ComputeDissimilaritiesTest, TermsBelowTheSmallestValueVanishOneByOne) {
  const double e = 0x1p-128;
  const double root = 0x1.6a09e667f4p-65;  // squares to just below 2^-128
  const struct {
    CoefficientCode Coefficient;
    std::vector<std::vector<double>> Rows;
  } cases[] = {
      {Manhattan, {{1.9 * e, 1.9 * e, 0x1p-100}, {e, e, 0}}},
      {Euclidean, {{root, root, 0x1p-46}, {0, 0, 0}}},
      // Roots 2^-25 (1 + 2^-40) and 2^-25: their terms are 2^-130.
      {Chord, {{0x1p-50 * (1 + 0x1p-39), 0x1p-50 * (1 + 0x1p-39), 0x1p-92}, {0x1p-50, 0x1p-50, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Coefficient));
    auto run = testing::MakeAnalysis(CentroidSorting, c.Coefficient, false);
    testing::FillMatrix(run->Matrix, c.Rows);
    ComputeDissimilarities(run->Settings, run->Matrix, run->Dissimilarity,
                           *testing::NewWorkingState());
    const StorageReal expected =
        Coefficient(c.Coefficient, CentroidSorting, false, run->Matrix.Values[1] + 1,
                    run->Matrix.Values[2] + 1, 3, run->Matrix.ChordOffset + 1);
    EXPECT_EQ(run->Dissimilarity.D[1][2].Bytes(), expected.Bytes());
  }
}

// A sum whose extended value lies just beside a halfway point of the storage real, with a
// difference that double cannot hold: 1 + (2^-5 + 2^-40 -+ 2^-60), where 1 + 2^-5 + 2^-40 is
// the halfway point. Every kernel rounds it as the extended format does, down and up.
TEST(ComputeDissimilaritiesTest, ManhattanSumsBesideAHalfwayPoint) {
  const double x = 0x1p-5 + 0x1p-40;
  const struct {
    double Y, Sum;
  } cases[] = {{0x1p-60, 1 + 0x1p-5}, {-0x1p-60, 1 + 0x1p-5 + 0x1p-39}};
  const int widest = detail::CoefficientLanes();
  for (const int lanes : {2, 4, 8}) {
    if (lanes > widest || !detail::UseCoefficientLanes(lanes)) continue;
    for (const auto& c : cases) {
      SCOPED_TRACE("lanes " + std::to_string(lanes) + " y " + std::to_string(c.Y));
      auto run = testing::MakeAnalysis(NearestNeighbour, Manhattan, false);
      // The first group of four terms leaves the sum at 1; the second adds |x - y|.
      testing::FillMatrix(run->Matrix, {{1, 0, 0, 0, x, 0, 0, 0}, {0, 0, 0, 0, c.Y, 0, 0, 0}});
      ComputeDissimilarities(run->Settings, run->Matrix, run->Dissimilarity,
                             *testing::NewWorkingState());
      EXPECT_EQ(run->Dissimilarity.D[1][2].Bytes(), StorageReal(c.Sum / 8).Bytes());
      EXPECT_EQ(
          run->Dissimilarity.D[1][2].Bytes(),
          ManhattanCoefficient(run->Matrix.Values[1] + 1, run->Matrix.Values[2] + 1, 8).Bytes());
    }
  }
  detail::UseCoefficientLanes(widest);
}

// Squares that bring the sum 1 within 2^-60 of the midpoint 1 + 2^-40, below and above it:
// (2^-20 -+ 2^-41)^2 = 2^-40 -+ 2^-60 + 2^-82, and the chord's roots of 2^-40 -+ 2^-60. The
// double sum lands on the midpoint itself, so every kernel must hand these lanes to the exact
// step. Each is run with its group's differences exact and not: a third object's value of
// 2^20 in the same variable is 40 binades away (20 for the roots).
TEST(ComputeDissimilaritiesTest, SquareSumsBesideAHalfwayPoint) {
  const struct {
    CoefficientCode Coefficient;
    double Wide;   // the third object's value of the variable
    double Sign;   // -1: below the midpoint
    double Value;  // the second group's first value
    double Sum;
  } cases[] = {
      {Euclidean, 0, -1, 0x1p-20 - 0x1p-41, 1},
      {Euclidean, 0, 1, 0x1p-20 + 0x1p-41, 1 + 0x1p-39},
      {Euclidean, 0x1p20, -1, 0x1p-20 - 0x1p-41, 1},
      {Euclidean, 0x1p20, 1, 0x1p-20 + 0x1p-41, 1 + 0x1p-39},
      {Chord, 0, -1, 0x1p-40 - 0x1p-60, 1},
      {Chord, 0, 1, 0x1p-40 + 0x1p-60, 1 + 0x1p-39},
      {Chord, 0x1p20, -1, 0x1p-40 - 0x1p-60, 1},
      {Chord, 0x1p20, 1, 0x1p-40 + 0x1p-60, 1 + 0x1p-39},
  };
  const int widest = detail::CoefficientLanes();
  for (const int lanes : {2, 4, 8}) {
    if (lanes > widest || !detail::UseCoefficientLanes(lanes)) continue;
    for (const auto& c : cases) {
      SCOPED_TRACE("lanes " + std::to_string(lanes) + " chord " +
                   std::to_string(c.Coefficient == Chord) + " wide " + std::to_string(c.Wide) +
                   " sign " + std::to_string(c.Sign));
      auto run = testing::MakeAnalysis(MinimumVariance, c.Coefficient, false);
      // The first group of four terms leaves the sum at 1; the second adds the square.
      testing::FillMatrix(run->Matrix, {{1, 0, 0, 0, c.Value, 0, 0, 0},
                                        {0, 0, 0, 0, 0, 0, 0, 0},
                                        {0, 0, 0, 0, c.Wide, 0, 0, 0}});
      ComputeDissimilarities(run->Settings, run->Matrix, run->Dissimilarity,
                             *testing::NewWorkingState());
      const StorageReal result = run->Dissimilarity.D[1][2];
      EXPECT_EQ(result.Bytes(), StorageReal(c.Sum).Bytes());
      EXPECT_EQ(result.Bytes(),
                Coefficient(c.Coefficient, MinimumVariance, false, run->Matrix.Values[1] + 1,
                            run->Matrix.Values[2] + 1, 8, run->Matrix.ChordOffset + 1)
                    .Bytes());
    }
  }
  detail::UseCoefficientLanes(widest);
}

// Shared between threads, the matrix still fails as one thread would: with the first row
// whose sum overflows.
TEST(ComputeDissimilaritiesTest, OverflowInALargeRunOverflows) {
  std::vector<std::vector<double>> rows(200, std::vector<double>(21, 1.0));
  rows[150][3] = 1e38;
  auto run = testing::MakeAnalysis(NearestNeighbour, Euclidean, false);
  testing::FillMatrix(run->Matrix, rows);
  EXPECT_THROW(ComputeDissimilarities(run->Settings, run->Matrix, run->Dissimilarity,
                                      *testing::NewWorkingState()),
               FloatingPointOverflow);
}

}  // namespace
}  // namespace vardell

#include "engine/agglomeration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "support_engine.h"

namespace vardell {
namespace {

using testing::R;
using enum StrategyCode;

const double Ulp = 0x1p-39;  // one unit in the last place of 1
const double Third = R(1.0 / 3), TwoThirds = R(2.0 / 3);

// The closest pair

struct PairCase {
  const char* Name;
  int N;
  std::vector<double> Upper;
  std::vector<int> Active;  // cluster numbers in list order
  bool Constrained;
  int B, I, J;
  double Dij;
};

const PairCase PairCases[] = {
    {"AllEqualKeepsFirst", 3, {7, 7, 7}, {1, 2, 3}, false, 2, 1, 2, 7},
    {"TieGoesToLowestI", 4, {5, 5, 5, 5, 1, 1}, {1, 2, 3, 4}, false, 4, 2, 4, 1},
    {"TieGoesToLowestJ", 4, {5, 1, 1, 5, 5, 5}, {1, 2, 3, 4}, false, 3, 1, 3, 1},
    {"GapsInTheList", 4, {1, 9, 9, 0.5, 9, 2}, {1, 3, 4}, false, 3, 3, 4, 2},
    // The order of stored values down to the last bit, across signs and exponents.
    {"LowestBitDecides", 3, {1 + Ulp, 1, 1 + 2 * Ulp}, {1, 2, 3}, false, 3, 1, 3, 1},
    {"TopFractionBitDecides", 3, {1.75, 1.5, 1.25 + Ulp}, {1, 2, 3}, false, 3, 2, 3, 1.25 + Ulp},
    {"ZeroBeatsTiny", 3, {0x1p-100, 0, 1}, {1, 2, 3}, false, 3, 1, 3, 0},
    {"NegativeTinyBeatsZero", 3, {0, -0x1p-100, 1}, {1, 2, 3}, false, 3, 1, 3, -0x1p-100},
    {"LargerNegativeWins", 3, {-2, -1e30, -3e30}, {1, 2, 3}, false, 3, 2, 3, -3e30},
    {"ConstrainedIgnoresNonAdjacent", 3, {4, 1, 6}, {1, 2, 3}, true, 2, 1, 2, 4},
    {"ConstrainedTieGoesUp", 4, {3, 0, 0, 3, 0, 3}, {1, 2, 3, 4}, true, 2, 1, 2, 3},
    {"ConstrainedWithGaps", 5, {12, 9, 9, 1, 9, 9, 9, 9, 0, 9}, {1, 2, 5}, true, 3, 2, 5, 9},
};

TEST(FindClosestPairTest, FindsTheFirstSmallestPair) {
  for (const PairCase& c : PairCases) {
    SCOPED_TRACE(c.Name);
    auto run =
        testing::MakeTreeRun(NearestNeighbour, c.Constrained, std::vector<double>(c.N), c.Upper);
    int active[MaxObjects + 1] = {};
    std::copy(c.Active.begin(), c.Active.end(), active + 1);
    const ClosestPair pair = FindClosestPair(static_cast<int>(c.Active.size()), active,
                                             run->Dissimilarity, c.Constrained);
    EXPECT_EQ(pair.B, c.B);
    EXPECT_EQ(pair.I, c.I);
    EXPECT_EQ(pair.J, c.J);
    EXPECT_EQ(pair.Dij.ToDouble(), R(c.Dij));
  }
}

// Coefficients and the combination formula, to the last bit

TEST(CoefficientSetterTest, QuotientsAreRoundedFromTheSizes) {
  using Values = std::vector<double>;  // alpha i, alpha j, beta, gamma
  const auto values = [](const LanceWilliams& c) {
    return Values{c.AlphaI.ToDouble(), c.AlphaJ.ToDouble(), c.Beta.ToDouble(), c.Gamma.ToDouble()};
  };
  // Beta comes from the rounded alphas and is rounded again.
  EXPECT_EQ(values(SetCentroidCoefficients(1, 2)),
            (Values{Third, TwoThirds, R(-(Third * TwoThirds)), 0}));
  EXPECT_EQ(values(SetMinimumVarianceCoefficients(1, 2, 3)),
            (Values{R(4.0 / 6), R(5.0 / 6), R(-3.0 / 6), 0}));
  EXPECT_EQ(values(SetMinimumVarianceCoefficients(5, 2, 0)),
            (Values{R(5.0 / 7), R(2.0 / 7), 0, 0}));
}

// The agglomeration's quicker copy of the minimum variance coefficients, for every sizes a
// run of up to MaxObjects objects meets (every third size, to keep it short), 0 for k too.
TEST(CoefficientSetterTest, MinimumVarianceTermsAreTheCoefficients) {
  for (std::int32_t ni = 1; ni < MaxObjects; ni += 3) {
    for (std::int32_t nj = 1; ni + nj < MaxObjects; nj += 3) {
      for (std::int32_t nk = 0; ni + nj + nk <= MaxObjects; nk += 3) {
        const LanceWilliams c = SetMinimumVarianceCoefficients(ni, nj, nk);
        const CombineTerms t = MinimumVarianceTerms(ni, nj, nk);
        ASSERT_EQ(t.AlphaI, c.AlphaI.ToDouble()) << ni << " " << nj << " " << nk;
        ASSERT_EQ(t.AlphaJ, c.AlphaJ.ToDouble()) << ni << " " << nj << " " << nk;
        ASSERT_EQ(t.Beta, c.Beta.ToDouble()) << ni << " " << nj << " " << nk;
        ASSERT_EQ(t.Gamma, 0);
        ASSERT_EQ(t.Short, ShortCombinationTerms(t.AlphaI, t.AlphaJ, t.Beta, t.Gamma));
      }
    }
  }
}

TEST(CombineDissimilarityTest, OneFormulaRoundedOnce) {
  // Arguments in the order alpha i, alpha j, Dki, Dkj, beta, Dij, gamma.
  const auto combine = [](auto... terms) {
    return CombineDissimilarity(StorageReal(terms)...).ToDouble();
  };
  EXPECT_EQ(combine(0.5, 0.5, 1 + Ulp, 1, 0, 0, -0.5), 1) << "nearest";
  EXPECT_EQ(combine(0.5, 0.5, 1 + Ulp, 1, 0, 0, 0.5), 1 + Ulp) << "furthest";
  // Intermediate sums beyond the format's precision are kept until the final store:
  // 1 + 2^-41 + 2^-41 rounds up to 1 + 2^-40, a tie that goes away from zero.
  const double tiny = std::ldexp(1.0, -41);
  EXPECT_EQ(combine(1, 1, 1, tiny, 1, tiny, 0), 1 + Ulp) << "rounded once";
}

// Whole trees

struct TreeCase {
  const char* Name;
  StrategyCode Strategy;
  bool Constrained;
  int N;
  std::vector<double> Upper;
  std::string Shape;
  std::vector<double> Levels;          // fused nodes in pre-order, exact stored values
  std::vector<double> Depths = {};     // empty: objects at 1, 2, ..., n
  std::vector<double> Positions = {};  // all nodes in pre-order; empty: not checked
};

const TreeCase TreeCases[] = {
    // Unconstrained trees leave the positions at 0.
    {"FurthestThree",
     FurthestNeighbour,
     false,
     3,
     {2, 5, 3},
     "(3 (1 2))",
     {5, 2},
     {2.5, 3, 4.5},
     {0, 0, 0, 0, 0}},
    {"NearestThree", NearestNeighbour, false, 3, {2, 5, 3}, "(3 (1 2))", {3, 2}},
    {"WeightedThree", WeightedPairgroup, false, 3, {2, 5, 3}, "(3 (1 2))", {4, 2}},
    {"UnweightedThree", UnweightedPairgroup, false, 3, {2, 5, 3}, "(3 (1 2))", {4, 2}},
    // Cluster {1, 2} takes two thirds of the weight when object 3 joins it.
    {"UnweightedWeighsBySize",
     UnweightedPairgroup,
     false,
     4,
     {1, 2, 10, 3, 20, 30},
     "(4 (3 (1 2)))",
     {R(TwoThirds * 15 + Third * 30), 2.5, 1}},
    {"CentroidThree",
     CentroidSorting,
     false,
     3,
     {2, 5, 3},
     "(3 (1 2))",
     {R(std::sqrt(3.5)), R(std::sqrt(2))}},
    {"MinimumVarianceThree",
     MinimumVariance,
     false,
     3,
     {2, 5, 3},
     "(3 (1 2))",
     {R(R(TwoThirds * 5 + TwoThirds * 3 - Third * 2) * 0.5), 1}},
    // Constrained nodes sit between their children, measured from the shallowest object:
    // root, leaf 3, node (2 1), leaf 2, leaf 1.
    {"ConstrainedFurthest",
     FurthestNeighbour,
     true,
     3,
     {4, 1, 6},
     "(3 (2 1))",
     {6, 4},
     {2.5, 3, 4.5},
     {1.125, 2, 0.25, 0.5, 0}},
    {"ConstrainedNearest",
     NearestNeighbour,
     true,
     3,
     {4, 1, 6},
     "(3 (2 1))",
     {1, 4},
     {-10, -4, 0},
     {R(6.5), 10, 3, 6, 0}},
    {"ConstrainedMinimumVariance",
     MinimumVariance,
     true,
     3,
     {4, 1, 6},
     "(3 (2 1))",
     {R(2 + R(TwoThirds * 1 + TwoThirds * 6 - Third * 4) * 0.5), 2}},
    {"ConstrainedFusesUpperPairOnTie", FurthestNeighbour, true, 3, {2, 9, 2}, "(3 (2 1))", {9, 2}},
    // The mean of two positions is rounded when stored: the mean of 1 and 1 + 2^-39 is a
    // tie, stored away from zero.
    {"ConstrainedLowerPair",
     FurthestNeighbour,
     true,
     3,
     {5, 9, 2},
     "((3 2) 1)",
     {9, 2},
     {0, 1, 1 + Ulp},
     {0.5 + Ulp / 2, 1 + Ulp, 1 + Ulp, 1, 0}},
    // All equal: (1 2), then 3, then 4 join cluster 1; the larger cluster goes second.
    {"TiesGoToLowestNumbers",
     FurthestNeighbour,
     false,
     4,
     {1, 1, 1, 1, 1, 1},
     "(4 (3 (1 2)))",
     {1, 1, 1}},
    // D13, D14 and D23 tie: (1 3) first; then D12 and D14 tie at 1: (1 2) before (1 4).
    {"TieForTheSameI", NearestNeighbour, false, 4, {3, 1, 1, 1, 5, 5}, "(4 (2 (1 3)))", {1, 1, 1}},
    // Cluster 2 = {2, 3, 4} joins object 1: the single object goes first although it is i.
    {"SmallerClusterFirst",
     FurthestNeighbour,
     false,
     4,
     {10, 10, 10, 1, 2, 1.5},
     "(1 (4 (2 3)))",
     {10, 2, 1}},
    {"EqualSizesKeepIFirst",
     FurthestNeighbour,
     false,
     4,
     {1, 10, 10, 10, 10, 1.5},
     "((1 2) (3 4))",
     {10, 1, 1.5}},
    {"TwoNearest", NearestNeighbour, false, 2, {9}, "(1 2)", {9}},
    {"TwoCentroid", CentroidSorting, false, 2, {9}, "(1 2)", {3}},
    {"TwoMinimumVariance", MinimumVariance, false, 2, {9}, "(1 2)", {4.5}},
    {"TwoConstrainedMinimumVariance", MinimumVariance, true, 2, {9}, "(2 1)", {4.5}},
    {"One", MinimumVariance, false, 1, {}, "1", {}},
    {"OneConstrained", FurthestNeighbour, true, 1, {}, "1", {}},
};

// Sizes add up, a fused node keeps the lower cluster number, leaves sit at level 0.
void CheckNodes(const ClusterNode& node) {
  if (node.IsLeaf()) {
    EXPECT_EQ(node.Size, 1);
    EXPECT_EQ(node.Step, 0);
    EXPECT_EQ(node.Level.ToDouble(), 0);
    return;
  }
  ASSERT_TRUE(node.Child1 && node.Child2);
  EXPECT_GT(node.Step, std::max(node.Child1->Step, node.Child2->Step));
  EXPECT_EQ(node.Size, node.Child1->Size + node.Child2->Size);
  EXPECT_EQ(node.FirstObject, std::min(node.Child1->FirstObject, node.Child2->FirstObject));
  CheckNodes(*node.Child1);
  CheckNodes(*node.Child2);
}

// Every case starts from an earlier tree, which the new one replaces.
TEST(AgglomerateTest, BuildsTheTree) {
  for (const TreeCase& c : TreeCases) {
    SCOPED_TRACE(c.Name);
    std::vector<double> depths(c.N);
    std::iota(depths.begin(), depths.end(), 1.0);
    if (!c.Depths.empty()) depths = c.Depths;
    auto run = testing::MakeTreeRun(c.Strategy, c.Constrained, depths, c.Upper);
    run->TreeRoot = std::make_unique<ClusterNode>();
    run->TreeRoot->FirstObject = 77;

    Agglomerate(run->Settings, run->Matrix, run->Dissimilarity, run->TreeRoot,
                *testing::NewWorkingState());

    ASSERT_TRUE(run->TreeRoot);
    EXPECT_EQ(testing::Shape(*run->TreeRoot), c.Shape);
    std::vector<double> levels, positions;
    testing::Collect(*run->TreeRoot, levels, positions);
    EXPECT_EQ(levels, c.Levels);
    if (!c.Positions.empty()) {
      EXPECT_EQ(positions, c.Positions);
    }
    EXPECT_EQ(CountNodes(run->TreeRoot.get()), 2 * c.N - 1);
    EXPECT_EQ(run->TreeRoot->Step, c.N - 1);
    CheckNodes(*run->TreeRoot);
  }
}

// No objects make no tree; an unknown strategy is refused.
TEST(AgglomerateTest, NoTreeWithoutObjectsOrStrategy) {
  auto none = testing::MakeTreeRun(FurthestNeighbour, false, {}, {});
  Agglomerate(none->Settings, none->Matrix, none->Dissimilarity, none->TreeRoot,
              *testing::NewWorkingState());
  EXPECT_FALSE(none->TreeRoot);
  auto unknown = testing::MakeTreeRun(StrategyCode{6}, false, {1, 2}, {1});
  EXPECT_THROW(Agglomerate(unknown->Settings, unknown->Matrix, unknown->Dissimilarity,
                           unknown->TreeRoot, *testing::NewWorkingState()),
               std::invalid_argument);
  EXPECT_FALSE(unknown->TreeRoot);
}

// Failures part-way: the tree held before stays, and nothing made so far leaks (the
// sanitizer build checks the latter).

struct FailureCase {
  const char* Name;
  StrategyCode Strategy;
  bool Constrained;
  std::vector<double> Depths;
  std::vector<double> Upper;
  const char* Error = "Floating point overflow";
};

const double Huge = 1.6e38;

const FailureCase FailureCases[] = {
    // The running total of dispersion exceeds the format after the third fusion.
    {"DispersionTotalOverflows",
     MinimumVariance,
     true,
     {1, 2, 3, 4},
     {Huge, Huge, Huge, Huge, Huge, Huge}},
    // Minimum variance can give a new cluster more than its parts' dissimilarity.
    {"MinimumVarianceUpdateOverflows", MinimumVariance, false, {1, 2, 3}, {0, Huge, Huge}},
    {"DepthSpanOverflows", FurthestNeighbour, true, {-1e38, 1e38}, {1}},
    // A negative value has no square root to report as a centroid level.
    {"CentroidOfNegative",
     CentroidSorting,
     false,
     {1, 2},
     {-1},
     "Invalid floating point operation"},
};

TEST(AgglomerateFailureTest, LeavesTheEarlierTree) {
  for (const auto& c : FailureCases) {
    SCOPED_TRACE(c.Name);
    auto run = testing::MakeTreeRun(c.Strategy, c.Constrained, c.Depths, c.Upper);
    run->TreeRoot = std::make_unique<ClusterNode>();
    run->TreeRoot->FirstObject = 77;
    const ClusterNode* earlier = run->TreeRoot.get();
    try {
      Agglomerate(run->Settings, run->Matrix, run->Dissimilarity, run->TreeRoot,
                  *testing::NewWorkingState());
      ADD_FAILURE() << "no error";
    } catch (const std::exception& error) {
      EXPECT_STREQ(error.what(), c.Error);
    }
    EXPECT_EQ(run->TreeRoot.get(), earlier);
    EXPECT_EQ(run->TreeRoot->FirstObject, 77);
  }
}

}  // namespace
}  // namespace vardell

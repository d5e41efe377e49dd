#include "engine/storedrows.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace vardell {
namespace {

// Runs of every length around the four-value steps, of values at the format's edges, each
// value at every place in the run; nothing beyond the run is read into or written.
TEST(StoredRowsTest, RunsGoBothWaysExactly) {
  const double values[] = {0,
                           1,
                           -1,
                           0x1p-128,
                           -0x1p-128,
                           (2 - 0x1p-39) * 0x1p126,
                           -StorageReal::Largest(),
                           1 + 0x1p-39,
                           -(1 + 0x1p-39),
                           12345.678,
                           0.1};
  const std::array<std::uint8_t, 6> guard = {0xa5, 0xa5, 0xa5, 0xa5, 0xa5, 0xa5};
  for (int count = 0; count <= 13; ++count) {
    for (std::size_t shift = 0; shift < std::size(values); ++shift) {
      SCOPED_TRACE("count " + std::to_string(count) + " shift " + std::to_string(shift));
      std::vector<StorageReal> stored(count + 2, StorageReal::FromBytes(guard));
      for (int q = 0; q < count; ++q)
        stored[q + 1] = StorageReal(values[(q + shift) % std::size(values)]);
      std::vector<double> doubles(count + 2, -7.0);
      UnpackStored(stored.data() + 1, doubles.data() + 1, count);
      EXPECT_EQ(doubles.front(), -7.0);
      EXPECT_EQ(doubles.back(), -7.0);
      for (int q = 0; q < count; ++q) {
        EXPECT_EQ(doubles[q + 1], stored[q + 1].ToDouble()) << q;
        EXPECT_FALSE(std::signbit(doubles[q + 1]) && doubles[q + 1] == 0) << q;
      }
      std::vector<StorageReal> back(count + 2, StorageReal::FromBytes(guard));
      PackStored(doubles.data() + 1, back.data() + 1, count);
      for (int q = 0; q < count + 2; ++q) EXPECT_EQ(back[q].Bytes(), stored[q].Bytes()) << q;
    }
  }
}

}  // namespace
}  // namespace vardell

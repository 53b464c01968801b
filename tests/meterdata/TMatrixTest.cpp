#include "meterdata/TMatrix.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

namespace lumvaris::meterdata {
namespace {

// Stores of 4-byte records holding a distinct number each, so every record can be traced.
constexpr int kSize = 4;
using Rec = std::array<std::uint8_t, kSize>;

Rec R(std::uint32_t v) {
    return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

std::uint32_t At(const TMatrix& m, int col, int row) {
    Rec r{0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_TRUE(m.GetRecord(r.data(), col, row));
    return r[0] | (r[1] << 8) | (r[2] << 16) | (std::uint32_t(r[3]) << 24);
}

using Rows = std::vector<std::vector<std::uint32_t>>;

Rows Contents(const TMatrix& m) {
    Rows rows(m.RowCount(), std::vector<std::uint32_t>(m.ColCount()));
    for (int r = 0; r < m.RowCount(); ++r) {
        for (int c = 0; c < m.ColCount(); ++c) {
            rows[r][c] = At(m, c, r);
        }
    }
    return rows;
}

void Fill(TMatrix& m, const Rows& rows) {
    ASSERT_TRUE(m.SetRowCount(int(rows.size())));
    ASSERT_TRUE(m.SetColCount(int(rows[0].size())));
    for (int r = 0; r < int(rows.size()); ++r) {
        for (int c = 0; c < int(rows[r].size()); ++c) {
            m.PutRecord(R(rows[r][c]).data(), c, r);
        }
    }
}

TEST(TMatrix, StartsBlankWithOneClearedRecord) {
    TMatrix m(24, QString());
    EXPECT_TRUE(m.IsBlank());
    EXPECT_EQ(m.Count(), 1);
    EXPECT_EQ(m.Capacity(), 256);
    EXPECT_EQ(m.RecordSize(), 24);
    std::array<std::uint8_t, 24> r;
    r.fill(0xAA);
    ASSERT_TRUE(m.GetRecord(r.data(), 0, 0));
    EXPECT_EQ(r, (std::array<std::uint8_t, 24>{}));
}

TEST(TMatrix, ColumnChangesKeepWhatFitsAndClearTheRest) {
    struct Case {
        const char* name;
        Rows before;
        int cols;
        Rows after;
    };
    const Case cases[] = {
        {"widen 1 to 3", {{10}, {11}}, 3, {{10, 0, 0}, {11, 0, 0}}},
        {"narrow 4 to 2", {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}}, 2, {{1, 2}, {5, 6}, {9, 10}}},
        {"widen 2 to 5", {{1, 2}, {3, 4}, {5, 6}}, 5, {{1, 2, 0, 0, 0}, {3, 4, 0, 0, 0}, {5, 6, 0, 0, 0}}},
        {"same width", {{1, 2}, {3, 4}}, 2, {{1, 2}, {3, 4}}},
        {"zero ignored", {{1, 2}, {3, 4}}, 0, {{1, 2}, {3, 4}}},
        {"negative ignored", {{1, 2}, {3, 4}}, -3, {{1, 2}, {3, 4}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TMatrix m(kSize, QString());
        Fill(m, c.before);
        EXPECT_TRUE(m.SetColCount(c.cols));
        EXPECT_EQ(Contents(m), c.after);
    }
}

TEST(TMatrix, RowChangesKeepWhatFitsAndClearTheRest) {
    TMatrix m(kSize, QString());
    Fill(m, {{1, 2}, {3, 4}, {5, 6}});
    EXPECT_TRUE(m.SetRowCount(2));
    EXPECT_EQ(Contents(m), (Rows{{1, 2}, {3, 4}}));
    EXPECT_TRUE(m.SetRowCount(4));
    EXPECT_EQ(Contents(m), (Rows{{1, 2}, {3, 4}, {0, 0}, {0, 0}}));
    EXPECT_TRUE(m.SetRowCount(0));
    EXPECT_EQ(m.RowCount(), 4);
}

TEST(TMatrix, InsertShiftsTheRowRightAndDropsItsLastRecord) {
    struct Case {
        const char* name;
        int col;
        std::vector<std::uint32_t> after;
    };
    const Case cases[] = {
        {"middle", 1, {100, 99, 101, 102}},
        {"front", 0, {99, 100, 101, 102}},
        {"last column only overwrites", 3, {100, 101, 102, 99}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TMatrix m(kSize, QString());
        Fill(m, {{1, 2, 3, 4}, {100, 101, 102, 103}, {5, 6, 7, 8}});
        m.InsertRecord(R(99).data(), c.col, 1);
        EXPECT_EQ(Contents(m), (Rows{{1, 2, 3, 4}, c.after, {5, 6, 7, 8}}));
    }
}

TEST(TMatrix, InsertingARecordOfTheSameRowUsesItsValueBeforeTheShift) {
    TMatrix m(kSize, QString());
    Fill(m, {{1, 2, 3, 4}});
    m.InsertRecord(m.Data() + 2 * kSize, 0, 0);  // record "3"
    EXPECT_EQ(Contents(m), (Rows{{3, 1, 2, 3}}));
}

TEST(TMatrix, InvalidPositionsChangeNothing) {
    const std::pair<int, int> positions[] = {{-1, 0}, {3, 0}, {0, -1}, {0, 2}, {3, 2}, {-1, -1}};
    for (auto [col, row] : positions) {
        SCOPED_TRACE(testing::Message() << col << "," << row);
        TMatrix m(kSize, QString());
        Fill(m, {{1, 2, 3}, {4, 5, 6}});
        const Rows before = Contents(m);
        m.PutRecord(R(77).data(), col, row);
        m.InsertRecord(R(78).data(), col, row);
        m.ClearRecord(col, row);
        Rec out = R(0xDEADBEEF);
        EXPECT_FALSE(m.GetRecord(out.data(), col, row));
        EXPECT_EQ(out, R(0xDEADBEEF));
        EXPECT_EQ(Contents(m), before);
    }
}

TEST(TMatrix, BufferGrowsByDoublingAndShrinksOnlyWhenThreeTimesTooLarge) {
    struct Step {
        int cols, rows, capacity;
    };
    // Each step re-dimensions the same store, columns then rows; the capacity after both was worked
    // out by hand from the doubling and halving rule.
    const Step steps[] = {
        {2, 1000, 2048},                  // 256 doubled until it holds 2000
        {2, 10, 32},                      // 2048 > 512: halved while above 60
        {2, 10, 256},                     // the next sizing lifts it back to the minimum of 256
        {300, 1, 512},   {100, 1, 512},   // 512 is not above 512: no halving
        {2000, 1, 2048}, {500, 1, 1024},  // halved once: 1024 is not above 1500
    };
    TMatrix m(kSize, QString());
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const Step& s = steps[i];
        SCOPED_TRACE(testing::Message() << "step " << i);
        ASSERT_TRUE(m.SetColCount(s.cols));
        ASSERT_TRUE(m.SetRowCount(s.rows));
        EXPECT_EQ(m.Capacity(), s.capacity);
        EXPECT_GE(m.Capacity(), m.Count());
    }
}

TEST(TMatrix, OverflowingDimensionsAreRefusedAndTheStoreStaysWhole) {
    TMatrix m(kSize, QString());
    Fill(m, {{1, 2}, {3, 4}});
    EXPECT_TRUE(m.SetRowCount(100000));
    EXPECT_FALSE(m.SetColCount(100000));  // 10^10 records
    EXPECT_EQ(m.ColCount(), 2);
    EXPECT_EQ(m.RowCount(), 100000);
    EXPECT_EQ(At(m, 1, 1), 4u);
    EXPECT_TRUE(m.SetRowCount(2));
    EXPECT_FALSE(m.SetRowCount(0x7FFFFFFF));
    EXPECT_EQ(Contents(m), (Rows{{1, 2}, {3, 4}}));
}

// Random operations against a plain vector-of-rows model.
TEST(TMatrix, MatchesASimpleModelUnderRandomOperations) {
    std::mt19937 rng(12345);
    TMatrix m(kSize, QString());
    Rows model{{0}};
    std::uint32_t next = 1;
    for (int step = 0; step < 3000; ++step) {
        const int op = int(rng() % 6);
        const int cols = int(model[0].size()), rows = int(model.size());
        const int col = int(rng() % (cols + 2)) - 1, row = int(rng() % (rows + 2)) - 1;
        const bool valid = col >= 0 && col < cols && row >= 0 && row < rows;
        switch (op) {
            case 0: {
                const int n = int(rng() % 40) - 2;
                ASSERT_TRUE(m.SetColCount(n));
                if (n >= 1) {
                    for (auto& r : model)
                        r.resize(n, 0);
                }
                break;
            }
            case 1: {
                const int n = int(rng() % 40) - 2;
                ASSERT_TRUE(m.SetRowCount(n));
                if (n >= 1)
                    model.resize(n, std::vector<std::uint32_t>(cols, 0));
                break;
            }
            case 2:
                m.PutRecord(R(next).data(), col, row);
                if (valid)
                    model[row][col] = next;
                ++next;
                break;
            case 3:
                m.InsertRecord(R(next).data(), col, row);
                if (valid) {
                    model[row].insert(model[row].begin() + col, next);
                    model[row].pop_back();
                }
                ++next;
                break;
            case 4:
                m.ClearRecord(col, row);
                if (valid)
                    model[row][col] = 0;
                break;
            default:
                break;
        }
        ASSERT_EQ(Contents(m), model) << "after step " << step << " op " << op;
        ASSERT_GE(m.Capacity(), m.Count());
    }
}

}  // namespace
}  // namespace lumvaris::meterdata

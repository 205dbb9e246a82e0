#include "chart/value_list.h"

#include <gtest/gtest.h>
#include <vector>

namespace sornafex::chart {
namespace {

std::vector<double> Values(const TChartValueList& list) {
    std::vector<double> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list.Value(i));
    return out;
}

TChartValueList ListOf(TChartListOrder order, const std::vector<double>& values) {
    TChartValueList list("X ", TChartListOrder::loNone);
    for (double v : values)
        list.AddValue(v);
    list.SetOrder(order);
    return list;
}

struct TInsertCase {
    const char* name;
    TChartListOrder order;
    std::vector<double> before;
    double value;
    int index;
    std::vector<double> after;
};

class OrderedInsert : public ::testing::TestWithParam<TInsertCase> {};

TEST_P(OrderedInsert, GoesWhereTheOrderWantsIt) {
    const TInsertCase& c = GetParam();
    TChartValueList list = ListOf(c.order, c.before);
    EXPECT_EQ(list.AddValue(c.value), c.index);
    EXPECT_EQ(Values(list), c.after);
}

constexpr auto kAsc = TChartListOrder::loAscending;
constexpr auto kDesc = TChartListOrder::loDescending;
constexpr auto kNone = TChartListOrder::loNone;

INSTANTIATE_TEST_SUITE_P(
    Cases, OrderedInsert,
    ::testing::Values(TInsertCase{"between", kAsc, {0, 1, 2, 3, 7}, 5, 4, {0, 1, 2, 3, 5, 7}},
                      TInsertCase{
                          "equalGoesAfter", kAsc, {0, 1, 2, 3, 5, 7}, 3, 4, {0, 1, 2, 3, 3, 5, 7}},
                      TInsertCase{"largestAppends", kAsc, {0, 1, 254}, 256, 3, {0, 1, 254, 256}},
                      TInsertCase{"equalToLastAppends", kAsc, {0, 4}, 4, 2, {0, 4, 4}},
                      TInsertCase{"smallestFirst", kAsc, {1, 2}, -1, 0, {-1, 1, 2}},
                      TInsertCase{"emptyAppends", kAsc, {}, 9, 0, {9}},
                      TInsertCase{"noneAppends", kNone, {5, 1}, 3, 2, {5, 1, 3}},
                      TInsertCase{"descendingBetween", kDesc, {9, 7, 3}, 5, 2, {9, 7, 5, 3}},
                      TInsertCase{"descendingEqualAfter", kDesc, {9, 5, 3}, 5, 2, {9, 5, 5, 3}},
                      TInsertCase{"descendingLargestFirst", kDesc, {9, 5}, 10, 0, {10, 9, 5}},
                      TInsertCase{"descendingSmallestAppends", kDesc, {9, 5}, 1, 2, {9, 5, 1}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ValueList, StatisticsFollowEveryChange) {
    TChartValueList list("Y ", kNone);
    EXPECT_EQ(list.MinValue(), 0);
    EXPECT_EQ(list.MaxValue(), 0);
    EXPECT_EQ(list.Total(), 0);
    for (double v : {3.0, -2.0, 7.0})
        list.AddValue(v);
    EXPECT_EQ(list.MinValue(), -2);
    EXPECT_EQ(list.MaxValue(), 7);
    EXPECT_EQ(list.Total(), 8);
    EXPECT_EQ(list.TotalABS(), 12);

    list.SetValue(1, 10);
    EXPECT_EQ(list.MinValue(), 3);
    EXPECT_EQ(list.MaxValue(), 10);
    list.Delete(1);
    EXPECT_EQ(list.MaxValue(), 7);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.MaxValue(), 0);
}

TEST(ValueList, MultiplierScalesReadsButNotWrites) {
    TChartValueList list("Y ", kNone);
    list.AddValue(4);
    list.SetMultiplier(2.5);
    EXPECT_EQ(list.Value(0), 10);
    EXPECT_EQ(list.MaxValue(), 10);
    list.SetValue(0, 2);
    EXPECT_EQ(list.Value(0), 5);
}

TEST(ValueList, BadIndexRaisesTheListIndexError) {
    TChartValueList list("X ", kAsc);
    list.AddValue(1);
    try {
        list.Value(3);
        FAIL() << "no error for index 3";
    } catch (const EListError& e) {
        EXPECT_STREQ(e.what(), "Indice de liste hors limites (3)");
        EXPECT_EQ(e.Index(), 3);
    }
    EXPECT_THROW(list.SetValue(-1, 0), EListError);
    EXPECT_THROW(list.Delete(1), EListError);
    EXPECT_EQ(list.Count(), 1);
}

TEST(ValueList, RotateMovesTheFirstValueToTheEnd) {
    TChartValueList list = ListOf(kNone, {1, 2, 3});
    list.Rotate();
    EXPECT_EQ(Values(list), (std::vector<double>{2, 3, 1}));
}

} // namespace
} // namespace sornafex::chart

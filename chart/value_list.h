#pragma once

// One coordinate of a series' points: a growable list of doubles that can keep itself in
// ascending or descending order, scales every read by a multiplier and caches its statistics.

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace sornafex::chart {

// An index outside 0 .. Count - 1: "Indice de liste hors limites (%d)" with the index.
class EListError : public std::out_of_range {
public:
    explicit EListError(int index);
    int Index() const { return m_index; }

private:
    int m_index;
};

enum class TChartListOrder { loNone, loAscending, loDescending };

class TChartValueList {
public:
    TChartValueList(std::string name, TChartListOrder order);

    int Count() const { return static_cast<int>(m_values.size()); }
    // The stored value times Multiplier. Throws EListError for a bad index.
    double Value(int index) const {
        CheckIndex(index);
        return m_values[static_cast<std::size_t>(index)] * m_multiplier;
    }
    // Stores value as given (not divided by Multiplier). Throws EListError for a bad index.
    void SetValue(int index, double value);
    // Inserts value where Order wants it (an equal value goes after the existing ones) and
    // returns its index; with loNone it is appended.
    int AddValue(double value);
    // Inserts at index (0 .. Count), ignoring Order.
    void InsertValue(int index, double value);
    void Delete(int index);
    // Makes room for count values in all: adding up to that many moves no stored value.
    void Reserve(int count) { m_values.reserve(static_cast<std::size_t>(std::max(count, 0))); }
    // Empties the list and gives its storage back.
    void Clear();
    // The first value moves to the end.
    void Rotate();

    TChartListOrder Order() const { return m_order; }
    void SetOrder(TChartListOrder order) { m_order = order; }
    double Multiplier() const { return m_multiplier; }
    void SetMultiplier(double multiplier);
    bool DateTime() const { return m_dateTime; }
    void SetDateTime(bool dateTime) { m_dateTime = dateTime; }
    const std::string& Name() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }

    // Statistics of the values as read, recomputed after any change. A value that is not a
    // number (the Y of a series' null point) is not counted; all 0 when no value is.
    double MinValue() const;
    double MaxValue() const;
    double Total() const;
    double TotalABS() const;

private:
    // Inline, as the drawing reads every point through Value; the error is raised elsewhere.
    void CheckIndex(int index) const {
        if (index < 0 || index >= Count())
            ThrowIndexError(index);
    }
    [[noreturn]] static void ThrowIndexError(int index);
    void Touch() { m_dirty = true; }
    void Recalc() const;

    std::vector<double> m_values;
    std::string m_name;
    TChartListOrder m_order;
    double m_multiplier = 1.0;
    bool m_dateTime = false;

    mutable bool m_dirty = true;
    mutable double m_min = 0;
    mutable double m_max = 0;
    mutable double m_total = 0;
    mutable double m_totalAbs = 0;
};

} // namespace sornafex::chart

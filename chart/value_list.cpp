#include "chart/value_list.h"

#include "base/uRes.h"

#include <cmath>

namespace sornafex::chart {

namespace {
constexpr std::string_view kListIndexError = "Indice de liste hors limites (%d)";
}

EListError::EListError(int index)
    : std::out_of_range(res::FormatInt(kListIndexError, index)), m_index(index) {}

TChartValueList::TChartValueList(std::string name, TChartListOrder order)
    : m_name(std::move(name)), m_order(order) {}

void TChartValueList::ThrowIndexError(int index) {
    throw EListError(index);
}

void TChartValueList::SetValue(int index, double value) {
    CheckIndex(index);
    m_values[static_cast<std::size_t>(index)] = value;
    Touch();
}

int TChartValueList::AddValue(double value) {
    Touch();
    if (m_order == TChartListOrder::loNone || m_values.empty()) {
        m_values.push_back(value);
        return Count() - 1;
    }
    // Walk back from the end: samples arrive in order, so the usual case appends at once.
    const bool ascending = m_order == TChartListOrder::loAscending;
    auto before = [&](double stored) {
        return ascending ? value < stored : value > stored;
    };
    std::size_t at = m_values.size();
    while (at > 0 && before(m_values[at - 1]))
        --at;
    m_values.insert(m_values.begin() + static_cast<std::ptrdiff_t>(at), value);
    return static_cast<int>(at);
}

void TChartValueList::InsertValue(int index, double value) {
    if (index < 0 || index > Count())
        throw EListError(index);
    m_values.insert(m_values.begin() + index, value);
    Touch();
}

void TChartValueList::Delete(int index) {
    CheckIndex(index);
    m_values.erase(m_values.begin() + index);
    Touch();
}

void TChartValueList::Clear() {
    std::vector<double>().swap(m_values);
    Touch();
}

void TChartValueList::Rotate() {
    if (m_values.size() < 2)
        return;
    const double first = m_values.front();
    m_values.erase(m_values.begin());
    m_values.push_back(first);
    Touch();
}

void TChartValueList::SetMultiplier(double multiplier) {
    if (multiplier == m_multiplier)
        return;
    m_multiplier = multiplier;
    Touch();
}

void TChartValueList::Recalc() const {
    if (!m_dirty)
        return;
    m_min = m_max = m_total = m_totalAbs = 0;
    bool any = false;
    for (const double stored : m_values) {
        const double v = stored * m_multiplier;
        if (std::isnan(v))
            continue;
        if (!any) {
            m_min = m_max = v;
            any = true;
        } else if (v < m_min) {
            m_min = v;
        } else if (v > m_max) {
            m_max = v;
        }
        m_total += v;
        m_totalAbs += std::fabs(v);
    }
    m_dirty = false;
}

double TChartValueList::MinValue() const {
    Recalc();
    return m_min;
}
double TChartValueList::MaxValue() const {
    Recalc();
    return m_max;
}
double TChartValueList::Total() const {
    Recalc();
    return m_total;
}
double TChartValueList::TotalABS() const {
    Recalc();
    return m_totalAbs;
}

} // namespace sornafex::chart

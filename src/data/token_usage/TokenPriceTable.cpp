#include "data/token_usage/TokenPriceTable.h"

#include <algorithm>
#include <array>

namespace tolvaran {

namespace {

constexpr double tokensPerPriceUnit = 1000000.0;

struct PriceRow
{
    QLatin1String model;
    bool prefix; // else the whole name must be equal
    TokenPriceTable::Rates rates;
};

// Tried in this order; the first match wins ("gpt-5.6-sol" before the shorter names).
const std::array<PriceRow, 7> &priceRows()
{
    static const std::array<PriceRow, 7> rows{{
        {QLatin1String("gpt-5.6-sol"), true, {2.5, 0.25, 15.0}},
        {QLatin1String("gpt-5.5"), false, {2.5, 0.25, 15.0}},
        {QLatin1String("gpt-5.6-terra"), true, {1.25, 0.125, 7.5}},
        {QLatin1String("gpt-5.6-luna"), true, {0.5, 0.05, 3.0}},
        {QLatin1String("gpt-5.4"), true, {2.5, 0.25, 15.0}},
        {QLatin1String("gpt-5.3-codex"), true, {1.75, 0.175, 14.0}},
        {QLatin1String("gpt-5.2-codex"), true, {1.75, 0.175, 14.0}},
    }};
    return rows;
}

} // namespace

std::optional<TokenPriceTable::Rates> TokenPriceTable::rates(const QString &model)
{
    const QString name = model.toLower();
    for (const PriceRow &row : priceRows()) {
        if (row.prefix ? name.startsWith(row.model) : name == row.model)
            return row.rates;
    }
    return std::nullopt;
}

double TokenPriceTable::cost(const Rates &rates, qint64 input, qint64 cachedInput,
                             qint64 output)
{
    // In doubles: counts come from files and may be anything, and a difference of two
    // 64-bit integers could overflow.
    const double cached = double(std::min(cachedInput, input));
    return splitCost(rates, std::max(double(input) - cached, 0.0), cached, double(output));
}

double TokenPriceTable::splitCost(const Rates &rates, double uncachedInput, double cachedInput,
                                  double output)
{
    return (rates.input * uncachedInput + rates.cachedInput * cachedInput + rates.output * output)
        / tokensPerPriceUnit;
}

double TokenPriceTable::cost(const std::optional<QString> &model, qint64 input,
                             qint64 cachedInput, qint64 output)
{
    if (!model)
        return 0.0;
    const std::optional<Rates> found = rates(*model);
    return found ? cost(*found, input, cachedInput, output) : 0.0;
}

} // namespace tolvaran

#pragma once

#include <QString>

#include <optional>

namespace tolvaran {

// The built-in prices of the models Codex runs, in US dollars per million tokens, and the
// estimated cost of one model turn.
class TokenPriceTable final
{
public:
    struct Rates
    {
        double input = 0.0;
        double cachedInput = 0.0;
        double output = 0.0;

        friend bool operator==(const Rates &, const Rates &) = default;
    };

    // The rates of the first row that matches the lowercased model name; absent when none does.
    static std::optional<Rates> rates(const QString &model);

    // Cached input is part of input; input beyond the cached part is charged at the input
    // rate, and cached input larger than input counts as all input cached.
    static double cost(const Rates &rates, qint64 input, qint64 cachedInput, qint64 output);
    // The same with the input already split into its uncached and cached parts (sums over
    // many turns, each split on its own).
    static double splitCost(const Rates &rates, double uncachedInput, double cachedInput,
                            double output);
    // 0 for an absent or unknown model.
    static double cost(const std::optional<QString> &model, qint64 input, qint64 cachedInput,
                       qint64 output);
};

} // namespace tolvaran

#pragma once

#include <QHashFunctions>

namespace tolvaran::markdown {

// An element paired with its position in a sequence. Views that repeat elements use it as
// the element's identity, so that two equal elements at different positions stay distinct.
template <typename Value>
struct Indexed
{
    qsizetype index = 0;
    Value value;

    friend bool operator==(const Indexed &, const Indexed &) = default;
};

template <typename Value>
size_t qHash(const Indexed<Value> &indexed, size_t seed = 0)
{
    return qHashMulti(seed, indexed.index, indexed.value);
}

} // namespace tolvaran::markdown

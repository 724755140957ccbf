#pragma once
// The largest or smallest of one value over a list of owned records (pointers
// or smart pointers); 0 for an empty list, as a record without data reports.

#include <algorithm>
#include <functional>

template <class List, class Get>
double MaxValueOf(const List& items, Get get)
{
    if (items.empty())
        return 0.0;
    double v = std::invoke(get, *items.front());
    for (const auto& item : items)
        v = std::max(v, std::invoke(get, *item));
    return v;
}

template <class List, class Get>
double MinValueOf(const List& items, Get get)
{
    if (items.empty())
        return 0.0;
    double v = std::invoke(get, *items.front());
    for (const auto& item : items)
        v = std::min(v, std::invoke(get, *item));
    return v;
}

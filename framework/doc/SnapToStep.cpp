#include "framework/doc/SnapToStep.h"

#include "platform/Strings.h"

#include <cmath>

std::optional<std::string> SnapToStepText(double value, double step, double factor, unsigned formatId)
{
    double snapped = value;
    if (step != 0.0)
        snapped = step * std::floor(factor * value + 0.5);
    if (snapped == value)
        return std::nullopt;
    std::string format;
    if (formatId == 0 || !TryLoadString(formatId, format) || format.empty())
        return FormatG(snapped);
    return FormatPrintf(format.c_str(), snapped);
}

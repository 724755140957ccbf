#include "acquire/core/AcqError.h"

#include "platform/Strings.h"

std::string CAcqError::Text() const
{
    const std::string format = LoadString(id);
    std::string out;
    size_t highest = 0;
    for (size_t i = 0; i + 1 < format.size(); ++i)
        if (format[i] == '%' && format[i + 1] >= '1' && format[i + 1] <= '9')
            highest = std::max<size_t>(highest, size_t(format[i + 1] - '0'));
    size_t next = highest;
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        const char n = i + 1 < format.size() ? format[i + 1] : '\0';
        if (c == '%' && n >= '1' && n <= '9') {
            const size_t k = size_t(n - '1');
            out += k < args.size() ? args[k] : std::string();
            ++i;
        } else if (c == '%' && (n == 's' || n == 'g')) {
            out += next < args.size() ? args[next] : std::string();
            ++next;
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

#pragma once
// The program's private clipboard formats: a record of bytes under a format
// number. The clipboard carries each as its own MIME type, so a format put
// there by one window is found by number in another; a copy replaces
// whatever the clipboard held, as emptying it first would.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ClipFormat {

QString MimeType(unsigned format);
// Puts the record on the clipboard as its only content; false when there is no clipboard.
bool Put(unsigned format, const std::vector<uint8_t>& bytes);
bool Has(unsigned format);
// The record under format, at most cap bytes of it; empty when the clipboard has none.
std::vector<uint8_t> Get(unsigned format, std::size_t cap = SIZE_MAX);

} // namespace ClipFormat

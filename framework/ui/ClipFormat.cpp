#include "framework/ui/ClipFormat.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <algorithm>

namespace ClipFormat {

QString MimeType(unsigned format)
{
    return QStringLiteral("application/x-veltrane-clipformat-%1").arg(format, 0, 16);
}

bool Put(unsigned format, const std::vector<uint8_t>& bytes)
{
    QClipboard* clip = QGuiApplication::clipboard();
    if (!clip)
        return false;
    auto* data = new QMimeData;
    data->setData(MimeType(format),
                  QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
    clip->setMimeData(data);
    return true;
}

bool Has(unsigned format)
{
    const QClipboard* clip = QGuiApplication::clipboard();
    const QMimeData* data = clip ? clip->mimeData() : nullptr;
    return data && data->hasFormat(MimeType(format));
}

std::vector<uint8_t> Get(unsigned format, std::size_t cap)
{
    const QClipboard* clip = QGuiApplication::clipboard();
    const QMimeData* data = clip ? clip->mimeData() : nullptr;
    if (!data || !data->hasFormat(MimeType(format)))
        return {};
    const QByteArray b = data->data(MimeType(format));
    const auto n = std::min<std::size_t>(std::size_t(b.size()), cap);
    return std::vector<uint8_t>(b.begin(), b.begin() + qsizetype(n));
}

} // namespace ClipFormat

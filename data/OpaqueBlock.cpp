#include "data/OpaqueBlock.h"

#include "data/Header.h"
#include "platform/Archive.h"

void COpaqueBlock::operator>>(CArchive& ar) const
{
    if (!m_bPresent)
        return;
    ar << m_blockId << m_version << static_cast<int32_t>(m_content.size());
    if (!m_content.empty())
        ar.Write(m_content.data(), m_content.size());
}

void COpaqueBlock::operator<<(CArchive& ar)
{
    const Block::SHead head = Block::ReadHead(ar);
    std::vector<uint8_t> content(static_cast<size_t>(head.length));
    if (!content.empty())
        ar.Read(content.data(), content.size());
    SetContent(head.version, std::move(content));
}

void COpaqueBlock::SetContent(uint16_t version, std::vector<uint8_t> content)
{
    m_bPresent = true;
    m_version = version;
    m_content = std::move(content);
}

void COpaqueBlock::Clear()
{
    m_bPresent = false;
    m_version = 1;
    m_content.clear();
}

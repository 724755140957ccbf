#pragma once
// Helpers shared by the document tests: a message sink that records what the
// user would have been shown, and a scratch folder that is removed afterwards.

#include "platform/MessageSink.h"

#include <filesystem>
#include <string>
#include <vector>

class CRecordingSink : public IMessageSink
{
public:
    CRecordingSink() : m_previous(SetMessageSink(this)) {}
    ~CRecordingSink() override { SetMessageSink(m_previous); }
    int ShowMessage(const std::string& text, unsigned type) override
    {
        m_messages.push_back(text);
        m_types.push_back(type);
        return m_answer;
    }
    std::string Last() const { return m_messages.empty() ? std::string() : m_messages.back(); }

    std::vector<std::string> m_messages;
    std::vector<unsigned> m_types;
    int m_answer = IDOK;

private:
    IMessageSink* m_previous;
};

class CScratchDir
{
public:
    CScratchDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "vltdoc-XXXXXX").string();
        m_path = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~CScratchDir()
    {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

#pragma once
// A message sink that records what the user would have been shown, installed
// for the lifetime of the object; answers every message with m_answer.

#include "platform/MessageSink.h"

#include <string>
#include <vector>

class CRecordingSink : public IMessageSink
{
public:
    CRecordingSink() : m_previous(SetMessageSink(this)) {}
    ~CRecordingSink() override { SetMessageSink(m_previous); }
    CRecordingSink(const CRecordingSink&) = delete;
    CRecordingSink& operator=(const CRecordingSink&) = delete;
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

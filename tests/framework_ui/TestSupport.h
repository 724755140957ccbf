#pragma once
// Shared by the user-interface tests: one QApplication for the process, a
// message sink that records and answers, settings in a temporary folder and a
// file dialog that the test answers.

#include "framework/ui/FileDialog.h"
#include "platform/MessageSink.h"

#include <QTemporaryDir>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class QApplication;

QApplication& TestApp();

class CRecordingSink : public IMessageSink
{
public:
    CRecordingSink() { m_old = SetMessageSink(this); }
    ~CRecordingSink() override { SetMessageSink(m_old); }

    int ShowMessage(const std::string& text, unsigned type) override
    {
        std::lock_guard lock(m_lock);
        m_texts.push_back(text);
        m_types.push_back(type);
        m_threads.push_back(std::this_thread::get_id());
        if (!m_answers.empty()) {
            int a = m_answers.front();
            m_answers.pop_front();
            return a;
        }
        return (type & 0x0F) == MB_YESNOCANCEL || (type & 0x0F) == MB_YESNO ? IDYES : IDOK;
    }
    std::vector<std::string> Texts()
    {
        std::lock_guard lock(m_lock);
        return m_texts;
    }
    void Answer(int a) { m_answers.push_back(a); }
    void Clear()
    {
        std::lock_guard lock(m_lock);
        m_texts.clear();
        m_types.clear();
        m_threads.clear();
    }

    std::vector<unsigned> m_types;
    std::vector<std::thread::id> m_threads;

private:
    IMessageSink* m_old;
    std::mutex m_lock;
    std::vector<std::string> m_texts;
    std::deque<int> m_answers;
};

// Answers each file dialog with the next queued path (and filter), or cancels.
class CScriptedFileDialog : public IFileDialogProvider
{
public:
    CScriptedFileDialog() { m_old = SetFileDialogProvider(this); }
    ~CScriptedFileDialog() override { SetFileDialogProvider(m_old); }

    bool Run(QWidget*, const SFileDialogRequest& rq, SFileDialogResult& result, int* errorCode) override
    {
        m_requests.push_back(rq);
        if (errorCode)
            *errorCode = 0;
        if (m_answers.empty())
            return false;
        auto [paths, filter] = m_answers.front();
        m_answers.pop_front();
        result.paths = paths;
        result.iSelectedFilter = filter < 0 ? rq.iSelectedFilter : filter;
        return true;
    }
    void Answer(const QString& path, int filter = -1) { m_answers.push_back({QStringList{path}, filter}); }
    void Answer(const QStringList& paths, int filter = -1) { m_answers.push_back({paths, filter}); }

    std::vector<SFileDialogRequest> m_requests;

private:
    IFileDialogProvider* m_old;
    std::deque<std::pair<QStringList, int>> m_answers;
};

// Points both settings scopes into a fresh temporary folder.
class CTempSettings
{
public:
    CTempSettings();
    ~CTempSettings();
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    std::string UserFile() const { return Path("user.ini").toStdString(); }

private:
    QTemporaryDir m_dir;
};

// Runs the event loop for ms milliseconds.
void Pump(int ms);

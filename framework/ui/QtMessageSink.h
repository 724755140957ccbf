#pragma once
// The message sink of the user interface: a modal message box on the
// user-interface thread. Calls from other threads wait until the box has been
// answered there. Tests replace the box by a presenter that answers itself.

#include "platform/MessageSink.h"

#include <functional>
#include <string>

class CQtMessageSink : public IMessageSink
{
public:
    using Presenter = std::function<int(const std::string& text, unsigned type)>;

    CQtMessageSink() = default;
    // Must be called on the user-interface thread, after QApplication exists.
    int ShowMessage(const std::string& text, unsigned type) override;

    // A presenter in place of the real box (nullptr restores the box).
    void SetPresenter(Presenter presenter) { m_presenter = std::move(presenter); }

    // The real box: buttons and icon from the MB_* type; returns the ID* answer.
    static int ShowBox(const std::string& text, unsigned type);

private:
    int Present(const std::string& text, unsigned type);
    Presenter m_presenter;
};

#pragma once
// Window handlers run through runHandler: an error ends the handler and shows
// in the error box (caption "Corvane", error icon, the error's message); a
// check that aborted has said so already and shows nothing more.  No error
// ever crosses Qt's event and signal dispatch.
#include <utility>

namespace handler_detail {
void reportCurrent();                           // classifies std::current_exception()
} // namespace handler_detail

// Runs f; returns false when it ended with an error or an abort.
template <class F> bool runHandler(F&& f)
{
    try {
        std::forward<F>(f)();
        return true;
    } catch (...) {
        handler_detail::reportCurrent();
    }
    return false;
}

// A slot for connect(): calls f through runHandler, ignoring the signal's
// arguments.  connect(btn, &QPushButton::clicked, this, guarded([this] { btnSearchClick(); }));
template <class F> auto guarded(F f)
{
    return [f = std::move(f)]() mutable { runHandler(f); };
}
